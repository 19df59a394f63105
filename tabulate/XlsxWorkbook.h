#pragma once
// The converter's workbook written as an Office Open XML .xlsx file through
// libxlsxwriter, behind the same interface as the .xls library, so that both
// formats get the same cells, formats, merges, widths and sheet names.
//
// Rows must be written top to bottom on each sheet (the converter does):
// the library keeps one row in memory and streams the rest to a temporary
// file, so memory does not grow with the report.

#include <memory>
#include <string>

#include "xls/Workbook.h"

namespace tarn::tabulate {

// Rows and columns of one .xlsx worksheet.
inline constexpr int kXlsxSheetRows = 1048576;
inline constexpr int kXlsxSheetColumns = 16384;

// A new .xlsx workbook that Save writes to `workbookPath`. It is assembled in
// a temporary file beside that path; nullptr when that file cannot be made.
std::unique_ptr<xls::Workbook> CreateXlsxWorkbook(const std::string& workbookPath);

// UTF-16 text as UTF-8 (an unpaired surrogate becomes U+FFFD).
std::string Utf8FromUtf16(const std::u16string& text);

}  // namespace tarn::tabulate
