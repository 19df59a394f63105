// tarn-merge run as a program on inputs written by different producers and
// rewritten by qpdf into the forms current producers use; the merged file is
// read back with qpdf, poppler (pdftotext, pdfimages, pdfinfo) and mupdf.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/overprint/PdfTestSupport.h"

namespace {

using tarn::overprint::testing::Fixture;
using tarn::overprint::testing::PageText;
using tarn::overprint::testing::PdfinfoPages;
using tarn::overprint::testing::QpdfCheckPasses;
using tarn::overprint::testing::ReadFile;
using tarn::overprint::testing::RunShell;
using tarn::overprint::testing::ScratchDir;
using tarn::overprint::testing::WriteFile;

const std::string kMerge = std::string(TARN_BIN_DIR) + "/tarn-merge";

std::string Quote(const std::string& s) { return "'" + s + "'"; }

// Runs tarn-merge with INPUTS cat output OUT; returns the exit status and
// what it printed.
int Merge(const std::vector<std::string>& inputs, const std::string& out, std::string* printed = nullptr) {
    std::string command = Quote(kMerge);
    for (const std::string& in : inputs) command += " " + Quote(in);
    return RunShell(command + " cat output " + Quote(out), printed);
}

// One A5 page with a rotated crop box, a font, an 2x2 image, a text
// annotation and the word `word`; offsets of the cross-reference table are
// computed, so the file is exact.
std::string MarkedPage(const std::string& word) {
    const std::string content = "q 40 0 0 40 50 400 cm /Im1 Do Q BT /F1 18 Tf 50 300 Td (" + word + ") Tj ET";
    const std::vector<std::string> objects = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 420 595] /CropBox [10 10 410 585] /Rotate 90"
        " /Resources << /Font << /F1 4 0 R >> /XObject << /Im1 5 0 R >> >> /Contents 6 0 R"
        " /Annots [7 0 R] >>",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
        "<< /Type /XObject /Subtype /Image /Width 2 /Height 2 /ColorSpace /DeviceGray"
        " /BitsPerComponent 8 /Length 4 >>\nstream\n\x10\x80\x80\xF0\nendstream",
        "<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "\nendstream",
        "<< /Type /Annot /Subtype /Text /Rect [100 100 120 120] /Contents (note " + word + ") >>",
    };
    std::string pdf = "%PDF-1.5\n";
    std::vector<size_t> offsets;
    for (size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (size_t offset : offsets) {
        char entry[24];
        std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", offset);
        pdf += entry;
    }
    return pdf + "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
           std::to_string(xref) + "\n%%EOF\n";
}

class TarnMergeTest : public ::testing::Test {
  protected:
    ScratchDir dir_;
    std::string At(const std::string& name) const { return dir_ / name; }
    // Rewrites `from` with qpdf's `options` into `name`.
    std::string Rewritten(const std::string& from, const std::string& options, const std::string& name) {
        EXPECT_EQ(RunShell("qpdf " + options + " " + Quote(from) + " " + Quote(At(name))), 0) << name;
        return At(name);
    }
};

TEST_F(TarnMergeTest, PagesOfEveryProducerAndFileFormInOrderWithTheirContent) {
    WriteFile(At("marked.pdf"), MarkedPage("FRONTWORD"));
    WriteFile(At("back.pdf"), MarkedPage("BACKWORD"));
    const std::vector<std::string> inputs = {
        At("marked.pdf"),
        Fixture("form_odt.pdf"),  // LibreOffice
        Fixture("form_ps.pdf"),   // ghostscript
        Rewritten(Fixture("form_ps.pdf"), "--object-streams=generate", "objstm.pdf"),
        Rewritten(Fixture("form_odt.pdf"), "--linearize", "linear.pdf"),
        Rewritten(Fixture("plain.pdf"), "--encrypt '' owner 256 --", "encrypted.pdf"),
        Fixture("inherited_resources.pdf"),
        Fixture("incremental.pdf"),
        At("back.pdf"),
    };
    int expectedPages = 0;
    for (const std::string& in : inputs) expectedPages += PdfinfoPages(in);
    const std::string out = At("final.pdf");
    std::string printed;
    ASSERT_EQ(Merge(inputs, out, &printed), 0) << printed;

    std::string report;
    EXPECT_TRUE(QpdfCheckPasses(out, &report)) << report;
    ASSERT_EQ(PdfinfoPages(out), expectedPages);
    // Order and content: the first and last pages carry their words, and
    // every input page's text is where its position says.
    EXPECT_NE(PageText(out, 1).find("FRONTWORD"), std::string::npos);
    EXPECT_NE(PageText(out, expectedPages).find("BACKWORD"), std::string::npos);
    int page = 1;
    for (const std::string& in : inputs) {
        for (int p = 1; p <= PdfinfoPages(in); ++p, ++page) {
            EXPECT_EQ(PageText(out, page), PageText(in, p)) << in << " page " << p;
        }
    }
    // Images, annotations and page boxes of the marked pages survive.
    std::string images;
    RunShell("pdfimages -list " + Quote(out), &images);
    EXPECT_NE(images.find("\n   1     0 image       2     2  gray"), std::string::npos) << images;
    std::string boxes;
    RunShell("pdfinfo -box -f 1 -l 1 " + Quote(out), &boxes);
    EXPECT_NE(boxes.find("Page    1 CropBox:      10.00    10.00   410.00   585.00"), std::string::npos)
        << boxes;
    EXPECT_NE(boxes.find("Page    1 rot:   90"), std::string::npos) << boxes;
    std::string annots;
    // mutool counts array elements from 1.
    RunShell("mutool show " + Quote(out) + " pages/" + std::to_string(expectedPages) + "/Annots/1/Contents",
             &annots);
    EXPECT_NE(annots.find("note BACKWORD"), std::string::npos) << annots;
}

TEST_F(TarnMergeTest, TheSameFileTwiceAndARepairedFileMerge) {
    // A cross-reference table pointing nowhere is rebuilt from the objects.
    std::string broken = MarkedPage("REPAIRED");
    broken.replace(broken.find("xref\n"), 4, "xrff");
    WriteFile(At("broken.pdf"), broken);
    const std::string plain = Fixture("plain.pdf");
    const std::string out = At("out.pdf");
    ASSERT_EQ(Merge({plain, At("broken.pdf"), plain}, out), 0);
    EXPECT_TRUE(QpdfCheckPasses(out));
    EXPECT_EQ(PdfinfoPages(out), 3);
    EXPECT_NE(PageText(out, 2).find("REPAIRED"), std::string::npos);
}

TEST_F(TarnMergeTest, ABadInputFailsWithAMessageAndLeavesNoOutput) {
    WriteFile(At("garbage.pdf"), "this is no PDF file at all\n");
    const std::string locked = Rewritten(Fixture("plain.pdf"), "--encrypt user owner 256 --", "locked.pdf");
    const std::string plain = Fixture("plain.pdf");
    const std::string out = At("out.pdf");
    WriteFile(At("older.pdf"), "older output");
    struct Case {
        std::string input;
        std::string message;
    };
    for (const Case& c : {Case{At("missing.pdf"), "missing.pdf"}, Case{At("garbage.pdf"), "garbage.pdf"},
                          Case{locked, "password"}}) {
        std::string printed;
        EXPECT_EQ(Merge({plain, c.input}, out, &printed), 1) << c.input;
        EXPECT_NE(printed.find(c.message), std::string::npos) << printed;
        EXPECT_FALSE(std::filesystem::exists(out)) << c.input;
        // An older file under the output's name stays as it was.
        EXPECT_EQ(Merge({plain, c.input}, At("older.pdf")), 1);
        EXPECT_EQ(ReadFile(At("older.pdf")), "older output");
    }
    // Nothing half-written is left beside the output either.
    std::string listing;
    RunShell("ls -A " + Quote(dir_.path()), &listing);
    EXPECT_EQ(listing.find(".tmp"), std::string::npos) << listing;
}

TEST_F(TarnMergeTest, ALinkPlantedUnderTheOutputNameIsReplacedNotFollowed) {
    WriteFile(At("victim.txt"), "keep me");
    std::filesystem::create_symlink(At("victim.txt"), At("out.pdf"));
    ASSERT_EQ(Merge({Fixture("plain.pdf")}, At("out.pdf")), 0);
    EXPECT_FALSE(std::filesystem::is_symlink(At("out.pdf")));
    EXPECT_EQ(PdfinfoPages(At("out.pdf")), 1);
    EXPECT_EQ(ReadFile(At("victim.txt")), "keep me");
}

TEST_F(TarnMergeTest, WordsOfAnotherShapeAreAUsageError) {
    const std::string plain = Quote(Fixture("plain.pdf"));
    std::string printed;
    for (const std::string& words : {std::string(""), plain + " output x.pdf", plain + " cat x.pdf",
                                     "cat output " + Quote(At("x.pdf")), plain + " cat output ''"}) {
        EXPECT_EQ(RunShell(Quote(kMerge) + " " + words, &printed), 2) << words;
        EXPECT_NE(printed.find("usage: tarn-merge"), std::string::npos);
    }
    EXPECT_FALSE(std::filesystem::exists(At("x.pdf")));
    EXPECT_EQ(RunShell(Quote(kMerge) + " --version", &printed), 0);
    EXPECT_EQ(printed.rfind("tarn-merge ", 0), 0u) << printed;
}

}  // namespace
