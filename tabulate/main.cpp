// tabulate: converts a printed report into an .xls workbook, one worksheet
// per report section. Its exit status is its only report.

#include <string>
#include <vector>

#include "common/ProgramInfo.h"
#include "platform/File.h"
#include "platform/Paths.h"
#include "tabulate/KeywordTable.h"
#include "tabulate/Tabulate.h"

namespace {

const char kUsage[] =
    "usage: tabulate -p FOLDER -r FILE [-d DATEFORMAT] [-n DECIMALSEP] [-g GROUPSEP]\n"
    "                [-e DIRECTIVE] [-x NEXTSHEET]\n"
    "Converts the report FOLDERFILE (FOLDER ends in /) into a workbook beside it with\n"
    "the extension .xls, one sheet per report section. The exit status is its report.\n";

}  // namespace

int main(int argc, char** argv) {
    if (tarn::AnswerHelpOrVersion(argc, argv, "tabulate", kUsage)) return 0;
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
