#pragma once
// Finds a report's structure: page headers, the column underline and titles
// on a section's first page, and for every later line whether it is page
// furniture, a criteria line or data.

#include <string>
#include <string_view>
#include <vector>

#include "tabulate/KeywordTable.h"
#include "tabulate/PageLayout.h"
#include "tabulate/RawReport.h"
#include "tabulate/ValueClassifier.h"

namespace tarn::tabulate {

// Lines of the first page that count for the layout.
inline constexpr size_t kFirstPageLines = 50;

enum class LineKind { kSkip, kCriteria, kData };

// Reads the first page of the report's current section and fills the
// layout. False when the page shows no column underline.
bool ParseLayout(RawReport* report, PageLayout* layout, const ValueClassifier& classifier,
                 const KeywordTable& keywords);

// The same on first-page lines already read (right-trimmed, FF removed).
bool ParseFirstPage(const std::vector<std::string>& lines, PageLayout* layout,
                    const ValueClassifier& classifier, const KeywordTable& keywords);

// The tests of the two page-header lines; they fill the attribute fields.
bool ReadFirstHeaderLine(const std::string& line, PageLayout* layout);
bool ReadSecondHeaderLine(const std::string& line, PageLayout* layout);

// Classifies one line of the section. *trimmed receives the part of the line
// the caller writes (data: FF removed and right-trimmed; criteria: trimmed),
// a view into `line`.
LineKind ClassifyLine(PageLayout* layout, std::string_view line, bool* criteriaMode,
                      std::string_view* trimmed);

// The report attribute lines written under the data; never empty.
std::vector<std::string> BuildAttributes(const PageLayout& layout);

}  // namespace tarn::tabulate
