#include "xls/Assemble.h"

#include <algorithm>
#include <cmath>

#include "xls/CellRecords.h"
#include "xls/GlobalsRecords.h"
#include "xls/SheetLayoutRecords.h"
#include "xls/StyleTable.h"
#include "xls/XfRecords.h"

namespace xls {
namespace {

// Column widths are stored in 256ths of the default font's character width,
// padding included: Excel shows a width of w characters as w digits of 7
// pixels (Arial 10) plus 5 pixels of cell padding.
constexpr double kDigitPixels = 7.0;
constexpr double kPaddingPixels = 5.0;
constexpr double kWidthUnits = 256.0;

std::uint16_t ColumnWidthUnits(double chars) {
    double pixels = std::round(chars * kDigitPixels) + (chars > 0 ? kPaddingPixels : 0.0);
    return static_cast<std::uint16_t>(std::min(65535.0, std::round(pixels / kDigitPixels * kWidthUnits)));
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

void WriteCell(RecordStream& out, std::uint16_t row, const Cell& cell, const StyleTable& styles) {
    std::uint16_t xf = styles.XfOf(cell.formatRef);
    switch (cell.kind) {
        case CellKind::kText: WriteLabelSst(out, row, cell.col, xf, cell.stringIndex); break;
        case CellKind::kNumber: WriteNumber(out, row, cell.col, xf, cell.number); break;
        case CellKind::kBlank: WriteBlank(out, row, cell.col, xf); break;
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
            for (const Cell& cell : rows[r]) WriteCell(out, static_cast<std::uint16_t>(r), cell, styles);
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

}  // namespace

std::string AssembleWorkbookStream(const BookParts& parts) {
    StyleTable styles(parts.fonts, parts.formats, parts.decoder);
    RecordStream out;

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
