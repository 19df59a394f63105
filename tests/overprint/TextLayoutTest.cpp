// Page content streams of laid-out text, byte for byte, and the escape
// language's edge cases.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PdfTestSupport.h"
#include "overprint/TextLayout.h"

namespace tarn::overprint {
namespace {

const PageBox kLetter{0, 0, 612, 792};

// A run whose first form is form.pdf.
struct FormRun : OverprintRun {
    explicit FormRun(const std::string& folder, const std::string& forms = "") {
        programDir = folder;
        formsDir = forms;
        pageForms = {"a.pdf"};
    }
};

struct Laid {
    FormRun run{"/opt/tarn"};
    TextLayout layout{run};
    explicit Laid(const std::string& text) { layout.LayOutText(text); }
    std::string Page(int k, const PageBox& box = kLetter) const { return layout.PageContent(k, box); }
};

// The stream between "stream\n" and "endstream\n", checking /Length on the way.
std::string Body(const std::string& object) {
    const std::string head = " obj\n << /Length ";
    EXPECT_EQ(object.compare(0, head.size(), head), 0) << object;
    std::size_t lengthEnd = object.find(" >>\nstream\n");
    std::size_t start = lengthEnd + 11;
    std::string body = object.substr(start, object.size() - start - 10);
    EXPECT_EQ(object.substr(object.size() - 10), "endstream\n");
    EXPECT_EQ(std::stoul(object.substr(head.size(), lengthEnd - head.size())), body.size());
    return body;
}

const char kFont10[] = "/FilL0 10 Tf 0 Tw 0 Tr 0 Ts 100 Tz\n";
const char kFont14[] = "/FilL0 14 Tf 0 Tw 0 Tr 0 Ts 100 Tz\n";
const char kBlack[] = "0.0 0.0 0.0 rg\n";
const char kRed[] = "1.00 0.00 0.00 rg \n";

TEST(TextLayoutContent, TwoRunsPositionColourAndBarcodeByteForByte) {
    Laid t(
        "AB\x1bs14 CD\n\x1bp100 200\x1bg100 0 0 Red\n\x1b"
        "bB1 40 50 100 AB\n");
    std::string expected = std::string("BT\n") + kFont10 + kBlack + "20 772 Td\n(AB)Tj\n" + kFont14 + kBlack +
                           "(CD)Tj\nET\n" + "BT\n" + kFont14 + kRed + "100 592 Td\n(Red)Tj\nET\n" + "BT\n" +
                           kFont14 + kRed + "100 582 Td\n()Tj\nET\n" + "BT\n" + kFont14 + kRed +
                           "100 572 Td\n()Tj\nET\n" +
                           "1 w 0.0 0.0 0.0 RG 0.0 0.0 0.0 rg\n"
                           // start B (211214)
                           "50 652 1 40 re B\n53 652 0 40 re B\n56 652 0 40 re B\n"
                           // A = 33 (111323)
                           "61 652 0 40 re B\n63 652 0 40 re B\n67 652 1 40 re B\n"
                           // B = 34 (131123)
                           "72 652 0 40 re B\n76 652 0 40 re B\n78 652 1 40 re B\n"
                           // check (104 + 33 + 2 * 34) mod 103 = 102 (411131)
                           "83 652 3 40 re B\n88 652 0 40 re B\n90 652 2 40 re B\n"
                           // stop (233111) and the closing bar
                           "94 652 1 40 re B\n99 652 2 40 re B\n103 652 0 40 re B\n"
                           "105 652 1 40 re B\n";
    EXPECT_EQ(t.layout.PageCount(), 1);
    EXPECT_EQ(t.Page(1), " obj\n << /Length " + std::to_string(expected.size()) + " >>\nstream\n" + expected +
                             "endstream\n");
}

TEST(TextLayoutContent, PagesPastTheTextGetTheEmptyStream) {
    Laid t("one\n");
    EXPECT_EQ(t.Page(2), " obj\n << /Length 0 >>\nstream\nendstream\n");
}

TEST(TextLayoutContent, LastLineWithoutLineEndIsKept) {
    Laid t("one\ntwo\nthree");
    std::string body = Body(t.Page(1));
    EXPECT_EQ(t.layout.PageCount(), 1);
    EXPECT_NE(body.find("(three)Tj\nET\n"), std::string::npos);
    EXPECT_NE(body.find("20 752 Td\n(three)"), std::string::npos);
}

TEST(TextLayoutContent, FinalFormFeedOpensNoPageAndNoForm) {
    Laid t("page one\fpage two\f");
    EXPECT_EQ(t.layout.PageCount(), 2);
    EXPECT_EQ(t.run.pageForms.size(), 2u);
    EXPECT_NE(Body(t.Page(2)).find("(page two)Tj\nET\n"), std::string::npos);
}

TEST(TextLayoutContent, LastPageOfAccentedLettersIsKept) {
    // Windows-1252 "ÉÈ" alone after the last page break is text, not nothing.
    Laid t("page one\f\xC9\xC8\r\n");
    EXPECT_EQ(t.layout.PageCount(), 2);
    EXPECT_EQ(t.run.pageForms.size(), 2u);
}

TEST(TextLayoutContent, RawJobFileLineEndsAndPageBreaks) {
    // As the service stores it: CR LF line ends, a page break as FF CR.
    Laid t("first\r\n\f\rsecond\r\n");
    EXPECT_EQ(t.layout.PageCount(), 2);
    EXPECT_EQ(Body(t.Page(1)), std::string("BT\n") + kFont10 + kBlack + "20 772 Td\n(first)Tj\nET\n");
    EXPECT_NE(Body(t.Page(2)).find("20 762 Td\n(second)Tj\nET\n"), std::string::npos);
}

TEST(TextLayoutContent, EveryPageClosesItsTextObject) {
    Laid t("one\ftwo");
    EXPECT_EQ(Body(t.Page(1)), std::string("BT\n") + kFont10 + kBlack + "20 772 Td\n(one)Tj\nET\n");
    EXPECT_EQ(Body(t.Page(2)), std::string("BT\n") + kFont10 + kBlack + "20 772 Td\n(two)Tj\nET\n");
}

TEST(TextLayoutContent, LiteralStringEscaping) {
    Laid t("ab(c) \\d, x-y.z=_+ 1:\xe9");
    EXPECT_NE(Body(t.Page(1)).find("(ab\\(c\\) \\\\d, x-y.z=_+ 1\\:\\\xe9)Tj"), std::string::npos);
}

TEST(TextLayoutContent, FirstBaselineFollowsTheFormsPageTop) {
    Laid t("x");
    EXPECT_NE(Body(t.Page(1, PageBox{0, 0, 595, 842})).find("20 822 Td"), std::string::npos);
}

TEST(TextLayoutEscapes, BlankEndsAnEmptyArgument) {
    Laid t("\x1bs 12");
    EXPECT_NE(Body(t.Page(1)).find("/FilL0 0 Tf 0 Tw 0 Tr 0 Ts 100 Tz\n0.0 0.0 0.0 rg\n20 772 Td\n(12)Tj"),
              std::string::npos);
}

TEST(TextLayoutEscapes, PositionZeroDoesNotMoveAndLaterLinesFollowAnExplicitPosition) {
    Laid t("a\n\x1bp0 0 b\n\x1bp300 100 c\nd\n");
    std::string body = Body(t.Page(1));
    EXPECT_NE(body.find("20 762 Td\n(b)"), std::string::npos) << body;
    EXPECT_NE(body.find("300 692 Td\n(c)"), std::string::npos) << body;
    EXPECT_NE(body.find("300 682 Td\n(d)"), std::string::npos) << body;
}

TEST(TextLayoutEscapes, AttributesAndTheirLimits) {
    Laid t(
        "\x1b"
        "f5\x1bl12\x1bz80\x1br9\x1bu3 a\x1b"
        "d4 b\x1br2\x1b"
        "f77 c\x1b"
        "f250 d");
    std::string body = Body(t.Page(1));
    EXPECT_NE(body.find("/FilL5 10 Tf 0 Tw 0 Tr 3 Ts 80 Tz\n0.0 0.0 0.0 rg\n20 770 Td\n(a)"),
              std::string::npos)
        << body;
    EXPECT_NE(body.find("/FilL5 10 Tf 0 Tw 0 Tr -4 Ts 80 Tz\n0.0 0.0 0.0 rg\n(b)"), std::string::npos);
    // 62-99 and numbers above 199 name no font: drawn in Courier.
    EXPECT_NE(body.find("/FilL0 10 Tf 0 Tw 2 Tr -4 Ts 80 Tz\n0.0 0.0 0.0 rg\n(c)"), std::string::npos);
    EXPECT_NE(body.find("(d)"), std::string::npos);
    EXPECT_TRUE(t.layout.fontUsed()[0] && t.layout.fontUsed()[5]);
    EXPECT_FALSE(t.layout.fontUsed()[77]);
}

TEST(TextLayoutEscapes, BarcodeCodeSetsAndValues) {
    Laid t(
        "\x1b"
        "bc2 30 10 20 !,\n\x1b"
        "bx1 30 10 20 \x7f\x01\n\x1b"
        "bB1 1 1 1 X\x1bs9 after\n");
    ASSERT_EQ(t.layout.barcodes().size(), 3u);
    EXPECT_EQ(t.layout.barcodes()[0].startCode, 105);
    EXPECT_EQ(t.layout.barcodes()[0].moduleWidth, 2);
    EXPECT_EQ(t.layout.barcodes()[0].values, (std::vector<int>{105, 1, 12}));
    EXPECT_EQ(t.layout.barcodes()[1].startCode, 103);
    EXPECT_EQ(t.layout.barcodes()[1].values, (std::vector<int>{103, 95, 0}));
    // An escape ends the barcode; the rest of the line is text again.
    EXPECT_EQ(t.layout.barcodes()[2].values, (std::vector<int>{104, 56}));
    EXPECT_NE(Body(t.Page(1)).find("(after)Tj"), std::string::npos);
}

TEST(TextLayoutForms, CommandNSwitchesTheFormOfTheFollowingPages) {
    testing::ScratchDir dir;
    const std::string& folder = dir.path();
    ASSERT_EQ(testing::RunShell("mkdir -p '" + folder + "/sub' && touch '" + folder + "/sub/b.pdf'"), 0);
    FormRun run(folder);
    TextLayout layout(run);
    layout.LayOutText("p1 \x1bn \\sub\\b.pdf\fp2\fp3\x1bn ..\\..\\etc\\x.pdf\fp4");
    EXPECT_EQ(layout.PageCount(), 4);
    EXPECT_EQ(run.pageForms, (std::vector<std::string>{"a.pdf", folder + "/sub/b.pdf", folder + "/sub/b.pdf",
                                                       folder + "/sub/b.pdf"}));
    EXPECT_TRUE(run.refusedForms.empty());
}

TEST(TextLayoutForms, WithAFormsFolderOnlyItsFormsAreTakenAndOthersCountAsUnopenable) {
    testing::ScratchDir dir;
    ASSERT_EQ(
        testing::RunShell("mkdir -p '" + dir / "forms/sub" + "' && touch '" + dir / "forms/sub/b.pdf" +
                          "' '" + dir / "c.pdf" + "' && ln -s ../c.pdf '" + dir / "forms/out.pdf" + "'"),
        0);
    FormRun run(dir / "program", dir / "forms");
    TextLayout layout(run);
    layout.LayOutText(
        "p1\x1bn \\sub\\b.pdf\fp2\x1bn \\..\\c.pdf\fp3\x1bn \\out.pdf\fp4\x1bn "
        "\\\\server\\c.pdf\fp5\x1bn C:\\c.pdf\fp6");
    ASSERT_EQ(run.pageForms.size(), 6u);
    EXPECT_EQ(run.pageForms[1], dir / "forms/sub/b.pdf");
    // A ".." step, a link leading out, a share and a drive: each refused.
    for (std::size_t page = 2; page < 6; ++page) {
        EXPECT_EQ(run.refusedForms.count(run.pageForms[page]), 1u) << page << " " << run.pageForms[page];
    }
    EXPECT_EQ(run.refusedForms.size(), 4u);
}

TEST(TextLayoutForms, SymbolicLinkOutOfTheProgramFolderIsRefused) {
    testing::ScratchDir dir;
    ASSERT_EQ(testing::RunShell("ln -s / '" + dir / "up" + "'"), 0);
    FormRun run(dir.path());
    TextLayout layout(run);
    layout.LayOutText("p1\x1bn /up/etc/passwd\fp2");
    EXPECT_EQ(run.pageForms, (std::vector<std::string>{"a.pdf", "a.pdf"}));
}

TEST(TextLayoutForms, UnreadableTextGivesNoPages) {
    FormRun run(".");
    TextLayout layout(run);
    EXPECT_FALSE(layout.LayOut("/nonexistent/h4/text.txt"));
    EXPECT_EQ(layout.PageCount(), 0);
    EXPECT_EQ(layout.PageContent(1, kLetter), " obj\n << /Length 0 >>\nstream\nendstream\n");
}

}  // namespace
}  // namespace tarn::overprint
