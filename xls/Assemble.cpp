#include "xls/Assemble.h"

#include <algorithm>
#include <cmath>

#include "xls/CellRecords.h"
#include "xls/GlobalsRecords.h"
#include "xls/RkNumber.h"
#include "xls/SheetLayoutRecords.h"
#include "xls/StyleTable.h"
#include "xls/XfRecords.h"

namespace xls {
namespace {

// Column widths are stored in 256ths of the default font's character width,
// padding included: Excel shows a width of w characters as w digits of 7
// pixels (Arial 10) plus 5 pixels of cell padding, and stores
// trunc((w * 7 + 5) / 7 * 256) (the rule ECMA-376 gives for the same field).
constexpr double kDigitPixels = 7.0;
constexpr double kPaddingPixels = 5.0;
constexpr double kWidthUnits = 256.0;

std::uint16_t ColumnWidthUnits(double chars) {
    double pixels = std::round(chars * kDigitPixels) + (chars > 0 ? kPaddingPixels : 0.0);
    return static_cast<std::uint16_t>(std::min(65535.0, std::floor(pixels / kDigitPixels * kWidthUnits)));
}

void WriteColumns(RecordStream& out, const Worksheet& sheet) {
    const auto& widths = sheet.ColumnWidths();
    for (int c = 0; c < kMaxColumns;) {
        if (widths[c] < 0) {
            ++c;
            continue;
        }
        int last = c;
        while (last + 1 < kMaxColumns && widths[last + 1] == widths[c]) ++last;
        WriteColInfo(out, static_cast<std::uint16_t>(c), static_cast<std::uint16_t>(last),
                     ColumnWidthUnits(widths[c]));
        c = last + 1;
    }
}

void WriteUsedRange(RecordStream& out, const Worksheet& sheet) {
    const auto& rows = sheet.Rows();
    std::uint32_t firstRow = 0, rowEnd = 0;
    std::uint16_t firstCol = kMaxColumns, colEnd = 0;
    bool any = false;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        if (rows[r].empty()) continue;
        if (!any) firstRow = static_cast<std::uint32_t>(r);
        any = true;
        rowEnd = static_cast<std::uint32_t>(r + 1);
        firstCol = std::min(firstCol, rows[r].front().col);
        colEnd = std::max<std::uint16_t>(colEnd, rows[r].back().col + 1);
    }
    if (!any) firstCol = 0;
    WriteDimensions(out, firstRow, rowEnd, firstCol, colEnd);
}

// One row's cells; runs of adjacent numbers that fit the RK form share a
// MULRK record, a lone one takes an RK record.
void WriteRowCells(RecordStream& out, std::uint16_t row, const std::vector<Cell>& cells,
                   const StyleTable& styles) {
    std::uint16_t xfs[kMaxColumns];
    std::uint32_t rks[kMaxColumns];
    for (std::size_t i = 0; i < cells.size();) {
        const Cell& cell = cells[i];
        std::uint16_t xf = styles.XfOf(cell.formatRef);
        std::size_t run = 0;
        while (i + run < cells.size() && cells[i + run].kind == CellKind::kNumber &&
               cells[i + run].col == cell.col + run && EncodeRk(cells[i + run].number, &rks[run])) {
            xfs[run] = styles.XfOf(cells[i + run].formatRef);
            ++run;
        }
        if (run > 1) {
            WriteMulRk(out, row, cell.col, xfs, rks, run);
            i += run;
            continue;
        }
        if (run == 1) {
            WriteRk(out, row, cell.col, xf, rks[0]);
        } else if (cell.kind == CellKind::kText) {
            WriteLabelSst(out, row, cell.col, xf, cell.stringIndex);
        } else if (cell.kind == CellKind::kNumber) {
            WriteNumber(out, row, cell.col, xf, cell.number);
        } else {
            WriteBlank(out, row, cell.col, xf);
        }
        ++i;
    }
}

// Rows in blocks of kRowsPerBlock: the block's ROW records, then its cells.
void WriteCellTable(RecordStream& out, const Worksheet& sheet, const StyleTable& styles) {
    const auto& rows = sheet.Rows();
    for (std::size_t block = 0; block < rows.size(); block += kRowsPerBlock) {
        std::size_t end = std::min(rows.size(), block + kRowsPerBlock);
        for (std::size_t r = block; r < end; ++r) {
            if (rows[r].empty()) continue;
            WriteRow(out, static_cast<std::uint16_t>(r), rows[r].front().col,
                     static_cast<std::uint16_t>(rows[r].back().col + 1));
        }
        for (std::size_t r = block; r < end; ++r) {
            WriteRowCells(out, static_cast<std::uint16_t>(r), rows[r], styles);
        }
    }
}

void WriteSheet(RecordStream& out, const Worksheet& sheet, const StyleTable& styles, bool active) {
    WriteBof(out, SubstreamType::kWorksheet);
    WriteColumns(out, sheet);
    WriteUsedRange(out, sheet);
    WriteCellTable(out, sheet, styles);
    WriteWindow2(out, active);
    const auto& merges = sheet.Merges();
    for (std::size_t i = 0; i < merges.size(); i += kMaxRangesPerMergeRecord) {
        WriteMergedCells(out, merges.data() + i, std::min(kMaxRangesPerMergeRecord, merges.size() - i));
    }
    WriteEof(out);
}

// A first guess at the stream's size, so that it rarely grows by copying:
// a cell record and a ROW record per row at most.
std::size_t EstimateStreamBytes(const BookParts& parts) {
    constexpr std::size_t kCellBytes = 14;
    constexpr std::size_t kRowBytes = 20;
    std::size_t bytes = 0;
    for (const auto& sheet : parts.sheets) {
        for (const auto& row : sheet->Rows()) bytes += kRowBytes + row.size() * kCellBytes;
    }
    return bytes;
}

}  // namespace

std::string AssembleWorkbookStream(const BookParts& parts) {
    StyleTable styles(parts.fonts, parts.formats, parts.decoder);
    RecordStream out;
    out.Reserve(EstimateStreamBytes(parts));

    WriteBof(out, SubstreamType::kGlobals);
    WriteCodePage(out);
    WriteWindow1(out);
    WriteDate1904(out);
    styles.WriteFonts(out);
    parts.numberFormats.WriteRecords(out);
    styles.WriteXfs(out);
    WriteNormalStyleRecord(out);
    std::vector<std::size_t> sheetOffsets;
    std::size_t textCells = 0;
    for (const auto& sheet : parts.sheets) {
        sheetOffsets.push_back(WriteBoundSheet(out, sheet->Name()));
        textCells += sheet->TextCellCount();
    }
    parts.strings.WriteRecords(out, static_cast<std::uint32_t>(textCells));
    WriteEof(out);

    for (std::size_t i = 0; i < parts.sheets.size(); ++i) {
        out.PatchU32(sheetOffsets[i], static_cast<std::uint32_t>(out.Size()));
        WriteSheet(out, *parts.sheets[i], styles, i == 0);
    }
    return std::move(out.MutableBytes());
}

}  // namespace xls
