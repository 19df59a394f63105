// The program's own behaviour end to end: processes started together, stream
// mode, exit statuses and a full disk, run as the service runs it.
#include <gtest/gtest.h>

#include <string>

#include "PdfTestSupport.h"

namespace tarn::overprint {
namespace {

using testing::Fixture;
using testing::ReadFile;
using testing::RunShell;
using testing::ScratchDir;
using testing::WriteFile;

class OverprintDriverEndToEnd : public ::testing::Test {
  protected:
    OverprintDriverEndToEnd() {
        RunShell("mkdir '" + (dir_ / "tmp") + "' && cp '" + Fixture("form_ps.pdf") + "' '" +
                 (dir_ / "form.pdf") + "'");
        WriteFile(dir_ / "report.txt", "Invoice 4711\r\nLine two\r\n\f\rPage two\r\n");
    }
    // Runs `arguments` in the scratch folder with its own temporary folder.
    int Run(const std::string& arguments, std::string* output = nullptr) {
        return RunShell("cd '" + dir_.path() + "' && TMP='" + (dir_ / "tmp") + "' '" + TARN_BIN_DIR +
                            "/overprint' " + arguments,
                        output);
    }
    std::string TempListing() {
        std::string listing;
        RunShell("ls -A '" + (dir_ / "tmp") + "'", &listing);
        return listing;
    }

    ScratchDir dir_;
};

TEST_F(OverprintDriverEndToEnd, ProcessesStartedTogetherEachGetTheirOwnTemporaryFile) {
    std::string script;
    for (int i = 0; i < 8; ++i) {
        script += "'" + std::string(TARN_BIN_DIR) + "/overprint' form.pdf report.txt -o out" +
                  std::to_string(i) + " > log" + std::to_string(i) + " 2>&1 & ";
    }
    ASSERT_EQ(0, RunShell("cd '" + dir_.path() + "' && export TMP='" + (dir_ / "tmp") + "' && { " + script +
                          "wait; }"));
    for (int i = 0; i < 8; ++i) {
        const std::string out = dir_ / ("out" + std::to_string(i) + ".pdf");
        std::string report;
        EXPECT_TRUE(testing::QpdfCheckPasses(out, &report)) << report;
        EXPECT_EQ(2, testing::PdfinfoPages(out));
        EXPECT_NE(std::string::npos, testing::PageText(out, 1).find("Invoice 4711"));
        EXPECT_NE(std::string::npos, testing::PageText(out, 2).find("Page two"));
    }
    EXPECT_EQ("", TempListing());
}

TEST_F(OverprintDriverEndToEnd, DefaultOutputNameAndStatuses) {
    ASSERT_EQ(0, Run("form.pdf report.txt -t 40"));
    EXPECT_EQ(2, testing::PdfinfoPages(dir_ / "form_fill.pdf"));

    std::string output;
    EXPECT_EQ(101, Run("form.pdf report.txt -q 1", &output));
    EXPECT_EQ(0u, output.find("*** Unknown option -q\nUsage: overprint "));
    EXPECT_EQ(201, Run("form.pdf", &output));
    EXPECT_EQ(1, Run("nothing.pdf report.txt", &output));
    EXPECT_EQ("*** Error open input pdf file nothing.pdf***\n", output);
}

TEST_F(OverprintDriverEndToEnd, StreamModeReadsTheJobAndWritesThePdf) {
    const std::string job =
        "#####\n"
        "report\n"
        "-o streamed -t 30\n"
        "Streamed line one\n"
        "Streamed line two\n"
        "#####\n"
        "form\n" +
        ReadFile(Fixture("form_ps.pdf"));
    WriteFile(dir_ / "job", job);
    ASSERT_EQ(0, RunShell("cd '" + dir_.path() + "' && TMP='" + (dir_ / "tmp") + "' '" + TARN_BIN_DIR +
                          "/overprint' -r < job > stdout.pdf"));
    const std::string result = dir_ / "stdout.pdf";
    std::string report;
    EXPECT_TRUE(testing::QpdfCheckPasses(result, &report)) << report;
    EXPECT_EQ(1, testing::PdfinfoPages(result));
    EXPECT_NE(std::string::npos, testing::PageText(result, 1).find("Streamed line two"));
    EXPECT_EQ(ReadFile(dir_ / "streamed.pdf"), ReadFile(result));
    EXPECT_EQ("", TempListing());
}

TEST_F(OverprintDriverEndToEnd, StreamModeOutputNameEndsBeforeTheLineEnd) {
    for (const char* ending : {"\n", "\r\n"}) {
        SCOPED_TRACE(ending[0] == '\r' ? "CR LF" : "LF");
        const std::string job = std::string("#####") + ending + "report" + ending + "-t 30 -o result" +
                                ending + "Named by the last option" + ending + "#####" + ending + "form" +
                                ending + ReadFile(Fixture("form_ps.pdf"));
        WriteFile(dir_ / "job", job);
        ASSERT_EQ(0, RunShell("cd '" + dir_.path() + "' && TMP='" + (dir_ / "tmp") + "' '" + TARN_BIN_DIR +
                              "/overprint' -r < job > stdout.pdf"));
        std::string listing;
        RunShell("cd '" + dir_.path() + "' && ls -A | grep '^result'", &listing);
        EXPECT_EQ("result.pdf\n", listing);
        EXPECT_TRUE(ReadFile(dir_ / "result.pdf") == ReadFile(dir_ / "stdout.pdf"));
        EXPECT_NE(std::string::npos,
                  testing::PageText(dir_ / "result.pdf", 1).find("Named by the last option"));
        RunShell("rm -f '" + (dir_ / "result.pdf") + "'");
    }
}

TEST_F(OverprintDriverEndToEnd, FullDiskFailsAndLeavesNoTruncatedOutput) {
    // Files may not grow past 8 KB: the output's writes fail as on a full disk.
    std::string report;
    for (int page = 0; page < 300; ++page) report += "Line of a long report " + std::to_string(page) + "\f";
    WriteFile(dir_ / "long.txt", report);
    std::string output;
    EXPECT_EQ(2, RunShell("cd '" + dir_.path() + "' && trap '' XFSZ && ulimit -f 8 && TMP='" +
                              (dir_ / "tmp") + "' '" + TARN_BIN_DIR + "/overprint' form.pdf long.txt -o full",
                          &output));
    EXPECT_NE(std::string::npos, output.find("Error write into file: full.pdf")) << output;
    std::string listing;
    RunShell("ls -A '" + dir_.path() + "'", &listing);
    EXPECT_EQ("form.pdf\nlong.txt\nreport.txt\ntmp\n", listing);
    EXPECT_EQ("", TempListing());
}

}  // namespace
}  // namespace tarn::overprint
