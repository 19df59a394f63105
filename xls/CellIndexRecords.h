#pragma once
// The records that index a sheet's cell table for readers that look up
// cells without reading them all: INDEX after the sheet's BOF, and a DBCELL
// after each block of rows (MS-XLS 2.4.144, 2.4.78; 2.2.1.1 tells how a
// reader follows them).

#include <cstddef>
#include <cstdint>
#include <vector>

#include "xls/RecordStream.h"

namespace tarn::xls {

// An INDEX record with room for `blocks` DBCELL positions, all to be filled
// in once known; returns where its DEFCOLWIDTH position goes (the DBCELL
// positions follow it, 4 bytes each).
std::size_t WriteIndex(RecordStream& out, std::uint32_t firstRow, std::uint32_t rowEnd, std::size_t blocks);
// A DBCELL: `toFirstRow` bytes back to the block's first ROW record, then per
// row the offset of its first cell record (the first from the end of the
// first ROW record, each later one from the previous row's first cell).
void WriteDbCell(RecordStream& out, std::uint32_t toFirstRow, const std::vector<std::uint16_t>& cellOffsets);

}  // namespace tarn::xls
