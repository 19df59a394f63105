// The converter end to end: real forms, report texts with escape commands,
// the output checked with qpdf and poppler, barcodes read back with zbarimg.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "PdfTestSupport.h"

namespace tarn::overprint {
namespace {

using testing::Fixture;
using testing::PageText;
using testing::PdfinfoPages;
using testing::QpdfCheckPasses;
using testing::ReadFile;
using testing::RunShell;
using testing::ScratchDir;
using testing::WriteFile;

// A private copy of the program with its PdfFont.ext, so that forms named in
// the text resolve against a folder the test owns.
class Installed {
  public:
    explicit Installed(bool withFontFile = true) {
        RunShell("mkdir '" + dir_ / "tmp" + "' && cp '" + std::string(TARN_BIN_DIR) + "/overprint' '" +
                 dir_.path() + "/'");
        if (withFontFile) {
            RunShell("cp '" + std::string(TARN_BIN_DIR) + "/PdfFont.ext' '" + dir_.path() + "/'");
        }
    }
    std::string operator/(const std::string& name) const { return dir_ / name; }
    // Runs the program on `form` and a text holding `text`; the output is out.pdf.
    int Run(const std::string& form, const std::string& text, const std::string& options = "",
            std::string* messages = nullptr) {
        WriteFile(dir_ / "report.txt", text);
        return RunShell("cd '" + dir_.path() + "' && TMP='" + dir_ / "tmp" + "' ./overprint '" + form +
                            "' report.txt -o out " + options,
                        messages);
    }
    // What the run left in its temporary folder.
    std::string TempListing() const {
        std::string listing;
        RunShell("ls -A '" + dir_ / "tmp" + "'", &listing);
        return listing;
    }
    std::string output() const { return dir_ / "out.pdf"; }

  private:
    ScratchDir dir_;
};

std::string PageSize(const std::string& pdf, int page) {
    std::string out;
    RunShell("pdfinfo -f " + std::to_string(page) + " -l " + std::to_string(page) + " '" + pdf +
                 "' | grep 'Page.*size'",
             &out);
    return out;
}

TEST(OverprintText, ThreeTextPagesOnAOnePageFormFromEachProducer) {
    for (const char* form : {"plain.pdf", "form_odt.pdf", "form_qdf.pdf", "form_ps.pdf", "a4.pdf"}) {
        SCOPED_TRACE(form);
        Installed program;
        std::string messages;
        ASSERT_EQ(program.Run(Fixture(form),
                              "first (one) back\\slash\r\n\f\rsecond \x1b"
                              "f9 page\r\n\f\rthird\r\n",
                              "-t 500", &messages),
                  0)
            << messages;
        std::string report;
        EXPECT_TRUE(QpdfCheckPasses(program.output(), &report)) << report;
        EXPECT_EQ(PdfinfoPages(program.output()), 3);
        EXPECT_NE(PageText(program.output(), 1).find("first (one) back\\slash"), std::string::npos);
        EXPECT_NE(PageText(program.output(), 2).find("second page"), std::string::npos);
        EXPECT_NE(PageText(program.output(), 3).find("third"), std::string::npos);
        EXPECT_EQ(PageText(program.output(), 1).find("second"), std::string::npos);
    }
}

// Forms as each producer writes them: the first baseline lies marginTop
// below the top of the page box and marginLeft right of its left edge, for
// both poppler and mupdf, and the output passes qpdf --check.
TEST(OverprintText, TextLandsWhereTheMarginsPutItOnEveryProducersForm) {
    struct Case {
        const char* form;
        const char* formText;  // what the form itself shows, kept under the text
    } cases[] = {
        {"form_ps.pdf", "DELIVERY"},          // ghostscript, A4
        {"form_odt.pdf", "INVOICE"},          // LibreOffice: 0 0 595.304 841.89
        {"form_cairo.pdf", "DELIVERY"},       // cairo: nested /Type, flipped content
        {"form_qdf.pdf", "DELIVERY"},         // qpdf: a box over five lines
        {"slide.pdf", nullptr},               // 0 0 793.7 446.457
        {"centred.pdf", "CENTRED"},           // -297 -421 298 421
        {"reused_numbers.pdf", "REUSED"},     // generation 1 objects
        {"empty_contents.pdf", nullptr},      // /Contents [ ] and /Resources<<>>
        {"gaps.pdf", "GAPS"},                 // free numbers in the table
        {"inherited_resources.pdf", "NODE"},  // resources from a page-tree node
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.form);
        Installed program;
        std::string messages;
        ASSERT_EQ(program.Run(Fixture(c.form), "MARKER one\fSECOND page\n", "-t 100 -l 72", &messages), 0)
            << messages;
        std::string report;
        EXPECT_TRUE(QpdfCheckPasses(program.output(), &report)) << report;
        const testing::Spot poppler = testing::PopplerWord(program.output(), 1, "MARKER");
        EXPECT_NEAR(poppler.x, 72, 1);
        EXPECT_NEAR(poppler.y, 102, 3);  // the box's bottom lies just below the baseline
        const testing::Spot mupdf = testing::MupdfWord(program.output(), 1, "MARKER");
        EXPECT_NEAR(mupdf.x, 72, 1);
        EXPECT_NEAR(mupdf.y, 100, 1);
        EXPECT_NEAR(testing::MupdfWord(program.output(), 2, "SECOND").y, 100, 1);
        if (c.formText != nullptr) {
            EXPECT_NE(PageText(program.output(), 1).find(c.formText), std::string::npos)
                << PageText(program.output(), 1);
        }
    }
}

TEST(OverprintText, FormWithoutPagesFailsWithoutOutput) {
    Installed program;
    std::string messages;
    EXPECT_EQ(program.Run(Fixture("no_page.pdf"), "text\n", "", &messages), 24);
    EXPECT_NE(messages.find("*** Error not found page ***"), std::string::npos) << messages;
    EXPECT_NE(RunShell("test -e '" + program.output() + "'"), 0);
}

TEST(OverprintText, FontsTheTextUsesAreListed) {
    Installed program;
    ASSERT_EQ(program.Run(Fixture("plain.pdf"),
                          "courier \x1b"
                          "f14 avant \x1b"
                          "f39 arial \x1b"
                          "f100 external \x1b"
                          "f70 "
                          "seventy\n"),
              0);
    std::string fonts;
    ASSERT_EQ(RunShell("pdffonts '" + program.output() + "'", &fonts), 0);
    for (const char* name : {"Courier ", "AvantGarde-Book", "ArialMT", "Helvetica-Bold"}) {
        EXPECT_NE(fonts.find(name), std::string::npos) << name << "\n" << fonts;
    }
    EXPECT_TRUE(QpdfCheckPasses(program.output()));
    EXPECT_NE(PageText(program.output(), 1).find("seventy"), std::string::npos);
}

TEST(OverprintText, CommandNSwitchesTheFormOfLaterPages) {
    Installed program;
    RunShell("mkdir '" + program / "forms" + "' && cp '" + Fixture("a4.pdf") + "' '" +
             program / "forms/a4.pdf" + "'");
    ASSERT_EQ(program.Run(Fixture("plain.pdf"), "on letter\x1bn \\forms\\a4.pdf\r\n\f\ron a4\r\n"), 0);
    EXPECT_TRUE(QpdfCheckPasses(program.output()));
    EXPECT_NE(PageSize(program.output(), 1).find("612 x 792"), std::string::npos);
    EXPECT_NE(PageSize(program.output(), 2).find("595 x 842"), std::string::npos);
    EXPECT_NE(PageText(program.output(), 2).find("on a4"), std::string::npos);
}

TEST(OverprintText, FormsFolderServesCommandNAndRefusesNamesLeavingIt) {
    Installed program;
    RunShell("mkdir -p '" + program / "forms/sub" + "' && cp '" + Fixture("a4.pdf") + "' '" +
             program / "forms/sub/a4.pdf" + "' && cp '" + Fixture("slide.pdf") + "' '" +
             program / "slide.pdf" + "' && ln -s ../slide.pdf '" + program / "forms/link.pdf" + "'");
    const std::string folder = "-d '" + program / "forms" + "'";
    ASSERT_EQ(program.Run(Fixture("plain.pdf"), "one\x1bn \\sub\\a4.pdf\r\n\f\rtwo\r\n", folder), 0);
    EXPECT_NE(PageSize(program.output(), 2).find("595 x 842"), std::string::npos);
    RunShell("rm '" + program.output() + "'");
    for (const char* name : {"\\..\\slide.pdf", "\\link.pdf", "\\missing.pdf"}) {
        SCOPED_TRACE(name);
        std::string messages;
        EXPECT_EQ(program.Run(Fixture("plain.pdf"), std::string("one\x1bn ") + name + "\r\n\f\rtwo\r\n",
                              folder, &messages),
                  22);
        EXPECT_NE(messages.find("***22 Error open file: "), std::string::npos) << messages;
        EXPECT_NE(RunShell("test -e '" + program.output() + "'"), 0);
        EXPECT_EQ(program.TempListing(), "");
    }
}

TEST(OverprintText, FormNamesLeavingTheProgramFolderAreRefused) {
    Installed program;
    std::string messages;
    ASSERT_EQ(program.Run(Fixture("plain.pdf"), "one\x1bn \\..\\..\\..\\etc\\x.pdf\ftwo\n", "", &messages),
              0);
    EXPECT_NE(messages.find("refused"), std::string::npos) << messages;
    EXPECT_EQ(PdfinfoPages(program.output()), 2);
    EXPECT_NE(PageSize(program.output(), 2).find("612 x 792"), std::string::npos);
}

TEST(OverprintText, MissingFontFileLeavesNoOutput) {
    Installed program(false);
    std::string messages;
    EXPECT_NE(program.Run(Fixture("plain.pdf"), "text\n", "", &messages), 0);
    EXPECT_NE(messages.find("*** Error open external font file "), std::string::npos) << messages;
    EXPECT_FALSE(RunShell("test -e '" + program.output() + "'") == 0);
}

TEST(OverprintText, FormsWithObjectStreamsAreReadThroughAClassicCopy) {
    Installed program;
    ASSERT_EQ(RunShell("qpdf --object-streams=generate '" + Fixture("form_odt.pdf") + "' '" +
                       program / "packed.pdf" + "'"),
              0);
    ASSERT_EQ(program.Run(program / "packed.pdf", "one\ftwo\n", "-t 400"), 0);
    EXPECT_TRUE(QpdfCheckPasses(program.output()));
    EXPECT_EQ(PdfinfoPages(program.output()), 2);
    EXPECT_NE(PageText(program.output(), 1).find("INVOICE"), std::string::npos);
    EXPECT_NE(PageText(program.output(), 2).find("two"), std::string::npos);
}

TEST(OverprintText, UnusableFormsFailClearlyWithoutOutput) {
    Installed program;
    WriteFile(program / "text.pdf", "this is no PDF\n");
    ASSERT_EQ(RunShell("qpdf --encrypt secret owner 256 -- '" + Fixture("plain.pdf") + "' '" +
                       program / "locked.pdf" + "'"),
              0);
    ASSERT_EQ(RunShell("head -c 300 '" + Fixture("plain.pdf") + "' > '" + program / "cut.pdf" + "'"), 0);
    for (const char* form : {"text.pdf", "locked.pdf", "cut.pdf"}) {
        SCOPED_TRACE(form);
        std::string messages;
        EXPECT_NE(program.Run(program / form, "text\n", "", &messages), 0);
        EXPECT_NE(messages.find("is not a usable PDF"), std::string::npos) << messages;
        EXPECT_NE(RunShell("test -e '" + program.output() + "'"), 0);
        EXPECT_EQ(program.TempListing(), "");
    }
}

// Two pages sharing one resources object, the second without contents, the
// page size inherited from the page-tree root through a referenced array.
void WriteSharedResourcesForm(const std::string& path) {
    const std::string form = "BT /F1 12 Tf 50 50 Td (FORM) Tj ET\n";
    WriteFile(path, testing::BuildPdf({
                        "<< /Type /Catalog /Pages 2 0 R >>",
                        "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 /MediaBox 7 0 R >>",
                        "<< /Type /Page /Parent 2 0 R /Resources 5 0 R /Contents 6 0 R >>",
                        "<< /Type /Page /Parent 2 0 R /Resources 5 0 R >>",
                        "<< /Font << /F1 8 0 R >> /ProcSet [/PDF /Text] >>",
                        testing::Stream(form),
                        "[0 0 400 500]",
                        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
                    }));
}

TEST(OverprintText, SharedResourcesPagesWithoutContentsAndReferencedPageBoxes) {
    Installed program;
    WriteSharedResourcesForm(program / "shared.pdf");
    ASSERT_EQ(program.Run(program / "shared.pdf", "alpha\fbeta\n"), 0);
    std::string report;
    EXPECT_TRUE(QpdfCheckPasses(program.output(), &report)) << report;
    // Two copies of the two-page form; text pages 1 and 2 on the first copy.
    EXPECT_EQ(PdfinfoPages(program.output()), 4);
    EXPECT_NE(PageSize(program.output(), 1).find("400 x 500"), std::string::npos);
    EXPECT_NE(PageText(program.output(), 1).find("alpha"), std::string::npos);
    EXPECT_NE(PageText(program.output(), 1).find("FORM"), std::string::npos);
    EXPECT_NE(PageText(program.output(), 2).find("beta"), std::string::npos);
    // The shared resources are written once, with the font entry once.
    const std::string bytes = testing::Uncompressed(program.output());
    const std::regex entry("/FilL0 [0-9]+ 0 R");
    EXPECT_EQ(std::distance(std::sregex_iterator(bytes.begin(), bytes.end(), entry), std::sregex_iterator()),
              1);
    EXPECT_NE(bytes.find("20 480 Td"), std::string::npos);
}

TEST(OverprintText, PagesWithoutResourcesOfTheirOwnShowTheTextAndKeepWhatTheyInherit) {
    struct Case {
        const char* form;
        const char* text;
        std::vector<std::vector<const char*>> pageTexts;  // per page, what pdftotext must find
    } cases[] = {
        {"no_resources.pdf", "gamma\n", {{"gamma"}}},
        // One copy: the form's own root (resources in an object) is the tree's root.
        {"inherited_resources.pdf", "gamma\n", {{"gamma", "NODE FONT"}, {"ROOT FONT"}}},
        // Two copies: each form root is an intermediate node below a new root.
        {"inherited_resources.pdf",
         "alpha\fbeta\n",
         {{"alpha", "NODE FONT"}, {"beta", "ROOT FONT"}, {"NODE FONT"}, {"ROOT FONT"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.form) + " " + c.text);
        Installed program;
        ASSERT_EQ(program.Run(Fixture(c.form), c.text), 0);
        std::string report;
        EXPECT_TRUE(QpdfCheckPasses(program.output(), &report)) << report;
        ASSERT_EQ(PdfinfoPages(program.output()), static_cast<int>(c.pageTexts.size()));
        for (std::size_t i = 0; i < c.pageTexts.size(); ++i) {
            const std::string text = PageText(program.output(), static_cast<int>(i) + 1);
            for (const char* expected : c.pageTexts[i]) {
                EXPECT_NE(text.find(expected), std::string::npos) << "page " << i + 1 << ": " << text;
            }
        }
        std::string messages;
        RunShell("pdftotext '" + program.output() + "' /dev/null", &messages);
        EXPECT_EQ(messages, "");
        std::string fonts;
        ASSERT_EQ(RunShell("pdffonts '" + program.output() + "'", &fonts), 0);
        EXPECT_NE(fonts.find("Courier "), std::string::npos) << fonts;
    }
}

// zbarimg's reading of the first page's barcode.
std::string DecodeBarcode(const Installed& program) {
    RunShell("pdftoppm -r 150 -png -f 1 -l 1 '" + program.output() + "' '" + program / "page" + "'");
    std::string out;
    RunShell("(zbarimg -q --raw '" + program / "page-1.png" + "' 2>/dev/null)", &out);
    return out.substr(0, out.find('\n'));
}

TEST(OverprintText, BarcodesReadBackToTheirData) {
    struct Case {
        const char* text;
        const char* data;
    } cases[] = {
        {"\x1b"
         "bB1 50 100 100 Tarn-42 (b)\n",
         "Tarn-42 (b)"},
        {"\x1b"
         "bA2 60 100 100 ORDER 7/12\n",
         "ORDER 7/12"},
        // Code set C: each byte is a pair of digits plus 32.
        {"\x1b"
         "bC2 60 100 100 ,Bx\x23\n",
         "12348803"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.data);
        Installed program;
        ASSERT_EQ(program.Run(Fixture("plain.pdf"), c.text), 0);
        EXPECT_TRUE(QpdfCheckPasses(program.output()));
        EXPECT_EQ(DecodeBarcode(program), c.data);
    }
}

}  // namespace
}  // namespace tarn::overprint
