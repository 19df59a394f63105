// Page headers, underline, titles and line classification of a report page.

#include <gtest/gtest.h>

#include "TempDir.h"
#include "tabulate/Cleaner.h"
#include "tabulate/StructureRecogniser.h"

namespace tarn::tabulate {
namespace {

const std::vector<std::string> kWorkedExample = {
    "AP100 R1               /rep/ap100 AGING REPORT Date: 01/15/09",
    "                                  Page: 1  NORTH DIVISION  Time: 10:15:00",
    "",
    "VENDOR   DESCRIPTION          AMOUNT     DUE DATE",
    "-------- -------------------- ---------- --------",
    "V001     Office supplies        1,234.50 01/31/09",
    "V002     Paper                   (12.00) 02/15/09",
    "                              ----------",
    "TOTAL                           1,222.50",
    "                          END OF REPORT",
};

bool Parse(const std::vector<std::string>& lines, PageLayout* layout) {
    static const KeywordTable keywords{ConfigFileRegistry()};
    ValueClassifier classifier(".", ",", "mm/dd/yy");
    return ParseFirstPage(lines, layout, classifier, keywords);
}

TEST(ParseLayout, WorkedExample) {
    PageLayout layout;
    ASSERT_TRUE(Parse(kWorkedExample, &layout));
    EXPECT_EQ(layout.programName, "AP100");
    EXPECT_EQ(layout.programQualifier, "R1");
    EXPECT_EQ(layout.reportPath, "/rep/ap100");
    EXPECT_EQ(layout.reportName, "AGING REPORT");
    EXPECT_EQ(layout.reportDate, "01/15/09");
    EXPECT_EQ(layout.company, "NORTH DIVISION");
    EXPECT_EQ(layout.reportTime, "10:15:00");
    ASSERT_EQ(layout.columns.size(), 4u);
    const int starts[] = {0, 9, 30, 41}, widths[] = {9, 21, 11, 8};
    const int types[] = {kTypeText, kTypeText, kTypeNumber, kTypeDate};
    const char* titles[] = {"VENDOR", "DESCRIPTION", "AMOUNT", "DUE DATE"};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(layout.columns[i].start, starts[i]);
        EXPECT_EQ(layout.columns[i].width, widths[i]);
        EXPECT_EQ(layout.columns[i].type, types[i]) << i;
        EXPECT_EQ(layout.columns[i].title, titles[i]);
    }
    EXPECT_EQ(layout.headerLines.count(kWorkedExample[0]), 1u);
    EXPECT_EQ(layout.headerLines.count(kWorkedExample[1]), 0u);
    EXPECT_EQ(layout.headerLines.count(kWorkedExample[3]), 1u);
    EXPECT_EQ(layout.headerLines.count(kWorkedExample[7]), 1u);
    EXPECT_EQ(BuildAttributes(layout),
              std::vector<std::string>({"Company     : NORTH DIVISION", "Report Path : /rep/ap100",
                                        "Report Name : AGING REPORT", "Program Name: AP100 R1",
                                        "Report Date : 01/15/09", "Report Time : 10:15:00"}));
}

TEST(FirstHeaderLine, Variants) {
    PageLayout layout;
    // Ending in a date without "Date:": read as if "Date:" stood before it.
    EXPECT_TRUE(ReadFirstHeaderLine("GL200  TRIAL BALANCE BY SITE 02/28/2009", &layout));
    EXPECT_EQ(layout.programName, "GL200");
    EXPECT_EQ(layout.programQualifier, "");
    EXPECT_EQ(layout.reportPath, "");
    EXPECT_EQ(layout.reportName, "TRIAL BALANCE BY SITE");
    EXPECT_EQ(layout.reportDate, "02/28/2009");

    // "Date:" as the second word with a final date empties the name fields.
    PageLayout early;
    EXPECT_TRUE(ReadFirstHeaderLine("X Date: a b 01/02/09", &early));
    EXPECT_EQ(early.programName, "");
    EXPECT_EQ(early.reportPath, "");
    EXPECT_EQ(early.reportName, "");
    EXPECT_EQ(BuildAttributes(early), std::vector<std::string>({"Report Date : 01/02/09"}));

    PageLayout untouched;
    EXPECT_FALSE(ReadFirstHeaderLine("X Date: a b c", &untouched));
    EXPECT_FALSE(ReadFirstHeaderLine("ONLY FOUR WORDS HERE", &untouched));
    EXPECT_FALSE(ReadFirstHeaderLine("FIVE WORDS BUT NO DATE", &untouched));
    EXPECT_EQ(untouched.programName, "Unknown");
}

TEST(SecondHeaderLine, CompanyBetweenPageNumberAndTime) {
    PageLayout layout;
    EXPECT_TRUE(ReadSecondHeaderLine("Page: 12 ACME  WEST   LTD Time: 09:00", &layout));
    EXPECT_EQ(layout.company, "ACME  WEST   LTD");
    EXPECT_EQ(layout.reportTime, "09:00");
    EXPECT_TRUE(ReadSecondHeaderLine("a Page: 1 Time:", &layout));
    EXPECT_EQ(layout.company, "");
    EXPECT_EQ(layout.reportTime, "");
    EXPECT_FALSE(ReadSecondHeaderLine("Page: 1 Time: 10:00", &layout));  // Time: is word 2
    EXPECT_FALSE(ReadSecondHeaderLine("Pg: 1 x Time: 10:00", &layout));
}

TEST(ParseLayout, NoHeadersGivesDefaultAttributes) {
    PageLayout layout;
    ASSERT_TRUE(Parse({"Simple list", "NAME       QTY", "---------- ----", "bolts      12"}, &layout));
    EXPECT_EQ(BuildAttributes(layout), std::vector<std::string>({"Report Path : 0.0", "Report Name : Unknown",
                                                                 "Program Name: Unknown "}));
}

TEST(ParseLayout, UnderlineNeedsMoreThanTenBytes) {
    PageLayout ten;
    EXPECT_FALSE(Parse({"head", "AB", "----------", "x"}, &ten));
    EXPECT_TRUE(ten.columns.empty());
    PageLayout eleven;
    EXPECT_TRUE(Parse({"head", "AB", "-----------", "x"}, &eleven));
    PageLayout equals;
    EXPECT_TRUE(Parse({"head", "AB", "=====  =====", "x"}, &equals));
    PageLayout empty;
    EXPECT_FALSE(Parse({}, &empty));
}

// Cleans `text` and parses the first page of its first section.
bool ParseCleaned(const std::string& text, PageLayout* layout) {
    tabulate_test::TempDir dir;
    dir.Write("r.txt", text);
    RawReport report;
    Cleaner cleaner(&report, Settings());
    EXPECT_TRUE(cleaner.Clean(dir.path() + "r.txt"));
    static const KeywordTable keywords{ConfigFileRegistry()};
    return ParseLayout(&report, layout, ValueClassifier(".", ",", "mm/dd/yy"), keywords);
}

TEST(ParseLayout, FirstPageEndsAtFormFeedOrFiftyLines) {
    std::string page;
    for (int i = 0; i < 49; ++i) page += "filler text\r\n";
    PageLayout fifty;
    EXPECT_TRUE(ParseCleaned(page + "-----------\r\n", &fifty));
    PageLayout fiftyOne;
    EXPECT_FALSE(ParseCleaned(page + "filler\r\n-----------\r\n", &fiftyOne));
    // The underline must be on the first page; the leading FF is removed.
    PageLayout secondPage;
    EXPECT_FALSE(ParseCleaned("\fhead\r\nA\r\n\f-----------\r\n", &secondPage));
    PageLayout firstPage;
    EXPECT_TRUE(ParseCleaned("\fhead\r\nA\r\n-----------\r\n\fnext\r\n", &firstPage));
    PageLayout empty;
    EXPECT_FALSE(ParseCleaned("", &empty));
}

TEST(ParseLayout, ColonLinesAndCurrencyLines) {
    PageLayout layout;
    ASSERT_TRUE(Parse({"head", "Reporting Currency: USD", "QTY         TIME", "----------- --------",
                       "Warning: estimated", "5           10:15:00", "note: x     abc"},
                      &layout));
    EXPECT_EQ(layout.headerLines.count("Reporting Currency: USD"), 1u);
    EXPECT_EQ(layout.headerLines.count("Warning: estimated"), 1u);
    // A single ":" keeps the line out of the type inference.
    EXPECT_EQ(layout.columns[0].type, kTypeNumber);
    EXPECT_EQ(layout.columns[1].type, kTypeText);  // TIME is a keyword
}

TEST(ClassifyLine, RulesInOrder) {
    PageLayout layout;
    ASSERT_TRUE(Parse(kWorkedExample, &layout));
    bool criteria = false;
    std::string_view text;
    EXPECT_EQ(ClassifyLine(&layout, "\f" + kWorkedExample[0] + "  ", &criteria, &text), LineKind::kSkip);
    EXPECT_EQ(ClassifyLine(&layout, kWorkedExample[1], &criteria, &text), LineKind::kSkip);
    EXPECT_EQ(ClassifyLine(&layout, "   ", &criteria, &text), LineKind::kSkip);
    EXPECT_EQ(ClassifyLine(&layout, "=========", &criteria, &text), LineKind::kSkip);
    EXPECT_EQ(layout.headerLines.count("========="), 0u);
    EXPECT_EQ(ClassifyLine(&layout, "   -----------", &criteria, &text), LineKind::kSkip);
    EXPECT_EQ(layout.headerLines.count("   -----------"), 1u);
    // A repeated header with another page number and date.
    EXPECT_EQ(ClassifyLine(&layout, "AP100 R1               /rep/ap100 AGING REPORT Date: 01/16/09",
                           &criteria, &text),
              LineKind::kSkip);
    EXPECT_EQ(ClassifyLine(&layout, "  end of report  ", &criteria, &text), LineKind::kSkip);
    EXPECT_EQ(ClassifyLine(&layout, "\fV003     Ink    5.00", &criteria, &text), LineKind::kData);
    EXPECT_EQ(text, "V003     Ink    5.00");
    EXPECT_EQ(ClassifyLine(&layout, "Note: one colon is data", &criteria, &text), LineKind::kData);
    EXPECT_FALSE(criteria);
    EXPECT_EQ(ClassifyLine(&layout, "   report criteria  ", &criteria, &text), LineKind::kCriteria);
    EXPECT_TRUE(criteria);
    EXPECT_EQ(text, "report criteria");
    // From now on every non-empty line is a criteria line, headers included.
    EXPECT_EQ(ClassifyLine(&layout, kWorkedExample[0], &criteria, &text), LineKind::kCriteria);
    EXPECT_EQ(ClassifyLine(&layout, "  Vendor: V001 to V999  ", &criteria, &text), LineKind::kCriteria);
    EXPECT_EQ(text, "Vendor: V001 to V999");
    EXPECT_EQ(ClassifyLine(&layout, "\f", &criteria, &text), LineKind::kSkip);
}

TEST(ParseLayout, TitleAboveABlankLineIsNotFurniture) {
    PageLayout layout;
    ASSERT_TRUE(
        Parse({"head", "OPEN ORDERS", "", "ORDER       QTY", "----------- -----", "A1          5"}, &layout));
    bool criteria = false;
    std::string_view text;
    EXPECT_EQ(ClassifyLine(&layout, "OPEN ORDERS", &criteria, &text), LineKind::kData);
    EXPECT_EQ(ClassifyLine(&layout, "ORDER       QTY", &criteria, &text), LineKind::kSkip);
}

}  // namespace
}  // namespace tarn::tabulate
