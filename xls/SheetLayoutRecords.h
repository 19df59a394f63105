#pragma once
// Records of a sheet's layout: DEFCOLWIDTH, COLINFO, WINDOW2 and MERGEDCELLS
// (MS-XLS 2.4.89, 2.4.53, 2.4.346, 2.4.168).

#include <cstdint>
#include <vector>

#include "xls/RecordStream.h"

namespace tarn::xls {

struct CellRange {
    std::uint16_t firstRow;
    std::uint16_t lastRow;
    std::uint16_t firstCol;
    std::uint16_t lastCol;
};

// The width of columns without a COLINFO, in characters.
void WriteDefColWidth(RecordStream& out);
// Columns [firstCol, lastCol] `width256` 256ths of a character wide.
void WriteColInfo(RecordStream& out, std::uint16_t firstCol, std::uint16_t lastCol, std::uint16_t width256);
void WriteWindow2(RecordStream& out, bool selected);
// One MERGEDCELLS record with up to kMaxRangesPerMergeRecord ranges.
void WriteMergedCells(RecordStream& out, const CellRange* ranges, std::size_t count);

}  // namespace tarn::xls
