#include <gtest/gtest.h>

#include "platform/Process.h"
#include "service/ServiceEvents.h"
#include "service/job/JobPipeline.h"
#include "service/job/ToolCommandLines.h"
#include "tests/service/JobTestSupport.h"

namespace tarn {
namespace {

using namespace tarn::testing;
using Args = std::vector<std::string>;
using Events = std::vector<RecordedEvent>;

TEST(ToolCommandLines, ByteForByte) {
    // An empty pdfparams leaves two blanks before -o.
    EXPECT_EQ(BuildOverprintCommandLine("/t/overprint", "/f/form.pdf", "/out/inv42.txt", "", "/out/inv42"),
              "\"/t/overprint\" \"/f/form.pdf\" \"/out/inv42.txt\"  -o \"/out/inv42_$$$\"");
    EXPECT_EQ(BuildOverprintCommandLine("/t/overprint", "/f/form.pdf", "/out/a.txt", "-s 2 -c", "/out/a"),
              "\"/t/overprint\" \"/f/form.pdf\" \"/out/a.txt\" -s 2 -c -o \"/out/a_$$$\"");
    // A forms folder goes last, only when configured.
    EXPECT_EQ(
        BuildOverprintCommandLine("/t/overprint", "/f/form.pdf", "/out/a.txt", "", "/out/a", "/srv/my forms"),
        "\"/t/overprint\" \"/f/form.pdf\" \"/out/a.txt\"  -o \"/out/a_$$$\" -d \"/srv/my forms\"");

    TabulateSettings all{"dd/mm/yyyy", ",", ".", "EXCEL", "NEXT"};
    EXPECT_EQ(BuildTabulateCommandLine("/t/tabulate", "/out/", "r.txt", all),
              "\"/t/tabulate\" -p \"/out/\" -r \"r.txt\" -d dd/mm/yyyy -n , -g . -e EXCEL -x NEXT");
    TabulateSettings some;
    some.groupSeparator = "'";
    some.nextSheet = "Page 1";  // a value with a blank still arrives as one argument
    EXPECT_EQ(BuildTabulateCommandLine("/t/tabulate", "/out/", "r.txt", some),
              "\"/t/tabulate\" -p \"/out/\" -r \"r.txt\" -g ' -x \"Page 1\"");

    EXPECT_EQ(BuildPdftkCommandLine("/t/pdftk", {"/m/front.pdf", "/out/a_$$$.pdf"}, "/out/a.pdf"),
              "/t/pdftk /m/front.pdf /out/a_$$$.pdf cat output /out/a.pdf");
    EXPECT_EQ(BuildPdftkCommandLine("/t/pdftk", {"/save dir/a_$$$.pdf", "/m/back.pdf"}, "/save dir/a.pdf"),
              "/t/pdftk \"/save dir/a_$$$.pdf\" /m/back.pdf cat output \"/save dir/a.pdf\"");
}

TEST(JobPipelineValues, StemAndSizeSetting) {
    EXPECT_EQ(JobStem("a.b.txt"), "a.b");
    EXPECT_EQ(JobStem("inv42.txt"), "inv42");
    EXPECT_EQ(JobStem("report"), "");
    EXPECT_EQ(JobStem(".txt"), "");
    EXPECT_EQ(JobStem("a..b.txt"), "a.b");  // empty fields do not exist

    EXPECT_EQ(AtoiLike64("  -12kb"), -12);
    EXPECT_EQ(AtoiLike64("+7"), 7);
    EXPECT_EQ(AtoiLike64("abc"), 0);
    EXPECT_EQ(AtoiLike64("5000000000"), 5000000000LL);
    EXPECT_EQ(AtoiLike64("99999999999999999999"), INT64_MAX);
    EXPECT_EQ(AtoiLike64("-99999999999999999999"), INT64_MIN);
}

constexpr const char* kIni =
    "[Server]\nhome=tools\ndebug=true\nemlog=activity.log\nsender=tarn@example.org\nemlsrv=127.0.0.1\n"
    "[INVOICE]\nsaveDir=out\ntemplate=forms/form.pdf\npdfparams=\n"
    "[MERGED]\ntemplate=forms/form.pdf\npdfparams=-s "
    "1\nmergeBefore=merge/front.pdf\nmergeAfter=merge/back.pdf\n"
    "[BACKONLY]\ntemplate=forms/form.pdf\nmergeAfter=merge/back.pdf\n"
    "[NOFRONT]\ntemplate=forms/form.pdf\nmergeBefore=merge/none.pdf\n"
    "[NOFORM]\ntemplate=forms/none.pdf\n"
    "[EMPTYFORM]\ntemplate=\n"
    "[RAW]\nsaveDir=out\n"
    "[xls]\ntemplate=forms/form.pdf\ndateFormat=dd/mm/yyyy\ninputDecSeparator=,\nnextSheet=NEXT\n";

class JobPipelineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* sub : {"tools", "forms", "merge", "out", "save dir"})
            std::filesystem::create_directory(dir / sub);
        WriteFile(dir / "forms/form.pdf", MakePdf(1));
        WriteFile(dir / "merge/front.pdf", MakePdf(2));
        WriteFile(dir / "merge/back.pdf", MakePdf(3));
        overprint = InstallStandIn(dir / "tools/", "overprint");
        tabulate = InstallStandIn(dir / "tools/", "tabulate");
        std::filesystem::create_symlink("/usr/bin/pdftk", dir / "tools/pdftk");
        Configure(kIni);
    }
    void Configure(const std::string& ini) { context = std::make_unique<FakeContext>(dir.path(), ini); }

    // A job whose raw file has been written into `saveDir`.
    JobRequest Job(const std::string& section, const std::string& rawName, const std::string& folder = "out/",
                   const std::string& text = "report line\r\n") {
        JobRequest job;
        job.section = section;
        job.rawName = rawName;
        job.saveDir = dir / folder;
        job.rawPath = job.saveDir + rawName;
        WriteFile(job.rawPath, text);
        return job;
    }

    ScratchFolder dir;
    ScratchFolder scratch;
    std::string overprint, tabulate;
    std::unique_ptr<FakeContext> context;
};

TEST_F(JobPipelineTest, PdfWithoutMergeIsRenamed) {
    JobRequest job = Job("INVOICE", "inv42.txt");
    ASSERT_TRUE(ProcessJob(*context, job));
    const std::string form = dir / "forms/form.pdf";
    EXPECT_EQ(RecordedArgs(overprint),
              (Args{overprint, form, dir / "out/inv42.txt", "-o", dir / "out/inv42_$$$"}));
    EXPECT_EQ(ReadFile(dir / "out/inv42.pdf"), ReadFile(form));
    EXPECT_FALSE(Exists(dir / "out/inv42.txt"));
    EXPECT_FALSE(Exists(dir / "out/inv42_$$$.pdf"));
    EXPECT_EQ(
        context->Events(),
        (Events{Info(kEvtProgramPath, overprint), Info(kEvtPipelineRawName, "inv42.txt"),
                Info(kEvtTemplatePath, form),
                Info(kEvtCommandLine, "\"" + overprint + "\" \"" + form + "\" \"" + dir / "out/inv42.txt" +
                                          "\"  -o \"" + dir / "out/inv42_$$$\""),
                Info(kEvtOutputFile, dir / "out/inv42.pdf")}));
}

TEST_F(JobPipelineTest, FormsFolderReachesOverprint) {
    Configure(std::string(kIni) + "[Server]\nformsDir=forms\n");
    JobRequest job = Job("INVOICE", "f.txt");
    ASSERT_TRUE(ProcessJob(*context, job));
    EXPECT_EQ(RecordedArgs(overprint), (Args{overprint, dir / "forms/form.pdf", dir / "out/f.txt", "-o",
                                             dir / "out/f_$$$", "-d", dir / "forms"}));
}

TEST_F(JobPipelineTest, MergesFrontAndBackWithPdftk) {
    // The save folder holds a blank: pdftk receives quoted paths.
    JobRequest job = Job("MERGED", "a.b.txt", "save dir/");
    ASSERT_TRUE(ProcessJob(*context, job)) << ::testing::PrintToString(context->Errors());
    const std::string final = dir / "save dir/a.b.pdf";
    EXPECT_EQ(PdfPageCount(final, scratch.path()), 2 + 1 + 3);
    EXPECT_EQ(RecordedArgs(overprint).at(3), "-s");
    EXPECT_FALSE(Exists(dir / "save dir/a.b_$$$.pdf"));
    EXPECT_FALSE(Exists(dir / "save dir/a.b.txt"));
    const std::string pdftk = dir / "tools/pdftk";
    Events events = context->Events();
    ASSERT_EQ(events.size(), 9u);
    EXPECT_EQ(Events(events.begin() + 4, events.end()),
              (Events{Info(kEvtProgramPath, pdftk), Info(kEvtMergeFile, dir / "merge/front.pdf"),
                      Info(kEvtMergeFile, dir / "merge/back.pdf"),
                      Info(kEvtCommandLine, pdftk + " " + dir / "merge/front.pdf" + " \"" +
                                                dir / "save dir/a.b_$$$.pdf" + "\" " +
                                                dir / "merge/back.pdf" + " cat output \"" + final + "\""),
                      Info(kEvtOutputFile, final)}));
}

TEST_F(JobPipelineTest, BackFileOnlyAndEmptyStem) {
    JobRequest job = Job("BACKONLY", "report");
    ASSERT_TRUE(ProcessJob(*context, job));
    EXPECT_EQ(PdfPageCount(dir / "out/.pdf", scratch.path()), 1 + 3);
    EXPECT_EQ(context->Events().at(6).text, dir / "tools/pdftk " + dir / "out/_$$$.pdf " +
                                                dir / "merge/back.pdf cat output " + dir / "out/.pdf");
}

TEST_F(JobPipelineTest, WorkbookJobRunsTabulateWhateverTheCase) {
    for (const char* section : {"xls", "XLS"}) {
        context->Clear();
        JobRequest job = Job(section, "stock.txt");
        ASSERT_TRUE(ProcessJob(*context, job));
        EXPECT_EQ(RecordedArgs(tabulate), (Args{tabulate, "-p", dir / "out/", "-r", "stock.txt", "-d",
                                                "dd/mm/yyyy", "-n", ",", "-x", "NEXT"}));
        EXPECT_TRUE(Exists(dir / "out/stock.xls"));
        EXPECT_FALSE(Exists(dir / "out/stock.txt"));
        EXPECT_EQ(context->Events(),
                  (Events{Info(kEvtProgramPath, tabulate), Info(kEvtPipelineRawName, "stock.txt"),
                          Info(kEvtOutputFile, dir / "out/stock.xls")}));
    }
    EXPECT_FALSE(Exists(overprint + ".args"));
}

TEST_F(JobPipelineTest, WorkbookNamesWithoutADotOrWithSeveralAreTheNamesTabulateWrites) {
    WriteFile(dir / "out/x.y.xls", "unrelated");
    WriteFile(dir / "out/hidden.xls", "unrelated");
    WriteFile(dir / "out/.xls", "unrelated");
    for (const auto& [raw, workbook] : std::vector<std::pair<std::string, std::string>>{
             {"AP100R1", "AP100R1.xls"}, {"x..y.txt", "x..y.xls"}, {".hidden.txt", ".hidden.xls"}}) {
        JobRequest job = Job("xls", raw);
        EXPECT_TRUE(ProcessJob(*context, job)) << raw << ::testing::PrintToString(context->Errors());
        EXPECT_TRUE(Exists(dir / "out/" + workbook)) << raw;
        EXPECT_FALSE(Exists(job.rawPath)) << raw;
    }
    for (const char* unrelated : {"x.y.xls", "hidden.xls", ".xls"})
        EXPECT_EQ(ReadFile(dir / "out/" + unrelated), "unrelated") << unrelated;
}

TEST_F(JobPipelineTest, SectionWithoutTemplateDeliversTheRawFile) {
    JobRequest job = Job("RAW", "plain.txt");
    ASSERT_TRUE(ProcessJob(*context, job));
    EXPECT_TRUE(Exists(dir / "out/plain.txt"));
    EXPECT_EQ(context->Events(), (Events{Info(kEvtOutputFile, dir / "out/plain.txt")}));
}

TEST_F(JobPipelineTest, FailuresEndTheJobWithTheirEvents) {
    struct Case {
        std::string section;
        Events errors;
        bool rawKept;
    };
    const std::string noForm = "forms/none.pdf";
    const std::vector<Case> cases = {
        {"NOFORM", {Error(kEvtTemplateMissing, noForm), Error(kEvtTemplateMissing, dir / noForm)}, true},
        {"EMPTYFORM", {Error(kEvtTemplateMissing, ""), Error(kEvtTemplateMissing, dir.path())}, true},
        {"NOFRONT", {Error(kEvtMergeFileMissing, dir / "merge/none.pdf")}, false},
    };
    for (const Case& c : cases) {
        context->Clear();
        JobRequest job = Job(c.section, "j.txt");
        EXPECT_FALSE(ProcessJob(*context, job)) << c.section;
        EXPECT_EQ(context->Errors(), c.errors) << c.section;
        EXPECT_EQ(Exists(dir / "out/j.txt"), c.rawKept) << c.section;
    }
    // After a failed merge step the converted PDF stays for the operator.
    EXPECT_TRUE(Exists(dir / "out/j_$$$.pdf"));

    // A converter that writes nothing shows as a missing output at delivery.
    std::filesystem::remove(overprint);
    std::filesystem::create_symlink("/bin/true", overprint);
    context->Clear();
    JobRequest job = Job("INVOICE", "k.txt");
    EXPECT_FALSE(ProcessJob(*context, job));
    EXPECT_EQ(context->Errors(), (Events{Error(kEvtOutputMissing, dir / "out/k.pdf")}));
    EXPECT_FALSE(Exists(dir / "out/k.txt"));
}

TEST_F(JobPipelineTest, MissingProgramsAreReported) {
    std::filesystem::remove(dir / "tools/pdftk");
    JobRequest merge = Job("MERGED", "m.txt");
    EXPECT_FALSE(ProcessJob(*context, merge));
    EXPECT_EQ(context->Errors(), (Events{Error(kEvtProgramMissing, dir / "tools/pdftk")}));

    std::filesystem::remove(overprint);
    context->Clear();
    JobRequest pdf = Job("INVOICE", "p.txt");
    EXPECT_FALSE(ProcessJob(*context, pdf));
    EXPECT_EQ(context->Errors(), (Events{Error(kEvtProgramMissing, overprint)}));
    EXPECT_TRUE(Exists(dir / "out/p.txt"));  // no converter ran: the raw file stays
}

class JobMailLimitTest : public JobPipelineTest {
  protected:
    void SetUp() override {
        JobPipelineTest::SetUp();
        blat = InstallStandIn(dir / "tools/", "blat");
    }
    // A raw-text job of `size` bytes with one e-mail order, under `emmaxsize`.
    bool Run(const std::string& emmaxsize, std::size_t size, bool sendEmail = true) {
        Configure(std::string(kIni) + "[Server]\ndebug=false\n" + emmaxsize);
        std::filesystem::remove(blat + ".args");
        JobRequest job = Job("RAW", "big.txt", "out/", std::string(size, 'x'));
        EmailRecord order;
        order.module = context.get();
        order.addressList = "a@example.com";
        order.recipientName = "A";
        job.emailOrders = {order, order};
        job.sendEmail = sendEmail;
        return ProcessJob(*context, job);
    }
    bool Mailed() { return Exists(blat + ".args"); }
    std::string blat;
};

// A converter that, instead of writing its output, leaves a link to a file
// the client must never see under the name the pipeline takes up next (as
// someone who can write the save folder could while it runs).
void InstallLinkPlanter(const std::string& tool, const std::string& option, const std::string& suffix,
                        const std::string& secret) {
    std::filesystem::remove(tool);
    WriteFile(tool, "#!/bin/sh\nwhile [ \"$1\" != " + option + " ]; do shift; done\nln -s '" + secret +
                        "' \"$2" + suffix + "\"\n");
    std::filesystem::permissions(tool, std::filesystem::perms::owner_all);
}

TEST_F(JobMailLimitTest, PlantedLinksAreNeitherRenamedNorMergedNorDeliveredNorMailed) {
    const std::string secret = dir / "secret.txt";
    WriteFile(secret, "root only");
    InstallLinkPlanter(overprint, "-o", ".pdf", secret);
    for (const char* section : {"INVOICE", "MERGED"}) {
        context->Clear();
        JobRequest job = Job(section, "victim.txt");
        EXPECT_FALSE(ProcessJob(*context, job)) << section;
        EXPECT_EQ(context->Errors(), (Events{Error(kEvtOutputMissing, dir / "out/victim_$$$.pdf")}));
        EXPECT_FALSE(Exists(dir / "out/victim.pdf")) << section;
        EXPECT_FALSE(std::filesystem::is_symlink(dir / "out/victim_$$$.pdf")) << section;
    }

    // A workbook (or any output) that is a link is not delivered.
    InstallLinkPlanter(tabulate, "-p", "stock.xls", secret);
    JobRequest job = Job("xls", "stock.txt");
    EmailRecord order;
    order.module = context.get();
    order.addressList = "a@example.com";
    order.recipientName = "A";
    job.emailOrders = {order};
    job.sendEmail = true;
    context->Clear();
    EXPECT_FALSE(ProcessJob(*context, job));
    EXPECT_EQ(context->Errors(), (Events{Error(kEvtOutputMissing, dir / "out/stock.xls")}));
    EXPECT_FALSE(Mailed());
    EXPECT_EQ(ReadFile(secret), "root only");
}

TEST_F(JobMailLimitTest, SizeLimitRules) {
    EXPECT_TRUE(Run("", 3145728)) << "empty: 3072 KB allowed";
    EXPECT_TRUE(Mailed());
    EXPECT_FALSE(Run("", 3145729));
    EXPECT_FALSE(Mailed());
    EXPECT_TRUE(Run("emmaxsize=2\n", 2048));
    EXPECT_TRUE(Run("emmaxsize=-1\n", 3145729));
    EXPECT_TRUE(Run("emmaxsize=9223372036854775807\n", 4096))
        << "a limit that overflows in bytes is no limit";
    EXPECT_TRUE(Run("emmaxsize=99999999999999999999\n", 4096));
    EXPECT_TRUE(Mailed());
    EXPECT_TRUE(Run("emmaxsize=0\n", 10, false)) << "a job without e-mail never looks at the limit";
}

TEST_F(JobMailLimitTest, RefusalsAreReportedAndLogged) {
    EXPECT_FALSE(Run("emmaxsize=1\n", 2048));
    EXPECT_FALSE(Mailed());
    EXPECT_EQ(context->Errors(), (Events{Error(kEvtEmailRefused, "The attachement file is too big.")}));
    EXPECT_FALSE(Run("emmaxsize=0\n", 10));
    EXPECT_FALSE(Mailed());
    EXPECT_EQ(context->Errors(),
              (Events{Error(kEvtEmailRefused,
                            "\"emmaxsize\" setting in INI file is 0. Send email function is disabled")}));
    std::vector<std::string> log = Lines(ReadFile(dir / "activity.log"));
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].substr(20), dir / "out/big.txt -> all failed");
    EXPECT_EQ(log[1].substr(20), dir / "out/big.txt -> all failed");
}

TEST_F(JobMailLimitTest, EveryOrderIsSentEvenAfterAFailure) {
    SetStandInExit(blat, 1);
    EXPECT_FALSE(Run("", 100));
    EXPECT_EQ(context->Errors().size(), 2u);  // both orders were tried
    std::vector<std::string> log = Lines(ReadFile(dir / "activity.log"));
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1].substr(20), dir / "out/big.txt -> a@example.com failed");
}

// A raw file sent under the name of its own output (inv42.pdf, stock.xls)
// must be converted, not deleted as "the old output" before the converter
// reads it. Runs the real converters.
TEST(JobPipelineRealConverters, RawNameWithTheOutputsExtensionIsConvertedNotLost) {
    const std::string bin = TARN_BIN_DIR;
    if (!Exists(bin + "/overprint") || !Exists(bin + "/tabulate")) GTEST_SKIP() << "converters not built";
    ScratchFolder dir;
    ScratchFolder scratch;
    for (const char* sub : {"tools", "forms", "out"}) std::filesystem::create_directory(dir / sub);
    for (const char* tool : {"overprint", "tabulate", "PdfFont.ext"}) {
        std::filesystem::create_symlink(bin + "/" + tool, dir / "tools/" + tool);
    }
    WriteFile(dir / "forms/form.pdf", MakePdf(1));
    FakeContext context(dir.path(), "[Server]\nhome=tools\n[INVOICE]\ntemplate=forms/form.pdf\n[xls]\n");

    JobRequest pdfJob;
    pdfJob.section = "INVOICE";
    pdfJob.rawName = "inv42.pdf";
    pdfJob.saveDir = dir / "out/";
    pdfJob.rawPath = pdfJob.saveDir + pdfJob.rawName;
    WriteFile(pdfJob.rawPath, "Invoice forty-two\r\n");
    ASSERT_TRUE(ProcessJob(context, pdfJob)) << ::testing::PrintToString(context.Errors());
    ProgramRun text = RunAndCapture({"/usr/bin/pdftotext", pdfJob.rawPath, "-"}, scratch.path());
    EXPECT_NE(text.out.find("Invoice forty-two"), std::string::npos) << text.out;

    JobRequest xlsJob = pdfJob;
    xlsJob.section = "xls";
    xlsJob.rawName = "aging.xls";
    xlsJob.rawPath = xlsJob.saveDir + xlsJob.rawName;
    WriteFile(xlsJob.rawPath, ReadFile(std::string(TARN_SOURCE_DIR) + "/examples/reports/ap100-aging.txt"));
    ASSERT_TRUE(ProcessJob(context, xlsJob)) << ::testing::PrintToString(context.Errors());
    // An OLE2 compound file now stands under the name (its signature D0 CF 11 E0).
    EXPECT_EQ(ReadFile(xlsJob.rawPath).substr(0, 4), std::string("\xD0\xCF\x11\xE0"));
    EXPECT_FALSE(Exists(dir / "out/aging.cln"));

    // The real tabulate names a workbook as the pipeline expects it.
    xlsJob.rawName = "x..AP100R1";
    xlsJob.rawPath = xlsJob.saveDir + xlsJob.rawName;
    WriteFile(xlsJob.rawPath, ReadFile(std::string(TARN_SOURCE_DIR) + "/examples/reports/ap100-aging.txt"));
    ASSERT_TRUE(ProcessJob(context, xlsJob)) << ::testing::PrintToString(context.Errors());
    EXPECT_EQ(ReadFile(dir / "out/x..xls").substr(0, 4), std::string("\xD0\xCF\x11\xE0"));
}

}  // namespace
}  // namespace tarn
