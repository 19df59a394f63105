#include "service/job/ToolCommandLines.h"

#include "platform/Process.h"

namespace tarn {

std::string BuildOverprintCommandLine(const std::string& converterPath, const std::string& templatePath,
                                      const std::string& rawPath, const std::string& pdfParams,
                                      const std::string& outBase, const std::string& formsFolder) {
    // pdfparams is a list of options by design and goes in unchanged.
    std::string line = QuoteArgument(converterPath) + " " + QuoteArgument(templatePath) + " " +
                       QuoteArgument(rawPath) + " " + pdfParams + " -o " +
                       QuoteArgument(outBase + kConvertedSuffix);
    if (!formsFolder.empty()) line += " -d " + QuoteArgument(formsFolder);
    return line;
}

std::string BuildTabulateCommandLine(const std::string& converterPath, const std::string& saveDir,
                                     const std::string& rawName, const TabulateSettings& settings) {
    // The folder goes in quoted as it is: with '/' as separator nothing
    // needs protecting before the closing quote.
    std::string line =
        QuoteArgument(converterPath) + " -p " + QuoteArgument(saveDir) + " -r " + QuoteArgument(rawName);
    const std::pair<const char*, const std::string*> options[] = {
        {" -d ", &settings.dateFormat},     {" -n ", &settings.decimalSeparator},
        {" -g ", &settings.groupSeparator}, {" -e ", &settings.excelDirective},
        {" -x ", &settings.nextSheet},
    };
    for (const auto& [option, value] : options) {
        if (!value->empty()) line += option + QuoteArgumentIfNeeded(*value);
    }
    return line;
}

std::string BuildPdftkCommandLine(const std::string& pdftkPath, const std::vector<std::string>& inputs,
                                  const std::string& finalPdf) {
    std::string line = QuoteArgumentIfNeeded(pdftkPath) + " ";
    for (const std::string& input : inputs) line += QuoteArgumentIfNeeded(input) + " ";
    return line + "cat output " + QuoteArgumentIfNeeded(finalPdf);
}

}  // namespace tarn
