// Columns from the underline, titles with straddling words, keywords and
// type inference.

#include <gtest/gtest.h>

#include "TempDir.h"
#include "tabulate/ColumnLayout.h"

namespace tarn::tabulate {
namespace {

const KeywordTable& BuiltIn() {
    static const KeywordTable table{ConfigFileRegistry()};
    return table;
}

std::vector<ColumnSpec> Titled(const std::string& underline, const std::vector<std::string>& titles) {
    std::vector<ColumnSpec> columns = ColumnsFromUnderline(underline);
    AssembleTitles(&columns, titles, BuiltIn());
    return columns;
}

std::vector<std::string> TitlesOf(const std::vector<ColumnSpec>& columns) {
    std::vector<std::string> titles;
    for (const ColumnSpec& column : columns) titles.push_back(column.title);
    return titles;
}

TEST(ColumnLayout, ColumnsFromUnderline) {
    std::vector<ColumnSpec> columns = ColumnsFromUnderline("---- ------");
    ASSERT_EQ(columns.size(), 2u);
    EXPECT_EQ(columns[0].start, 0);
    EXPECT_EQ(columns[0].width, 5);
    EXPECT_EQ(columns[1].start, 5);
    EXPECT_EQ(columns[1].width, 6);
    EXPECT_EQ(columns[1].type, kTypeNumber);

    // Dashes from column 3 on: an extra first column over the text before.
    columns = ColumnsFromUnderline("   -----  ---");
    ASSERT_EQ(columns.size(), 3u);
    EXPECT_EQ(columns[0].start, 0);
    EXPECT_EQ(columns[0].width, 3);
    EXPECT_EQ(columns[0].dashLength, 2);
    EXPECT_EQ(columns[1].start, 3);
    EXPECT_EQ(columns[2].width, 3);
    // From column 2 there is none.
    EXPECT_EQ(ColumnsFromUnderline("  -----  ---").size(), 2u);
}

TEST(ColumnLayout, ExtractField) {
    ColumnSpec column;
    column.start = 4;
    column.width = 5;
    EXPECT_EQ(ExtractField(column, "abc  de  fghij"), "de");
    EXPECT_EQ(ExtractField(column, "abcd  x"), "x");
    EXPECT_EQ(ExtractField(column, "abcd"), "");
}

TEST(ColumnTitles, WorkedExampleSingleLine) {
    std::vector<ColumnSpec> columns = Titled("-------- -------------------- ---------- --------",
                                             {"VENDOR   DESCRIPTION          AMOUNT     DUE DATE"});
    EXPECT_EQ(TitlesOf(columns), std::vector<std::string>({"VENDOR", "DESCRIPTION", "AMOUNT", "DUE DATE"}));
    EXPECT_EQ(columns[1].fixedType, kTypeText);
    EXPECT_EQ(columns[0].fixedType, 0);
}

TEST(ColumnTitles, LeftStraddleTakesTheWordThatBeganInTheGap) {
    // The first column's dashes end at 4; "QUANTITY" begins at 6, two bytes
    // before the second column starts, and belongs wholly to the second.
    std::vector<ColumnSpec> columns = Titled("-----   --------", {"NO    QUANTITY"});
    EXPECT_EQ(TitlesOf(columns), std::vector<std::string>({"NO", "QUANTITY"}));
}

TEST(ColumnTitles, RightStraddleLeavesTheWordToTheNextColumn) {
    // Text over the first column's last dash: no straddle, the boundary cuts.
    std::vector<ColumnSpec> columns = Titled("-----   --------", {"ABCDEFGHIJ"});
    EXPECT_EQ(TitlesOf(columns), std::vector<std::string>({"ABCDEFGH", "IJ"}));
    // A space under the last dash: the word running into the second column
    // is cut from the first and given whole to the second.
    columns = Titled("-----   --------", {"AB   SHIPPED"});
    EXPECT_EQ(TitlesOf(columns), std::vector<std::string>({"AB", "SHIPPED"}));
}

TEST(ColumnTitles, TwoLineTitlesJoinWithOneBlank) {
    std::vector<ColumnSpec> columns = Titled("---------- ---------- ----------",
                                             {"CUSTOMER   INVOICE    DUE", "NUMBER     DATE       AMOUNT"});
    EXPECT_EQ(TitlesOf(columns), std::vector<std::string>({"CUSTOMER NUMBER", "INVOICE DATE", "DUE AMOUNT"}));
    // "CUSTOMER NUMBER" is no keyword: only exact titles match.
    EXPECT_EQ(columns[0].fixedType, 0);
    // An uppermost line alone with an empty lower line still titles the column.
    columns = Titled("---------- ----------", {"ACCOUNT", ""});
    EXPECT_EQ(columns[0].title, "ACCOUNT");
    EXPECT_EQ(columns[0].fixedType, kTypeText);
}

TEST(Keywords, BuiltInAndFile) {
    EXPECT_EQ(BuiltIn().entries().size(), 21u);
    EXPECT_EQ(BuiltIn().Lookup("account"), kTypeText);
    EXPECT_EQ(BuiltIn().Lookup("Account Number"), 0);
    EXPECT_EQ(BuiltIn().Lookup("PROD LINE"), kTypeText);

    tabulate_test::TempDir dir;
    dir.Write("columns.ini", "  invoice*  \r\n\nAccount\nZIP\n");
    ConfigFileRegistry registry{dir.path(), {"COLUMNS.INI"}};
    KeywordTable table(registry);
    EXPECT_EQ(table.entries().size(), 23u);  // ACCOUNT is not added twice
    EXPECT_EQ(table.entries()[0].keyword, "INVOICE*");
    EXPECT_EQ(table.Lookup("Invoice No"), kTypeText);
    EXPECT_EQ(table.Lookup("zip"), kTypeText);
    EXPECT_EQ(table.Lookup("ZIP CODE"), 0);
    // Not registered: the file is not read.
    KeywordTable unread(ConfigFileRegistry{dir.path(), {"other.ini"}});
    EXPECT_EQ(unread.Lookup("ZIP"), 0);
}

TEST(TypeInference, TextDateAndTotals) {
    ValueClassifier classifier(".", ",", "mm/dd/yy");
    std::vector<ColumnSpec> columns = ColumnsFromUnderline("------ ------");
    for (const char* line : {"12     100.00", "3.5    TOTAL REVENUE", "n/a    7", "14     8"}) {
        InferTypes(&columns, line, classifier);
    }
    EXPECT_EQ(columns[0].type, kTypeText);
    EXPECT_EQ(columns[1].type, kTypeNumber);

    columns = ColumnsFromUnderline("--------");
    InferTypes(&columns, "abc", classifier);
    InferTypes(&columns, "01/31/09", classifier);
    EXPECT_EQ(columns[0].type, kTypeDate);
    InferTypes(&columns, "xyz", classifier);
    EXPECT_EQ(columns[0].type, kTypeText);

    // A keyword column keeps its type whatever the values.
    columns = ColumnsFromUnderline("--------");
    SetTitle(&columns[0], "ITEM", BuiltIn());
    InferTypes(&columns, "01/31/09", classifier);
    EXPECT_EQ(columns[0].type, kTypeText);
}

}  // namespace
}  // namespace tarn::tabulate
