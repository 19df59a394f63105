// The forms as the merge uses them: each form read and written once, its
// pages repeated for every text page that uses it.
#include <gtest/gtest.h>

#include <regex>

#include "PdfTestSupport.h"
#include "overprint/FormMerge.h"
#include "overprint/FormStage.h"
#include "overprint/ReaderPatterns.h"

namespace tarn::overprint {
namespace {

using testing::Fixture;
using testing::ScratchDir;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

class FormStageTest : public ::testing::Test {
  protected:
    // Lays one blank text page per entry of `forms` (the form of that page)
    // onto the forms; returns the outcome and keeps what was printed.
    Outcome Lay(const std::vector<std::string>& forms, const std::string& output) {
        OverprintRun run;
        run.programDir = TARN_BIN_DIR;  // PdfFont.ext lies beside the program
        run.formName = forms.front();
        run.outputName = output;
        AddReaderPatterns(run.patterns);
        TextLayout layout(run);
        std::string text = " ";
        for (std::size_t k = 1; k < forms.size(); ++k) text += "\f ";
        layout.LayOutText(text);
        run.pageForms = forms;
        CaptureStdout();
        PdfWriter writer;
        FormStage stage(run, writer);
        Outcome outcome = stage.OpenFirst();
        if (outcome == Outcome::kOk && !writer.Create(output)) outcome = Outcome::kOpenFailed;
        if (outcome == Outcome::kOk) outcome = MergeText(run, layout, stage, writer);
        if (outcome == Outcome::kOk && !writer.Commit()) outcome = Outcome::kWriteFailed;
        printed_ = GetCapturedStdout();
        return outcome;
    }

    ScratchDir dir_;
    std::string printed_;
};

std::size_t Occurrences(const std::string& bytes, const std::string& what) {
    std::size_t count = 0;
    for (std::size_t at = bytes.find(what); at != std::string::npos; at = bytes.find(what, at + 1)) ++count;
    return count;
}

TEST_F(FormStageTest, ThreePagesOnOnePageFormsFromRealProducersRenderAsTheForm) {
    for (const char* name : {"form_ps.pdf", "form_odt.pdf", "form_qdf.pdf", "plain.pdf", "incremental.pdf",
                             "literal_string.pdf"}) {
        SCOPED_TRACE(name);
        const std::string form = Fixture(name);
        const std::string out = dir_ / (std::string("three_") + name);
        ASSERT_EQ(Outcome::kOk, Lay({form, form, form}, out));
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

TEST_F(FormStageTest, EachFormIsWrittenOnceWhateverThePageCount) {
    const std::string out = dir_ / "many.pdf";
    const std::string plain = Fixture("plain.pdf");
    ASSERT_EQ(Outcome::kOk, Lay(std::vector<std::string>(50, plain), out));
    const std::string bytes = testing::ReadFile(out);
    EXPECT_EQ(1u, Occurrences(bytes, "(PLAIN FORM) Tj"));
    EXPECT_EQ(1u, Occurrences(bytes, "/BaseFont /Helvetica >>"));
    EXPECT_EQ(50, testing::PdfinfoPages(out));
    EXPECT_NE(std::string::npos, testing::PageText(out, 50).find("PLAIN FORM"));
    // Each page costs its dictionary and its text, far less than a form.
    EXPECT_LT(bytes.size(), testing::ReadFile(plain).size() + 50 * 400);
}

TEST_F(FormStageTest, TwoFormsAlternateAndMultiPageFormsKeepTheirOrder) {
    const std::string out = dir_ / "mixed.pdf";
    ASSERT_EQ(Outcome::kOk,
              Lay({Fixture("plain.pdf"), Fixture("a4.pdf"), Fixture("plain.pdf"), Fixture("a4.pdf")}, out));
    std::string report;
    EXPECT_TRUE(testing::QpdfCheckPasses(out, &report)) << report;
    ASSERT_EQ(4, testing::PdfinfoPages(out));
    for (int page = 1; page <= 4; ++page) {
        const char* expected = page % 2 == 1 ? "PLAIN FORM" : "A4 FORM";
        EXPECT_NE(std::string::npos, testing::PageText(out, page).find(expected)) << page;
    }

    // An intermediate /Pages node: each use brings its three pages in order.
    const std::string nested = dir_ / "nested.pdf";
    ASSERT_EQ(Outcome::kOk, Lay({Fixture("nested_pages.pdf"), Fixture("nested_pages.pdf")}, nested));
    EXPECT_TRUE(testing::QpdfCheckPasses(nested, &report)) << report;
    ASSERT_EQ(6, testing::PdfinfoPages(nested));
    const char* order[] = {"PAGE ONE", "PAGE TWO", "PAGE THREE"};
    for (int page = 1; page <= 6; ++page) {
        EXPECT_NE(std::string::npos, testing::PageText(nested, page).find(order[(page - 1) % 3])) << page;
    }
}

TEST_F(FormStageTest, StringsHoldingReferencesAreCopiedUnchanged) {
    const std::string out = dir_ / "strings.pdf";
    ASSERT_EQ(Outcome::kOk, Lay({Fixture("literal_string.pdf"), Fixture("literal_string.pdf")}, out));
    const std::string bytes = testing::ReadFile(out);
    const std::string note = "/Note (see (page 3 0 R) \\) here)";
    EXPECT_EQ(2u, Occurrences(bytes, note));
    // The form's own reference points at its font in the output.
    std::smatch font;
    ASSERT_TRUE(std::regex_search(bytes, font, std::regex("/Ref +([0-9]+) 0 R")));
    EXPECT_TRUE(std::regex_search(bytes, std::regex("\n" + font[1].str() + " 0 obj\n<< /Type /Font")));
}

TEST_F(FormStageTest, OpenFailuresEndWithTheirOwnStatus) {
    const std::string missing = dir_ / "missing.pdf";
    EXPECT_EQ(Outcome::kOpenFailed, Lay({missing}, dir_ / "a.pdf"));
    EXPECT_EQ("*** Error open input pdf file " + missing + "***\n", printed_);

    EXPECT_EQ(Outcome::kLaterFormOpen, Lay({Fixture("plain.pdf"), missing}, dir_ / "b.pdf"));
    EXPECT_NE(std::string::npos, printed_.find("***22 Error open file: " + missing + "\n"));
    EXPECT_NE(0, testing::RunShell("ls '" + dir_.path() + "' | grep -q b.pdf"));
}

}  // namespace
}  // namespace tarn::overprint
