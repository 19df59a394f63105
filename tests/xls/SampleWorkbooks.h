#pragma once
// The workbooks the tests write, one of each kind, shared by the reader
// tests and the LibreOffice check.

#include <string>
#include <vector>

#include "platform/Status.h"

namespace xls_test {

// A report sheet as the converter writes one: bold centred header with a
// medium bottom border, numbers in "#,##0.00", dates in "mm/dd/yy", text with
// cp1252 bytes 0x80 and 0xE9, "END OF REPORT" with a thick top border merged
// over the columns, a bold Courier New block, column widths 7, 16, 8, 9.
tarn::Status WriteReportSample(const std::string& path);

// Four sheets requested as "Sheet1", "Sheet1", "sheet1", "Sheet1", each
// holding its position in A1.
tarn::Status WriteSameNameSample(const std::string& path);

// Column A of one sheet: the texts of LongStrings() in order.
tarn::Status WriteLongStringSample(const std::string& path);
// Texts (cp1252 bytes) longer than one record's 8,224 bytes and texts that
// cross record boundaries of the shared string table, none spanning more than
// two records: 8,300 single-byte characters, 4,500 characters that need
// UTF-16 (9,000 bytes), then 600 of mixed lengths and kinds.
const std::vector<std::string>& LongStrings();

// Column A: the texts of LongestStrings(), each spanning three or more records.
tarn::Status WriteLongestStringSample(const std::string& path);
// 20,000 single-byte characters, and 32,767 (the most a cell holds) that need UTF-16.
const std::vector<std::string>& LongestStrings();

// 65,536 rows: column A the row number, column B the text "r<row % 100>".
tarn::Status WriteAllRowsSample(const std::string& path);

// 2,000 merged ranges: row r merged over columns 0 to 2, text "m<r>" in A.
tarn::Status WriteManyMergesSample(const std::string& path);
inline constexpr int kMergeSampleRanges = 2000;

// A workbook past 20 MB: kBigSheets sheets of 65,536 rows by kBigColumns
// numbers, cell (r, c) of sheet s holding BigSampleValue(s, r, c) (a third
// past an integer, so that every cell takes a full 8-byte NUMBER record).
tarn::Status WriteBigSample(const std::string& path);
inline double BigSampleValue(int sheet, int row, int col) { return sheet * 1e6 + row * 10 + col + 1.0 / 3; }
inline constexpr int kBigSheets = 4;
inline constexpr int kBigColumns = 5;

// Cyrillic text in code page 1251.
tarn::Status WriteCyrillicSample(const std::string& path);

// cp1252 text as UTF-8 (enough of the code page for the tests' texts).
std::string Cp1252ToUtf8(const std::string& bytes);

}  // namespace xls_test
