#include "xls/Worksheet.h"

#include <algorithm>
#include <cmath>

#include "xls/CellFormat.h"
#include "xls/SharedStrings.h"
#include "xls/TextDecoder.h"

namespace tarn::xls {
namespace {

// Widest column Excel allows, in characters.
constexpr double kMaxColumnWidth = 255.0;

std::uint32_t FormatRef(const Format* format) {
    const CellFormat* own = dynamic_cast<const CellFormat*>(format);
    return own == nullptr ? 0 : static_cast<std::uint32_t>(own->Index()) + 1;
}

bool InSheet(int row, int col) { return row >= 0 && row < kMaxRows && col >= 0 && col < kMaxColumns; }

bool Overlap(const CellRange& a, const CellRange& b) {
    return a.firstRow <= b.lastRow && b.firstRow <= a.lastRow && a.firstCol <= b.lastCol &&
           b.firstCol <= a.lastCol;
}

}  // namespace

Worksheet::Worksheet(std::u16string name, TextDecoder* decoder, SharedStrings* strings)
    : name_(std::move(name)), decoder_(decoder), strings_(strings) {
    widths_.fill(-1.0);
}

Cell* Worksheet::Place(int row, int col) {
    if (!InSheet(row, col)) return nullptr;
    if (static_cast<std::size_t>(row) >= rows_.size()) rows_.resize(static_cast<std::size_t>(row) + 1);
    std::vector<Cell>& cells = rows_[static_cast<std::size_t>(row)];
    // Rows of a report are alike: size a new row like the one above it
    // rather than letting it grow by doubling.
    if (cells.capacity() == 0 && row > 0) cells.reserve(rows_[static_cast<std::size_t>(row) - 1].size());
    const std::uint16_t c = static_cast<std::uint16_t>(col);
    if (cells.empty() || cells.back().col < c) {
        cells.push_back(Cell{});
        cells.back().col = c;
        return &cells.back();
    }
    auto at = std::lower_bound(cells.begin(), cells.end(), c,
                               [](const Cell& cell, std::uint16_t v) { return cell.col < v; });
    if (at != cells.end() && at->col == c) {
        if (at->kind == CellKind::kText) --textCells_;
        return &*at;
    }
    at = cells.insert(at, Cell{});
    at->col = c;
    return &*at;
}

bool Worksheet::WriteText(int row, int col, std::string_view text, const Format* format) {
    if (!InSheet(row, col)) return false;
    decoder_->DecodeInto(text, &decoded_);
    if (decoded_.size() > kMaxTextChars) return false;
    Cell* cell = Place(row, col);
    cell->formatRef = FormatRef(format);
    if (decoded_.empty()) {
        cell->kind = CellKind::kBlank;
    } else {
        cell->kind = CellKind::kText;
        const std::size_t c = static_cast<std::size_t>(col);
        if (!hasLastString_[c] || strings_->Text(lastString_[c]) != decoded_) {
            lastString_[c] = strings_->Intern(decoded_);
            hasLastString_[c] = true;
        }
        cell->stringIndex = lastString_[c];
        ++textCells_;
    }
    return true;
}

bool Worksheet::WriteNumber(int row, int col, double value, const Format* format) {
    if (!InSheet(row, col) || !std::isfinite(value)) return false;
    Cell* cell = Place(row, col);
    cell->formatRef = FormatRef(format);
    cell->kind = CellKind::kNumber;
    cell->number = value;
    return true;
}

void Worksheet::SetColumn(int firstCol, int lastCol, double width) {
    if (firstCol < 0 || lastCol >= kMaxColumns || firstCol > lastCol || !std::isfinite(width)) return;
    width = std::clamp(width, 0.0, kMaxColumnWidth);
    for (int c = firstCol; c <= lastCol; ++c) widths_[static_cast<std::size_t>(c)] = width;
}

void Worksheet::SetMerge(int firstRow, int lastRow, int firstCol, int lastCol) {
    if (!InSheet(firstRow, firstCol) || !InSheet(lastRow, lastCol)) return;
    if (firstRow > lastRow || firstCol > lastCol) return;
    if (firstRow == lastRow && firstCol == lastCol) return;
    CellRange range{static_cast<std::uint16_t>(firstRow), static_cast<std::uint16_t>(lastRow),
                    static_cast<std::uint16_t>(firstCol), static_cast<std::uint16_t>(lastCol)};
    // Ranges usually come top to bottom: one below all others overlaps none.
    if (!merges_.empty() && range.firstRow <= mergesLastRow_) {
        for (const CellRange& other : merges_) {
            if (Overlap(range, other)) return;
        }
    }
    merges_.push_back(range);
    mergesLastRow_ = std::max(mergesLastRow_, range.lastRow);
}

}  // namespace tarn::xls
