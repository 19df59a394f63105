#pragma once
// Records of a sheet's cell table: DIMENSIONS, ROW, LABELSST, NUMBER, RK,
// MULRK and BLANK (MS-XLS 2.4.90, 2.4.221, 2.4.149, 2.4.180, 2.4.220,
// 2.4.175, 2.4.20).

#include <cstddef>
#include <cstdint>

#include "xls/RecordStream.h"

namespace tarn::xls {

// The used range: rows [firstRow, lastRow + 1), columns [firstCol, lastCol + 1);
// all zero for an empty sheet.
void WriteDimensions(RecordStream& out, std::uint32_t firstRow, std::uint32_t rowEnd, std::uint16_t firstCol,
                     std::uint16_t colEnd);
// Bytes of one ROW record, header included.
inline constexpr std::size_t kRowRecordBytes = 20;
// A row of default height whose cells span columns [firstCol, colEnd).
void WriteRow(RecordStream& out, std::uint16_t row, std::uint16_t firstCol, std::uint16_t colEnd);
void WriteLabelSst(RecordStream& out, std::uint16_t row, std::uint16_t col, std::uint16_t xf,
                   std::uint32_t stringIndex);
void WriteNumber(RecordStream& out, std::uint16_t row, std::uint16_t col, std::uint16_t xf, double value);
void WriteRk(RecordStream& out, std::uint16_t row, std::uint16_t col, std::uint16_t xf, std::uint32_t rk);
// Adjacent RK cells of one row from `firstCol` on: `count` (xf, rk) pairs.
void WriteMulRk(RecordStream& out, std::uint16_t row, std::uint16_t firstCol, const std::uint16_t* xfs,
                const std::uint32_t* rks, std::size_t count);
// A cell with a format and no value.
void WriteBlank(RecordStream& out, std::uint16_t row, std::uint16_t col, std::uint16_t xf);

}  // namespace tarn::xls
