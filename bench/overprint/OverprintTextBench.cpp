// overprint end to end next to its peer, in one run: a 2,000-page report of
// 60 lines a page laid on a ghostscript A4 form and on a LibreOffice form
// with embedded fonts. The peer lays the same form under a text-only PDF of
// the same report:
//
//   qpdf textonly.pdf --underlay form.pdf --repeat=1 -- out.pdf
//
// where textonly.pdf is the report laid by overprint on a blank Letter page
// (made once, not timed). Prints output size, wall time and peak memory of
// both and their ratios (CPU time too, which a loaded machine disturbs less
// than the wall clock); never passes or fails on the figures.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/File.h"

namespace {

constexpr int kPages = 2000;
constexpr int kLinesPerPage = 60;
// Timed runs of each program; the median time and the largest peak are shown.
constexpr int kRuns = 3;

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

// One blank Letter page: the form of the peer's text-only PDF.
std::string BlankForm() {
    const char* objects[] = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << >> /Contents 4 0 R >>",
        "<< /Length 0 >>\nstream\n\nendstream",
    };
    std::string out = "%PDF-1.4\n";
    std::vector<std::size_t> offsets;
    for (const char* body : objects) {
        offsets.push_back(out.size());
        out += std::to_string(offsets.size()) + " 0 obj\n" + body + "\nendobj\n";
    }
    const std::size_t xref = out.size();
    out += "xref\n0 5\n0000000000 65535 f \n";
    for (std::size_t offset : offsets) {
        char entry[32];
        std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", offset);
        out += entry;
    }
    return out + "trailer\n<< /Size 5 /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
}

struct Measure {
    std::vector<double> wall;
    std::vector<double> cpu;  // user + system: moves less than the wall clock on a loaded machine
    long peakKb = 0;
};

// Runs `argv` with standard output and error dropped; adds its wall time
// and its peak resident memory (from wait4) to `measure`.
void Time(const std::vector<std::string>& argv, Measure* measure) {
    std::fflush(stdout);  // the child must not repeat what is buffered
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = ::fork();
    if (pid == 0) {
        std::freopen("/dev/null", "w", stdout);
        std::freopen("/dev/null", "w", stderr);
        std::vector<char*> args;
        for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (code != 0 && code != 3) {  // qpdf ends with 3 after warnings
        std::fprintf(stderr, "%s failed (%d)\n", argv[0].c_str(), code);
        std::exit(1);
    }
    if (measure != nullptr) {
        measure->wall.push_back(seconds);
        measure->cpu.push_back(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
                               (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6);
        measure->peakKb = std::max(measure->peakKb, usage.ru_maxrss);
    }
}

double Median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void Bench(const std::string& overprint, const std::string& form, const std::string& what,
           const std::string& dir) {
    const std::string text = dir + "/report.txt";
    Measure ours, peer;
    for (int run = 0; run < kRuns; ++run) {
        Time({overprint, form, text, "-o", dir + "/ours"}, &ours);
        Time({"/usr/bin/qpdf", dir + "/textonly.pdf", "--underlay", form, "--repeat=1", "--",
              dir + "/peer.pdf"},
             &peer);
    }
    const double oursSize = static_cast<double>(SizeOf(dir + "/ours.pdf"));
    const double peerSize = static_cast<double>(SizeOf(dir + "/peer.pdf"));
    std::printf("%s (%s, %lld bytes)\n", what.c_str(), std::filesystem::path(form).filename().c_str(),
                static_cast<long long>(SizeOf(form)));
    std::printf("  %-15s %12s %10s %10s %12s\n", "", "output bytes", "wall s", "cpu s", "peak memory");
    std::printf("  %-15s %12.0f %10.3f %10.3f %9ld KB\n", "overprint", oursSize, Median(ours.wall),
                Median(ours.cpu), ours.peakKb);
    std::printf("  %-15s %12.0f %10.3f %10.3f %9ld KB\n", "qpdf --underlay", peerSize, Median(peer.wall),
                Median(peer.cpu), peer.peakKb);
    std::printf("  %-15s %12.2f %10.2f %10.2f %12.2f\n", "ratio", oursSize / peerSize,
                Median(ours.wall) / Median(peer.wall), Median(ours.cpu) / Median(peer.cpu),
                static_cast<double>(ours.peakKb) / static_cast<double>(peer.peakKb));
    std::printf("  (overprint / qpdf; targets: size <= 1, time <= 0.5, memory <= 1)\n");
}

}  // namespace

int main() {
    const std::string overprint = std::string(TARN_BIN_DIR) + "/overprint";
    const std::string fixtures = OVERPRINT_FIXTURES;
    std::string pattern = (std::filesystem::temp_directory_path() / "overprint-text-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) return 1;
    const std::string dir = pattern;
    const std::string report = Report();
    if (!tarn::WriteWholeFile(dir + "/report.txt", report).ok()) return 1;
    if (!tarn::WriteWholeFile(dir + "/blank.pdf", BlankForm()).ok()) return 1;
    Time({overprint, dir + "/blank.pdf", dir + "/report.txt", "-o", dir + "/textonly"}, nullptr);

    std::printf(
        "overprint against qpdf --underlay: %d pages x %d lines (report %zu bytes, textonly.pdf %lld "
        "bytes),\n"
        "median wall time and largest peak memory of %d runs each\n",
        kPages, kLinesPerPage, report.size(), static_cast<long long>(SizeOf(dir + "/textonly.pdf")), kRuns);
    Bench(overprint, fixtures + "/form_ps.pdf", "ghostscript A4 form", dir);
    Bench(overprint, fixtures + "/form_odt.pdf", "LibreOffice form with embedded fonts", dir);
    std::filesystem::remove_all(dir);
    return 0;
}
