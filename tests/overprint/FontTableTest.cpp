// Font objects as the output receives them: built-in dictionaries and
// descriptors, and fonts from the external font file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "overprint/FontTable.h"

namespace tarn::overprint {
namespace {

// Numbers objects from 12 and keeps each written object as the writer would.
struct RecordingSink : PdfObjectSink {
    int counter = 12;
    std::vector<std::string> written;
    int TakeObjectNumber() override { return counter++; }
    void WriteObject(int number, const std::string& text) override {
        written.push_back(std::to_string(number) + " 0 " + text + "endobj\n");
    }
};

std::vector<std::string> Write(std::vector<int> fonts, const std::string& external = "") {
    RecordingSink sink;
    FontUsed used{};
    for (int n : fonts) used[n] = 1;
    WriteUsedFonts(sink, external, &used);
    return sink.written;
}

int CountNumbers(const std::string& array) {
    int count = 0;
    bool inNumber = false;
    for (char c : array) {
        bool digit = c >= '0' && c <= '9';
        if (digit && !inNumber) ++count;
        inNumber = digit;
    }
    return count;
}

TEST(FontTable, StandardFontIsOneObject) {
    EXPECT_EQ(Write({0}),
              std::vector<std::string>{"12 0 obj\n<< /Type /Font /Subtype /Type1 /Name /FilL0 /BaseFont "
                                       "/Courier /Encoding /WinAnsiEncoding\n>>\nendobj\n"});
}

TEST(FontTable, DescribedFontIsDescriptorThenDictionary) {
    std::vector<std::string> objects = Write({14});
    ASSERT_EQ(objects.size(), 2u);
    EXPECT_EQ(objects[0],
              "12 0 obj\n<< /Type /FontDescriptor /FontName /AvantGarde-Book /FontBBox "
              "[-113 -222 1148 955] /Flags 32 /ItalicAngle 0 /Ascent 740 /Descent -192 "
              "/CapHeight 740 /XHeight 547 /StemV 70 >>\nendobj\n");
    EXPECT_EQ(objects[1].substr(0, 13), "13 0 obj\n<< /");
    EXPECT_NE(objects[1].find("/FirstChar 32 /LastChar 251"), std::string::npos);
    EXPECT_NE(objects[1].find("/FontDescriptor 12 0 R >>\nendobj\n"), std::string::npos);
}

TEST(FontTable, TableRowsNamesWidthCountsAndMonospacedWidths) {
    // The /Name spelling differs between rows; 39-61 have none.
    EXPECT_NE(BuiltinFontDictionary(16).find("/Name /FilL16 "), std::string::npos);
    EXPECT_NE(BuiltinFontDictionary(17).find("/Name /Fill17 /BaseFont /AvantGarde-DemiOblique "
                                             "/Encoding /MacRomanEncoding"),
              std::string::npos);
    EXPECT_NE(BuiltinFontDictionary(29).find("/Name /FilL29 "), std::string::npos);
    EXPECT_NE(BuiltinFontDictionary(38).find("/Name /Fill38 "), std::string::npos);
    EXPECT_EQ(BuiltinFontDictionary(39).find("/Name"), std::string::npos);
    EXPECT_NE(BuiltinFontDictionary(47).find("/Subtype /TrueType /BaseFont /Cougel,Bold"), std::string::npos);
    for (int n = 14; n < kBuiltinFontCount; ++n) {
        const std::string dict = BuiltinFontDictionary(n);
        const std::size_t open = dict.find("/Widths [");
        ASSERT_NE(open, std::string::npos) << n;
        const std::string array = dict.substr(open, dict.find(']', open) - open);
        const int expected = n <= 38 ? 220 : (n == 53 ? 224 : 256);
        EXPECT_EQ(CountNumbers(array), expected) << "font " << n;
        EXPECT_FALSE(BuiltinFontDescriptor(n).empty()) << n;
    }
    EXPECT_NE(BuiltinFontDictionary(58).find("[600 600 600 "), std::string::npos);
    EXPECT_NE(BuiltinFontDictionary(43).find(" 603 603]"), std::string::npos);
    // Arial's metrics: space 278, "A" 667 (codes 32 and 65 of 0-255).
    const std::string arial = BuiltinFontDictionary(39);
    EXPECT_NE(arial.find("278 278 355 556"), std::string::npos);
    EXPECT_NE(BuiltinFontDescriptor(15).find("/ItalicAngle -10.5 "), std::string::npos);
    EXPECT_TRUE(BuiltinFontDescriptor(13).empty());
    EXPECT_FALSE(IsFontNumber(62));
    EXPECT_FALSE(IsFontNumber(99));
    EXPECT_TRUE(IsFontNumber(100) && IsFontNumber(199) && IsFontNumber(61));
}

const char kExternal[] =
    "-------Font begin-----------\r\n"
    "/Type /Font /BaseFont /First\r\n"
    "-------Font Descriptor------\r\n"
    "/FontName /First\r\n"
    "-------Font begin-----------\r\n"
    "/Type /Font /BaseFont /Second\r\n"
    "-------Font Descriptor------\r\n"
    "/FontName /Second\r\n"
    "-------Font File------------\r\n"
    "/FontFile2\r\n"
    "/Length 4 >>\rstream\rDATA\rendstream\r\n"
    "-------Font add key beg-----\r\n"
    "/ToUnicode\r\n"
    "/Length 0 >>stream\rendstream\r\n"
    "-------Font begin-----------\r\n"
    "/Type /Font /BaseFont /Third\r\n"
    "-------Font begin-----------\r\n"
    "/Type /Font /BaseFont /Fourth\r\n"
    "-------Font Descriptor------\r\n"
    "/FontName /Fourth\r\n"
    "-------Font end-------------\r\n"
    "/Lost /AfterTheLastMarker\r\n";

TEST(FontTable, ExternalFontsFromOnePassOverTheFile) {
    // Fonts 101 and 103: sections 2 and 4 are used, section 3 is skipped.
    std::vector<std::string> objects = Write({101, 103}, kExternal);
    ASSERT_EQ(objects.size(), 6u);
    EXPECT_EQ(objects[0], "12 0 obj\n<</Length 4 >>\rstream\rDATA\rendstream\rendobj\n");
    EXPECT_EQ(objects[1], "13 0 obj\n<</Length 0 >>stream\rendstream\rendobj\n");
    EXPECT_EQ(objects[2], "14 0 obj\n<</FontName /Second\r/FontFile2 12 0 R >>\nendobj\n");
    EXPECT_EQ(objects[3],
              "15 0 obj\n<</Type /Font /BaseFont /Second\r/ToUnicode 13 0 R "
              "/FontDescriptor 14 0 R >>\nendobj\n");
    EXPECT_EQ(objects[4], "16 0 obj\n<</FontName /Fourth\r>>\nendobj\n");
    EXPECT_EQ(objects[5],
              "17 0 obj\n<</Type /Font /BaseFont /Fourth\r/FontDescriptor 16 0 R "
              ">>\nendobj\n");
}

TEST(FontTable, ExternalFontWithoutSectionAndBuiltinsInOrder) {
    std::vector<std::string> objects = Write({150, 0}, kExternal);
    ASSERT_EQ(objects.size(), 3u);
    EXPECT_EQ(objects[0].substr(0, 9), "12 0 obj\n");
    EXPECT_NE(objects[0].find("/Courier"), std::string::npos);
    EXPECT_EQ(objects[1], "13 0 obj\n<<>>\nendobj\n");
    EXPECT_EQ(objects[2], "14 0 obj\n<</FontDescriptor 13 0 R >>\nendobj\n");
}

TEST(FontTable, KeyLineOfAFileWithoutCarriageReturnsKeepsItsLastByte) {
    std::vector<std::string> objects =
        Write({100},
              "-------Font begin-----------\n/BaseFont /A\n-------Font File------------\n"
              "/FontFile3\n/Length 0 >>stream\nendstream\n-------Font end-------------\n");
    ASSERT_EQ(objects.size(), 3u);
    EXPECT_EQ(objects[1], "13 0 obj\n<</FontFile3 12 0 R >>\nendobj\n");
}

}  // namespace
}  // namespace tarn::overprint
