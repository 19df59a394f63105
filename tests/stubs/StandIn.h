#pragma once
// Test helpers around the stand-in program (StandInTool.cpp) and scratch folders.

#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/service/HostTestSupport.h"

namespace tarn::testing {

// A fresh folder below the system's temporary folder, removed with its
// contents; its path is given with the closing slash.
class ScratchFolder {
  public:
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + name; }

  private:
    TempFolder folder_;
    std::string path_ = folder_.path().empty() ? std::string() : folder_.path() + "/";
};

inline std::string ReadFile(const std::string& path) { return ReadText(path); }

inline void WriteFile(const std::string& path, const std::string& contents) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << contents;
}

inline bool Exists(const std::string& path) { return std::filesystem::exists(path); }

// Puts the stand-in program into `folder` under `name` (a symbolic link, so
// that it records into `folder`/`name`.args).
inline std::string InstallStandIn(const std::string& folder, const std::string& name) {
    std::string path = folder + name;
    std::filesystem::create_symlink(TARN_STAND_IN, path);
    return path;
}

// The arguments the stand-in installed as `program` received in its last run.
inline std::vector<std::string> RecordedArgs(const std::string& program) {
    std::string all = ReadFile(program + ".args");
    std::vector<std::string> args;
    std::string::size_type start = 0;
    for (std::string::size_type nul; (nul = all.find('\0', start)) != std::string::npos; start = nul + 1) {
        args.push_back(all.substr(start, nul - start));
    }
    return args;
}

inline void SetStandInExit(const std::string& program, int status) {
    WriteFile(program + ".exit", std::to_string(status));
}

struct ProgramRun {
    int exitCode = -1;
    std::string out, err;
};

// Runs argv[0] with the arguments, standard output and error into files of `scratch`.
inline ProgramRun RunAndCapture(const std::vector<std::string>& args, const std::string& scratch) {
    ProgramRun run;
    std::string outPath = scratch + "run.out", errPath = scratch + "run.err";
    pid_t pid = fork();
    if (pid == 0) {
        FILE* o = freopen(outPath.c_str(), "w", stdout);
        FILE* e = freopen(errPath.c_str(), "w", stderr);
        if (o == nullptr || e == nullptr) _exit(126);
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = ReadFile(outPath);
    run.err = ReadFile(errPath);
    return run;
}

// A PDF of `pages` empty Letter pages, written by hand with an exact
// cross-reference table, for merge inputs.
inline std::string MakePdf(int pages) {
    std::vector<std::string> objects;
    objects.push_back("<< /Type /Catalog /Pages 2 0 R >>");
    std::string kids;
    for (int i = 0; i < pages; ++i) kids += std::to_string(3 + i) + " 0 R ";
    objects.push_back("<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages) + " >>");
    for (int i = 0; i < pages; ++i)
        objects.push_back("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>");
    std::string pdf = "%PDF-1.4\n";
    std::vector<size_t> offsets;
    for (size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (size_t offset : offsets) {
        char entry[32];
        std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", offset);
        pdf += entry;
    }
    pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
           std::to_string(xref) + "\n%%EOF\n";
    return pdf;
}

// Page count of a PDF read by qpdf (an independent reader); -1 when it cannot read it.
inline int PdfPageCount(const std::string& path, const std::string& scratch) {
    ProgramRun run = RunAndCapture({"/usr/bin/qpdf", "--show-npages", path}, scratch);
    return run.exitCode == 0 ? std::atoi(run.out.c_str()) : -1;
}

}  // namespace tarn::testing
