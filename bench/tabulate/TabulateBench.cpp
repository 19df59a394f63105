// Converts a 200,000-line report (about 3,000 pages) end to end and prints
// report lines per second, next to the floor: reading the same input and
// writing an output of the workbook's size with plain buffered I/O.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ReportGenerator.h"
#include "tabulate/Tabulate.h"

namespace {

// Size of the report: pages of 6 header lines and 60 data lines.
constexpr int kPages = 3030;
constexpr int kRowsPerPage = 60;
constexpr int kRuns = 3;
// Buffer of the plain I/O floor.
constexpr size_t kIoBuffer = 65536;

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Reads `input` and writes `outputSize` bytes to `output` through stdio.
void PlainCopy(const std::string& input, const std::string& output, std::uintmax_t outputSize) {
    std::vector<char> buffer(kIoBuffer);
    std::FILE* in = std::fopen(input.c_str(), "rb");
    std::FILE* out = std::fopen(output.c_str(), "wb");
    if (in == nullptr || out == nullptr) std::abort();
    unsigned checksum = 0;
    for (size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), in)) > 0;) {
        for (size_t i = 0; i < n; i += 4096) checksum += static_cast<unsigned char>(buffer[i]);
    }
    buffer.assign(kIoBuffer, static_cast<char>(checksum));
    for (std::uintmax_t left = outputSize; left > 0;) {
        size_t n = left < buffer.size() ? static_cast<size_t>(left) : buffer.size();
        if (std::fwrite(buffer.data(), 1, n, out) != n) std::abort();
        left -= n;
    }
    std::fclose(in);
    if (std::fclose(out) != 0) std::abort();
}

}  // namespace

int main() {
    namespace fs = std::filesystem;
    std::string folder = (fs::temp_directory_path() / "tabulate-bench-XXXXXX").string();
    if (::mkdtemp(folder.data()) == nullptr) return 1;
    folder += "/";

    tabulate_test::ReportOptions options;
    options.pages = kPages;
    options.rowsPerPage = kRowsPerPage;
    const std::string report = tabulate_test::MakeReport(options);
    long lines = 0;
    for (char c : report) lines += c == '\n';
    std::ofstream(folder + "report.txt", std::ios::binary) << report;
    const double megabytes = static_cast<double>(report.size()) / 1e6;
    std::printf("tabulate: %ld report lines, %d pages, %.1f MB\n", lines, kPages, megabytes);

    double best = 1e9, bestFloor = 1e9;
    std::uintmax_t workbookSize = 0;
    for (int run = 0; run < kRuns; ++run) {
        auto start = std::chrono::steady_clock::now();
        int status = tarn::tabulate::RunTabulate({"-p", folder, "-r", "report.txt", "-n", ".", "-g", ","});
        double seconds = Seconds(start);
        if (status != 0) {
            std::printf("conversion failed with status %d\n", status);
            return 1;
        }
        workbookSize = fs::file_size(folder + "report.xls");
        best = std::min(best, seconds);

        start = std::chrono::steady_clock::now();
        PlainCopy(folder + "report.txt", folder + "floor.out", workbookSize);
        bestFloor = std::min(bestFloor, Seconds(start));
    }
    std::printf("  conversion (best of %d): %.3f s, %.0f lines/s, %.1f MB/s in, workbook %.1f MB\n", kRuns,
                best, static_cast<double>(lines) / best, megabytes / best,
                static_cast<double>(workbookSize) / 1e6);
    std::printf("  floor, buffered read + write of the same sizes: %.3f s, %.0f lines/s\n", bestFloor,
                static_cast<double>(lines) / bestFloor);
    std::printf("  conversion / floor: %.1fx\n", best / bestFloor);
    fs::remove_all(folder);
    return 0;
}
