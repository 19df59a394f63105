#pragma once
// Writes the cleaned report into a workbook: one worksheet per section with
// a header row of column titles, typed data rows, an end row and the blocks
// of report attributes and criteria.

#include <string>

#include "tabulate/RawReport.h"
#include "tabulate/Settings.h"

namespace tarn::xls {
class Workbook;
}

namespace tarn::tabulate {

// Rows and columns of one .xls worksheet (BIFF8 limits).
inline constexpr int kSheetRows = 65536;
inline constexpr int kSheetColumns = 256;

// Converts every section of `report` and saves the workbook in `format` at
// `workbookPath`. `settings` holds the effective separators and date format.
// True when the workbook was saved; a section without a column layout, a
// refused sheet or a failed save gives false and leaves no workbook.
bool ConvertReport(RawReport* report, const Settings& settings, const std::string& workbookPath,
                   WorkbookFormat format = WorkbookFormat::kXls);

// The same into a given book, without saving it; a sheet holds `sheetRows`
// rows and `sheetColumns` columns before a section goes on to a further sheet.
bool FillWorkbook(xls::Workbook* book, RawReport* report, const Settings& settings,
                  int sheetRows = kSheetRows, int sheetColumns = kSheetColumns);

}  // namespace tarn::tabulate
