#pragma once
// The command lines the pipeline builds for its converters and the merge
// tool. Values that the line puts in quotes are quoted so that they split
// back into exactly themselves; unquoted values are quoted only when they
// would split differently, so ordinary lines keep their familiar bytes.

#include <string>
#include <vector>

namespace tarn {

// The settings of section xls that tabulate receives, each passed only when not empty.
struct TabulateSettings {
    std::string dateFormat;        // -d
    std::string decimalSeparator;  // -n
    std::string groupSeparator;    // -g
    std::string excelDirective;    // -e
    std::string nextSheet;         // -x
};

// Added to the output base to name overprint's temporary result.
inline constexpr const char* kConvertedSuffix = "_$$$";

// "converter" "form" "raw" <pdfparams unchanged> -o "outBase_$$$", then
// -d "formsFolder" only when a forms folder is configured.
std::string BuildOverprintCommandLine(const std::string& converterPath, const std::string& templatePath,
                                      const std::string& rawPath, const std::string& pdfParams,
                                      const std::string& outBase, const std::string& formsFolder = "");

// "converter" -p "saveDir" -r "rawName" [-d v] [-n v] [-g v] [-e v] [-x v]
std::string BuildTabulateCommandLine(const std::string& converterPath, const std::string& saveDir,
                                     const std::string& rawName, const TabulateSettings& settings);

// pdftk <inputs...> cat output <final>
std::string BuildPdftkCommandLine(const std::string& pdftkPath, const std::vector<std::string>& inputs,
                                  const std::string& finalPdf);

}  // namespace tarn
