#include "tests/xls/SampleWorkbooks.h"

#include "xls/Workbook.h"

namespace xls_test {

tarn::Status WriteReportSample(const std::string& path) {
    auto book = tarn::xls::Workbook::Create();
    book->SetLocale("EN_US");
    tarn::xls::Font* valueFont = book->AddFont();
    valueFont->SetSize(10);
    tarn::xls::Font* headerFont = book->AddFont();
    headerFont->SetSize(10);
    headerFont->SetBold(true);
    tarn::xls::Font* blockFont = book->AddFont();
    blockFont->SetName("Courier New");
    blockFont->SetSize(10);
    blockFont->SetBold(true);
    tarn::xls::Format* header = book->AddFormat();
    header->SetFont(headerFont);
    header->SetHorizontalAlignment(tarn::xls::HAlign::kCenter);
    header->SetBottomBorder(tarn::xls::BorderStyle::kMedium);
    tarn::xls::Format* block = book->AddFormat();
    block->SetFont(blockFont);
    tarn::xls::Format* amount = book->AddFormat();
    amount->SetNumberFormat(book->AddCustomNumberFormat("#,##0.00"));
    amount->SetFont(valueFont);
    tarn::xls::Format* date = book->AddFormat();
    date->SetNumberFormat(book->AddCustomNumberFormat("mm/dd/yy"));
    date->SetFont(valueFont);

    tarn::xls::Sheet* sheet = book->AddSheet("Sheet1");
    const char* titles[] = {"VENDOR", "DESCRIPTION", "AMOUNT", "DUE DATE"};
    for (int i = 0; i < 4; ++i) sheet->WriteText(0, i, titles[i], header);
    sheet->WriteText(1, 0, "V001", nullptr);
    sheet->WriteText(1, 1, "Office supplies \x80 5", nullptr);
    sheet->WriteNumber(1, 2, 1234.5, amount);
    sheet->WriteNumber(1, 3, book->PackDate(2009, 1, 31, 0, 0, 0), date);
    sheet->WriteText(2, 0, "V002", nullptr);
    sheet->WriteText(2, 1, "Caf\xE9 paper", nullptr);
    sheet->WriteNumber(2, 2, -12, amount);
    sheet->WriteNumber(2, 3, book->PackDate(2009, 2, 30, 0, 0, 0), date);
    const double widths[] = {7, 16, 8, 9};
    tarn::xls::Format* end = book->AddFormat();
    end->SetTopBorder(tarn::xls::BorderStyle::kThick);
    for (int i = 0; i < 4; ++i) {
        sheet->SetColumn(i, i, widths[i]);
        sheet->WriteText(4, i, i == 0 ? "END OF REPORT" : "", end);
    }
    sheet->SetMerge(4, 4, 0, 3);
    sheet->WriteText(7, 0, "Company: NORTH DIVISION", block);
    sheet->SetMerge(7, 7, 0, 3);
    return book->Save(path);
}

tarn::Status WriteSameNameSample(const std::string& path) {
    auto book = tarn::xls::Workbook::Create();
    const char* requested[] = {"Sheet1", "Sheet1", "sheet1", "Sheet1"};
    for (int i = 0; i < 4; ++i) {
        tarn::xls::Sheet* sheet = book->AddSheet(requested[i]);
        if (sheet == nullptr) return tarn::Status::Error("no sheet");
        sheet->WriteNumber(0, 0, i + 1, nullptr);
    }
    return book->Save(path);
}

const std::vector<std::string>& LongStrings() {
    static const std::vector<std::string> strings = [] {
        std::vector<std::string> v;
        std::string plain;
        for (int i = 0; i < 8300; ++i) plain.push_back(static_cast<char>('a' + i % 26));
        v.push_back(plain);
        std::string wide;
        for (int i = 0; i < 4500; ++i) wide.push_back(i % 10 == 0 ? '\x80' : static_cast<char>('A' + i % 26));
        v.push_back(wide);
        for (int n = 0; n < 600; ++n) {
            std::string s = "s" + std::to_string(n) + ":";
            std::size_t length = 30 + (static_cast<std::size_t>(n) * 53) % 700;
            while (s.size() < length) s.push_back(static_cast<char>('a' + s.size() % 26));
            if (n % 3 == 1) s[s.size() / 2] = '\x80';  // needs UTF-16
            if (n % 3 == 2) s[s.size() / 2] = '\xE9';  // still single-byte
            v.push_back(s);
        }
        return v;
    }();
    return strings;
}

const std::vector<std::string>& LongestStrings() {
    static const std::vector<std::string> strings = [] {
        std::string plain;
        for (int i = 0; i < 20000; ++i) plain.push_back(static_cast<char>('a' + i % 26));
        std::string wide;
        for (int i = 0; i < 32767; ++i) wide.push_back(i % 7 == 0 ? '\x80' : static_cast<char>('A' + i % 26));
        return std::vector<std::string>{plain, wide};
    }();
    return strings;
}

namespace {

tarn::Status WriteColumn(const std::string& path, const std::vector<std::string>& strings) {
    auto book = tarn::xls::Workbook::Create();
    tarn::xls::Sheet* sheet = book->AddSheet("Strings");
    for (std::size_t i = 0; i < strings.size(); ++i) {
        if (!sheet->WriteText(static_cast<int>(i), 0, strings[i], nullptr)) {
            return tarn::Status::Error("text refused");
        }
    }
    return book->Save(path);
}

}  // namespace

tarn::Status WriteLongStringSample(const std::string& path) { return WriteColumn(path, LongStrings()); }

tarn::Status WriteLongestStringSample(const std::string& path) { return WriteColumn(path, LongestStrings()); }

tarn::Status WriteAllRowsSample(const std::string& path) {
    auto book = tarn::xls::Workbook::Create();
    tarn::xls::Sheet* sheet = book->AddSheet("Rows");
    for (int r = 0; r < tarn::xls::kMaxRows; ++r) {
        sheet->WriteNumber(r, 0, r, nullptr);
        sheet->WriteText(r, 1, "r" + std::to_string(r % 100), nullptr);
    }
    return book->Save(path);
}

tarn::Status WriteManyMergesSample(const std::string& path) {
    auto book = tarn::xls::Workbook::Create();
    tarn::xls::Sheet* sheet = book->AddSheet("Merges");
    for (int r = 0; r < kMergeSampleRanges; ++r) {
        sheet->WriteText(r, 0, "m" + std::to_string(r), nullptr);
        sheet->SetMerge(r, r, 0, 2);
    }
    return book->Save(path);
}

tarn::Status WriteBigSample(const std::string& path) {
    auto book = tarn::xls::Workbook::Create();
    for (int s = 0; s < kBigSheets; ++s) {
        tarn::xls::Sheet* sheet = book->AddSheet("Big");
        for (int r = 0; r < tarn::xls::kMaxRows; ++r) {
            for (int c = 0; c < kBigColumns; ++c) sheet->WriteNumber(r, c, BigSampleValue(s, r, c), nullptr);
        }
    }
    return book->Save(path);
}

tarn::Status WriteCyrillicSample(const std::string& path) {
    auto book = tarn::xls::Workbook::Create();
    book->SetCodePage(1251);
    tarn::xls::Sheet* sheet = book->AddSheet("\xCE\xF2\xF7\xE5\xF2");  // "Отчет"
    sheet->WriteText(0, 0, "\xCF\xF0\xE8\xE2\xE5\xF2", nullptr);       // "Привет"
    return book->Save(path);
}

std::string Cp1252ToUtf8(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c == 0x80) {
            out += "\xE2\x82\xAC";
        } else if (c >= 0xA0) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    return out;
}

}  // namespace xls_test
