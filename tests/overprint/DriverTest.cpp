#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <set>

#include "PdfTestSupport.h"
#include "overprint/Driver.h"
#include "overprint/ExitStatus.h"
#include "overprint/ProgramState.h"

namespace tarn::overprint {
namespace {

using testing::Fixture;
using testing::ReadFile;
using testing::ScratchDir;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

// Stands in for the text layout and the merge: "lays out" a fixed number of
// pages on the first form, and merges by copying the temporary form file's
// objects unchanged, so the output is the form stage's work alone.
class FormOnlyStages : public TextStages {
  public:
    explicit FormOnlyStages(int pages) : pages_(pages) {}

    bool LayOut(const LayoutSettings& settings, const std::string& textFile) override {
        settings_ = settings;
        textFile_ = textFile;
        pageForms.resize(static_cast<std::size_t>(pages_), pageForms.front());
        return true;
    }
    int PageCount() const override { return pages_; }
    int Merge(PdfDocument& document, int pageCount) override {
        mergedPages_ = pageCount;
        tempForm_ = document.inputName();
        document.CopyHeader();
        for (int n = 1; n < document.writer().counter; ++n) document.CopyObject(n);
        document.writer().WriteCrossReference();
        return 1;
    }

    LayoutSettings settings_;
    std::string textFile_;
    std::string tempForm_;
    int mergedPages_ = -1;

  private:
    int pages_;
};

class DriverTest : public ::testing::Test {
  protected:
    DriverTest() {
        const char* old = std::getenv("TMP");
        if (old != nullptr) oldTmp_ = old;
        hadTmp_ = old != nullptr;
        ::mkdir((dir_ / "tmp").c_str(), 0700);
        ::setenv("TMP", (dir_ / "tmp").c_str(), 1);
        testing::WriteFile(form_, ReadFile(Fixture("plain.pdf")));
        testing::WriteFile(text_, "hello\n");
    }
    ~DriverTest() override {
        if (hadTmp_) {
            ::setenv("TMP", oldTmp_.c_str(), 1);
        } else {
            ::unsetenv("TMP");
        }
        ResetProgramState();
    }

    int Run(std::vector<std::string> args, TextStages& stages) {
        args.insert(args.begin(), "/opt/tarn/overprint");
        CaptureStdout();
        int status = RunOverprint(args, stages);
        printed_ = GetCapturedStdout();
        return status;
    }
    std::string TempFolderListing() {
        std::string listing;
        testing::RunShell("ls -A '" + (dir_ / "tmp") + "'", &listing);
        return listing;
    }

    ScratchDir dir_;
    const std::string form_ = dir_ / "form.pdf";
    const std::string text_ = dir_ / "report.txt";
    std::string printed_;
    std::string oldTmp_;
    bool hadTmp_ = false;
};

TEST_F(DriverTest, DefaultsGiveFormFillPdfAndRemoveTheTemporaryForm) {
    FormOnlyStages stages(3);
    ASSERT_EQ(kExitSuccess, Run({form_, text_}, stages));
    const std::string output = dir_ / "form_fill.pdf";
    std::string report;
    EXPECT_TRUE(testing::QpdfCheckPasses(output, &report)) << report;
    EXPECT_EQ(3, testing::PdfinfoPages(output));
    EXPECT_EQ(3, stages.mergedPages_);
    EXPECT_EQ(text_, stages.textFile_);
    EXPECT_EQ(0u, stages.tempForm_.find((dir_ / "tmp") + "/~~TmpPdfForm"));
    EXPECT_EQ("", TempFolderListing());
    EXPECT_EQ("/opt/tarn", programDir);
    const LayoutSettings defaults;
    EXPECT_EQ(defaults.marginTop, stages.settings_.marginTop);
    EXPECT_EQ(20, stages.settings_.marginLeft);
    EXPECT_EQ(10, stages.settings_.fontSize);
    EXPECT_EQ(10, stages.settings_.lineSpace);
    EXPECT_EQ(0, stages.settings_.fontNumber);
    EXPECT_EQ(100, stages.settings_.scale);
}

TEST_F(DriverTest, OutputNameAndOptionValues) {
    FormOnlyStages stages(1);
    ASSERT_EQ(kExitSuccess, Run({form_, text_, "-o", dir_ / "result"}, stages));
    EXPECT_EQ(1, testing::PdfinfoPages(dir_ / "result.pdf"));
    ASSERT_EQ(kExitSuccess, Run({form_, text_, "-o", dir_ / "result.pdf"}, stages));
    EXPECT_EQ(1, testing::PdfinfoPages(dir_ / "result.pdf.pdf"));

    // Prefixes count (-top is -t), atoi rules apply, a missing last value is 0.
    ASSERT_EQ(kExitSuccess, Run({form_, text_, "-top", " 30x", "-l", "-5", "-s", "12", "-f", "9", "-n", "3",
                                 "-z", "80", "-o", dir_ / "r2", "-l"},
                                stages));
    EXPECT_EQ(30, stages.settings_.marginTop);
    EXPECT_EQ(0, stages.settings_.marginLeft);
    EXPECT_EQ(12, stages.settings_.lineSpace);
    EXPECT_EQ(9, stages.settings_.fontSize);
    EXPECT_EQ(3, stages.settings_.fontNumber);
    EXPECT_EQ(80, stages.settings_.scale);

    // However many leading zeros a value has, they read as nothing.
    ASSERT_EQ(kExitSuccess,
              Run({form_, text_, "-t", "0000000000000000000000042", "-o", dir_ / "r3"}, stages));
    EXPECT_EQ(42, stages.settings_.marginTop);
}

TEST_F(DriverTest, UnknownOptionPrintsUsageAndHelp) {
    FormOnlyStages stages(1);
    EXPECT_EQ(kExitUnknownOption, Run({form_, text_, "-x", "5"}, stages));
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
    FormOnlyStages stages(1);
    EXPECT_EQ(kExitTooFewArguments, Run({form_}, stages));
    EXPECT_EQ(0u, printed_.find("overprint "));
    EXPECT_EQ('\n', printed_.back());
    EXPECT_EQ(kExitTooFewArguments, Run({}, stages));
    EXPECT_EQ("", TempFolderListing());
    EXPECT_EQ(-1, stages.mergedPages_);
}

TEST_F(DriverTest, UnreadableFormEndsWithStatusOne) {
    FormOnlyStages stages(1);
    EXPECT_EQ(kExitOpenFailed, Run({dir_ / "none.pdf", text_}, stages));
    EXPECT_EQ("*** Error open input pdf file " + (dir_ / "none.pdf") + "***\n", printed_);
}

TEST_F(DriverTest, WriteErrorFailsAndRemovesThePartialOutput) {
    // The output name leads to a device that is always full.
    const std::string output = dir_ / "full.pdf";
    ASSERT_EQ(0, ::symlink("/dev/full", output.c_str()));
    FormOnlyStages stages(2);
    EXPECT_EQ(kExitWriteFailed, Run({form_, text_, "-o", dir_ / "full"}, stages));
    EXPECT_NE(std::string::npos, printed_.find("Error write into file: " + output)) << printed_;
    EXPECT_NE(0, testing::RunShell("test -L '" + output + "'"));
}

// Runs RunOverprint in a child process with `input` as standard input and
// standard output going to `stdoutFile`; returns the exit status.
int RunInChild(const std::vector<std::string>& args, const std::string& input, const std::string& inputFile,
               const std::string& stdoutFile, int pages) {
    testing::WriteFile(inputFile, input);
    pid_t pid = ::fork();
    if (pid == 0) {
        FILE* in = std::freopen(inputFile.c_str(), "rb", stdin);
        FILE* out = std::freopen(stdoutFile.c_str(), "wb", stdout);
        if (in == nullptr || out == nullptr) ::_exit(127);
        FormOnlyStages stages(pages);
        ::_exit(RunOverprint(args, stages));
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(DriverTest, ConcurrentRunsNeverShareATemporaryFile) {
    constexpr int kRuns = 6;
    std::vector<pid_t> children;
    for (int i = 0; i < kRuns; ++i) {
        pid_t pid = ::fork();
        if (pid == 0) {
            FormOnlyStages stages(2);
            const std::string out = dir_ / ("out" + std::to_string(i));
            int status = RunOverprint({"overprint", form_, text_, "-o", out}, stages);
            testing::WriteFile(out + ".temp", stages.tempForm_);
            ::_exit(status);
        }
        children.push_back(pid);
    }
    std::set<std::string> temps;
    for (int i = 0; i < kRuns; ++i) {
        int status = 0;
        ::waitpid(children[i], &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        const std::string out = dir_ / ("out" + std::to_string(i));
        temps.insert(ReadFile(out + ".temp"));
        EXPECT_EQ(2, testing::PdfinfoPages(out + ".pdf"));
    }
    EXPECT_EQ(static_cast<std::size_t>(kRuns), temps.size());
    EXPECT_EQ("", TempFolderListing());
}

TEST_F(DriverTest, StreamModeTakesTheJobFromStandardInput) {
    const std::string formBytes = ReadFile(Fixture("plain.pdf"));
    const std::string job =
        "====\n"
        "TEXT\n"
        "-o " +
        (dir_ / "streamed") +
        " -t 30\n"
        "hello\n"
        "====\n"
        "FORM\n" +
        formBytes;
    const std::string stdoutFile = dir_ / "stdout.pdf";
    ASSERT_EQ(kExitSuccess, RunInChild({"overprint", "-r"}, job, dir_ / "job", stdoutFile, 2));
    EXPECT_EQ(ReadFile(dir_ / "streamed.pdf"), ReadFile(stdoutFile));
    std::string report;
    EXPECT_TRUE(testing::QpdfCheckPasses(stdoutFile, &report)) << report;
    EXPECT_EQ(2, testing::PdfinfoPages(stdoutFile));
    EXPECT_EQ("", TempFolderListing());

    // Without -o the result goes to a private file, removed after the copy.
    const std::string anonymous =
        "====\n"
        "TEXT\n"
        "-t 30\n"
        "====\n"
        "FORM\n" +
        formBytes;
    ASSERT_EQ(kExitSuccess, RunInChild({"overprint", "-r"}, anonymous, dir_ / "job2", stdoutFile, 1));
    EXPECT_EQ(1, testing::PdfinfoPages(stdoutFile));
    EXPECT_EQ("", TempFolderListing());
}

}  // namespace
}  // namespace tarn::overprint
