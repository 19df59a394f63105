#pragma once
// Columns of a report page: their extent from the dash underline, their
// titles from the lines above it, their type from keywords and sample values.

#include <string>
#include <string_view>
#include <vector>

#include "tabulate/ColumnSpec.h"
#include "tabulate/KeywordTable.h"
#include "tabulate/ValueClassifier.h"

namespace tarn::tabulate {

// One column per dash run of the underline; text left of the first dashes
// gets a column of its own.
std::vector<ColumnSpec> ColumnsFromUnderline(const std::string& underline);

// The column's bytes of the line, trimmed; empty when the line is shorter.
// A view into `line`.
std::string_view ExtractField(const ColumnSpec& column, std::string_view line);

// Stores the title; a keyword title fixes the column's type.
void SetTitle(ColumnSpec* column, const std::string& title, const KeywordTable& keywords);

// Builds every column's title from the title lines, uppermost first. Words
// that straddle a column boundary go to the column their text begins in.
void AssembleTitles(std::vector<ColumnSpec>* columns, const std::vector<std::string>& titleLines,
                    const KeywordTable& keywords);

// Lets one sample data line of the first page adjust the column types.
void InferTypes(std::vector<ColumnSpec>* columns, std::string_view line, const ValueClassifier& classifier);

}  // namespace tarn::tabulate
