// tarn-jobs: lists the jobs of the TARN job history; see JobsCommand.h.

#include <cstdio>
#include <string>
#include <vector>

#include "platform/Paths.h"
#include "tools/JobsCommand.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    const std::string program = tarn::ProgramPath();
    const std::string programDir = program.substr(0, program.rfind('/') + 1);
    std::string out;
    std::string err;
    const int status = tarn::RunJobsCommand(args, programDir, &out, &err);
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
    std::fwrite(err.data(), 1, err.size(), stderr);
    return status;
}
