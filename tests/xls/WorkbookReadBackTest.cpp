// Workbooks written by the library, read back by libfreexl and xlrd.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <filesystem>
#include <limits>

#include "tests/xls/SampleWorkbooks.h"
#include "tests/xls/XlsReaders.h"
#include "xls/Workbook.h"

namespace xls_test {
namespace {

TEST(WorkbookReadBack, ReportSheetValuesFormatsFontsBordersWidthsAndMerges) {
    ScratchDir dir;
    std::string path = dir.Path("report.xls");
    ASSERT_TRUE(WriteReportSample(path).ok());

    auto facts = XlrdFacts(path);
    const char* expected[] = {
        "sheet 0 Sheet1",
        "cell 0 0 0 text VENDOR",
        "style 0 0 0 fmt=General font=Arial/10/1 align=2 top=0 bottom=2",
        "style 0 0 3 fmt=General font=Arial/10/1 align=2 top=0 bottom=2",
        "cell 0 1 1 text Office supplies \xE2\x82\xAC 5",
        "cell 0 2 1 text Caf\xC3\xA9 paper",
        "cell 0 1 2 number 1234.5",
        "style 0 1 2 fmt=#,##0.00 font=Arial/10/0 align=0 top=0 bottom=0",
        "cell 0 2 2 number -12.0",
        "cell 0 1 3 number 39844.0",  // 31 January 2009
        "style 0 1 3 fmt=mm/dd/yy font=Arial/10/0 align=0 top=0 bottom=0",
        "cell 0 2 3 number 39874.0",  // "30 February 2009" carried to 2 March
        "cell 0 4 0 text END OF REPORT",
        "style 0 4 0 fmt=General font=Arial/10/0 align=0 top=5 bottom=0",
        "cell 0 4 3 blank ",
        "style 0 4 3 fmt=General font=Arial/10/0 align=0 top=5 bottom=0",
        "merge 0 4 4 0 3",
        "cell 0 7 0 text Company: NORTH DIVISION",
        "style 0 7 0 fmt=General font=Courier New/10/1 align=0 top=0 bottom=0",
        "merge 0 7 7 0 3",
        // Width w is stored as w digits of 7 pixels plus 5 pixels padding, in 1/256 characters.
        "width 0 0 1974",
        "width 0 1 4278",
        "width 0 2 2230",
        "width 0 3 2486",
        "stats 0 10 4 80940.5",
    };
    for (const char* fact : expected) EXPECT_TRUE(Has(facts, fact)) << fact << "\n" << Dump(facts);

    FreexlBook book(path);
    ASSERT_TRUE(book.ok()) << book.openError();
    EXPECT_EQ(book.SheetName(0), "Sheet1");
    EXPECT_EQ(book.Cell(0, 1, 1).text, "Office supplies \xE2\x82\xAC 5");
    EXPECT_EQ(book.Cell(0, 2, 1).text, "Caf\xC3\xA9 paper");
    EXPECT_EQ(book.Cell(0, 1, 2).number, 1234.5);
    FreexlCell date = book.Cell(0, 1, 3);
    EXPECT_EQ(date.kind, "date");
    EXPECT_EQ(date.text, "2009-01-31");
    EXPECT_EQ(book.Cell(0, 2, 3).text, "2009-03-02");
    EXPECT_EQ(book.Cell(0, 4, 0).text, "END OF REPORT");
}

TEST(WorkbookReadBack, SheetsWithTheSameRequestedNameGetDistinctNames) {
    ScratchDir dir;
    std::string path = dir.Path("names.xls");
    ASSERT_TRUE(WriteSameNameSample(path).ok());
    auto facts = XlrdFacts(path);
    EXPECT_TRUE(Has(facts, "sheet 0 Sheet1")) << Dump(facts);
    EXPECT_TRUE(Has(facts, "sheet 1 Sheet1 (2)"));
    EXPECT_TRUE(Has(facts, "sheet 2 sheet1 (3)"));  // names compare without case, as in Excel
    EXPECT_TRUE(Has(facts, "sheet 3 Sheet1 (4)"));
    EXPECT_TRUE(Has(facts, "cell 3 0 0 number 4.0"));
    FreexlBook book(path);
    ASSERT_TRUE(book.ok());
    ASSERT_EQ(book.SheetCount(), 4u);
    EXPECT_EQ(book.SheetName(2), "sheet1 (3)");
    EXPECT_EQ(book.Cell(3, 0, 0).number, 4);
}

TEST(WorkbookReadBack, SheetNamesAreCleanedAndCutToThirtyOneCharacters) {
    ScratchDir dir;
    std::string path = dir.Path("long-names.xls");
    auto book = tarn::xls::Workbook::Create();
    std::string longName(40, 'x');
    ASSERT_NE(book->AddSheet(longName), nullptr);
    ASSERT_NE(book->AddSheet(longName), nullptr);
    ASSERT_NE(book->AddSheet("a/b:c[1]?*\\"), nullptr);
    ASSERT_NE(book->AddSheet(""), nullptr);
    ASSERT_NE(book->AddSheet("'quoted'"), nullptr);
    ASSERT_TRUE(book->Save(path).ok());
    auto facts = XlrdFacts(path);
    EXPECT_TRUE(Has(facts, "sheet 0 " + std::string(31, 'x'))) << Dump(facts);
    EXPECT_TRUE(Has(facts, "sheet 1 " + std::string(27, 'x') + " (2)"));
    EXPECT_TRUE(Has(facts, "sheet 2 a_b_c_1____"));
    EXPECT_TRUE(Has(facts, "sheet 3 Sheet4"));
    EXPECT_TRUE(Has(facts, "sheet 4 _quoted_"));
}

TEST(WorkbookReadBack, Cp1251TextIsDecodedWithThatCodePage) {
    ScratchDir dir;
    std::string path = dir.Path("cyrillic.xls");
    ASSERT_TRUE(WriteCyrillicSample(path).ok());
    FreexlBook book(path);
    ASSERT_TRUE(book.ok());
    EXPECT_EQ(book.SheetName(0), "\xD0\x9E\xD1\x82\xD1\x87\xD0\xB5\xD1\x82");
    EXPECT_EQ(book.Cell(0, 0, 0).text, "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82");
    EXPECT_TRUE(Has(XlrdFacts(path), "cell 0 0 0 text \xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"));
}

// cp1252 leaves 0x81, 0x8D, 0x8F, 0x90 and 0x9D undefined; they are kept as
// the code points of the same value (as Windows maps them), not dropped, and
// an unknown code page leaves the one before in force.
TEST(WorkbookReadBack, BytesTheCodePageLeavesUndefinedAreKept) {
    ScratchDir dir;
    std::string path = dir.Path("undefined.xls");
    auto book = tarn::xls::Workbook::Create();
    book->SetCodePage(99999);
    book->AddSheet("Sheet1")->WriteText(0, 0,
                                        "a\x81"
                                        "b\x9D\x80",
                                        nullptr);
    ASSERT_TRUE(book->Save(path).ok());
    FreexlBook reader(path);
    ASSERT_TRUE(reader.ok());
    EXPECT_EQ(reader.Cell(0, 0, 0).text,
              "a\xC2\x81"
              "b\xC2\x9D\xE2\x82\xAC");
}

TEST(WorkbookReadBack, WritesOutsideTheSheetOrOfNonNumbersAreRefused) {
    ScratchDir dir;
    std::string path = dir.Path("limits.xls");
    auto book = tarn::xls::Workbook::Create();
    tarn::xls::Sheet* sheet = book->AddSheet("Sheet1");
    EXPECT_FALSE(sheet->WriteNumber(tarn::xls::kMaxRows, 0, 1, nullptr));
    EXPECT_FALSE(sheet->WriteNumber(0, tarn::xls::kMaxColumns, 1, nullptr));
    EXPECT_FALSE(sheet->WriteText(-1, 0, "x", nullptr));
    EXPECT_FALSE(sheet->WriteText(0, -1, "x", nullptr));
    EXPECT_FALSE(sheet->WriteNumber(0, 0, std::nan(""), nullptr));
    EXPECT_FALSE(sheet->WriteNumber(0, 0, std::numeric_limits<double>::infinity(), nullptr));
    EXPECT_FALSE(sheet->WriteText(0, 0, std::string(tarn::xls::kMaxTextChars + 1, 'a'), nullptr));
    EXPECT_TRUE(sheet->WriteNumber(tarn::xls::kMaxRows - 1, tarn::xls::kMaxColumns - 1, 7, nullptr));
    // A second write to a cell replaces the first, text or number.
    EXPECT_TRUE(sheet->WriteText(3, 3, "first", nullptr));
    EXPECT_TRUE(sheet->WriteText(3, 3, "second", nullptr));
    EXPECT_TRUE(sheet->WriteText(3, 2, "before", nullptr));
    EXPECT_TRUE(sheet->WriteNumber(3, 2, 5, nullptr));
    ASSERT_TRUE(book->Save(path).ok());
    auto facts = XlrdFacts(path, 4);
    EXPECT_TRUE(Has(facts, "cell 0 65535 255 number 7.0")) << Dump(facts);
    EXPECT_TRUE(Has(facts, "cell 0 3 3 text second"));
    EXPECT_TRUE(Has(facts, "cell 0 3 2 number 5.0"));
    EXPECT_TRUE(Has(facts, "stats 0 1 2 12.0"));
    FreexlBook reader(path);
    ASSERT_TRUE(reader.ok());
    EXPECT_EQ(reader.Cell(0, 65535, 255).number, 7);
}

// Numbers go into RK, MULRK or NUMBER records depending on their bits;
// every one must come back exactly, adjacent or alone.
TEST(WorkbookReadBack, NumbersReadBackExactlyWhateverRecordHoldsThem) {
    const double values[] = {0,     -1,    536870911,    -536870912, 536870912, 1234.56,
                             -0.01, 0.1,   1.0 / 3,      1e300,      5e-324,    12345678.9,
                             0.29,  1.005, -21474836.48, 1e-5,       2.5,       -0.0};
    const int count = static_cast<int>(sizeof values / sizeof values[0]);
    ScratchDir dir;
    std::string path = dir.Path("numbers.xls");
    auto book = tarn::xls::Workbook::Create();
    tarn::xls::Sheet* sheet = book->AddSheet("Numbers");
    for (int i = 0; i < count; ++i) {
        ASSERT_TRUE(sheet->WriteNumber(0, i, values[i], nullptr));          // adjacent
        ASSERT_TRUE(sheet->WriteNumber(1 + i, 2 * i, values[i], nullptr));  // alone
    }
    ASSERT_TRUE(book->Save(path).ok());

    auto facts = XlrdFacts(path);
    FreexlBook reader(path);
    ASSERT_TRUE(reader.ok());
    for (int i = 0; i < count; ++i) {
        for (auto [row, col] : {std::pair<int, int>{0, i}, {1 + i, 2 * i}}) {
            EXPECT_EQ(reader.Cell(0, row, col).number, values[i]) << row << "," << col;
            std::string read =
                FactAfter(facts, "cell 0 " + std::to_string(row) + " " + std::to_string(col) + " number ");
            EXPECT_EQ(std::strtod(read.c_str(), nullptr), values[i]) << read;
        }
    }
}

TEST(WorkbookReadBack, CustomNumberFormatsRoundTrip) {
    auto book = tarn::xls::Workbook::Create();
    int amount = book->AddCustomNumberFormat("#,##0.00");
    int date = book->AddCustomNumberFormat("mm/dd/yy");
    EXPECT_EQ(amount, 164);
    EXPECT_EQ(date, 165);
    EXPECT_EQ(book->AddCustomNumberFormat("#,##0.00"), amount);
    EXPECT_EQ(book->CustomNumberFormatText(amount), "#,##0.00");
    EXPECT_EQ(book->CustomNumberFormatText(date), "mm/dd/yy");
    EXPECT_EQ(book->CustomNumberFormatText(4), "#,##0.00");  // built in
    EXPECT_EQ(book->CustomNumberFormatText(999), "");
    EXPECT_EQ(book->AddCustomNumberFormat(""), 0);
    EXPECT_EQ(book->AddCustomNumberFormat(std::string(300, '0')), 0);
    tarn::xls::Format* format = book->AddFormat();
    EXPECT_EQ(format->NumberFormatId(), 0);
    format->SetNumberFormat(date);
    EXPECT_EQ(format->NumberFormatId(), date);
}

TEST(WorkbookReadBack, PackDateNumbersDaysAsExcel) {
    auto book = tarn::xls::Workbook::Create();
    EXPECT_EQ(book->PackDate(1900, 1, 1, 0, 0, 0), 1);
    EXPECT_EQ(book->PackDate(1900, 2, 28, 0, 0, 0), 59);
    EXPECT_EQ(book->PackDate(1900, 2, 29, 0, 0, 0), 60);  // the day Excel believes in
    EXPECT_EQ(book->PackDate(1900, 3, 1, 0, 0, 0), 61);
    EXPECT_EQ(book->PackDate(1900, 1, 0, 0, 0, 0), 0);
    EXPECT_EQ(book->PackDate(1999, 12, 31, 0, 0, 0), 36525);
    EXPECT_EQ(book->PackDate(2009, 1, 31, 0, 0, 0), 39844);
    EXPECT_EQ(book->PackDate(2009, 13, 1, 0, 0, 0), book->PackDate(2010, 1, 1, 0, 0, 0));
    EXPECT_EQ(book->PackDate(2009, 0, 1, 0, 0, 0), book->PackDate(2008, 12, 1, 0, 0, 0));
    EXPECT_EQ(book->PackDate(9999, 12, 31, 0, 0, 0), 2958465);
    EXPECT_DOUBLE_EQ(book->PackDate(2009, 1, 31, 18, 0, 0), 39844.75);
    EXPECT_EQ(book->PackDate(99, 1, 1, 0, 0, 0), book->PackDate(1999, 1, 1, 0, 0, 0));  // as DATE
    // Dates Excel cannot hold: no serial, so writing them falls back to text.
    EXPECT_TRUE(std::isnan(book->PackDate(10000, 1, 1, 0, 0, 0)));
    EXPECT_TRUE(std::isnan(book->PackDate(9999, 12, 32, 0, 0, 0)));
    EXPECT_TRUE(std::isnan(book->PackDate(-1, 1, 1, 0, 0, 0)));
    EXPECT_TRUE(std::isnan(book->PackDate(1900, 1, -1, 0, 0, 0)));
}

TEST(WorkbookReadBack, SaveFailuresAreReportedAndLeaveNoFile) {
    ScratchDir dir;
    auto empty = tarn::xls::Workbook::Create();
    EXPECT_FALSE(empty->Save(dir.Path("empty.xls")).ok());
    EXPECT_FALSE(std::filesystem::exists(dir.Path("empty.xls")));

    auto book = tarn::xls::Workbook::Create();
    book->AddSheet("Sheet1")->WriteText(0, 0, "new", nullptr);
    tarn::Status missing = book->Save(dir.Path("no-such-folder/out.xls"));
    EXPECT_FALSE(missing.ok());
    EXPECT_NE(missing.message().find("no-such-folder"), std::string::npos) << missing.message();

    // The target is a folder: the rename fails and the temporary file goes.
    std::filesystem::create_directory(dir.Path("taken.xls"));
    EXPECT_FALSE(book->Save(dir.Path("taken.xls")).ok());
    int entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path(""))) {
        (void)entry;
        ++entries;
    }
    EXPECT_EQ(entries, 1);  // only the folder itself

    // An existing workbook is replaced whole.
    std::string path = dir.Path("out.xls");
    ASSERT_TRUE(WriteSameNameSample(path).ok());
    ASSERT_TRUE(book->Save(path).ok());
    FreexlBook reader(path);
    ASSERT_TRUE(reader.ok());
    EXPECT_EQ(reader.SheetCount(), 1u);
    EXPECT_EQ(reader.Cell(0, 0, 0).text, "new");
}

TEST(WorkbookReadBack, SavedWorkbookIsReadableAsAnyNewFile) {
    // The workbook is written to a temporary file and renamed into place; it
    // must not keep the owner-only mode of a scratch file, or operators on
    // other accounts could not open their reports.
    ScratchDir dir;
    auto book = tarn::xls::Workbook::Create();
    book->AddSheet("Sheet1")->WriteText(0, 0, "x", nullptr);
    std::string path = dir.Path("shared.xls");
    const mode_t old = umask(022);
    tarn::Status saved = book->Save(path);
    umask(old);
    ASSERT_TRUE(saved.ok()) << saved.message();
    struct stat st;
    ASSERT_EQ(0, stat(path.c_str(), &st));
    EXPECT_EQ(0644u, st.st_mode & 0777u);
}

}  // namespace
}  // namespace xls_test
