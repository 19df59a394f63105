#include "tabulate/ColumnLayout.h"

#include <algorithm>

#include "tabulate/Text.h"

namespace tarn::tabulate {
namespace {

// A first dash run starting after this column leaves room for a column of
// its own in front.
constexpr int kLeadingColumnAfter = 2;

// Byte at `at`, or a space beyond the line's end.
char ByteAt(const std::string& line, long at) {
    return at >= 0 && static_cast<size_t>(at) < line.size() ? line[static_cast<size_t>(at)] : ' ';
}

}  // namespace

std::vector<ColumnSpec> ColumnsFromUnderline(const std::string& underline) {
    std::vector<Word> runs = SplitWords(underline);
    std::vector<ColumnSpec> columns;
    if (runs.empty()) return columns;
    if (static_cast<int>(runs[0].start) > kLeadingColumnAfter) {
        runs.insert(runs.begin(), Word{0, std::string(runs[0].start - 1, '-')});
    }
    for (size_t i = 0; i < runs.size(); ++i) {
        ColumnSpec column;
        column.start = static_cast<int>(runs[i].start);
        column.dashLength = static_cast<int>(runs[i].text.size());
        column.width =
            i + 1 < runs.size() ? static_cast<int>(runs[i + 1].start - runs[i].start) : column.dashLength;
        columns.push_back(column);
    }
    return columns;
}

std::string_view ExtractField(const ColumnSpec& column, std::string_view line) {
    if (column.start < 0 || static_cast<size_t>(column.start) >= line.size()) return {};
    return Trim(
        line.substr(static_cast<size_t>(column.start), static_cast<size_t>(std::max(column.width, 0))));
}

void SetTitle(ColumnSpec* column, const std::string& title, const KeywordTable& keywords) {
    column->title = title;
    int type = keywords.Lookup(title);
    if (type != 0) {
        column->type = type;
        column->fixedType = type;
    }
}

void AssembleTitles(std::vector<ColumnSpec>* columns, const std::vector<std::string>& titleLines,
                    const KeywordTable& keywords) {
    const size_t n = titleLines.size();
    for (size_t m = 0; m < columns->size(); ++m) {
        ColumnSpec& column = (*columns)[m];
        const long s = column.start;
        const long w = column.width;
        const long d = column.dashLength;
        std::string title;
        for (size_t l = 0; l < n; ++l) {
            const std::string& line = titleLines[l];
            if (n >= 2 && l == 0) {
                title = ExtractField(column, line);
                continue;
            }
            std::string piece(ExtractField(column, line));
            // Left straddle: a word that began in the gap after the previous
            // column's dashes belongs to this column.
            if (m > 0) {
                const ColumnSpec& previous = (*columns)[m - 1];
                const long previousDashEnd = previous.start + previous.dashLength - 1;
                if (ByteAt(line, s - 1) != ' ' && ByteAt(line, previousDashEnd) == ' ') {
                    for (long at = s - 1; at >= 0 && ByteAt(line, at) != ' '; --at) {
                        piece.insert(piece.begin(), line[static_cast<size_t>(at)]);
                    }
                }
            }
            // Right straddle: a word running into the next column is left to
            // that column.
            if (m + 1 < columns->size()) {
                if (ByteAt(line, s + w - 1) != ' ' && ByteAt(line, s + d - 1) == ' ') {
                    if (d >= 1 && piece.size() > static_cast<size_t>(d - 1)) {
                        piece.resize(static_cast<size_t>(d - 1));
                    }
                    piece.resize(RightTrim(piece).size());
                }
            }
            if (!title.empty() && !piece.empty()) title += ' ';
            title += piece;
            if (!title.empty()) SetTitle(&column, title, keywords);
        }
    }
}

void InferTypes(std::vector<ColumnSpec>* columns, std::string_view line, const ValueClassifier& classifier) {
    for (ColumnSpec& column : *columns) {
        if (column.fixedType != 0) continue;
        const std::string_view value = ExtractField(column, line);
        if (value.empty()) continue;
        int kind = classifier.ClassifyValue(value).kind;
        if (kind == kTypeText && column.type != kTypeText) {
            if (!ContainsNoCase(value, "TOTAL")) column.type = kTypeText;
        } else if (kind == kTypeDate && column.type != kTypeDate) {
            column.type = kTypeDate;
        }
    }
}

}  // namespace tarn::tabulate
