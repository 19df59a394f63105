#include "xls/SheetLayoutRecords.h"

#include <cassert>

#include "xls/Limits.h"
#include "xls/XfRecords.h"

namespace tarn::xls {
namespace {

constexpr std::uint16_t kDefColWidthRecord = 0x0055;
constexpr std::uint16_t kColInfoRecord = 0x007D;
constexpr std::uint16_t kWindow2Record = 0x023E;
constexpr std::uint16_t kMergedCellsRecord = 0x00E5;

// Excel's default column width in characters.
constexpr std::uint16_t kDefaultColumnWidth = 8;
// COLINFO options: the width was set by the user.
constexpr std::uint16_t kColumnUserSet = 0x0002;
// WINDOW2 options: show grid lines, headers, zero values, outline symbols,
// default grid colour; plus "selected" and "shown in the window" for the
// active sheet.
constexpr std::uint16_t kWindowShow = 0x00B6;
constexpr std::uint16_t kWindowSelected = 0x0600;
// Colour index of the grid lines (automatic).
constexpr std::uint16_t kGridColor = 0x40;

}  // namespace

void WriteDefColWidth(RecordStream& out) { WriteU16Record(out, kDefColWidthRecord, kDefaultColumnWidth); }

void WriteColInfo(RecordStream& out, std::uint16_t firstCol, std::uint16_t lastCol, std::uint16_t width256) {
    out.Begin(kColInfoRecord);
    out.U16(firstCol);
    out.U16(lastCol);
    out.U16(width256);
    out.U16(static_cast<std::uint16_t>(kDefaultCellXf));
    out.U16(kColumnUserSet);
    out.U16(0);  // unused
    out.End();
}

void WriteWindow2(RecordStream& out, bool selected) {
    out.Begin(kWindow2Record);
    out.U16(selected ? kWindowShow | kWindowSelected : kWindowShow);
    out.U16(0);  // top row shown
    out.U16(0);  // left column shown
    out.U16(kGridColor);
    out.U16(0);  // reserved
    out.U16(0);  // page-break preview zoom: default
    out.U16(0);  // normal zoom: default
    out.U32(0);  // reserved
    out.End();
}

void WriteMergedCells(RecordStream& out, const CellRange* ranges, std::size_t count) {
    assert(count <= kMaxRangesPerMergeRecord);
    out.Begin(kMergedCellsRecord);
    out.U16(static_cast<std::uint16_t>(count));
    for (std::size_t i = 0; i < count; ++i) {
        out.U16(ranges[i].firstRow);
        out.U16(ranges[i].lastRow);
        out.U16(ranges[i].firstCol);
        out.U16(ranges[i].lastCol);
    }
    out.End();
}

}  // namespace tarn::xls
