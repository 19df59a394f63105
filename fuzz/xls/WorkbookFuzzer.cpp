// The workbook library over random sheets: texts of lengths around the record
// (8224 data bytes), sector (512 and 4096 bytes) and cell (32767 characters)
// limits, numbers of any bit pattern, merges and column widths. Every saved
// workbook is read back by libfreexl; each cell must hold what was written.
// libfreexl 1.0.6 overruns its buffer on a shared string spanning three or
// more records, so a workbook holding one is only written, not read back.

#include <iconv.h>
#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "tests/xls/XlsReaders.h"
#include "xls/Workbook.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

// Reads the input front to back; past its end every value is 0.
class Input {
  public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool empty() const { return pos_ >= size_; }
    std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    std::uint16_t Word() { return static_cast<std::uint16_t>(Byte() | Byte() << 8); }
    double Double() {
        std::uint64_t bits = 0;
        for (int i = 0; i < 8; ++i) bits |= static_cast<std::uint64_t>(Byte()) << (8 * i);
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// Lengths where a string's bytes cross a boundary of the file's structure.
constexpr std::size_t kEdgeLengths[] = {0,    1,    255,   256,   511,   512,   513,   4095,
                                        4096, 4097, 8214,  8215,  8216,  8219,  8220,  8223,
                                        8224, 8225, 16440, 16448, 16449, 32766, 32767, 32768};

// The text as libfreexl returns it: code page 1252 decoded to UTF-8. False
// for bytes the code page leaves undefined (the comparison is then skipped).
bool Cp1252ToUtf8(const std::string& text, std::string* out) {
    static iconv_t cd = iconv_open("UTF-8", "CP1252");
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    out->assign(text.size() * 3 + 4, '\0');
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    char* to = out->data();
    std::size_t toLeft = out->size();
    if (iconv(cd, &in, &inLeft, &to, &toLeft) == static_cast<std::size_t>(-1)) return false;
    out->resize(out->size() - toLeft);
    return true;
}

struct Expected {
    bool text = false;
    std::string value;
    double number = 0;
};

const std::string& Folder() {
    static const std::string folder = [] {
        std::string pattern = "/tmp/xls-fuzz-XXXXXX";
        Check(::mkdtemp(pattern.data()) != nullptr);
        return pattern;
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarn::xls;
    Input input(data, size);
    std::unique_ptr<Workbook> book = Workbook::Create();
    const int sheetCount = 1 + input.Byte() % 3;
    std::vector<Sheet*> sheets;
    for (int s = 0; s < sheetCount; ++s) {
        std::string name(input.Byte() % 40, '\0');
        for (char& c : name) c = static_cast<char>(input.Byte());
        Sheet* sheet = book->AddSheet(name);
        Check(sheet != nullptr);
        sheets.push_back(sheet);
    }
    Format* bold = book->AddFormat();
    Font* font = book->AddFont();
    font->SetBold(true);
    bold->SetFont(font);

    std::map<std::tuple<int, int, int>, Expected> cells;
    std::size_t textBytes = 0;
    bool spansManyRecords = false;
    for (int op = 0; op < 64 && !input.empty(); ++op) {
        const std::uint8_t kind = input.Byte();
        const int s = kind % sheetCount;
        // Rows and columns near both ends of the sheet, one past each included.
        // The last rows are rare: the reader sizes its cell table by them.
        const std::uint16_t r = input.Word();
        const int row = (r & 0xF000) == 0xF000 ? kMaxRows - 2 + (r & 3) : r & 0x01FF;
        const std::uint8_t c = input.Byte();
        const int col = (c & 0x80) ? kMaxColumns - 2 + (c & 3) : c;
        const Format* format = (kind & 0x40) ? bold : nullptr;
        bool written = false;
        Expected value;
        switch ((kind >> 2) % 4) {
        case 0:
        case 1: {
            std::size_t length = kEdgeLengths[input.Byte() % std::size(kEdgeLengths)];
            if (textBytes + length > (1u << 20)) break;  // keeps one run fast
            const std::uint8_t seed = input.Byte(), step = input.Byte();
            value.text = true;
            value.value.resize(length);
            for (std::size_t i = 0; i < length; ++i)
                value.value[i] = static_cast<char>(seed + step * (i % 251));
            textBytes += length;
            // Bytes 0x80 to 0x9F are characters above U+00FF: stored as two bytes each.
            bool wide = false;
            for (char b : value.value) wide = wide || (static_cast<std::uint8_t>(b) & 0xE0) == 0x80;
            if (length * (wide ? 2 : 1) > kMaxRecordData - 24) spansManyRecords = true;
            written = sheets[s]->WriteText(row, col, value.value, format);
            Check(written == (row < kMaxRows && col < kMaxColumns && length <= kMaxTextChars));
            break;
        }
        case 2:
            value.number = input.Double();
            written = sheets[s]->WriteNumber(row, col, value.number, format);
            Check(written == (row < kMaxRows && col < kMaxColumns && std::isfinite(value.number)));
            break;
        default:
            if (kind & 1) {
                sheets[s]->SetColumn(col % kMaxColumns, (col + input.Byte()) % kMaxColumns,
                                     input.Byte() / 4.0);
            } else {
                const int lastRow = row + input.Byte() % 4;
                sheets[s]->SetMerge(row, lastRow, col, col + input.Byte() % 4);
            }
            break;
        }
        if (written) cells[{s, row, col}] = value;
    }

    const std::string path = Folder() + "/book.xls";
    Check(book->Save(path).ok());
    if (spansManyRecords) return 0;
    xls_test::FreexlBook read(path);
    Check(read.ok());
    Check(read.SheetCount() == static_cast<unsigned>(sheetCount));
    for (const auto& [where, expected] : cells) {
        const auto& [s, row, col] = where;
        xls_test::FreexlCell cell = read.Cell(s, row, static_cast<unsigned short>(col));
        if (expected.text) {
            std::string utf8;
            if (expected.value.empty()) {
                Check(cell.kind == "null" || (cell.kind == "text" && cell.text.empty()));
            } else if (Cp1252ToUtf8(expected.value, &utf8) && utf8.find('\0') == std::string::npos) {
                Check(cell.kind == "text" && cell.text == utf8);
            } else {
                Check(cell.kind == "text");
            }
        } else {
            Check((cell.kind == "int" || cell.kind == "double") && cell.number == expected.number);
        }
    }
    ::unlink(path.c_str());
    return 0;
}
