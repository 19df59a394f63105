// tarn-merge: writes the pages of PDF files, in the order given, into one
// PDF file. Takes the same words as the job pipeline gives pdftk:
//   tarn-merge FRONT CONVERTED BACK cat output FINAL
// Exit status 0 when FINAL was written, 1 when the merge failed (the reason
// on standard error, no FINAL written), 2 for words of another shape.

#include <cstdio>
#include <string>
#include <vector>

#include "merge/PdfMerge.h"

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

void PrintUsage(std::FILE* to) {
    std::fputs(
        "usage: tarn-merge INPUT... cat output OUTPUT\n"
        "Writes the pages of the INPUT PDF files, in the order given, into OUTPUT.\n"
        "OUTPUT appears only when it is complete; on failure the reason goes to\n"
        "standard error and the exit status is not 0.\n"
        "  --help     this text\n"
        "  --version  the program's version\n",
        to);
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    if (args.size() == 1 && args[0] == "--help") {
        PrintUsage(stdout);
        return 0;
    }
    if (args.size() == 1 && args[0] == "--version") {
        std::printf("tarn-merge %s\n", TARN_MERGE_VERSION);
        return 0;
    }
    tarn::merge::MergeRequest request;
    std::string error;
    if (!tarn::merge::ParseMergeArguments(args, &request, &error)) {
        std::fprintf(stderr, "tarn-merge: %s\n", error.c_str());
        PrintUsage(stderr);
        return kExitUsage;
    }
    const tarn::Status merged = tarn::merge::MergePdfFiles(request);
    if (!merged.ok()) {
        std::fprintf(stderr, "tarn-merge: %s\n", merged.message().c_str());
        return kExitFailed;
    }
    return 0;
}
