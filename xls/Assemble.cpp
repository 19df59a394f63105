#include "xls/Assemble.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "xls/BookSettingsRecords.h"
#include "xls/CellIndexRecords.h"
#include "xls/CellRecords.h"
#include "xls/GlobalsRecords.h"
#include "xls/RkNumber.h"
#include "xls/SheetLayoutRecords.h"
#include "xls/SheetSettingsRecords.h"
#include "xls/StyleTable.h"
#include "xls/XfRecords.h"

namespace tarn::xls {
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

struct UsedRange {
    std::uint32_t firstRow = 0, rowEnd = 0;
    std::uint16_t firstCol = 0, colEnd = 0;
    std::size_t blocks = 0;  // row blocks holding at least one row
};

UsedRange FindUsedRange(const Worksheet& sheet) {
    const auto& rows = sheet.Rows();
    UsedRange used;
    used.firstCol = kMaxColumns;
    std::size_t lastBlock = SIZE_MAX;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        if (rows[r].empty()) continue;
        if (used.rowEnd == 0) used.firstRow = static_cast<std::uint32_t>(r);
        used.rowEnd = static_cast<std::uint32_t>(r + 1);
        used.firstCol = std::min(used.firstCol, rows[r].front().col);
        used.colEnd = std::max<std::uint16_t>(used.colEnd, rows[r].back().col + 1);
        if (r / kRowsPerBlock != lastBlock) ++used.blocks;
        lastBlock = r / kRowsPerBlock;
    }
    if (used.rowEnd == 0) used.firstCol = 0;
    return used;
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

// Calculation, print and page settings, all Excel's defaults.
void WriteSheetSettings(RecordStream& out) {
    WriteCalcMode(out);
    WriteCalcCount(out);
    WriteCalcRefMode(out);
    WriteCalcIter(out);
    WriteCalcDelta(out);
    WriteSaveRecalc(out);
    WritePrintRowCol(out);
    WritePrintGrid(out);
    WriteGridSet(out);
    WriteGuts(out);
    WriteDefaultRowHeight(out);
    WriteWsBool(out);
    WriteHeader(out);
    WriteFooter(out);
    WriteHCenter(out);
    WriteVCenter(out);
    WriteSetup(out);
}

// Rows in blocks of kRowsPerBlock: the block's ROW records, its cells and
// a DBCELL that points back into them. Returns the DBCELLs' positions.
std::vector<std::uint32_t> WriteCellTable(RecordStream& out, const Worksheet& sheet,
                                          const StyleTable& styles) {
    const auto& rows = sheet.Rows();
    std::vector<std::uint32_t> dbCells;
    std::vector<std::uint16_t> cellOffsets;
    for (std::size_t block = 0; block < rows.size(); block += kRowsPerBlock) {
        std::size_t end = std::min(rows.size(), block + kRowsPerBlock);
        std::size_t firstRowAt = out.Size();
        for (std::size_t r = block; r < end; ++r) {
            if (rows[r].empty()) continue;
            WriteRow(out, static_cast<std::uint16_t>(r), rows[r].front().col,
                     static_cast<std::uint16_t>(rows[r].back().col + 1));
        }
        if (out.Size() == firstRowAt) continue;  // no rows in this block
        std::size_t previous = firstRowAt + kRowRecordBytes;
        cellOffsets.clear();
        for (std::size_t r = block; r < end; ++r) {
            if (rows[r].empty()) continue;
            cellOffsets.push_back(static_cast<std::uint16_t>(out.Size() - previous));
            previous = out.Size();
            WriteRowCells(out, static_cast<std::uint16_t>(r), rows[r], styles);
        }
        dbCells.push_back(static_cast<std::uint32_t>(out.Size()));
        WriteDbCell(out, static_cast<std::uint32_t>(out.Size() - firstRowAt), cellOffsets);
    }
    return dbCells;
}

void WriteSheet(RecordStream& out, const Worksheet& sheet, const StyleTable& styles, bool active) {
    const UsedRange used = FindUsedRange(sheet);
    WriteBof(out, SubstreamType::kWorksheet);
    std::size_t indexAt = WriteIndex(out, used.firstRow, used.rowEnd, used.blocks);
    WriteSheetSettings(out);
    out.PatchU32(indexAt, static_cast<std::uint32_t>(out.Size()));
    WriteDefColWidth(out);
    WriteColumns(out, sheet);
    WriteDimensions(out, used.firstRow, used.rowEnd, used.firstCol, used.colEnd);
    std::vector<std::uint32_t> dbCells = WriteCellTable(out, sheet, styles);
    for (std::size_t i = 0; i < dbCells.size(); ++i) out.PatchU32(indexAt + 4 + 4 * i, dbCells[i]);
    WriteWindow2(out, active);
    const auto& merges = sheet.Merges();
    for (std::size_t i = 0; i < merges.size(); i += kMaxRangesPerMergeRecord) {
        WriteMergedCells(out, merges.data() + i, std::min(kMaxRangesPerMergeRecord, merges.size() - i));
    }
    WriteEof(out);
}

// A first guess at the stream's size, so that it rarely grows by copying:
// a cell record and a ROW record per row at most, and the shared strings
// with a count and flags each and two bytes a character.
std::size_t EstimateStreamBytes(const BookParts& parts) {
    constexpr std::size_t kCellBytes = 14;
    constexpr std::size_t kRowBytes = 20;
    constexpr std::size_t kStringBytes = 3;
    std::size_t bytes = parts.strings.Count() * kStringBytes + parts.strings.CharCount() * 2;
    for (const auto& sheet : parts.sheets) {
        for (const auto& row : sheet->Rows()) bytes += kRowBytes + row.size() * kCellBytes;
    }
    return bytes;
}

}  // namespace

RecordStream AssembleWorkbookStream(const BookParts& parts) {
    StyleTable styles(parts.fonts, parts.formats, parts.decoder);
    RecordStream out;
    out.Reserve(EstimateStreamBytes(parts));

    WriteBof(out, SubstreamType::kGlobals);
    WriteInterfaceHdr(out);
    WriteMms(out);
    WriteInterfaceEnd(out);
    WriteWriteAccess(out);
    WriteCodePage(out);
    WriteDsf(out);
    WriteRrTabId(out, parts.sheets.size());
    WriteWindowProtect(out);
    WriteProtect(out);
    WritePassword(out);
    WriteProt4Rev(out);
    WriteProt4RevPass(out);
    WriteWindow1(out);
    WriteBackup(out);
    WriteHideObj(out);
    WriteDate1904(out);
    WriteCalcPrecision(out);
    WriteRefreshAll(out);
    WriteBookBool(out);
    styles.WriteFonts(out);
    parts.numberFormats.WriteRecords(out);
    styles.WriteXfs(out);
    WriteNormalStyleRecord(out);
    WriteUsesElfs(out);
    std::vector<std::size_t> sheetOffsets;
    std::size_t textCells = 0;
    for (const auto& sheet : parts.sheets) {
        sheetOffsets.push_back(WriteBoundSheet(out, sheet->Name()));
        textCells += sheet->TextCellCount();
    }
    WriteCountry(out);
    parts.strings.WriteRecords(out, static_cast<std::uint32_t>(textCells));
    WriteEof(out);

    for (std::size_t i = 0; i < parts.sheets.size(); ++i) {
        out.PatchU32(sheetOffsets[i], static_cast<std::uint32_t>(out.Size()));
        WriteSheet(out, *parts.sheets[i], styles, i == 0);
    }
    return out;
}

}  // namespace tarn::xls
