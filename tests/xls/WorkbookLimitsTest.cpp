// Workbooks at the format's limits, read back by libfreexl and xlrd: long
// shared strings cut across CONTINUE records, every row of a sheet, many
// merged ranges and a compound file large enough to need DIFAT sectors.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>

#include "tests/xls/SampleWorkbooks.h"
#include "tests/xls/XlsReaders.h"
#include "xls/Workbook.h"

namespace xls_test {
namespace {

std::uint32_t HeaderWord(const std::string& path, std::streamoff offset) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(offset);
    unsigned char b[4] = {};
    in.read(reinterpret_cast<char*>(b), 4);
    return b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}

// xlrd read the cp1252 `strings` in column A of the first sheet.
void ExpectColumnA(const std::set<std::string>& facts, const std::vector<std::string>& strings) {
    for (std::size_t i = 0; i < strings.size(); ++i) {
        std::string fact = "cell 0 " + std::to_string(i) + " 0 text " + Cp1252ToUtf8(strings[i]);
        EXPECT_TRUE(Has(facts, fact)) << "string " << i;
    }
}

TEST(WorkbookLimits, StringsLongerThanARecordAndAcrossContinueBoundariesReadBackWhole) {
    ScratchDir dir;
    std::string path = dir.Path("strings.xls");
    ASSERT_TRUE(WriteLongStringSample(path).ok());
    const auto& strings = LongStrings();

    FreexlBook book(path);
    ASSERT_TRUE(book.ok()) << book.openError();
    for (std::size_t i = 0; i < strings.size(); ++i) {
        FreexlCell cell = book.Cell(0, static_cast<unsigned>(i), 0);
        ASSERT_EQ(cell.text, Cp1252ToUtf8(strings[i])) << "string " << i;
    }

    ExpectColumnA(XlrdFacts(path), strings);
}

TEST(WorkbookSave, ALinkUnderTheNameIsReplacedNotWrittenThrough) {
    ScratchDir dir;
    const std::string victim = dir.Path("victim.txt");
    std::ofstream(victim) << "keep";
    std::filesystem::create_symlink(victim, dir.Path("out.xls"));
    auto book = tarn::xls::Workbook::Create();
    ASSERT_TRUE(book->AddSheet("S")->WriteText(0, 0, "x", nullptr));
    ASSERT_TRUE(book->Save(dir.Path("out.xls")).ok());
    EXPECT_FALSE(std::filesystem::is_symlink(dir.Path("out.xls")));
    EXPECT_EQ(HeaderWord(dir.Path("out.xls"), 0), 0xE011CFD0u);
    std::ifstream in(victim);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "keep");
}

// A string whose character count and flags would not fit, with one
// character, in what is left of a record starts in the next CONTINUE record;
// one that fits is cut after its header. Tried with 0 to 5 bytes left.
TEST(WorkbookLimits, StringsStartingNearTheEndOfARecord) {
    ScratchDir dir;
    for (int left = 0; left <= 5; ++left) {
        for (bool wide : {false, true}) {
            std::string path = dir.Path("edge-" + std::to_string(left) + (wide ? "w.xls" : "c.xls"));
            // The SST record holds 8 bytes of counts, then 3 + 8,213 - left bytes of the first string.
            std::vector<std::string> strings = {std::string(8213 - left, 'f'),
                                                std::string(wide ? "\x80" : "") + "second string", "third"};
            auto book = tarn::xls::Workbook::Create();
            tarn::xls::Sheet* sheet = book->AddSheet("Edge");
            for (std::size_t i = 0; i < strings.size(); ++i) {
                ASSERT_TRUE(sheet->WriteText(static_cast<int>(i), 0, strings[i], nullptr));
            }
            ASSERT_TRUE(book->Save(path).ok());
            FreexlBook reader(path);
            ASSERT_TRUE(reader.ok()) << path;
            for (std::size_t i = 0; i < strings.size(); ++i) {
                EXPECT_EQ(reader.Cell(0, static_cast<unsigned>(i), 0).text, Cp1252ToUtf8(strings[i])) << path;
            }
            ExpectColumnA(XlrdFacts(path), strings);
        }
    }
}

// libfreexl 1.0.6 misreads a shared string that spans three or more records
// (it then refuses the whole workbook), so only xlrd reads these here, and
// LibreOffice in the end-to-end check.
TEST(WorkbookLimits, StringsSpanningManyContinueRecordsReadBackWhole) {
    ScratchDir dir;
    std::string path = dir.Path("longest.xls");
    ASSERT_TRUE(WriteLongestStringSample(path).ok());
    ExpectColumnA(XlrdFacts(path), LongestStrings());
}

TEST(WorkbookLimits, AllSixtyFiveThousandFiveHundredThirtySixRows) {
    ScratchDir dir;
    std::string path = dir.Path("rows.xls");
    ASSERT_TRUE(WriteAllRowsSample(path).ok());

    auto facts = XlrdFacts(path, 2);
    EXPECT_TRUE(Has(facts, "size 0 65536 2"));
    EXPECT_TRUE(Has(facts, "cell 0 65535 0 number 65535.0"));
    EXPECT_TRUE(Has(facts, "cell 0 65535 1 text r35"));
    EXPECT_TRUE(Has(facts, "stats 0 65536 65536 2147450880.0"));  // 0 + 1 + ... + 65535

    FreexlBook book(path);
    ASSERT_TRUE(book.ok());
    unsigned rows = 0;
    unsigned short cols = 0;
    book.Dimensions(0, &rows, &cols);
    EXPECT_EQ(rows, 65536u);
    EXPECT_EQ(cols, 2u);
    EXPECT_EQ(book.Cell(0, 65535, 0).number, 65535);
    EXPECT_EQ(book.Cell(0, 40000, 1).text, "r0");
}

// The INDEX and DBCELL records lead a reader straight to every row's cells,
// in a full sheet and in one with gaps of whole row blocks.
TEST(WorkbookLimits, CellIndexLeadsToEveryRow) {
    ScratchDir dir;
    std::string full = dir.Path("rows.xls");
    ASSERT_TRUE(WriteAllRowsSample(full).ok());
    std::string sparse = dir.Path("sparse.xls");
    auto book = tarn::xls::Workbook::Create();
    tarn::xls::Sheet* sheet = book->AddSheet("Sparse");
    const int rows[] = {3, 31, 32, 40, 1000, 1001, 65535};
    for (int r : rows) {
        sheet->WriteText(r, 2, "t" + std::to_string(r), nullptr);
        sheet->WriteNumber(r, 3, r + 0.25, nullptr);
        sheet->WriteNumber(r, 4, 1.0 / 3, nullptr);
    }
    book->AddSheet("Empty");
    ASSERT_TRUE(book->Save(sparse).ok());
    int status = 0;
    const std::string check = "/usr/bin/python3 " TARN_SOURCE_DIR "/tests/xls/biff_index_check.py ";
    EXPECT_EQ(RunCommand(check + "'" + full + "' 2>&1", &status), "ok 65536\n");
    EXPECT_EQ(RunCommand(check + "'" + sparse + "' 2>&1", &status), "ok 7\n");
}

TEST(WorkbookLimits, TwoThousandMergedRangesSpreadOverSeveralRecords) {
    ScratchDir dir;
    std::string path = dir.Path("merges.xls");
    ASSERT_TRUE(WriteManyMergesSample(path).ok());
    auto facts = XlrdFacts(path, 0);
    EXPECT_EQ(CountFacts(facts, "merge 0 "), kMergeSampleRanges);
    EXPECT_TRUE(Has(facts, "merge 0 0 0 0 2"));
    EXPECT_TRUE(Has(facts, "merge 0 1025 1025 0 2"));
    EXPECT_TRUE(Has(facts, "merge 0 1026 1026 0 2"));
    EXPECT_TRUE(Has(facts, "merge 0 1999 1999 0 2"));
    FreexlBook book(path);
    ASSERT_TRUE(book.ok());
    EXPECT_EQ(book.Cell(0, 1999, 0).text, "m1999");
}

TEST(WorkbookLimits, MergesThatOverlapOrCoverOneCellAreLeftOut) {
    ScratchDir dir;
    std::string path = dir.Path("overlap.xls");
    auto book = tarn::xls::Workbook::Create();
    tarn::xls::Sheet* sheet = book->AddSheet("Sheet1");
    sheet->WriteText(0, 0, "x", nullptr);
    sheet->SetMerge(0, 1, 0, 3);
    sheet->SetMerge(1, 2, 2, 4);   // overlaps the first
    sheet->SetMerge(5, 5, 0, -1);  // no columns
    sheet->SetMerge(6, 6, 1, 1);   // one cell
    sheet->SetMerge(7, 7, 0, 1);
    ASSERT_TRUE(book->Save(path).ok());
    auto facts = XlrdFacts(path);
    EXPECT_EQ(CountFacts(facts, "merge 0 "), 2);
    EXPECT_TRUE(Has(facts, "merge 0 0 1 0 3"));
    EXPECT_TRUE(Has(facts, "merge 0 7 7 0 1"));
}

// Formats that look alike share one XF record; past the 4,050 XF records a
// workbook may hold, further formats fall back to the default cell format
// rather than making a file Excel refuses.
TEST(WorkbookLimits, FormatsShareXfRecordsAndStopAtTheLimit) {
    ScratchDir dir;
    std::string path = dir.Path("formats.xls");
    auto book = tarn::xls::Workbook::Create();
    tarn::xls::Sheet* sheet = book->AddSheet("Formats");
    constexpr int kDistinct = 4100;
    for (int i = 0; i < kDistinct; ++i) {
        tarn::xls::Format* format = book->AddFormat();
        format->SetNumberFormat(book->AddCustomNumberFormat("0.00\"" + std::to_string(i) + "\""));
        tarn::xls::Format* twin = book->AddFormat();  // the same look: no record of its own
        twin->SetNumberFormat(format->NumberFormatId());
        ASSERT_TRUE(sheet->WriteNumber(i, 0, i, format));
        ASSERT_TRUE(sheet->WriteNumber(i, 1, i, twin));
    }
    ASSERT_TRUE(book->Save(path).ok());
    auto facts = XlrdFacts(path);
    EXPECT_TRUE(Has(facts, "style 0 0 1 fmt=0.00\"0\" font=Arial/10/0 align=0 top=0 bottom=0"))
        << Dump(facts);
    // 15 style XFs and the default cell XF come first: 4,034 formats get a record.
    EXPECT_TRUE(Has(facts, "style 0 4033 0 fmt=0.00\"4033\" font=Arial/10/0 align=0 top=0 bottom=0"));
    EXPECT_TRUE(Has(facts, "style 0 4034 0 fmt=General font=Arial/10/0 align=0 top=0 bottom=0"));
    EXPECT_TRUE(Has(facts, "cell 0 4099 1 number 4099.0"));
    FreexlBook reader(path);
    ASSERT_TRUE(reader.ok());
    EXPECT_EQ(reader.Cell(0, 4099, 0).number, 4099);
}

TEST(WorkbookLimits, TwentyMegabyteWorkbookUsesDifatSectors) {
    ScratchDir dir;
    std::string path = dir.Path("big.xls");
    ASSERT_TRUE(WriteBigSample(path).ok());
    EXPECT_GT(std::filesystem::file_size(path), 20u * 1024 * 1024);
    EXPECT_GT(HeaderWord(path, 72), 0u) << "DIFAT sector count in the compound file header";

    FreexlBook book(path);
    ASSERT_TRUE(book.ok()) << book.openError();
    ASSERT_EQ(book.SheetCount(), static_cast<unsigned>(kBigSheets));
    const unsigned last = kBigSheets - 1;
    EXPECT_EQ(book.SheetName(last), "Big (4)");
    EXPECT_EQ(book.Cell(last, 65535, kBigColumns - 1).number, BigSampleValue(last, 65535, kBigColumns - 1));
    EXPECT_EQ(book.Cell(0, 0, 0).number, BigSampleValue(0, 0, 0));

    auto facts = XlrdFacts(path, 1);
    std::string lastCell = FactAfter(facts, "cell 3 65535 4 number ");
    EXPECT_EQ(std::strtod(lastCell.c_str(), nullptr), BigSampleValue(3, 65535, 4)) << lastCell;
    EXPECT_EQ(CountFacts(facts, "stats 3 0 327680 "), 1) << "no text, all numbers in the last sheet";
}

}  // namespace
}  // namespace xls_test
