// The form stage of a 2,000-page job on a one-page form (2,000 copies of the
// form in the temporary form file) plus a full read of that file, next to
// the peer: qpdf laying the same form under (and over) a 2,000-page PDF.
// Prints seconds per run; never passes or fails on time.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "overprint/FormStage.h"
#include "overprint/ProgramState.h"
#include "overprint/ReaderPatterns.h"
#include "platform/File.h"
#include "platform/Process.h"

namespace {

using tarn::overprint::PatternCache;
using tarn::overprint::PdfDocument;

// Text pages of the job, and timed runs of each step (the median is shown).
constexpr int kPages = 2000;
constexpr int kRuns = 3;
// Lines of text on each page of the peer's 2,000-page PDF.
constexpr int kLinesPerPage = 50;

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

double Median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// A 2,000-page PDF of text lines, the stand-in for the laid-out report.
void WriteTextPdf(const std::string& path) {
    PatternCache patterns;
    PdfDocument document(patterns);
    auto& writer = document.writer();
    if (!writer.Open(path)) std::abort();
    writer.Write("%PDF-1.4\n", "");
    const int font = 1, pages = 2, catalog = 3;
    writer.WriteObject(font, "obj\n<< /Type /Font /Subtype /Type1 /BaseFont /Courier >>\n");
    writer.counter = 4;
    std::string kids;
    for (int p = 0; p < kPages; ++p) {
        std::string text = "BT /F1 10 Tf 12 TL 20 770 Td\n";
        for (int line = 0; line < kLinesPerPage; ++line) {
            text += "(Line " + std::to_string(line + 1) + " of page " + std::to_string(p + 1) +
                    "   0000123.45   ITEM-" + std::to_string(line * 7 + p) + ") Tj T*\n";
        }
        text += "ET\n";
        const int content = writer.TakeObjectNumber();
        writer.WriteObject(content, "obj\n<< /Length " + std::to_string(text.size()) + " >>\nstream\n" +
                                        text + "endstream\n");
        const int page = writer.TakeObjectNumber();
        writer.WriteObject(page, "obj\n<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Contents " +
                                     std::to_string(content) +
                                     " 0 R /Resources << /Font << /F1 1 0 R >> >> >>\n");
        kids += std::to_string(page) + " 0 R ";
    }
    writer.WriteObject(
        pages, "obj\n<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(kPages) + " >>\n");
    writer.WriteObject(catalog, "obj\n<< /Type /Catalog /Pages 2 0 R >>\n");
    writer.root = catalog;
    writer.WriteCrossReference();
    if (!writer.Close()) std::abort();
}

double TimeQpdf(const std::vector<std::string>& argv) {
    auto start = std::chrono::steady_clock::now();
    int exitCode = -1;
    if (!tarn::RunProgram(argv, &exitCode).ok() || (exitCode != 0 && exitCode != 3)) {
        std::fprintf(stderr, "qpdf failed (%d)\n", exitCode);
        std::exit(1);
    }
    return Seconds(start);
}

std::int64_t SizeOf(const std::string& path) {
    std::int64_t size = 0;
    tarn::GetFileSize(path, &size);
    return size;
}

void BenchForm(const std::string& form, const std::string& work, const std::string& textPdf) {
    const std::string temp = work + "/form_copies.pdf";
    std::vector<double> stage, read, readByPatterns, underlay, overlay;
    int objects = 0;
    for (int run = 0; run < kRuns; ++run) {
        PatternCache patterns;
        tarn::overprint::AddReaderPatterns(patterns);
        PdfDocument document(patterns);
        tarn::overprint::ResetProgramState();
        tarn::overprint::pageForms.assign(kPages, form);

        auto start = std::chrono::steady_clock::now();
        tarn::overprint::RunFormStage(document, temp);
        stage.push_back(Seconds(start));

        start = std::chrono::steady_clock::now();
        if (!document.OpenInput(temp)) std::abort();
        document.Read();
        read.push_back(Seconds(start));
        objects = document.objectCount();

        // The same read with every token run through the 15 patterns: a
        // pattern that never matches, under a key before all others, keeps
        // the classes and turns the direct classification off.
        PatternCache slowPatterns;
        tarn::overprint::AddReaderPatterns(slowPatterns);
        slowPatterns.Add("0", "(?!)");
        PdfDocument slowDocument(slowPatterns);
        start = std::chrono::steady_clock::now();
        if (!slowDocument.OpenInput(temp)) std::abort();
        slowDocument.Read();
        readByPatterns.push_back(Seconds(start));

        underlay.push_back(TimeQpdf(
            {"/usr/bin/qpdf", textPdf, "--underlay", form, "--repeat=1", "--", work + "/underlay.pdf"}));
        overlay.push_back(TimeQpdf(
            {"/usr/bin/qpdf", textPdf, "--overlay", form, "--repeat=1", "--", work + "/overlay.pdf"}));
    }
    std::printf("%s (%lld bytes)\n", std::filesystem::path(form).filename().c_str(),
                static_cast<long long>(SizeOf(form)));
    std::printf("  form stage, %d copies          %8.3f s  (temporary file %lld bytes, %d objects)\n", kPages,
                Median(stage), static_cast<long long>(SizeOf(temp)), objects);
    std::printf("  full read of the temporary file %8.3f s  (%.3f s running the 15 patterns per token)\n",
                Median(read), Median(readByPatterns));
    std::printf("  form stage + read               %8.3f s\n", Median(stage) + Median(read));
    std::printf("  qpdf --underlay, %d pages      %8.3f s\n", kPages, Median(underlay));
    std::printf("  qpdf --overlay,  %d pages      %8.3f s\n", kPages, Median(overlay));
}

}  // namespace

int main() {
    const std::string fixtures = OVERPRINT_FIXTURES;
    const std::string work = (std::filesystem::temp_directory_path() / "overprint-bench-XXXXXX").string();
    std::vector<char> name(work.begin(), work.end());
    name.push_back('\0');
    if (mkdtemp(name.data()) == nullptr) return 1;
    const std::string dir = name.data();
    const std::string textPdf = dir + "/text2000.pdf";
    WriteTextPdf(textPdf);
    std::printf("overprint form stage: %d-page job, median of %d runs (text PDF for qpdf: %lld bytes)\n",
                kPages, kRuns, static_cast<long long>(SizeOf(textPdf)));
    for (const char* form : {"form_ps.pdf", "form_odt.pdf"}) BenchForm(fixtures + "/" + form, dir, textPdf);
    std::filesystem::remove_all(dir);
    return 0;
}
