// tabulate against LibreOffice's fixed-width text import on the same
// generated aging report (199,476 lines, 10 columns, 129,558 data rows),
// side by side in one run. Both are run as programs; the figures are the
// best of several runs in wall-clock time and in processor time (user +
// system of the program and its children), the latter being the steadier
// one on a busy machine. Also prints the .xlsx path's time and the peak
// memory of each. Prints figures; never passes or fails on time.
//
// usage: tabulate_bench [runs of tabulate] [runs of LibreOffice]
//
// LibreOffice is given the column positions by hand (0, 10, 32, 41, 50, 59,
// 73, 87, 101, 115; the two date columns as MM/DD/YY, the customer columns as
// text) and writes "MS Excel 97"; it keeps the first 65,536 rows only.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ReportGenerator.h"

namespace {

namespace fs = std::filesystem;

struct Run {
    int status = -1;
    double wall = 0;  // seconds
    double cpu = 0;   // user + system seconds of the program and its children
    long peakKb = 0;  // largest resident set of the program or a child
};

// Runs argv with standard output and error discarded.
Run RunProgram(const std::vector<std::string>& args) {
    Run run;
    std::fflush(stdout);  // the child must not print what is buffered here
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        if (std::freopen("/dev/null", "w", stdout) == nullptr ||
            std::freopen("/dev/null", "w", stderr) == nullptr)
            _exit(126);
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    run.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // wait4 counts the program itself; its own children (LibreOffice's
    // launcher starts the office process) show in RUSAGE_CHILDREN of the
    // program, which wait4 includes once they were waited for.
    run.cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
              static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    run.peakKb = usage.ru_maxrss;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

Run Best(const std::vector<std::string>& args, int runs) {
    Run best;
    best.wall = best.cpu = 1e9;
    for (int i = 0; i < runs; ++i) {
        Run r = RunProgram(args);
        if (r.status != 0) return r;
        best.status = 0;
        best.wall = std::min(best.wall, r.wall);
        best.cpu = std::min(best.cpu, r.cpu);
        best.peakKb = std::max(best.peakKb, r.peakKb);
    }
    return best;
}

void Print(const char* what, const Run& r, long lines) {
    std::printf("  %-44s %7.3f s wall %7.3f s cpu %9.0f lines/s  peak %6.1f MB\n", what, r.wall, r.cpu,
                static_cast<double>(lines) / r.wall, static_cast<double>(r.peakKb) / 1024.0);
}

bool HaveLibreOffice() { return std::system("command -v soffice >/dev/null 2>&1") == 0; }

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const int officeRuns = argc > 2 ? std::max(1, std::atoi(argv[2])) : 2;
    std::string folder = (fs::temp_directory_path() / "tabulate-bench-XXXXXX").string();
    if (::mkdtemp(folder.data()) == nullptr) return 1;
    folder += "/";

    const std::string report = tabulate_test::MakeAgingReport();
    long lines = 0;
    for (char c : report) lines += c == '\n';
    std::ofstream(folder + "aging.txt", std::ios::binary) << report;
    std::printf("aging report: %ld lines, %.1f MB, 10 columns, 129,558 data rows\n", lines,
                static_cast<double>(report.size()) / 1e6);

    const std::string tabulate = std::string(TARN_BIN_DIR) + "/tabulate";
    const std::vector<std::string> xlsArgs{tabulate, "-p", folder, "-r", "aging.txt", "-n", ".", "-g", ","};
    std::vector<std::string> xlsxArgs = xlsArgs;
    xlsxArgs.insert(xlsxArgs.end(), {"-f", "xlsx"});
    const Run xls = Best(xlsArgs, runs);
    const Run xlsx = Best(xlsxArgs, std::max(1, runs / 2));
    if (xls.status != 0 || xlsx.status != 0) {
        std::printf("tabulate failed: status %d / %d\n", xls.status, xlsx.status);
        return 1;
    }
    char label[96];
    std::snprintf(label, sizeof label, "tabulate -> .xls (best of %d)", runs);
    Print(label, xls, lines);
    std::snprintf(label, sizeof label, "tabulate -f xlsx -> .xlsx (best of %d)", std::max(1, runs / 2));
    Print(label, xlsx, lines);
    std::printf("  workbooks: .xls %.1f MB, .xlsx %.1f MB\n",
                static_cast<double>(fs::file_size(folder + "aging.xls")) / 1e6,
                static_cast<double>(fs::file_size(folder + "aging.xlsx")) / 1e6);

    if (!HaveLibreOffice()) {
        std::printf("  LibreOffice (soffice) not installed: no ratio\n");
        fs::remove_all(folder);
        return 0;
    }
    fs::create_directory(folder + "office");
    const std::vector<std::string> office{"soffice",
                                          "--headless",
                                          "--norestore",
                                          "-env:UserInstallation=file://" + folder + "profile",
                                          "--infilter=Text - txt - csv (StarCalc):FIX,34,ANSI,1,"
                                          "0/2/10/2/32/1/41/3/50/3/59/1/73/1/87/1/101/1/115/1",
                                          "--convert-to",
                                          "xls:MS Excel 97",
                                          "--outdir",
                                          folder + "office",
                                          folder + "aging.txt"};
    // The first run makes LibreOffice's profile and is not counted.
    Run warm = RunProgram(office);
    if (warm.status != 0 || !fs::exists(folder + "office/aging.xls")) {
        std::printf("  LibreOffice failed (status %d): no ratio\n", warm.status);
        fs::remove_all(folder);
        return 1;
    }
    const Run lo = Best(office, officeRuns);
    std::snprintf(label, sizeof label, "LibreOffice fixed-width import -> .xls (best of %d)", officeRuns);
    Print(label, lo, lines);
    std::printf("  tabulate .xls is %.1fx faster in wall time, %.1fx in processor time (target 20x)\n",
                lo.wall / xls.wall, lo.cpu / xls.cpu);
    std::printf("  tabulate .xlsx is %.1fx faster in wall time, %.1fx in processor time\n",
                lo.wall / xlsx.wall, lo.cpu / xlsx.cpu);
    fs::remove_all(folder);
    return 0;
}
