// overprint: lays a text report onto the pages of a PDF form.
#include <string>
#include <vector>

#include "common/ProgramInfo.h"
#include "overprint/Driver.h"

namespace {

const char kUsage[] =
    "usage: overprint FORM.pdf REPORT.txt [-t TOP] [-l LEFT] [-s LINESPACE] [-f FONTSIZE]\n"
    "                 [-n FONT] [-z SCALE] [-o OUTPUT]\n"
    "       overprint -r          (stream mode: the job arrives on standard input)\n"
    "Lays the text of REPORT.txt onto the pages of FORM.pdf and writes OUTPUT.pdf.\n";

}  // namespace

int main(int argc, char** argv) {
    if (tarn::AnswerHelpOrVersion(argc, argv, "overprint", kUsage)) return 0;
    std::vector<std::string> args(argv, argv + argc);
    return tarn::overprint::RunOverprint(args);
}
