#include "xls/CellRecords.h"

#include "xls/XfRecords.h"

namespace tarn::xls {
namespace {

constexpr std::uint16_t kDimensionsRecord = 0x0200;
constexpr std::uint16_t kRowRecord = 0x0208;
constexpr std::uint16_t kLabelSstRecord = 0x00FD;
constexpr std::uint16_t kNumberRecord = 0x0203;
constexpr std::uint16_t kBlankRecord = 0x0201;
constexpr std::uint16_t kRkRecord = 0x027E;
constexpr std::uint16_t kMulRkRecord = 0x00BD;

// Default row height in twips (12.75 points, the height for a 10-point font).
constexpr std::uint16_t kDefaultRowHeight = 0x00FF;
// ROW option word: the reserved bit 8 is always set.
constexpr std::uint16_t kRowFlags = 0x0100;

}  // namespace

void WriteDimensions(RecordStream& out, std::uint32_t firstRow, std::uint32_t rowEnd, std::uint16_t firstCol,
                     std::uint16_t colEnd) {
    out.Begin(kDimensionsRecord);
    out.U32(firstRow);
    out.U32(rowEnd);
    out.U16(firstCol);
    out.U16(colEnd);
    out.U16(0);
    out.End();
}

void WriteRow(RecordStream& out, std::uint16_t row, std::uint16_t firstCol, std::uint16_t colEnd) {
    out.Begin(kRowRecord);
    out.U16(row);
    out.U16(firstCol);
    out.U16(colEnd);
    out.U16(kDefaultRowHeight);
    out.U16(0);  // reserved
    out.U16(0);  // unused
    out.U16(kRowFlags);
    out.U16(static_cast<std::uint16_t>(kDefaultCellXf));  // row format if one were set
    out.End();
}

void WriteLabelSst(RecordStream& out, std::uint16_t row, std::uint16_t col, std::uint16_t xf,
                   std::uint32_t stringIndex) {
    out.Begin(kLabelSstRecord);
    out.U16(row);
    out.U16(col);
    out.U16(xf);
    out.U32(stringIndex);
    out.End();
}

void WriteNumber(RecordStream& out, std::uint16_t row, std::uint16_t col, std::uint16_t xf, double value) {
    out.Begin(kNumberRecord);
    out.U16(row);
    out.U16(col);
    out.U16(xf);
    out.F64(value);
    out.End();
}

void WriteRk(RecordStream& out, std::uint16_t row, std::uint16_t col, std::uint16_t xf, std::uint32_t rk) {
    out.Begin(kRkRecord);
    out.U16(row);
    out.U16(col);
    out.U16(xf);
    out.U32(rk);
    out.End();
}

void WriteMulRk(RecordStream& out, std::uint16_t row, std::uint16_t firstCol, const std::uint16_t* xfs,
                const std::uint32_t* rks, std::size_t count) {
    out.Begin(kMulRkRecord);
    out.U16(row);
    out.U16(firstCol);
    for (std::size_t i = 0; i < count; ++i) {
        out.U16(xfs[i]);
        out.U32(rks[i]);
    }
    out.U16(static_cast<std::uint16_t>(firstCol + count - 1));
    out.End();
}

void WriteBlank(RecordStream& out, std::uint16_t row, std::uint16_t col, std::uint16_t xf) {
    out.Begin(kBlankRecord);
    out.U16(row);
    out.U16(col);
    out.U16(xf);
    out.End();
}

}  // namespace tarn::xls
