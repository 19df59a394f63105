// The cleaned file's bytes and section offsets, and reading sections back.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TempDir.h"
#include "tabulate/Cleaner.h"
#include "tabulate/RawReport.h"

namespace tarn::tabulate {
namespace {

using tabulate_test::TempDir;

struct CleanResult {
    bool ok = false;
    std::string cleaned;
    std::vector<std::uint64_t> offsets;
    std::string templateName;
};

CleanResult CleanBytes(const std::string& input, const Settings& settings = Settings()) {
    TempDir dir;
    dir.Write("report.txt", input);
    RawReport report;
    Cleaner cleaner(&report, settings);
    CleanResult result;
    result.ok = cleaner.Clean(dir.path() + "report.txt");
    EXPECT_EQ(report.cleanPath, dir.path() + "report.cln");
    result.cleaned = dir.Read("report.cln");
    result.offsets = report.sectionOffsets;
    result.templateName = report.templateName;
    return result;
}

std::string Cleaned(const std::string& input, const Settings& settings = Settings()) {
    return CleanBytes(input, settings).cleaned;
}

TEST(Cleaner, LineEnds) {
    EXPECT_EQ(Cleaned("a\r\nb"), "a\r\nb\r\n");
    EXPECT_EQ(Cleaned("a\n\rb"), "a\r\n\r\nb\r\n");
    EXPECT_EQ(Cleaned("a\rb\r"), "a\r\nb\r\n");
    EXPECT_EQ(Cleaned("a\nb\n"), "a\r\nb\r\n");
    EXPECT_EQ(Cleaned("a\r\r\nb\n\n"), "a\r\n\r\nb\r\n\r\n");
    // Trailing blanks are kept; no final line end is still a line.
    EXPECT_EQ(Cleaned("x  \r\nlast  "), "x  \r\nlast  \r\n");
}

TEST(Cleaner, FormFeedStartsTheNextLine) {
    EXPECT_EQ(Cleaned("abc\fdef\r\n"), "abc\r\n\fdef\r\n");
    // The raw job file stores a page break as FF CR.
    EXPECT_EQ(Cleaned("p1\r\n\f\r\np2\r\n"), "p1\r\n\f\r\np2\r\n");
    EXPECT_EQ(Cleaned("\fhead\r\n"), "\fhead\r\n");
    EXPECT_EQ(Cleaned("a\r\f\nb"), "a\r\n\f\r\nb\r\n");
}

TEST(Cleaner, EmptyInputGivesEmptyCleanedFileAndOneSection) {
    CleanResult result = CleanBytes("");
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.cleaned, "");
    EXPECT_EQ(result.offsets, std::vector<std::uint64_t>({0}));
}

TEST(Cleaner, LineEndSplitAcrossChunks) {
    // CR as the last byte of one chunk, LF first of the next.
    std::string first(kCleanChunkSize - 1, 'x');
    CleanResult result = CleanBytes(first + "\r\nnext\r\n");
    EXPECT_EQ(result.cleaned, first + "\r\nnext\r\n");
    // A line running over a chunk boundary stays one line.
    std::string longLine(kCleanChunkSize + 10, 'y');
    EXPECT_EQ(Cleaned("a\r\n" + longLine + "\r\nb"), "a\r\n" + longLine + "\r\nb\r\n");
}

// The splitting rules byte by byte: LF ends a line unless it follows a CR,
// CR always ends one, FF opens the next line and ends a non-empty one.
std::string ReferenceClean(const std::string& input) {
    std::string out, line;
    bool lastWasCR = false;
    for (char c : input) {
        if (c == '\n') {
            if (!lastWasCR) out += line + "\r\n", line.clear();
        } else if (c == '\f') {
            if (!line.empty()) out += line + "\r\n";
            line = "\f";
        } else if (c == '\r') {
            out += line + "\r\n";
            line.clear();
        } else {
            line += c;
        }
        lastWasCR = c == '\r';
    }
    if (!line.empty()) out += line + "\r\n";
    return out;
}

TEST(Cleaner, EveryMixOfLineEndsAcrossChunksSplitsAsByteByByte) {
    // Runs of line-end bytes and text, long and short, over several chunks;
    // one input with no CR at all and one with no LF.
    std::uint32_t seed = 12345;
    auto next = [&seed](std::uint32_t bound) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % bound;
    };
    std::vector<std::string> inputs(3);
    for (int i = 0; inputs[1].size() < 3 * kCleanChunkSize || inputs[2].size() < 3 * kCleanChunkSize; ++i) {
        const char ends[] = {'\r', '\n', '\f'};
        const std::string text(next(9) == 0 ? next(3000) : next(12), 't');
        inputs[0] += text + ends[next(3)];
        if (i % 3 == 0) inputs[1] += text + (next(4) == 0 ? '\f' : '\n');
        if (i % 3 == 1) inputs[2] += text + (next(4) == 0 ? '\f' : '\r');
    }
    for (const std::string& input : inputs) {
        ASSERT_GT(input.size(), 2 * kCleanChunkSize);
        EXPECT_EQ(Cleaned(input), ReferenceClean(input));
    }
}

TEST(Cleaner, SheetBreakLineStartsSectionAtNextPage) {
    Settings settings;
    settings.nextSheet = "--BREAK--";
    CleanResult result = CleanBytes("p1 a\r\n--BREAK--\r\ndropped\r\n\fp2 a\r\np2 b\r\n", settings);
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.cleaned, "p1 a\r\n\fp2 a\r\np2 b\r\n");
    EXPECT_EQ(result.offsets, std::vector<std::uint64_t>({0, 6}));
    // Only an exact whole line is a sheet break.
    EXPECT_EQ(Cleaned("--BREAK-- \r\n", settings), "--BREAK-- \r\n");
}

TEST(Cleaner, Directives) {
    Settings settings;
    settings.excelDirective = "#XL";
    CleanResult lower = CleanBytes("a\r\n#XL nextsheet\r\nb\r\n\fc\r\n", settings);
    EXPECT_EQ(lower.cleaned, "a\r\n\fc\r\n");
    EXPECT_EQ(lower.offsets, std::vector<std::uint64_t>({0, 3}));
    CleanResult upper = CleanBytes("a\r\n#XL NEXTSHEET\r\n\fc\r\n", settings);
    EXPECT_EQ(upper.offsets, std::vector<std::uint64_t>({0, 3}));

    EXPECT_EQ(Cleaned("#XLX NEXTSHEET\r\nb\r\n", settings), "#XLX NEXTSHEET\r\nb\r\n");
    CleanResult named = CleanBytes("#XL TEMPLATE Aging.xlt\r\n#XL\r\nrow\r\n", settings);
    EXPECT_EQ(named.cleaned, "row\r\n");
    EXPECT_EQ(named.templateName, "Aging.xlt");
    EXPECT_EQ(named.offsets.size(), 1u);
    // Without a prefix set, directive lines are text.
    EXPECT_EQ(Cleaned("#XL NEXTSHEET\r\n"), "#XL NEXTSHEET\r\n");
}

TEST(Cleaner, SecondNextSheetCancelsThePendingBreak) {
    Settings settings;
    settings.excelDirective = "#XL";
    CleanResult result =
        CleanBytes("a\r\n#XL NEXTSHEET\r\nlost\r\n#XL NEXTSHEET\r\nkept\r\n\fb\r\n", settings);
    EXPECT_EQ(result.cleaned, "a\r\nkept\r\n\fb\r\n");
    EXPECT_EQ(result.offsets, std::vector<std::uint64_t>({0}));
}

TEST(Cleaner, BreakWithoutFollowingPageDropsTheRest) {
    Settings settings;
    settings.nextSheet = "NEW SHEET";
    CleanResult result = CleanBytes("a\r\nNEW SHEET\r\nb\r\nc", settings);
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.cleaned, "a\r\n");
    EXPECT_EQ(result.offsets.size(), 1u);
    // Even when everything is dropped the cleaned file exists.
    CleanResult onlyBreak = CleanBytes("NEW SHEET", settings);
    EXPECT_TRUE(onlyBreak.ok);
    EXPECT_EQ(onlyBreak.cleaned, "");
}

TEST(Cleaner, MissingInputFailsWithoutCleanedFile) {
    TempDir dir;
    RawReport report;
    Cleaner cleaner(&report, Settings());
    EXPECT_FALSE(cleaner.Clean(dir.path() + "absent.txt"));
    EXPECT_FALSE(report.cleanedFileCreated);
    EXPECT_FALSE(dir.Exists("absent.cln"));
}

TEST(Cleaner, InputNamedLikeTheCleanedFileIsRefusedAndKept) {
    TempDir dir;
    dir.Write("report.cln", "data\r\n");
    RawReport report;
    Cleaner cleaner(&report, Settings());
    EXPECT_FALSE(cleaner.Clean(dir.path() + "report.cln"));
    EXPECT_FALSE(report.cleanedFileCreated);
    EXPECT_EQ(dir.Read("report.cln"), "data\r\n");
}

std::vector<std::string> ReadSection(RawReport* report, size_t index) {
    report->sectionIndex = index;
    report->OpenSection();
    std::vector<std::string> lines;
    std::string line;
    while (report->NextLine(&line)) lines.push_back(line);
    report->CloseSection();
    return lines;
}

TEST(SectionReader, StopsExactlyAtTheNextSection) {
    TempDir dir;
    // Sections whose boundaries fall inside the reader's buffers and a line
    // end that straddles a buffer.
    std::string input;
    std::vector<std::string> expected0, expected1;
    for (int i = 0; i < static_cast<int>(kSectionBufferSize / 8); ++i) {
        std::string line = "line " + std::to_string(i) + std::string(static_cast<size_t>(i % 13), '.');
        input += line + "\r\n";
        expected0.push_back(line);
    }
    input += "BREAK\r\n";
    for (int i = 0; i < static_cast<int>(kSectionBufferSize / 6); ++i) {
        std::string line = (i == 0 ? "\f" : "") + std::string("second ") + std::to_string(i);
        input += line + "\r\n";
        expected1.push_back(line);
    }
    dir.Write("r.txt", input);
    Settings settings;
    settings.nextSheet = "BREAK";
    RawReport report;
    Cleaner cleaner(&report, settings);
    ASSERT_TRUE(cleaner.Clean(dir.path() + "r.txt"));
    ASSERT_EQ(report.SectionCount(), 2u);
    EXPECT_EQ(ReadSection(&report, 0), expected0);
    EXPECT_EQ(ReadSection(&report, 1), expected1);
    // A section that does not exist reads as empty and fails.
    report.sectionIndex = 2;
    report.OpenSection();
    EXPECT_TRUE(report.SectionFailed());
    std::string line;
    EXPECT_FALSE(report.NextLine(&line));
}

TEST(SectionReader, LongLinesSpanBuffers) {
    TempDir dir;
    std::string longLine(kSectionBufferSize * 2 + 3, 'z');
    std::string input = "a\r\n" + longLine + "\r\n\r\nb\r\n";
    dir.Write("r.cln", input);
    RawReport report;
    report.cleanPath = dir.path() + "r.cln";
    EXPECT_EQ(ReadSection(&report, 0), std::vector<std::string>({"a", longLine, "", "b"}));
}

}  // namespace
}  // namespace tarn::tabulate
