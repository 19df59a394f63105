// End to end: LibreOffice opens a workbook of each kind the library writes
// and, converted to CSV (every sheet, cells as shown), gives the values
// written. One LibreOffice run converts them all.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/xls/SampleWorkbooks.h"
#include "tests/xls/XlsReaders.h"

namespace xls_test {
namespace {

std::vector<std::string> CsvLines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST(LibreOffice, OpensEveryKindOfWorkbookWithTheValuesWritten) {
    int status = 0;
    RunCommand("command -v soffice >/dev/null", &status);
    if (status != 0) GTEST_SKIP() << "soffice not installed";

    ScratchDir dir;
    ASSERT_TRUE(WriteReportSample(dir.Path("report.xls")).ok());
    ASSERT_TRUE(WriteSameNameSample(dir.Path("names.xls")).ok());
    ASSERT_TRUE(WriteLongStringSample(dir.Path("long.xls")).ok());
    ASSERT_TRUE(WriteLongestStringSample(dir.Path("longest.xls")).ok());
    ASSERT_TRUE(WriteAllRowsSample(dir.Path("rows.xls")).ok());
    ASSERT_TRUE(WriteManyMergesSample(dir.Path("merges.xls")).ok());
    ASSERT_TRUE(WriteBigSample(dir.Path("big.xls")).ok());
    ASSERT_TRUE(WriteCyrillicSample(dir.Path("cyrillic.xls")).ok());

    // Filter options: comma, double quote, UTF-8, from line 1, cells as
    // shown, every sheet to a file "<workbook>-<sheet>.csv".
    std::string command =
        "cd '" + dir.Path("") +
        "' && soffice --headless --norestore"
        " -env:UserInstallation=file://" +
        dir.Path("profile") +
        " --convert-to 'csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,true,false,false,-1'"
        " --outdir out report.xls names.xls long.xls longest.xls rows.xls merges.xls"
        " big.xls cyrillic.xls 2>&1";
    std::string log = RunCommand(command, &status);
    ASSERT_EQ(status, 0) << log;
    auto csv = [&](const std::string& name) { return CsvLines(dir.Path("out/" + name + ".csv")); };

    std::vector<std::string> report = csv("report-Sheet1");
    ASSERT_EQ(report.size(), 8u) << log;
    EXPECT_EQ(report[0], "VENDOR,DESCRIPTION,AMOUNT,DUE DATE");
    EXPECT_EQ(report[1], "V001,Office supplies \xE2\x82\xAC 5,\"1,234.50\",01/31/09");
    EXPECT_EQ(report[2], "V002,Caf\xC3\xA9 paper,-12.00,03/02/09");
    EXPECT_EQ(report[4], "END OF REPORT,,,");
    EXPECT_EQ(report[7], "Company: NORTH DIVISION,,,");

    const char* sheets[] = {"Sheet1", "Sheet1 (2)", "sheet1 (3)", "Sheet1 (4)"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(csv(std::string("names-") + sheets[i]), std::vector<std::string>{std::to_string(i + 1)});
    }

    std::vector<std::string> longLines = csv("long-Strings");
    ASSERT_EQ(longLines.size(), LongStrings().size());
    for (std::size_t i = 0; i < longLines.size(); ++i) {
        EXPECT_EQ(longLines[i], Cp1252ToUtf8(LongStrings()[i])) << "string " << i;
    }
    std::vector<std::string> longest = csv("longest-Strings");
    ASSERT_EQ(longest.size(), LongestStrings().size());
    for (std::size_t i = 0; i < longest.size(); ++i) {
        EXPECT_EQ(longest[i], Cp1252ToUtf8(LongestStrings()[i])) << "string " << i;
    }

    std::vector<std::string> rows = csv("rows-Rows");
    ASSERT_EQ(rows.size(), 65536u);
    EXPECT_EQ(rows[0], "0,r0");
    EXPECT_EQ(rows[65535], "65535,r35");

    std::vector<std::string> merges = csv("merges-Merges");
    ASSERT_EQ(merges.size(), static_cast<std::size_t>(kMergeSampleRanges));
    EXPECT_EQ(merges[1999].substr(0, 5), "m1999");

    std::vector<std::string> big = csv("big-Big (4)");
    ASSERT_EQ(big.size(), 65536u);
    EXPECT_EQ(big[65535],
              "3655350.33333333,3655351.33333333,3655352.33333333,3655353.33333333,"
              "3655354.33333333");
    EXPECT_EQ(csv("big-Big").at(1),
              "10.3333333333333,11.3333333333333,12.3333333333333,"
              "13.3333333333333,14.3333333333333");

    EXPECT_EQ(csv("cyrillic-\xD0\x9E\xD1\x82\xD1\x87\xD0\xB5\xD1\x82"),
              std::vector<std::string>{"\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"});
}

}  // namespace
}  // namespace xls_test
