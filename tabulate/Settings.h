#pragma once
// The converter's settings, as given on the command line and as resolved for
// the conversion, and the names of the files it works on.

#include <string>
#include <vector>

namespace tarn::tabulate {

// Exit statuses of the program.
inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = -1;        // too few arguments, no -p or -r value
inline constexpr int kExitCleanFailed = -2;  // input unreadable or cleaned file not written
inline constexpr int kExitNoWorkbook = -3;   // no column layout, refused sheet or failed save

// The date format when -d is absent or empty.
inline constexpr const char* kDefaultDateFormat = "mm/dd/yy";

// The file format of the workbook, chosen with -f (xls when absent or empty).
enum class WorkbookFormat { kXls, kXlsx };

struct Settings {
    std::string inputFolder;          // -p
    std::string inputFile;            // -r
    std::string dateFormat;           // -d
    std::string inputDecSeparator;    // -n
    std::string inputGroupSeparator;  // -g
    std::string excelDirective;       // -e
    std::string nextSheet;            // -x
    std::string workbookFormat;       // -f: "xls" or "xlsx", any case
};

// Reads the option pairs that follow the program name. Returns kExitOk, or
// kExitUsage when there are fewer than four words, -p / -r is missing or -f
// names no format this program writes.
int ParseOptions(const std::vector<std::string>& args, Settings* settings);

// Fills the separators and date format that were not given: the separators
// from the user's locale, the date format with kDefaultDateFormat.
void ResolveEffectiveSettings(Settings* settings);

// Folder and file joined as they stand (the folder carries its separator).
std::string InputPath(const Settings& settings);
// The path with the extension of its last component replaced by `extension`
// (which starts with "."); a name without "." gets the extension appended.
std::string ReplaceExtension(const std::string& path, const std::string& extension);
std::string CleanedPath(const std::string& inputPath);
// The workbook beside the input: its extension replaced by ".xls" or ".xlsx".
std::string WorkbookPath(const std::string& inputPath, WorkbookFormat format = WorkbookFormat::kXls);
// The format -f chose; call after ParseOptions accepted the settings.
WorkbookFormat ChosenFormat(const Settings& settings);

}  // namespace tarn::tabulate
