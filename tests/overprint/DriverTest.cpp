#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "PdfTestSupport.h"
#include "overprint/Driver.h"

namespace tarn::overprint {
namespace {

using testing::Fixture;
using testing::ReadFile;
using testing::ScratchDir;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

// The program as installed: PdfFont.ext lies beside it.
const std::string kProgram = std::string(TARN_BIN_DIR) + "/overprint";

class DriverTest : public ::testing::Test {
  protected:
    DriverTest() {
        const char* old = std::getenv("TMP");
        if (old != nullptr) oldTmp_ = old;
        hadTmp_ = old != nullptr;
        ::mkdir((dir_ / "tmp").c_str(), 0700);
        ::setenv("TMP", (dir_ / "tmp").c_str(), 1);
        testing::WriteFile(form_, ReadFile(Fixture("plain.pdf")));
        testing::WriteFile(text_, "one\ftwo\fthree\n");
    }
    ~DriverTest() override {
        if (hadTmp_) {
            ::setenv("TMP", oldTmp_.c_str(), 1);
        } else {
            ::unsetenv("TMP");
        }
    }

    int Run(std::vector<std::string> args) {
        args.insert(args.begin(), kProgram);
        CaptureStdout();
        int status = RunOverprint(args);
        printed_ = GetCapturedStdout();
        return status;
    }
    // The command line alone, taken apart.
    Outcome Take(std::vector<std::string> args, OverprintRun& run) {
        args.insert(args.begin(), "/opt/tarn/overprint");
        CaptureStdout();
        Outcome outcome = TakeCommandLine(args, run);
        printed_ = GetCapturedStdout();
        return outcome;
    }
    std::string Listing(const std::string& folder) {
        std::string listing;
        testing::RunShell("ls -A '" + folder + "'", &listing);
        return listing;
    }

    ScratchDir dir_;
    const std::string form_ = dir_ / "form.pdf";
    const std::string text_ = dir_ / "report.txt";
    std::string printed_;
    std::string oldTmp_;
    bool hadTmp_ = false;
};

TEST_F(DriverTest, DefaultsGiveFormFillPdfAndLeaveNoTemporaryFile) {
    ASSERT_EQ(0, Run({form_, text_}));
    const std::string output = dir_ / "form_fill.pdf";
    std::string report;
    EXPECT_TRUE(testing::QpdfCheckPasses(output, &report)) << report;
    EXPECT_EQ(3, testing::PdfinfoPages(output));
    EXPECT_EQ("", Listing(dir_ / "tmp"));
    EXPECT_EQ("form.pdf\nform_fill.pdf\nreport.txt\ntmp\n", Listing(dir_.path()));

    OverprintRun run;
    ASSERT_EQ(Outcome::kOk, Take({form_, text_}, run));
    EXPECT_EQ("/opt/tarn", run.programDir);
    EXPECT_EQ(output, run.outputName);
    EXPECT_EQ(std::vector<std::string>{form_}, run.pageForms);
    EXPECT_EQ("", run.formsDir);
    const LayoutSettings defaults;
    EXPECT_EQ(defaults.marginTop, run.settings.marginTop);
    EXPECT_EQ(20, run.settings.marginLeft);
    EXPECT_EQ(10, run.settings.fontSize);
    EXPECT_EQ(10, run.settings.lineSpace);
    EXPECT_EQ(0, run.settings.fontNumber);
    EXPECT_EQ(100, run.settings.scale);
}

TEST_F(DriverTest, OutputNameAndOptionValues) {
    ASSERT_EQ(0, Run({form_, text_, "-o", dir_ / "result"}));
    EXPECT_EQ(3, testing::PdfinfoPages(dir_ / "result.pdf"));
    ASSERT_EQ(0, Run({form_, text_, "-o", dir_ / "result.pdf"}));
    EXPECT_EQ(3, testing::PdfinfoPages(dir_ / "result.pdf.pdf"));

    // Prefixes count (-top is -t, -dir is -d), atoi rules apply, a missing last value is 0.
    OverprintRun run;
    ASSERT_EQ(Outcome::kOk, Take({form_, text_, "-top", " 30x", "-l", "-5", "-s", "12", "-f", "9", "-n", "3",
                                  "-z", "80", "-dir", "/srv/forms", "-o", dir_ / "r2", "-l"},
                                 run));
    EXPECT_EQ(30, run.settings.marginTop);
    EXPECT_EQ(0, run.settings.marginLeft);
    EXPECT_EQ(12, run.settings.lineSpace);
    EXPECT_EQ(9, run.settings.fontSize);
    EXPECT_EQ(3, run.settings.fontNumber);
    EXPECT_EQ(80, run.settings.scale);
    EXPECT_EQ("/srv/forms", run.formsDir);
    EXPECT_EQ(dir_ / "r2.pdf", run.outputName);

    // However many leading zeros a value has, they read as nothing.
    OverprintRun zeros;
    ASSERT_EQ(Outcome::kOk, Take({form_, text_, "-t", "0000000000000000000000042"}, zeros));
    EXPECT_EQ(42, zeros.settings.marginTop);
}

TEST_F(DriverTest, UnknownOptionPrintsUsageAndHelp) {
    EXPECT_EQ(101, Run({form_, text_, "-x", "5"}));
    EXPECT_EQ(
        "*** Unknown option -x\n"
        "Usage: overprint namepdf_file name_txtfile -t XXX -l XXX -s XXX -f XXX -o output_name\n"
        "  -t XXX - margintop\n  -l XXX  - marginleft\n  -s XXX  - linespace\n"
        "  -f XXX  - fontsize\n  -n XXX  - font number\n  -z XXX  - scale\n"
        "  -o output_name - output pdf file name (without extention)\n"
        "  where XXX is digit value\n",
        printed_);
    EXPECT_FALSE(testing::RunShell("test -e '" + (dir_ / "form_fill.pdf") + "'") == 0);
}

TEST_F(DriverTest, TooFewArgumentsPrintTheBannerAndTouchNothing) {
    EXPECT_EQ(201, Run({form_}));
    EXPECT_EQ(0u, printed_.find("overprint "));
    EXPECT_EQ('\n', printed_.back());
    EXPECT_EQ(201, Run({}));
    EXPECT_EQ("", Listing(dir_ / "tmp"));
    EXPECT_EQ("form.pdf\nreport.txt\ntmp\n", Listing(dir_.path()));
}

TEST_F(DriverTest, UnreadableFormOrTextEndsWithoutOutput) {
    EXPECT_EQ(1, Run({dir_ / "none.pdf", text_}));
    EXPECT_EQ("*** Error open input pdf file " + (dir_ / "none.pdf") + "***\n", printed_);
    // No text to lay is no success: the bare form is not passed off as the result.
    EXPECT_EQ(3, Run({form_, dir_ / "none.txt"}));
    EXPECT_EQ("*** Error open input text file " + (dir_ / "none.txt") + "***\n", printed_);
    EXPECT_EQ("form.pdf\nreport.txt\ntmp\n", Listing(dir_.path()));
    EXPECT_EQ("", Listing(dir_ / "tmp"));
}

TEST_F(DriverTest, LinkPlantedUnderTheOutputNameIsNeverFollowed) {
    testing::WriteFile(dir_ / "victim", "keep me");
    const std::string output = dir_ / "out.pdf";
    ASSERT_EQ(0, ::symlink((dir_ / "victim").c_str(), output.c_str()));
    ASSERT_EQ(0, Run({form_, text_, "-o", dir_ / "out"}));
    EXPECT_EQ("keep me", ReadFile(dir_ / "victim"));
    EXPECT_NE(0, testing::RunShell("test -L '" + output + "'"));
    EXPECT_EQ(3, testing::PdfinfoPages(output));
}

// Runs RunOverprint in a child process with `input` as standard input and
// standard output going to `stdoutFile`; returns the exit status.
int RunInChild(const std::vector<std::string>& args, const std::string& input, const std::string& inputFile,
               const std::string& stdoutFile) {
    testing::WriteFile(inputFile, input);
    pid_t pid = ::fork();
    if (pid == 0) {
        FILE* in = std::freopen(inputFile.c_str(), "rb", stdin);
        FILE* out = std::freopen(stdoutFile.c_str(), "wb", stdout);
        if (in == nullptr || out == nullptr) ::_exit(127);
        ::_exit(RunOverprint(args));
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(DriverTest, ConcurrentRunsOnOneOutputNameEachWriteAWholeFile) {
    constexpr int kRuns = 6;
    std::vector<pid_t> children;
    for (int i = 0; i < kRuns; ++i) {
        pid_t pid = ::fork();
        if (pid == 0) {
            std::freopen("/dev/null", "w", stdout);
            ::_exit(RunOverprint({kProgram, form_, text_, "-o", dir_ / "out"}));
        }
        children.push_back(pid);
    }
    for (int i = 0; i < kRuns; ++i) {
        int status = 0;
        ::waitpid(children[i], &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::string report;
    EXPECT_TRUE(testing::QpdfCheckPasses(dir_ / "out.pdf", &report)) << report;
    EXPECT_EQ("", Listing(dir_ / "tmp"));
    EXPECT_EQ("form.pdf\nout.pdf\nreport.txt\ntmp\n", Listing(dir_.path()));
}

TEST_F(DriverTest, StreamModeTakesTheJobFromStandardInput) {
    const std::string formBytes = ReadFile(Fixture("plain.pdf"));
    const std::string job =
        "====\n"
        "TEXT\n"
        "-o " +
        (dir_ / "streamed") +
        " -t 30\n"
        "hello\f"
        "page two\n"
        "====\n"
        "FORM\n" +
        formBytes;
    const std::string stdoutFile = dir_ / "stdout.pdf";
    ASSERT_EQ(0, RunInChild({kProgram, "-r"}, job, dir_ / "job", stdoutFile));
    EXPECT_EQ(ReadFile(dir_ / "streamed.pdf"), ReadFile(stdoutFile));
    std::string report;
    EXPECT_TRUE(testing::QpdfCheckPasses(stdoutFile, &report)) << report;
    EXPECT_EQ(2, testing::PdfinfoPages(stdoutFile));
    EXPECT_NE(std::string::npos, testing::PageText(stdoutFile, 2).find("page two"));
    EXPECT_EQ("", Listing(dir_ / "tmp"));

    // Without -o the result goes to a private file, removed after the copy.
    const std::string anonymous =
        "====\n"
        "TEXT\n"
        "-t 30\n"
        "====\n"
        "FORM\n" +
        formBytes;
    ASSERT_EQ(0, RunInChild({kProgram, "-r"}, anonymous, dir_ / "job2", stdoutFile));
    EXPECT_EQ(1, testing::PdfinfoPages(stdoutFile));
    EXPECT_EQ("", Listing(dir_ / "tmp"));
}

}  // namespace
}  // namespace tarn::overprint
