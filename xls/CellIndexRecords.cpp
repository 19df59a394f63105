#include "xls/CellIndexRecords.h"

namespace tarn::xls {
namespace {

constexpr std::uint16_t kIndexRecord = 0x020B;
constexpr std::uint16_t kDbCellRecord = 0x00D7;

}  // namespace

std::size_t WriteIndex(RecordStream& out, std::uint32_t firstRow, std::uint32_t rowEnd, std::size_t blocks) {
    out.Begin(kIndexRecord);
    out.U32(0);  // reserved
    out.U32(firstRow);
    out.U32(rowEnd);
    std::size_t patchAt = out.Size();
    out.U32(0);                                           // position of DEFCOLWIDTH
    for (std::size_t i = 0; i < blocks; ++i) out.U32(0);  // positions of the DBCELLs
    out.End();
    return patchAt;
}

void WriteDbCell(RecordStream& out, std::uint32_t toFirstRow, const std::vector<std::uint16_t>& cellOffsets) {
    out.Begin(kDbCellRecord);
    out.U32(toFirstRow);
    for (std::uint16_t offset : cellOffsets) out.U16(offset);
    out.End();
}

}  // namespace tarn::xls
