#pragma once
// One column of a report page, as the dash underline lays it out.

#include <string>

namespace tarn::tabulate {

// Column and value kinds.
inline constexpr int kTypeText = 1;
inline constexpr int kTypeNumber = 2;
inline constexpr int kTypeDate = 3;

struct ColumnSpec {
    int start = 0;       // 0-based byte column where the field begins
    int width = 0;       // bytes that belong to the column
    int dashLength = 0;  // length of the column's run of dashes
    std::string title;
    int type = kTypeNumber;
    int fixedType = 0;  // non-zero when a keyword fixed the type
};

}  // namespace tarn::tabulate
