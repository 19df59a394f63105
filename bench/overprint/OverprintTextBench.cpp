// overprint end to end: a 2,000-page report (60 lines a page) laid over a
// one-page form, next to the peer: qpdf laying the same form under and over
// an equivalent 2,000-page text PDF (the same report over a blank page).
// Prints seconds and sizes; never passes or fails on time.

#include <stdlib.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "overprint/PdfWriter.h"
#include "platform/File.h"
#include "platform/Process.h"

namespace {

constexpr int kPages = 2000;
constexpr int kLinesPerPage = 60;
// Timed runs of each step; the median is shown.
constexpr int kRuns = 3;

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

double Median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

std::int64_t SizeOf(const std::string& path) {
    std::int64_t size = 0;
    tarn::GetFileSize(path, &size);
    return size;
}

// The report as the service stores it: CR LF line ends, page breaks FF CR,
// a font change and a barcode on every page.
std::string Report() {
    std::string text;
    for (int p = 1; p <= kPages; ++p) {
        if (p > 1) text += "\f\r";
        text +=
            "\x1b"
            "f9\x1bs12 DELIVERY NOTE " +
            std::to_string(p) +
            "\x1b"
            "f0\x1bs10\r\n";
        for (int line = 2; line < kLinesPerPage; ++line) {
            text += "  " + std::to_string(100000 + p * 100 + line) + "  ITEM-" +
                    std::to_string(line * 7 + p) + " Widget (blue) size " + std::to_string(line) +
                    "     12 pcs   a 4.50    54.00 EUR\r\n";
        }
        text +=
            "\x1b"
            "bB1 30 400 60 ORD" +
            std::to_string(p) + "\r\n";
    }
    return text;
}

// One blank Letter page, the form of the peer's text PDF.
void WriteBlankForm(const std::string& path) {
    tarn::overprint::PdfWriter writer;
    if (!writer.Open(path)) std::abort();
    writer.Write("%PDF-1.4\n", "");
    writer.WriteObject(1, "obj\n<< /Type /Catalog /Pages 2 0 R >>\n");
    writer.WriteObject(2, "obj\n<< /Type /Pages /Kids [3 0 R] /Count 1 >>\n");
    writer.WriteObject(3,
                       "obj\n<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] "
                       "/Resources << >> /Contents 4 0 R >>\n");
    writer.WriteObject(4, "obj\n<< /Length 0 >>\nstream\nendstream\n");
    writer.counter = 5;
    writer.root = 1;
    writer.WriteCrossReference();
    if (!writer.Close()) std::abort();
}

// CPU seconds (user + system) of the finished child processes so far; on a
// shared machine this moves less with the load than the wall clock does.
double ChildCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Timing {
    std::vector<double> wall, cpu;
};

void Time(const std::vector<std::string>& argv, Timing* timing) {
    const double cpu = ChildCpuSeconds();
    auto start = std::chrono::steady_clock::now();
    int exitCode = -1;
    if (!tarn::RunProgram(argv, &exitCode).ok() || (exitCode != 0 && exitCode != 3)) {
        std::fprintf(stderr, "%s failed (%d)\n", argv[0].c_str(), exitCode);
        std::exit(1);
    }
    if (timing != nullptr) {
        timing->wall.push_back(Seconds(start));
        timing->cpu.push_back(ChildCpuSeconds() - cpu);
    }
}

void Print(const char* what, const Timing& t, const std::string& output, const Timing* ours) {
    std::printf("  %-16s %8.3f s wall %8.3f s cpu  output %10lld bytes", what, Median(t.wall), Median(t.cpu),
                static_cast<long long>(SizeOf(output)));
    if (ours != nullptr) {
        std::printf("  ratio %.2f wall %.2f cpu", Median(t.wall) / Median(ours->wall),
                    Median(t.cpu) / Median(ours->cpu));
    }
    std::printf("\n");
}

}  // namespace

int main() {
    const std::string overprint = std::string(TARN_BIN_DIR) + "/overprint";
    const std::string form = std::string(OVERPRINT_FIXTURES) + "/form_odt.pdf";
    std::string pattern = (std::filesystem::temp_directory_path() / "overprint-text-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) return 1;
    const std::string dir = pattern;
    const std::string text = dir + "/report.txt";
    if (!tarn::WriteWholeFile(text, Report()).ok()) return 1;

    // The peer's input: the same report over a blank page (not timed).
    WriteBlankForm(dir + "/blank.pdf");
    Time({overprint, dir + "/blank.pdf", text, "-o", dir + "/text"}, nullptr);

    Timing ours, underlay, overlay;
    for (int run = 0; run < kRuns; ++run) {
        Time({overprint, form, text, "-o", dir + "/ours"}, &ours);
        Time({"/usr/bin/qpdf", dir + "/text.pdf", "--underlay", form, "--repeat=1", "--",
              dir + "/underlay.pdf"},
             &underlay);
        Time(
            {"/usr/bin/qpdf", dir + "/text.pdf", "--overlay", form, "--repeat=1", "--", dir + "/overlay.pdf"},
            &overlay);
    }
    std::printf(
        "overprint end to end: %d pages x %d lines on a one-page form (%s, %lld bytes), "
        "median of %d runs\n",
        kPages, kLinesPerPage, std::filesystem::path(form).filename().c_str(),
        static_cast<long long>(SizeOf(form)), kRuns);
    std::printf("  report text %lld bytes; the peer's text PDF %lld bytes\n",
                static_cast<long long>(SizeOf(text)), static_cast<long long>(SizeOf(dir + "/text.pdf")));
    Print("overprint", ours, dir + "/ours.pdf", nullptr);
    Print("qpdf --underlay", underlay, dir + "/underlay.pdf", &ours);
    Print("qpdf --overlay", overlay, dir + "/overlay.pdf", &ours);
    std::printf("  (ratio = qpdf / overprint; above 1 means overprint is faster)\n");
    std::filesystem::remove_all(dir);
    return 0;
}
