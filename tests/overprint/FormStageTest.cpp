#include <gtest/gtest.h>

#include "PdfTestSupport.h"
#include "overprint/ExitStatus.h"
#include "overprint/FormStage.h"
#include "overprint/OverprintExit.h"
#include "overprint/ProgramState.h"
#include "overprint/ReaderPatterns.h"

namespace tarn::overprint {
namespace {

using testing::Fixture;
using testing::ScratchDir;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

class FormStageTest : public ::testing::Test {
  protected:
    FormStageTest() {
        ResetProgramState();
        AddReaderPatterns(patterns_);
    }
    ~FormStageTest() override { ResetProgramState(); }

    // Runs the form stage over `forms`; returns the exit status it ended
    // with (0 when it ran through) and keeps what it printed.
    int Run(const std::vector<std::string>& forms, const std::string& output) {
        pageForms = forms;
        CaptureStdout();
        int status = 0;
        try {
            RunFormStage(document_, output);
        } catch (const OverprintExit& exit) {
            status = exit.status();
        }
        printed_ = GetCapturedStdout();
        return status;
    }

    ScratchDir dir_;
    PatternCache patterns_;
    PdfDocument document_{patterns_};
    std::string printed_;
};

TEST_F(FormStageTest, ThreeCopiesOfOnePageFormsFromRealProducers) {
    for (const char* name : {"form_ps.pdf", "form_odt.pdf", "form_qdf.pdf", "plain.pdf", "incremental.pdf",
                             "literal_string.pdf"}) {
        SCOPED_TRACE(name);
        const std::string form = Fixture(name);
        const std::string out = dir_ / (std::string("three_") + name);
        ASSERT_EQ(0, Run({form, form, form}, out));
        EXPECT_EQ("", printed_);
        std::string report;
        EXPECT_TRUE(testing::QpdfCheckPasses(out, &report)) << report;
        EXPECT_EQ(3, testing::PdfinfoPages(out));
        const auto pages = testing::RenderPages(out);
        const auto original = testing::RenderPages(form);
        ASSERT_EQ(3u, pages.size());
        ASSERT_EQ(1u, original.size());
        EXPECT_EQ(original[0], pages[0]);
        EXPECT_EQ(pages[0], pages[1]);
        EXPECT_EQ(pages[0], pages[2]);
    }
    EXPECT_NE(std::string::npos, testing::PageText(dir_ / "three_incremental.pdf", 3).find("UPDATED"));
}

TEST_F(FormStageTest, SingleCopyKeepsItsOwnPageTree) {
    const std::string out = dir_ / "one.pdf";
    ASSERT_EQ(0, Run({Fixture("form_odt.pdf")}, out));
    std::string report;
    EXPECT_TRUE(testing::QpdfCheckPasses(out, &report)) << report;
    EXPECT_EQ(1, testing::PdfinfoPages(out));
}

TEST_F(FormStageTest, TwoFormsAlternateAndMultiPageFormsKeepTheirOrder) {
    const std::string out = dir_ / "mixed.pdf";
    ASSERT_EQ(0,
              Run({Fixture("plain.pdf"), Fixture("a4.pdf"), Fixture("plain.pdf"), Fixture("a4.pdf")}, out));
    std::string report;
    EXPECT_TRUE(testing::QpdfCheckPasses(out, &report)) << report;
    ASSERT_EQ(4, testing::PdfinfoPages(out));
    for (int page = 1; page <= 4; ++page) {
        const char* expected = page % 2 == 1 ? "PLAIN FORM" : "A4 FORM";
        EXPECT_NE(std::string::npos, testing::PageText(out, page).find(expected)) << page;
    }

    // An intermediate /Pages node: each copy brings its three pages in order.
    const std::string nested = dir_ / "nested.pdf";
    ASSERT_EQ(0, Run({Fixture("nested_pages.pdf"), Fixture("nested_pages.pdf")}, nested));
    EXPECT_TRUE(testing::QpdfCheckPasses(nested, &report)) << report;
    ASSERT_EQ(6, testing::PdfinfoPages(nested));
    const char* order[] = {"PAGE ONE", "PAGE TWO", "PAGE THREE"};
    for (int page = 1; page <= 6; ++page) {
        EXPECT_NE(std::string::npos, testing::PageText(nested, page).find(order[(page - 1) % 3])) << page;
    }
}

TEST_F(FormStageTest, StringsHoldingReferencesAreCopiedUnchanged) {
    const std::string out = dir_ / "strings.pdf";
    ASSERT_EQ(0, Run({Fixture("literal_string.pdf"), Fixture("literal_string.pdf")}, out));
    const std::string bytes = testing::ReadFile(out);
    const std::string note = "/Note (see (page 3 0 R) \\) here)";
    std::size_t first = bytes.find(note);
    ASSERT_NE(std::string::npos, first);
    EXPECT_NE(std::string::npos, bytes.find(note, first + 1));
    // The second copy's own reference moved past the first copy's objects.
    EXPECT_NE(std::string::npos, bytes.find("/Ref  10 0 R"));
}

TEST_F(FormStageTest, OpenFailuresEndWithTheirOwnStatus) {
    const std::string missing = dir_ / "missing.pdf";
    EXPECT_EQ(kExitFirstFormOpen, Run({missing}, dir_ / "a.pdf"));
    EXPECT_EQ("***20 Error open file: " + missing + "\n", printed_);

    const std::string noFolder = dir_ / "no/such/folder/tmp";
    EXPECT_EQ(kExitTempFormOpen, Run({Fixture("plain.pdf")}, noFolder));
    EXPECT_EQ("***21 Error open temporary file: " + noFolder + "\n", printed_);

    EXPECT_EQ(kExitLaterFormOpen, Run({Fixture("plain.pdf"), missing}, dir_ / "b.pdf"));
    EXPECT_NE(std::string::npos, printed_.find("***22 Error open file: " + missing + "\n"));
}

}  // namespace
}  // namespace tarn::overprint
