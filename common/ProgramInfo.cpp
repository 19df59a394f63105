#include "common/ProgramInfo.h"

#include <cstdio>
#include <cstring>

namespace tarn {

const char* TarnVersion() { return TARN_VERSION; }

bool AnswerHelpOrVersion(int argc, const char* const* argv, const char* program, const std::string& usage) {
    if (argc != 2) return false;
    std::string text;
    if (std::strcmp(argv[1], "--help") == 0) {
        text = usage;
    } else if (std::strcmp(argv[1], "--version") == 0) {
        text = std::string(program) + " (TARN) " + TarnVersion() + "\n";
    } else {
        return false;
    }
    // One write, so that a pipe or a log collector sees the text whole.
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    return true;
}

}  // namespace tarn
