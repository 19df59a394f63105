// tabulate: converts a printed report into an .xls workbook, one worksheet
// per report section. Its exit status is its only report.

#include <string>
#include <vector>

#include "platform/File.h"
#include "platform/Paths.h"
#include "tabulate/KeywordTable.h"
#include "tabulate/Tabulate.h"

int main(int argc, char** argv) {
    // A keyword file beside the program adds to the built-in keywords.
    const std::string programDir = tarn::ProgramDir();
    if (!programDir.empty() && tarn::FileOpens(programDir + tarn::tabulate::kKeywordFileName)) {
        tarn::tabulate::ConfigFileRegistry& registry = tarn::tabulate::KeywordTable::Registry();
        registry.baseFolder = programDir;
        registry.fileNames.push_back(tarn::tabulate::kKeywordFileName);
    }
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    return tarn::tabulate::RunTabulate(args);
}
