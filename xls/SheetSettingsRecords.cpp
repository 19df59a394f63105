#include "xls/SheetSettingsRecords.h"

#include <cstdint>

namespace tarn::xls {
namespace {

constexpr std::uint16_t kCalcModeRecord = 0x000D;
constexpr std::uint16_t kCalcCountRecord = 0x000C;
constexpr std::uint16_t kCalcRefModeRecord = 0x000F;
constexpr std::uint16_t kCalcIterRecord = 0x0011;
constexpr std::uint16_t kCalcDeltaRecord = 0x0010;
constexpr std::uint16_t kSaveRecalcRecord = 0x005F;
constexpr std::uint16_t kPrintRowColRecord = 0x002A;
constexpr std::uint16_t kPrintGridRecord = 0x002B;
constexpr std::uint16_t kGridSetRecord = 0x0082;
constexpr std::uint16_t kGutsRecord = 0x0080;
constexpr std::uint16_t kDefaultRowHeightRecord = 0x0225;
constexpr std::uint16_t kWsBoolRecord = 0x0081;
constexpr std::uint16_t kHeaderRecord = 0x0014;
constexpr std::uint16_t kFooterRecord = 0x0015;
constexpr std::uint16_t kHCenterRecord = 0x0083;
constexpr std::uint16_t kVCenterRecord = 0x0084;
constexpr std::uint16_t kSetupRecord = 0x00A1;

// Automatic calculation, at most 100 iterations of at least this change, A1 references.
constexpr std::uint16_t kCalcAutomatic = 1;
constexpr std::uint16_t kCalcIterations = 100;
constexpr double kCalcDelta = 0.001;
constexpr std::uint16_t kReferencesA1 = 1;
// Default row height in twips (12.75 points).
constexpr std::uint16_t kDefaultRowHeight = 0x00FF;
// WSBOOL: show page breaks, summary rows below and columns right, show outline symbols.
constexpr std::uint16_t kWsBoolDefaults = 0x04C1;
// SETUP: scale 100 %, first page 1, fit 1 by 1, 300 dpi, half-inch header and
// footer margins, one copy; portrait, and no printer settings stored.
constexpr std::uint16_t kSetupScale = 100;
constexpr std::uint16_t kSetupFlagsPortraitNoPrinter = 0x0006;
constexpr std::uint16_t kSetupResolution = 300;
constexpr double kSetupMarginInches = 0.5;

}  // namespace

void WriteCalcMode(RecordStream& out) { WriteU16Record(out, kCalcModeRecord, kCalcAutomatic); }
void WriteCalcCount(RecordStream& out) { WriteU16Record(out, kCalcCountRecord, kCalcIterations); }
void WriteCalcRefMode(RecordStream& out) { WriteU16Record(out, kCalcRefModeRecord, kReferencesA1); }
void WriteCalcIter(RecordStream& out) { WriteU16Record(out, kCalcIterRecord, 0); }

void WriteCalcDelta(RecordStream& out) {
    out.Begin(kCalcDeltaRecord);
    out.F64(kCalcDelta);
    out.End();
}

void WriteSaveRecalc(RecordStream& out) { WriteU16Record(out, kSaveRecalcRecord, 1); }
void WritePrintRowCol(RecordStream& out) { WriteU16Record(out, kPrintRowColRecord, 0); }
void WritePrintGrid(RecordStream& out) { WriteU16Record(out, kPrintGridRecord, 0); }
void WriteGridSet(RecordStream& out) { WriteU16Record(out, kGridSetRecord, 1); }

void WriteGuts(RecordStream& out) {
    out.Begin(kGutsRecord);
    out.Zeros(8);  // no outline gutters, no outline levels
    out.End();
}

void WriteDefaultRowHeight(RecordStream& out) {
    out.Begin(kDefaultRowHeightRecord);
    out.U16(0);  // rows of the default height are not hidden or custom
    out.U16(kDefaultRowHeight);
    out.End();
}

void WriteWsBool(RecordStream& out) { WriteU16Record(out, kWsBoolRecord, kWsBoolDefaults); }
// An empty HEADER or FOOTER record: no page header or footer.
void WriteHeader(RecordStream& out) { WriteEmptyRecord(out, kHeaderRecord); }
void WriteFooter(RecordStream& out) { WriteEmptyRecord(out, kFooterRecord); }
void WriteHCenter(RecordStream& out) { WriteU16Record(out, kHCenterRecord, 0); }
void WriteVCenter(RecordStream& out) { WriteU16Record(out, kVCenterRecord, 0); }

void WriteSetup(RecordStream& out) {
    out.Begin(kSetupRecord);
    out.U16(0);  // paper size: the printer's default
    out.U16(kSetupScale);
    out.U16(1);  // first page number
    out.U16(1);  // fit to 1 page wide
    out.U16(1);  // and 1 page tall
    out.U16(kSetupFlagsPortraitNoPrinter);
    out.U16(kSetupResolution);
    out.U16(kSetupResolution);
    out.F64(kSetupMarginInches);
    out.F64(kSetupMarginInches);
    out.U16(1);  // copies
    out.End();
}

}  // namespace tarn::xls
