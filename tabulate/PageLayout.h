#pragma once
// What the first page of a section tells about all of its pages.

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "tabulate/ColumnSpec.h"

namespace tarn::tabulate {

// Columns reserved up front; reports rarely have more.
inline constexpr size_t kColumnReserve = 50;

struct PageLayout {
    PageLayout() { columns.reserve(kColumnReserve); }

    std::vector<ColumnSpec> columns;
    // Page furniture: a line equal to a member is skipped.
    std::set<std::string, std::less<>> headerLines;
    std::string programName = "Unknown";
    std::string programQualifier;
    std::string reportPath = "0.0";
    std::string reportName = "Unknown";
    std::string company;
    std::string reportTime;
    std::string reportDate;
};

}  // namespace tarn::tabulate
