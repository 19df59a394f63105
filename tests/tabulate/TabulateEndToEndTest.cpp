// The tabulate program on whole reports, its workbooks read back with xlrd
// (tests/support/xls_dump.py) and libfreexl.

#include <freexl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "ReportGenerator.h"
#include "TempDir.h"
#include "platform/Process.h"

namespace {

using tabulate_test::MakeReport;
using tabulate_test::ReportOptions;
using tabulate_test::TempDir;

const std::string kTabulate = std::string(TARN_BIN_DIR) + "/tabulate";
const std::string kDumper = std::string(TARN_SOURCE_DIR) + "/tests/support/xls_dump.py";

// Exit statuses as the shell sees them (low 8 bits of -1, -2, -3).
constexpr int kStatusUsage = 255;
constexpr int kStatusCleanFailed = 254;
constexpr int kStatusNoWorkbook = 253;

int RunTabulate(const std::vector<std::string>& args) {
    std::vector<std::string> argv{kTabulate};
    argv.insert(argv.end(), args.begin(), args.end());
    int code = -1;
    EXPECT_TRUE(tarn::RunProgram(argv, &code).ok());
    return code;
}

// Converts `report` as folder/name with the extra options; returns the status.
int Convert(const TempDir& dir, const std::string& name, const std::string& report,
            std::vector<std::string> options = {"-n", ".", "-g", ","}) {
    dir.Write(name, report);
    std::vector<std::string> args{"-p", dir.path(), "-r", name};
    args.insert(args.end(), options.begin(), options.end());
    return RunTabulate(args);
}

std::string Dump(const TempDir& dir, const std::string& workbook) {
    int code = -1;
    EXPECT_TRUE(
        tarn::RunProgram({"/usr/bin/python3", kDumper, dir.path() + workbook, dir.path() + "dump.txt"}, &code)
            .ok());
    EXPECT_EQ(code, 0);
    return dir.Read("dump.txt");
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

bool Has(const std::string& dump, const std::string& line) {
    for (const std::string& each : Lines(dump)) {
        if (each == line) return true;
    }
    return false;
}

int CountPrefix(const std::string& dump, const std::string& prefix) {
    int count = 0;
    for (const std::string& each : Lines(dump)) count += each.rfind(prefix, 0) == 0;
    return count;
}

const char kWorkedExample[] =
    "AP100 R1               /rep/ap100 AGING REPORT Date: 01/15/09\r\n"
    "                                  Page: 1  NORTH DIVISION  Time: 10:15:00\r\n"
    "\r\n"
    "VENDOR   DESCRIPTION          AMOUNT     DUE DATE\r\n"
    "-------- -------------------- ---------- --------\r\n"
    "V001     Office supplies        1,234.50 01/31/09\r\n"
    "V002     Paper                   (12.00) 02/15/09\r\n"
    "                              ----------\r\n"
    "TOTAL                           1,222.50\r\n"
    "                          END OF REPORT\r\n";

const char kWorkedExampleWorkbook[] =
    "sheet 0 Sheet1 rows=17 cols=4\n"
    "cell 0 0 text VENDOR | fmt=General font=Arial,bold align=2 top=0 bottom=2\n"
    "cell 0 1 text DESCRIPTION | fmt=General font=Arial,bold align=2 top=0 bottom=2\n"
    "cell 0 2 text AMOUNT | fmt=General font=Arial,bold align=2 top=0 bottom=2\n"
    "cell 0 3 text DUE DATE | fmt=General font=Arial,bold align=2 top=0 bottom=2\n"
    "cell 1 0 text V001 | fmt=General font=Arial align=0 top=0 bottom=0\n"
    "cell 1 1 text Office supplies | fmt=General font=Arial align=0 top=0 bottom=0\n"
    "cell 1 2 number 1234.5 | fmt=#,##0.00 font=Arial align=0 top=0 bottom=0\n"
    "cell 1 3 date 2009-01-31 | fmt=mm/dd/yy font=Arial align=0 top=0 bottom=0\n"
    "cell 2 0 text V002 | fmt=General font=Arial align=0 top=0 bottom=0\n"
    "cell 2 1 text Paper | fmt=General font=Arial align=0 top=0 bottom=0\n"
    "cell 2 2 number -12.0 | fmt=#,##0.00 font=Arial align=0 top=0 bottom=0\n"
    "cell 2 3 date 2009-02-15 | fmt=mm/dd/yy font=Arial align=0 top=0 bottom=0\n"
    "cell 3 0 text TOTAL | fmt=General font=Arial align=0 top=0 bottom=0\n"
    "cell 3 2 number 1222.5 | fmt=#,##0.00 font=Arial align=0 top=0 bottom=0\n"
    "cell 4 0 text END OF REPORT | fmt=General font=Arial align=0 top=5 bottom=0\n"
    "cell 4 1 blank  | fmt=General font=Arial align=0 top=5 bottom=0\n"
    "cell 4 2 blank  | fmt=General font=Arial align=0 top=5 bottom=0\n"
    "cell 4 3 blank  | fmt=General font=Arial align=0 top=5 bottom=0\n"
    "cell 7 0 text Company     : NORTH DIVISION | fmt=General font=Courier New,bold align=0 top=0 bottom=0\n"
    "cell 8 0 text Report Path : /rep/ap100 | fmt=General font=Courier New,bold align=0 top=0 bottom=0\n"
    "cell 9 0 text Report Name : AGING REPORT | fmt=General font=Courier New,bold align=0 top=0 bottom=0\n"
    "cell 10 0 text Program Name: AP100 R1 | fmt=General font=Courier New,bold align=0 top=0 bottom=0\n"
    "cell 11 0 text Report Date : 01/15/09 | fmt=General font=Courier New,bold align=0 top=0 bottom=0\n"
    "cell 12 0 text Report Time : 10:15:00 | fmt=General font=Courier New,bold align=0 top=0 bottom=0\n"
    "cell 16 0 text Report Criteria not found | fmt=General font=Courier New,bold align=0 top=0 bottom=0\n"
    "merge 4 4 0 3\n"
    "merge 7 7 0 3\n"
    "merge 8 8 0 3\n"
    "merge 9 9 0 3\n"
    "merge 10 10 0 3\n"
    "merge 11 11 0 3\n"
    "merge 12 12 0 3\n"
    "merge 16 16 0 3\n"
    "width 0 7\n"
    "width 1 16\n"
    "width 2 8\n"
    "width 3 9\n";

TEST(TabulateEndToEnd, WorkedExampleCellByCell) {
    TempDir dir;
    ASSERT_EQ(Convert(dir, "ap100.txt", kWorkedExample), 0);
    EXPECT_EQ(Dump(dir, "ap100.xls"), kWorkedExampleWorkbook);
    // Intermediate file gone, input kept.
    EXPECT_FALSE(dir.Exists("ap100.cln"));
    EXPECT_TRUE(dir.Exists("ap100.txt"));

    // A second independent reader: libfreexl sees the same values and types.
    const void* handle = nullptr;
    ASSERT_EQ(freexl_open((dir.path() + "ap100.xls").c_str(), &handle), FREEXL_OK);
    ASSERT_EQ(freexl_select_active_worksheet(handle, 0), FREEXL_OK);
    unsigned int rows = 0;
    unsigned short columns = 0;
    ASSERT_EQ(freexl_worksheet_dimensions(handle, &rows, &columns), FREEXL_OK);
    EXPECT_EQ(rows, 17u);
    EXPECT_EQ(columns, 4u);
    FreeXL_CellValue cell;
    ASSERT_EQ(freexl_get_cell_value(handle, 1, 2, &cell), FREEXL_OK);
    EXPECT_EQ(cell.type, FREEXL_CELL_DOUBLE);
    EXPECT_DOUBLE_EQ(cell.value.double_value, 1234.5);
    ASSERT_EQ(freexl_get_cell_value(handle, 2, 3, &cell), FREEXL_OK);
    EXPECT_EQ(cell.type, FREEXL_CELL_DATE);
    EXPECT_STREQ(cell.value.text_value, "2009-02-15");
    ASSERT_EQ(freexl_get_cell_value(handle, 3, 0, &cell), FREEXL_OK);
    EXPECT_STREQ(cell.value.text_value, "TOTAL");
    ASSERT_EQ(freexl_get_cell_value(handle, 3, 1, &cell), FREEXL_OK);
    EXPECT_EQ(cell.type, FREEXL_CELL_NULL);
    freexl_close(handle);
}

TEST(TabulateEndToEnd, MultiPageReport) {
    TempDir dir;
    ReportOptions options;
    options.pages = 4;
    options.rowsPerPage = 30;
    ASSERT_EQ(Convert(dir, "ar300.txt", MakeReport(options)), 0);
    const std::string dump = Dump(dir, "ar300.xls");
    // One sheet; headers repeated on every page are skipped: 120 data rows
    // and the total.
    EXPECT_EQ(CountPrefix(dump, "sheet "), 1);
    EXPECT_TRUE(Has(dump, "sheet 0 Sheet1 rows=137 cols=5")) << dump.substr(0, 200);
    const char* header = " | fmt=General font=Arial,bold align=2 top=0 bottom=2";
    EXPECT_TRUE(Has(dump, std::string("cell 0 0 text INVOICE NUMBER") + header));
    EXPECT_TRUE(Has(dump, std::string("cell 0 3 text AMOUNT DUE") + header));
    EXPECT_TRUE(Has(dump, std::string("cell 0 4 text ITEM") + header));
    EXPECT_EQ(CountPrefix(dump, "cell 0 "), 5);
    // Rows 1..120: row n+1 holds report row n.
    EXPECT_TRUE(Has(dump, "cell 1 0 text INV10000 | fmt=General font=Arial align=0 top=0 bottom=0"));
    EXPECT_TRUE(Has(dump,
                    "cell 1 1 text Caf\xC3\xA9 Fran\xC3\xA7"
                    "ais | fmt=General font=Arial align=0 top=0 bottom=0"));
    EXPECT_TRUE(Has(dump, "cell 1 2 date 2009-01-01 | fmt=mm/dd/yy font=Arial align=0 top=0 bottom=0"));
    EXPECT_TRUE(Has(dump, "cell 1 3 number 0.05 | fmt=$ #,##0.00 font=Arial align=0 top=0 bottom=0"));
    // Row 3 is negative with parentheses, row 10 with CR.
    EXPECT_TRUE(Has(dump, "cell 4 3 number -37.16 | fmt=#,##0.00 font=Arial align=0 top=0 bottom=0"));
    EXPECT_TRUE(Has(dump, "cell 11 3 number -123.75 | fmt=#,##0.00 font=Arial align=0 top=0 bottom=0"));
    // A number in a keyword column (ITEM) stays text.
    EXPECT_TRUE(Has(dump, "cell 8 4 text 100.00 | fmt=General font=Arial align=0 top=0 bottom=0"));
    EXPECT_TRUE(Has(dump, "cell 120 0 text INV10119 | fmt=General font=Arial align=0 top=0 bottom=0"));
    EXPECT_EQ(CountPrefix(dump, "cell 121 "), 2);  // TOTAL and its amount
    EXPECT_EQ(CountPrefix(dump, "cell 121 0 text TOTAL "), 1);
    EXPECT_EQ(CountPrefix(dump, "cell 122 0 text END OF REPORT "), 1);
    // Attributes with the company in Windows-1252, and the criteria block.
    EXPECT_EQ(CountPrefix(dump, "cell 125 0 text Company     : M\xC3\xBCller & S\xC3\xB6hne GmbH |"), 1);
    EXPECT_EQ(CountPrefix(dump, "cell 130 0 text Report Time : 17:45:10 |"), 1);
    EXPECT_EQ(CountPrefix(dump, "cell 134 0 text REPORT CRITERIA |"), 1);
    EXPECT_EQ(CountPrefix(dump, "cell 135 0 text Customer range  : ALL |"), 1);
    EXPECT_EQ(CountPrefix(dump, "cell 136 0 text As of date      : 03/31/09 |"), 1);
    EXPECT_TRUE(Has(dump, "merge 136 136 0 4"));
}

TEST(TabulateEndToEnd, EuropeanSeparatorsAndDates) {
    TempDir dir;
    ReportOptions options;
    options.pages = 2;
    options.rowsPerPage = 12;
    options.european = true;
    ASSERT_EQ(Convert(dir, "eu.txt", MakeReport(options), {"-n", ",", "-g", ".", "-d", "dd/mm/yyyy"}), 0);
    const std::string dump = Dump(dir, "eu.xls");
    EXPECT_TRUE(Has(dump, "cell 1 2 date 2009-01-01 | fmt=dd/mm/yyyy font=Arial align=0 top=0 bottom=0"));
    EXPECT_TRUE(Has(dump, "cell 14 2 date 2009-02-14 | fmt=dd/mm/yyyy font=Arial align=0 top=0 bottom=0"));
    EXPECT_TRUE(Has(dump, "cell 4 3 number -37.16 | fmt=#,##0.00 font=Arial align=0 top=0 bottom=0"));
    // 1237 * 9 + 5 cents, written 111,38 in the report.
    EXPECT_TRUE(Has(dump, "cell 10 3 number 111.38 | fmt=#,##0.00 font=Arial align=0 top=0 bottom=0"));
    EXPECT_EQ(CountPrefix(dump, "cell 33 0 text Report Date : 31/03/2009 |"), 1);
    // The date column is as wide as its format, plus one.
    EXPECT_TRUE(Has(dump, "width 2 13"));
}

TEST(TabulateEndToEnd, KeywordFileBesideTheProgram) {
    TempDir dir;
    // A copy of the program with a keyword file beside it.
    std::filesystem::copy_file(kTabulate, dir.path() + "tabulate");
    dir.Write("columns.ini", "amount\r\nDUE*\r\n");
    dir.Write("ap100.txt", kWorkedExample);
    int code = -1;
    ASSERT_TRUE(
        tarn::RunProgram({dir.path() + "tabulate", "-p", dir.path(), "-r", "ap100.txt", "-n", ".", "-g", ","},
                         &code)
            .ok());
    ASSERT_EQ(code, 0);
    const std::string dump = Dump(dir, "ap100.xls");
    EXPECT_TRUE(Has(dump, "cell 1 2 text 1,234.50 | fmt=General font=Arial align=0 top=0 bottom=0"));
    EXPECT_TRUE(Has(dump, "cell 1 3 text 01/31/09 | fmt=General font=Arial align=0 top=0 bottom=0"));
}

TEST(TabulateEndToEnd, DateValues) {
    const std::string report =
        "LIST OF DATES\r\n"
        "WHEN        NOTE\r\n"
        "----------- ----\r\n"
        "02/30/09    a\r\n"
        "1/31/2009   b\r\n"
        "12/31/99    c\r\n"
        "01/01/14    d\r\n"
        "01/01/15    e\r\n";
    TempDir dir;
    ASSERT_EQ(Convert(dir, "dates.txt", report), 0);
    const std::string dump = Dump(dir, "dates.xls");
    const char* style = " | fmt=mm/dd/yy font=Arial align=0 top=0 bottom=0";
    // No range check: February 30th is packed as such and lands on March 2nd.
    EXPECT_TRUE(Has(dump, std::string("cell 1 0 date 2009-03-02") + style));
    EXPECT_TRUE(Has(dump, std::string("cell 2 0 date 2009-01-31") + style));
    EXPECT_TRUE(Has(dump, std::string("cell 3 0 date 1999-12-31") + style));
    EXPECT_TRUE(Has(dump, std::string("cell 4 0 date 2014-01-01") + style));
    EXPECT_TRUE(Has(dump, std::string("cell 5 0 date 1915-01-01") + style));

    // A date format without "/" splits no date: the values stay text.
    TempDir dotted;
    ASSERT_EQ(Convert(dotted, "dates.txt", report, {"-d", "dd.mm.yyyy"}), 0);
    const std::string text = Dump(dotted, "dates.xls");
    EXPECT_TRUE(Has(text, "cell 1 0 text 02/30/09 | fmt=General font=Arial align=0 top=0 bottom=0"));
}

TEST(TabulateEndToEnd, SheetBreaksByLineAndByDirective) {
    ReportOptions options;
    options.pages = 3;
    options.rowsPerPage = 10;
    options.breakAfterPages = {0, 1};
    struct Case {
        std::string breakLine;
        std::vector<std::string> args;
    };
    for (const Case& c :
         {Case{"** NEW SHEET **", {"-x", "** NEW SHEET **"}}, Case{"#XL NextSheet", {"-e", "#XL"}}}) {
        TempDir dir;
        options.breakLine = c.breakLine;
        std::vector<std::string> args{"-n", ".", "-g", ","};
        args.insert(args.end(), c.args.begin(), c.args.end());
        ASSERT_EQ(Convert(dir, "split.txt", MakeReport(options), args), 0) << c.breakLine;
        const std::string dump = Dump(dir, "split.xls");
        EXPECT_EQ(CountPrefix(dump, "sheet "), 3) << c.breakLine;
        EXPECT_TRUE(Has(dump, "sheet 0 Sheet1 rows=24 cols=5")) << c.breakLine;
        EXPECT_TRUE(Has(dump, "sheet 1 Sheet1 (2) rows=24 cols=5")) << c.breakLine;
        EXPECT_TRUE(Has(dump, "sheet 2 Sheet1 (3) rows=27 cols=5")) << c.breakLine;
        // Every sheet has its own header row, data and attributes.
        EXPECT_EQ(CountPrefix(dump, "cell 0 0 text INVOICE NUMBER |"), 3);
        EXPECT_EQ(CountPrefix(dump, "cell 1 0 text INV10010 |"), 1);
        EXPECT_EQ(CountPrefix(dump, "cell 1 0 text INV10020 |"), 1);
        EXPECT_EQ(CountPrefix(dump, "cell 11 0 text END OF REPORT |"), 2);
        EXPECT_EQ(CountPrefix(dump, "cell 14 0 text Company     : M\xC3\xBCller"), 2);
        EXPECT_EQ(CountPrefix(dump, "cell 15 0 text Company     : M\xC3\xBCller"), 1);
        EXPECT_EQ(CountPrefix(dump, "cell 23 0 text Report Criteria not found |"), 2);
        // The break line never reaches a sheet.
        EXPECT_EQ(dump.find("NEW SHEET"), std::string::npos);
        EXPECT_EQ(dump.find("#XL"), std::string::npos);
    }
}

TEST(TabulateEndToEnd, ExitStatusesAndFiles) {
    TempDir dir;
    EXPECT_EQ(RunTabulate({}), kStatusUsage);
    EXPECT_EQ(RunTabulate({"-p", dir.path()}), kStatusUsage);
    EXPECT_EQ(RunTabulate({"-p", dir.path(), "-d", "x"}), kStatusUsage);

    EXPECT_EQ(RunTabulate({"-P", dir.path(), "-R", "missing.txt"}), kStatusCleanFailed);
    EXPECT_EQ(RunTabulate({"-p", dir.path(), "-r", "a folder"}), kStatusCleanFailed);

    // No underline on the first page: no workbook, no cleaned file.
    EXPECT_EQ(Convert(dir, "plain.txt", "just some text\r\nwithout columns\r\n"), kStatusNoWorkbook);
    // An input without extension and a trailing option word without value.
    EXPECT_EQ(RunTabulate({"-p", dir.path(), "-r", "report", "-d"}), kStatusCleanFailed);
    dir.Write("report", kWorkedExample);
    EXPECT_EQ(RunTabulate({"-p", dir.path(), "-r", "report", "-d"}), 0);
    EXPECT_TRUE(dir.Exists("report.xls"));
    std::filesystem::remove(dir.path() + "report.xls");
    std::filesystem::remove(dir.path() + "report");
    EXPECT_EQ(Convert(dir, "a.b.txt", kWorkedExample), 0);
    EXPECT_TRUE(dir.Exists("a.b.xls"));
    std::filesystem::remove(dir.path() + "a.b.xls");
    std::filesystem::remove(dir.path() + "a.b.txt");

    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        left.push_back(entry.path().filename().string());
    }
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, std::vector<std::string>({"plain.txt"}));
}

TEST(TabulateEndToEnd, FailedSaveExitsMinusThreeAndLeavesNoWorkbook) {
    TempDir dir;
    // A folder stands where the workbook should go.
    std::filesystem::create_directory(dir.path() + "blocked.xls");
    EXPECT_EQ(Convert(dir, "blocked.txt", kWorkedExample), kStatusNoWorkbook);
    EXPECT_TRUE(std::filesystem::is_directory(dir.path() + "blocked.xls"));
    EXPECT_TRUE(std::filesystem::is_empty(dir.path() + "blocked.xls"));
    size_t entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        (void)entry;
        ++entries;
    }
    EXPECT_EQ(entries, 2u);  // the input and the folder: no temporary, no cleaned file
}

TEST(TabulateEndToEnd, WritesNothingToTheConsole) {
    TempDir dir;
    dir.Write("quiet.txt", kWorkedExample);
    int code = -1;
    const std::string command = "'" + kTabulate + "' -p '" + dir.path() + "' -r quiet.txt >'" + dir.path() +
                                "out' 2>&1; "
                                "'" +
                                kTabulate + "' -p '" + dir.path() + "' -r none.txt >>'" + dir.path() +
                                "out' 2>&1; exit 0";
    ASSERT_TRUE(tarn::RunProgram({"/bin/sh", "-c", command}, &code).ok());
    EXPECT_TRUE(dir.Exists("quiet.xls"));
    EXPECT_EQ(dir.Read("out"), "");
}

TEST(TabulateEndToEnd, SectionLongerThanASheetContinuesOnAFurtherSheet) {
    TempDir dir;
    ReportOptions options;
    options.pages = 1;
    options.rowsPerPage = 70000;
    ASSERT_EQ(Convert(dir, "big.txt", MakeReport(options)), 0);
    const std::string dump = Dump(dir, "big.xls");
    // 65,535 data rows under the header row on the first sheet; the other
    // 4,465 (and the total) on a second sheet under a repeated header row.
    EXPECT_TRUE(Has(dump, "sheet 0 Sheet1 rows=65536 cols=5"));
    EXPECT_TRUE(Has(dump, "cell 65535 0 text INV75534 | fmt=General font=Arial align=0 top=0 bottom=0"));
    EXPECT_EQ(CountPrefix(dump, "cell 0 0 text INVOICE NUMBER |"), 2);
    EXPECT_TRUE(Has(dump, "cell 1 0 text INV75535 | fmt=General font=Arial align=0 top=0 bottom=0"));
    EXPECT_TRUE(Has(dump, "cell 4465 0 text INV79999 | fmt=General font=Arial align=0 top=0 bottom=0"));
    EXPECT_EQ(CountPrefix(dump, "cell 4466 0 text TOTAL |"), 1);
    EXPECT_EQ(CountPrefix(dump, "cell 4467 0 text END OF REPORT |"), 1);
    EXPECT_EQ(CountPrefix(dump, "cell "), 2 * 5 + 70000 * 5 + 2 + 5 + 6 + 3);
}

}  // namespace
