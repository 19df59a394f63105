#include "xls/BookSettingsRecords.h"

#include <cstdint>

#include "xls/Limits.h"
#include "xls/UnicodeString.h"

namespace tarn::xls {
namespace {

constexpr std::uint16_t kInterfaceHdrRecord = 0x00E1;
constexpr std::uint16_t kMmsRecord = 0x00C1;
constexpr std::uint16_t kInterfaceEndRecord = 0x00E2;
constexpr std::uint16_t kWriteAccessRecord = 0x005C;
constexpr std::uint16_t kDsfRecord = 0x0161;
constexpr std::uint16_t kRrTabIdRecord = 0x013D;
constexpr std::uint16_t kWindowProtectRecord = 0x0019;
constexpr std::uint16_t kProtectRecord = 0x0012;
constexpr std::uint16_t kPasswordRecord = 0x0013;
constexpr std::uint16_t kProt4RevRecord = 0x01AF;
constexpr std::uint16_t kProt4RevPassRecord = 0x01BC;
constexpr std::uint16_t kBackupRecord = 0x0040;
constexpr std::uint16_t kHideObjRecord = 0x008D;
constexpr std::uint16_t kCalcPrecisionRecord = 0x000E;
constexpr std::uint16_t kRefreshAllRecord = 0x01B7;
constexpr std::uint16_t kBookBoolRecord = 0x00DA;
constexpr std::uint16_t kUsesElfsRecord = 0x0160;
constexpr std::uint16_t kCountryRecord = 0x008C;

// Code page 1200: UTF-16.
constexpr std::uint16_t kCodePageUnicode = 1200;
// WRITEACCESS data is always 112 bytes, the name padded with spaces.
constexpr std::size_t kWriteAccessBytes = 112;
const char* const kWriterName = "TARN";
// Country code of the United States.
constexpr std::uint16_t kCountryUnitedStates = 1;

}  // namespace

void WriteInterfaceHdr(RecordStream& out) { WriteU16Record(out, kInterfaceHdrRecord, kCodePageUnicode); }

void WriteMms(RecordStream& out) { WriteU16Record(out, kMmsRecord, 0); }

void WriteInterfaceEnd(RecordStream& out) { WriteEmptyRecord(out, kInterfaceEndRecord); }

void WriteWriteAccess(RecordStream& out) {
    out.Begin(kWriteAccessRecord);
    AppendLongString(out, Widen(kWriterName));
    while (out.OpenRecordSize() < kWriteAccessBytes) out.U8(' ');
    out.End();
}

void WriteDsf(RecordStream& out) { WriteU16Record(out, kDsfRecord, 0); }

void WriteRrTabId(RecordStream& out, std::size_t sheets) {
    if (sheets == 0 || 2 * sheets > kMaxRecordData) return;
    out.Begin(kRrTabIdRecord);
    for (std::size_t i = 1; i <= sheets; ++i) out.U16(static_cast<std::uint16_t>(i));
    out.End();
}

void WriteWindowProtect(RecordStream& out) { WriteU16Record(out, kWindowProtectRecord, 0); }
void WriteProtect(RecordStream& out) { WriteU16Record(out, kProtectRecord, 0); }
void WritePassword(RecordStream& out) { WriteU16Record(out, kPasswordRecord, 0); }
void WriteProt4Rev(RecordStream& out) { WriteU16Record(out, kProt4RevRecord, 0); }
void WriteProt4RevPass(RecordStream& out) { WriteU16Record(out, kProt4RevPassRecord, 0); }
void WriteBackup(RecordStream& out) { WriteU16Record(out, kBackupRecord, 0); }
void WriteHideObj(RecordStream& out) { WriteU16Record(out, kHideObjRecord, 0); }
// 1: calculate with full precision, not as displayed.
void WriteCalcPrecision(RecordStream& out) { WriteU16Record(out, kCalcPrecisionRecord, 1); }
void WriteRefreshAll(RecordStream& out) { WriteU16Record(out, kRefreshAllRecord, 0); }
void WriteBookBool(RecordStream& out) { WriteU16Record(out, kBookBoolRecord, 0); }
void WriteUsesElfs(RecordStream& out) { WriteU16Record(out, kUsesElfsRecord, 0); }

void WriteCountry(RecordStream& out) {
    out.Begin(kCountryRecord);
    out.U16(kCountryUnitedStates);  // the application's
    out.U16(kCountryUnitedStates);  // the system's
    out.End();
}

}  // namespace tarn::xls
