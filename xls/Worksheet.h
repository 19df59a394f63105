#pragma once
// One sheet of the workbook: its cells, column widths and merged ranges, kept
// in memory until the workbook is saved. Text is decoded and interned in the
// workbook's shared string table as it is written.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "xls/Limits.h"
#include "xls/SheetLayoutRecords.h"
#include "xls/Workbook.h"

namespace tarn::xls {

class SharedStrings;
class TextDecoder;

enum class CellKind : std::uint8_t { kText, kNumber, kBlank };

struct Cell {
    std::uint16_t col;
    CellKind kind;
    // 0 for no format, else the format's index + 1.
    std::uint32_t formatRef;
    union {
        double number;
        std::uint32_t stringIndex;
    };
};

class Worksheet : public Sheet {
  public:
    Worksheet(std::u16string name, TextDecoder* decoder, SharedStrings* strings);

    // A text longer than kMaxTextChars characters is refused; an empty text
    // leaves a cell with the format and no value. A later write to the same
    // cell replaces the earlier one.
    bool WriteText(int row, int col, std::string_view text, const Format* format) override;
    // Refuses values that are not finite (no cell can hold them).
    bool WriteNumber(int row, int col, double value, const Format* format) override;
    // Widths are cut to 0..255 characters; invalid column ranges are ignored.
    void SetColumn(int firstCol, int lastCol, double width) override;
    // Ignores ranges outside the sheet, single cells and ranges that overlap
    // one merged before (Excel would have to repair such a file).
    void SetMerge(int firstRow, int lastRow, int firstCol, int lastCol) override;

    const std::u16string& Name() const { return name_; }
    // Cells per row, each row sorted by column; may be shorter than kMaxRows.
    const std::vector<std::vector<Cell>>& Rows() const { return rows_; }
    // Width of each column in characters, negative where none was set.
    const std::array<double, kMaxColumns>& ColumnWidths() const { return widths_; }
    const std::vector<CellRange>& Merges() const { return merges_; }
    std::size_t TextCellCount() const { return textCells_; }

  private:
    // The cell at (row, col), made when missing; nullptr outside the sheet.
    Cell* Place(int row, int col);

    std::u16string name_;
    TextDecoder* decoder_;
    SharedStrings* strings_;
    std::vector<std::vector<Cell>> rows_;
    std::array<double, kMaxColumns> widths_;
    std::vector<CellRange> merges_;
    std::uint16_t mergesLastRow_ = 0;  // the lowest row any merged range covers
    std::size_t textCells_ = 0;
    std::u16string decoded_;  // the text being written, its room kept
    // The shared string each column was last given, checked before the table:
    // report columns repeat a text over neighbouring rows, and the table's
    // lookups miss the processor's caches once it is large.
    std::array<std::uint32_t, kMaxColumns> lastString_;
    std::array<bool, kMaxColumns> hasLastString_{};
};

}  // namespace tarn::xls
