#pragma once
// Limits of the BIFF8 workbook format and of the compound file around it.

#include <cstddef>
#include <cstdint>

namespace tarn::xls {

// Rows in a BIFF8 worksheet (row numbers 0..65535).
inline constexpr int kMaxRows = 65536;
// Columns in a BIFF8 worksheet (columns A..IV).
inline constexpr int kMaxColumns = 256;
// Characters in a sheet name, as Excel accepts them.
inline constexpr std::size_t kMaxSheetNameChars = 31;
// Characters in one text cell, as Excel accepts them.
inline constexpr std::size_t kMaxTextChars = 32767;
// Characters in a number format text (one FORMAT record's string).
inline constexpr std::size_t kMaxFormatTextChars = 255;
// Characters in a font name (ShortXLUnicodeString in FONT).
inline constexpr std::size_t kMaxFontNameChars = 31;
// First id of a user-defined number format; lower ids are built in.
inline constexpr int kFirstCustomFormatId = 164;
// Last number format id a 16-bit XF field can hold.
inline constexpr int kMaxFormatId = 0xFFFF;
// Data bytes in one BIFF8 record, header not counted (MS-XLS 2.1.4).
inline constexpr std::size_t kMaxRecordData = 8224;
// Cell XF records a BIFF8 workbook may hold in all (ixfe is 12 bits, Excel stops at 4050).
inline constexpr std::size_t kMaxXfRecords = 4050;
// Font records Excel accepts in one workbook.
inline constexpr std::size_t kMaxFonts = 510;
// Ranges in one MERGEDCELLS record, as Excel writes them.
inline constexpr std::size_t kMaxRangesPerMergeRecord = 1026;
// Rows in one row block (ROW records followed by their cells).
inline constexpr int kRowsPerBlock = 32;
// Smallest number of strings in one EXTSST bucket (MS-XLS 2.4.107).
inline constexpr std::size_t kMinStringsPerBucket = 8;
// Largest number of buckets EXTSST holds.
inline constexpr std::size_t kMaxExtSstBuckets = 128;
// Default font size in points.
inline constexpr int kDefaultFontPoints = 10;

}  // namespace tarn::xls
