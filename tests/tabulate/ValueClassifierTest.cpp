// Numbers, dates and text: ClassifyValue and ParseDate.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tabulate/ColumnSpec.h"
#include "tabulate/ValueClassifier.h"

namespace tarn::tabulate {
namespace {

ParsedValue Classify(const std::string& value, const std::string& dec = ".", const std::string& group = ",") {
    return ValueClassifier(dec, group, "mm/dd/yy").ClassifyValue(value);
}

void ExpectNumber(const ParsedValue& parsed, const std::string& number, const std::string& format) {
    EXPECT_EQ(parsed.kind, kTypeNumber);
    EXPECT_EQ(parsed.number, number);
    EXPECT_EQ(NumberFormatText(parsed), format);
}

TEST(ClassifyValue, NumbersAndSignMarkers) {
    ExpectNumber(Classify("1,234.50"), "1234.50", "#,##0.00");
    ExpectNumber(Classify("(1,234.50)"), "-1234.50", "#,##0.00");
    ExpectNumber(Classify("75.00CR"), "-75.00", "#,##0.00");
    ExpectNumber(Classify("75.00cr"), "-75.00", "#,##0.00");
    ExpectNumber(Classify("75.00DR"), "75.00", "#,##0.00");
    ExpectNumber(Classify("$1,000"), "1000", "$ #,##0");
    ExpectNumber(Classify("  -42  "), "-42", "#,##0");
    ExpectNumber(Classify(".5"), ".5", "#,##0.0");
    ExpectNumber(Classify("12."), "12.", "#,##0");
    // A blank between the number and a removed marker leaves text.
    EXPECT_EQ(Classify("75.00 CR").kind, kTypeText);
    EXPECT_EQ(Classify("n/a").kind, kTypeText);
    EXPECT_EQ(Classify("1.2.3").kind, kTypeText);
}

TEST(ClassifyValue, DashPlaceholdersAreZeroAndTwoSignsStayText) {
    // A lone sign or marker is the printed zero of an amount column.
    for (const char* value : {"-", ".", "$", "CR", "()", "+"}) {
        EXPECT_EQ(Classify(value).kind, kTypeNumber) << value;
        EXPECT_EQ(std::atof(Classify(value).number.c_str()), 0.0) << value;
    }
    EXPECT_EQ(Classify("(-5)").kind, kTypeText);
    EXPECT_EQ(Classify("-5CR").kind, kTypeText);
}

TEST(ClassifyValue, EuropeanAndMultiByteSeparators) {
    ExpectNumber(Classify("1.234,50", ",", "."), "1234.50", "#,##0.00");
    ExpectNumber(Classify("-0,5", ",", "."), "-0.5", "#,##0.0");
    // Separators of several bytes, as some locales give them.
    ExpectNumber(Classify("1\xC2\xA0"
                          "234,75",
                          ",", "\xC2\xA0"),
                 "1234.75", "#,##0.00");
    ExpectNumber(Classify("12::5", "::", ""), "12.5", "#,##0.0");
    // With no decimal separator there are no decimals.
    ExpectNumber(Classify("1234", "", ""), "1234", "#,##0");
}

TEST(ClassifyValue, DateShape) {
    EXPECT_EQ(Classify("01/31/09").kind, kTypeDate);
    EXPECT_EQ(Classify("1/31/2009").kind, kTypeDate);
    EXPECT_EQ(Classify("1/1/1").kind, kTypeDate);
    EXPECT_EQ(Classify("2009-01-31").kind, kTypeText);
    EXPECT_EQ(Classify("12/2009").kind, kTypeText);
    EXPECT_EQ(Classify("01/31/20091").kind, kTypeText);  // 11 bytes
    EXPECT_EQ(Classify("1//1").kind, kTypeText);
}

TEST(ParseDate, FieldOrderFromTheDateFormat) {
    DateParts date;
    ValueClassifier us(".", ",", "mm/dd/yy");
    ASSERT_TRUE(us.ParseDate("01/31/09", &date));
    EXPECT_EQ(date.month, 1);
    EXPECT_EQ(date.day, 31);
    EXPECT_EQ(date.year, 9);

    ValueClassifier european(",", ".", "dd/mm/yyyy");
    ASSERT_TRUE(european.ParseDate("31/01/2009", &date));
    EXPECT_EQ(date.day, 31);
    EXPECT_EQ(date.month, 1);
    EXPECT_EQ(date.year, 2009);

    ValueClassifier iso(".", ",", "YYYY/MM/DD");
    ASSERT_TRUE(iso.ParseDate("2009/02/30", &date));  // no range check here
    EXPECT_EQ(date.year, 2009);
    EXPECT_EQ(date.month, 2);
    EXPECT_EQ(date.day, 30);
    // Text after a third "/" is ignored; an empty part fails.
    ASSERT_TRUE(iso.ParseDate("2009/3/4/junk", &date));
    EXPECT_EQ(date.day, 4);
    EXPECT_FALSE(iso.ParseDate("2009//4", &date));
    EXPECT_FALSE(iso.ParseDate("2009/4", &date));
}

TEST(ParseDate, FormatWithoutSlashesFailsEveryDate) {
    DateParts date;
    ValueClassifier dotted(".", ",", "dd.mm.yyyy");
    EXPECT_FALSE(dotted.ParseDate("31/01/2009", &date));
    EXPECT_FALSE(dotted.ParseDate("31/01/2009", &date));
    ValueClassifier unknownLetter(".", ",", "dd/qq/yy");
    EXPECT_FALSE(unknownLetter.ParseDate("31/01/09", &date));
}

TEST(NumberTextValue, ReadsEveryNumberTextAsTheCorrectlyRoundedValue) {
    // Short and long digit runs, every decimal count, against strtod.
    std::uint64_t seed = 7;
    auto next = [&seed] { return (seed = seed * 6364136223846793005ull + 1442695040888963407ull) >> 33; };
    std::vector<std::string> texts = {"0",
                                      "-0.00",
                                      ".5",
                                      "5.",
                                      "-",
                                      "123456789012345",
                                      "1234567890123456",
                                      "0.0000000000000000000001",
                                      "9007199254740993",
                                      "-99999999999999.9"};
    for (int i = 0; i < 20000; ++i) {
        std::string digits = std::to_string(next()) + std::to_string(next());
        digits.resize(1 + next() % 24);
        const size_t point = next() % (digits.size() + 1);
        std::string text = (next() % 3 == 0 ? "-" : "") + digits.substr(0, point);
        if (point < digits.size() || next() % 2 == 0) text += "." + digits.substr(point);
        texts.push_back(text);
    }
    for (const std::string& text : texts) {
        const double expected = text == "-" ? 0.0 : std::strtod(text.c_str(), nullptr);
        const double value = NumberTextValue(text);
        EXPECT_EQ(std::memcmp(&value, &expected, sizeof value), 0) << text;
    }
}

}  // namespace
}  // namespace tarn::tabulate
