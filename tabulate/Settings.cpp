#include "tabulate/Settings.h"

#include "platform/Locale.h"
#include "tabulate/Text.h"

namespace tarn::tabulate {
namespace {

// Fewest words after the program name for a run: -p folder -r file.
constexpr size_t kMinArguments = 4;

}  // namespace

int ParseOptions(const std::vector<std::string>& args, Settings* settings) {
    if (args.size() < kMinArguments) return kExitUsage;
    struct Option {
        const char* word;
        std::string Settings::*field;
    };
    static const Option kOptions[] = {
        {"-p", &Settings::inputFolder},         {"-r", &Settings::inputFile},
        {"-d", &Settings::dateFormat},          {"-n", &Settings::inputDecSeparator},
        {"-g", &Settings::inputGroupSeparator}, {"-e", &Settings::excelDirective},
        {"-x", &Settings::nextSheet},           {"-f", &Settings::workbookFormat},
    };
    // Words go in pairs; an unknown word is skipped with its partner and a
    // lone last word is ignored.
    for (size_t i = 0; i + 1 < args.size(); i += 2) {
        const std::string word = ToUpper(args[i]);
        for (const Option& option : kOptions) {
            if (word == ToUpper(option.word)) {
                settings->*option.field = args[i + 1];
                break;
            }
        }
    }
    if (settings->inputFolder.empty() || settings->inputFile.empty()) return kExitUsage;
    const std::string format = ToUpper(settings->workbookFormat);
    if (!format.empty() && format != "XLS" && format != "XLSX") return kExitUsage;
    return kExitOk;
}

void ResolveEffectiveSettings(Settings* settings) {
    if (settings->inputDecSeparator.empty() || settings->inputGroupSeparator.empty()) {
        tarn::MonetarySeparators locale = tarn::UserMonetarySeparators();
        if (settings->inputDecSeparator.empty()) settings->inputDecSeparator = locale.decimal;
        if (settings->inputGroupSeparator.empty()) settings->inputGroupSeparator = locale.thousands;
    }
    if (settings->dateFormat.empty()) settings->dateFormat = kDefaultDateFormat;
}

std::string InputPath(const Settings& settings) { return settings.inputFolder + settings.inputFile; }

std::string ReplaceExtension(const std::string& path, const std::string& extension) {
    // Only a dot in the file's own name counts: a dot in a folder name must
    // not send the output into a parent folder.
    size_t slash = path.rfind('/');
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return path + extension;
    }
    return path.substr(0, dot) + extension;
}

std::string CleanedPath(const std::string& inputPath) { return ReplaceExtension(inputPath, ".cln"); }

std::string WorkbookPath(const std::string& inputPath, WorkbookFormat format) {
    return ReplaceExtension(inputPath, format == WorkbookFormat::kXlsx ? ".xlsx" : ".xls");
}

WorkbookFormat ChosenFormat(const Settings& settings) {
    return ToUpper(settings.workbookFormat) == "XLSX" ? WorkbookFormat::kXlsx : WorkbookFormat::kXls;
}

}  // namespace tarn::tabulate
