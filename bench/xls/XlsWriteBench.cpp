// Writes 1,000,000 cells (half numbers in a few number formats, half short
// texts with repeats) and saves them, once with our workbook library (.xls)
// and with libxlsxwriter (.xlsx, default and constant-memory mode) as the
// peer; prints cells per second,
// file size and peak resident memory of each run.

#include <xlsxwriter.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/File.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/TempFile.h"
#include "xls/Workbook.h"

namespace {

constexpr int kCells = 1000000;
constexpr int kColumns = 10;  // 5 number columns, then 5 text columns
constexpr int kRowsPerSheet = 50000;
constexpr int kDistinctTexts = 1000;
const char* const kFormats[] = {"#,##0.00", "0.00%", "mm/dd/yy", "#,##0"};
constexpr int kFormatCount = 4;

// Peak resident set size of this process in kB (Linux /proc); each writer
// runs in a process of its own so that each peak is its own.
long PeakKb() {
    std::string status;
    if (!tarn::ReadWholeFile("/proc/self/status", &status).ok()) return -1;
    std::size_t at = status.find("VmHWM:");
    return at == std::string::npos ? -1 : std::strtol(status.c_str() + at + 6, nullptr, 10);
}

struct Cell {
    int sheet, row, col;
};

Cell CellAt(int i) {
    int row = i / kColumns;
    return {row / kRowsPerSheet, row % kRowsPerSheet, i % kColumns};
}

double NumberAt(int i) { return 40000.0 + (i % 7919) * 0.37; }

std::vector<std::string> Texts() {
    std::vector<std::string> texts;
    for (int i = 0; i < kDistinctTexts; ++i) texts.push_back("item-" + std::to_string(i));
    return texts;
}

struct Result {
    double writeSeconds = 0, saveSeconds = 0;
    std::int64_t bytes = 0;
    long peakKb = 0;
    bool ok = false;
};

double Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

Result RunOurs(const std::string& path, const std::vector<std::string>& texts) {
    Result r;
    auto start = std::chrono::steady_clock::now();
    auto book = tarn::xls::Workbook::Create();
    std::vector<const tarn::xls::Format*> formats;
    for (const char* text : kFormats) {
        tarn::xls::Format* f = book->AddFormat();
        f->SetNumberFormat(book->AddCustomNumberFormat(text));
        formats.push_back(f);
    }
    std::vector<tarn::xls::Sheet*> sheets;
    for (int i = 0; i < kCells; ++i) {
        Cell c = CellAt(i);
        if (c.sheet >= static_cast<int>(sheets.size())) sheets.push_back(book->AddSheet("Data"));
        tarn::xls::Sheet* sheet = sheets[static_cast<std::size_t>(c.sheet)];
        if (c.col < kColumns / 2) {
            sheet->WriteNumber(c.row, c.col, NumberAt(i),
                               formats[static_cast<std::size_t>(i % kFormatCount)]);
        } else {
            sheet->WriteText(c.row, c.col, texts[static_cast<std::size_t>(i % kDistinctTexts)], nullptr);
        }
    }
    r.writeSeconds = Since(start);
    start = std::chrono::steady_clock::now();
    r.ok = book->Save(path).ok();
    r.saveSeconds = Since(start);
    book.reset();
    r.peakKb = PeakKb();
    tarn::GetFileSize(path, &r.bytes);
    return r;
}

// `constantMemory`: libxlsxwriter's mode that streams each row to a
// temporary file (inline strings, rows in order) instead of keeping the sheet.
Result RunPeer(const std::string& path, const std::vector<std::string>& texts, bool constantMemory) {
    Result r;
    auto start = std::chrono::steady_clock::now();
    lxw_workbook_options options = {};
    options.constant_memory = constantMemory ? LXW_TRUE : LXW_FALSE;
    lxw_workbook* book = workbook_new_opt(path.c_str(), &options);
    std::vector<lxw_format*> formats;
    for (const char* text : kFormats) {
        lxw_format* f = workbook_add_format(book);
        format_set_num_format(f, text);
        formats.push_back(f);
    }
    std::vector<lxw_worksheet*> sheets;
    for (int i = 0; i < kCells; ++i) {
        Cell c = CellAt(i);
        if (c.sheet >= static_cast<int>(sheets.size())) {
            std::string name = "Data" + std::to_string(c.sheet + 1);
            sheets.push_back(workbook_add_worksheet(book, name.c_str()));
        }
        lxw_worksheet* sheet = sheets[static_cast<std::size_t>(c.sheet)];
        if (c.col < kColumns / 2) {
            worksheet_write_number(sheet, c.row, static_cast<lxw_col_t>(c.col), NumberAt(i),
                                   formats[static_cast<std::size_t>(i % kFormatCount)]);
        } else {
            worksheet_write_string(sheet, c.row, static_cast<lxw_col_t>(c.col),
                                   texts[static_cast<std::size_t>(i % kDistinctTexts)].c_str(), nullptr);
        }
    }
    r.writeSeconds = Since(start);
    start = std::chrono::steady_clock::now();
    r.ok = workbook_close(book) == LXW_NO_ERROR;
    r.saveSeconds = Since(start);
    r.peakKb = PeakKb();
    tarn::GetFileSize(path, &r.bytes);
    return r;
}

void Print(const char* name, const Result& r) {
    double total = r.writeSeconds + r.saveSeconds;
    std::printf("%-22s %s  write %6.3f s  save %6.3f s  %9.0f cells/s  file %7.2f MB  peak RSS %6.1f MB\n",
                name, r.ok ? "ok  " : "FAIL", r.writeSeconds, r.saveSeconds, kCells / total,
                r.bytes / 1048576.0, r.peakKb / 1024.0);
}

}  // namespace

// Without arguments: runs itself once per writer ("ours", "peer",
// "peer-constant-memory") and each run prints its line.
int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode.empty()) {
        std::printf(
            "1,000,000 cells: 500,000 numbers in %d formats, 500,000 texts (%d distinct), %d sheets\n",
            kFormatCount, kDistinctTexts, kCells / kColumns / kRowsPerSheet);
        std::fflush(stdout);
        bool ok = true;
        for (const char* run : {"ours", "peer", "peer-constant-memory"}) {
            int exitCode = 0;
            tarn::Status st =
                tarn::RunCommandLine(tarn::QuoteArgument(tarn::ProgramPath()) + " " + run, &exitCode);
            ok = ok && st.ok() && exitCode == 0;
        }
        return ok ? 0 : 1;
    }

    const std::vector<std::string> texts = Texts();
    std::string path;
    const bool ours = mode == "ours";
    if (!tarn::CreateUniqueFile(tarn::TempFolder(), "xls-bench-", ours ? ".xls" : ".xlsx", &path).ok()) {
        std::fprintf(stderr, "no temporary file\n");
        return 1;
    }
    Result r;
    if (ours) {
        r = RunOurs(path, texts);
        Print("tarn xls (BIFF8)", r);
    } else {
        bool constantMemory = mode == "peer-constant-memory";
        r = RunPeer(path, texts, constantMemory);
        Print(constantMemory ? "  constant_memory mode" : "libxlsxwriter (xlsx)", r);
    }
    tarn::RemoveFile(path);
    return r.ok ? 0 : 1;
}
