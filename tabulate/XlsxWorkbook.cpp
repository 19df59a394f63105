#include "tabulate/XlsxWorkbook.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <vector>

#include "platform/File.h"
#include "platform/TempFile.h"
#include "xls/DateSerial.h"
#include "xls/FontStyle.h"
#include "xls/NumberFormats.h"
#include "xls/SheetNames.h"
#include "xls/TextDecoder.h"

namespace tarn::tabulate {
namespace {

constexpr double kMaxColumnWidth = 255.0;
constexpr size_t kMaxTextChars = 32767;
// Font of every cell that names none, as in the .xls workbook.
constexpr const char* kDefaultFontName = "Arial";
constexpr int kDefaultFontPoints = 10;

class XlsxBook;

class XlsxFormat : public xls::Format {
  public:
    XlsxFormat(XlsxBook* book, lxw_format* format) : book_(book), format_(format) {
        format_set_font_name(format_, kDefaultFontName);
        format_set_font_size(format_, kDefaultFontPoints);
    }
    void SetFont(xls::Font* font) override;
    void SetNumberFormat(int formatId) override;
    int NumberFormatId() const override { return formatId_; }
    void SetHorizontalAlignment(xls::HAlign align) override {
        static const uint8_t kAlign[] = {LXW_ALIGN_NONE, LXW_ALIGN_LEFT, LXW_ALIGN_CENTER, LXW_ALIGN_RIGHT};
        format_set_align(format_, kAlign[static_cast<int>(align)]);
    }
    // The border styles are numbered alike in both formats.
    void SetTopBorder(xls::BorderStyle style) override {
        format_set_top(format_, static_cast<uint8_t>(style));
    }
    void SetBottomBorder(xls::BorderStyle style) override {
        format_set_bottom(format_, static_cast<uint8_t>(style));
    }
    lxw_format* Handle() const { return format_; }

  private:
    XlsxBook* book_;
    lxw_format* format_;
    int formatId_ = 0;
};

class XlsxSheet : public xls::Sheet {
  public:
    XlsxSheet(XlsxBook* book, lxw_worksheet* sheet) : book_(book), sheet_(sheet) {}
    bool WriteText(int row, int col, std::string_view text, const xls::Format* format) override;
    bool WriteNumber(int row, int col, double value, const xls::Format* format) override;
    void SetColumn(int firstCol, int lastCol, double width) override {
        if (firstCol < 0 || lastCol >= kXlsxSheetColumns || firstCol > lastCol || !std::isfinite(width))
            return;
        worksheet_set_column(sheet_, static_cast<lxw_col_t>(firstCol), static_cast<lxw_col_t>(lastCol),
                             std::clamp(width, 0.0, kMaxColumnWidth), nullptr);
    }
    void SetMerge(int firstRow, int lastRow, int firstCol, int lastCol) override;

  private:
    lxw_format* FormatOf(const xls::Format* format) const;

    XlsxBook* book_;
    lxw_worksheet* sheet_;
    // The last text written: the library writes a merged range's first cell
    // itself, so the merge repeats it.
    int lastRow_ = -1;
    int lastCol_ = -1;
    std::string lastText_;
    lxw_format* lastFormat_ = nullptr;
};

class XlsxBook : public xls::Workbook {
  public:
    // `tempPath` lies in the private folder `tempFolder`, which goes with the book.
    XlsxBook(lxw_workbook* book, std::string tempFolder, std::string tempPath)
        : book_(book), tempFolder_(std::move(tempFolder)), tempPath_(std::move(tempPath)) {
        plainFormat_ = std::make_unique<XlsxFormat>(this, workbook_add_format(book_));
    }
    ~XlsxBook() override {
        if (book_ != nullptr) lxw_workbook_free(book_);
        if (!tempPath_.empty()) tarn::RemoveFile(tempPath_);
        std::error_code ignored;
        std::filesystem::remove(tempFolder_, ignored);
    }

    void SetCodePage(int codePage) override { decoder_.SetCodePage(codePage); }
    void SetLocale(const std::string&) override {}
    xls::Font* AddFont() override {
        fonts_.push_back(std::make_unique<xls::FontStyle>());
        return fonts_.back().get();
    }
    xls::Format* AddFormat() override {
        formats_.push_back(std::make_unique<XlsxFormat>(this, workbook_add_format(book_)));
        return formats_.back().get();
    }
    int AddCustomNumberFormat(const std::string& formatText) override {
        return numberFormats_.Add(formatText, decoder_.Decode(formatText));
    }
    std::string CustomNumberFormatText(int formatId) const override { return numberFormats_.Text(formatId); }
    double PackDate(int year, int month, int day, int hour, int minute, int second) const override {
        return xls::DateSerial(year, month, day, hour, minute, second);
    }
    xls::Sheet* AddSheet(const std::string& name) override {
        const std::string unique = Utf8FromUtf16(sheetNames_.Claim(decoder_.Decode(name)));
        lxw_worksheet* sheet = workbook_add_worksheet(book_, unique.c_str());
        if (sheet == nullptr) return nullptr;
        sheets_.push_back(std::make_unique<XlsxSheet>(this, sheet));
        return sheets_.back().get();
    }
    tarn::Status Save(const std::string& path) override {
        if (sheets_.empty()) return tarn::Status::Error(path + ": a workbook needs at least one sheet");
        const lxw_error closed = workbook_close(book_);
        book_ = nullptr;  // closed frees it, whatever the result
        if (closed != LXW_NO_ERROR) return tarn::Status::Error(path + ": " + lxw_strerror(closed));
        tarn::Status st = tarn::RenameFile(tempPath_, path);
        if (st.ok()) tempPath_.clear();
        return st;
    }

    std::string Utf8(const std::string& bytes) { return Utf8FromUtf16(decoder_.Decode(bytes)); }
    std::u16string Decode(std::string_view bytes) { return decoder_.Decode(bytes); }
    const xls::NumberFormats& NumberFormats() const { return numberFormats_; }
    lxw_format* PlainFormat() const { return plainFormat_->Handle(); }

  private:
    lxw_workbook* book_;
    std::string tempFolder_;
    std::string tempPath_;
    xls::TextDecoder decoder_;
    xls::NumberFormats numberFormats_;
    xls::SheetNames sheetNames_;
    std::unique_ptr<XlsxFormat> plainFormat_;
    std::vector<std::unique_ptr<xls::FontStyle>> fonts_;
    std::vector<std::unique_ptr<XlsxFormat>> formats_;
    std::vector<std::unique_ptr<XlsxSheet>> sheets_;
};

void XlsxFormat::SetFont(xls::Font* font) {
    const auto* style = dynamic_cast<const xls::FontStyle*>(font);
    if (style == nullptr) return;
    format_set_font_name(format_, book_->Utf8(style->Name()).c_str());
    format_set_font_size(format_, style->Points());
    if (style->Bold()) format_set_bold(format_);
}

void XlsxFormat::SetNumberFormat(int formatId) {
    const std::string text = book_->NumberFormats().Text(formatId);
    if (text.empty()) return;
    formatId_ = formatId;
    format_set_num_format(format_, book_->Utf8(text).c_str());
}

lxw_format* XlsxSheet::FormatOf(const xls::Format* format) const {
    const auto* own = dynamic_cast<const XlsxFormat*>(format);
    return own == nullptr ? book_->PlainFormat() : own->Handle();
}

bool XlsxSheet::WriteText(int row, int col, std::string_view text, const xls::Format* format) {
    if (row < 0 || row >= kXlsxSheetRows || col < 0 || col >= kXlsxSheetColumns) return false;
    const std::u16string decoded = book_->Decode(text);
    if (decoded.size() > kMaxTextChars) return false;
    lxw_format* handle = FormatOf(format);
    lastRow_ = row;
    lastCol_ = col;
    lastText_ = Utf8FromUtf16(decoded);
    lastFormat_ = handle;
    const lxw_error written =
        decoded.empty()
            ? worksheet_write_blank(sheet_, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(col), handle)
            : worksheet_write_string(sheet_, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(col),
                                     lastText_.c_str(), handle);
    return written == LXW_NO_ERROR;
}

bool XlsxSheet::WriteNumber(int row, int col, double value, const xls::Format* format) {
    if (row < 0 || row >= kXlsxSheetRows || col < 0 || col >= kXlsxSheetColumns || !std::isfinite(value)) {
        return false;
    }
    return worksheet_write_number(sheet_, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(col), value,
                                  FormatOf(format)) == LXW_NO_ERROR;
}

void XlsxSheet::SetMerge(int firstRow, int lastRow, int firstCol, int lastCol) {
    if (firstRow < 0 || firstCol < 0 || lastRow >= kXlsxSheetRows || lastCol >= kXlsxSheetColumns) return;
    if (firstRow > lastRow || firstCol > lastCol) return;
    if (firstRow == lastRow && firstCol == lastCol) return;
    const bool known = firstRow == lastRow_ && firstCol == lastCol_;
    worksheet_merge_range(sheet_, static_cast<lxw_row_t>(firstRow), static_cast<lxw_col_t>(firstCol),
                          static_cast<lxw_row_t>(lastRow), static_cast<lxw_col_t>(lastCol),
                          known ? lastText_.c_str() : "", known ? lastFormat_ : nullptr);
}

}  // namespace

std::string Utf8FromUtf16(const std::u16string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::unique_ptr<xls::Workbook> CreateXlsxWorkbook(const std::string& workbookPath) {
    const std::string::size_type slash = workbookPath.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string("./") : workbookPath.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? workbookPath : workbookPath.substr(slash + 1);
    if (base.empty()) return nullptr;
    // The library opens its file by name when it closes the book. In a
    // folder of our own (mode 0700) no one else can put a link under that
    // name meanwhile; the rename then moves the finished file into place.
    std::string tempFolder;
    if (!tarn::CreatePrivateFolder(folder, "." + base + ".", &tempFolder).ok()) return nullptr;
    const std::string temp = tempFolder + "/workbook.xlsx";
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.use_zip64 = LXW_TRUE;  // sheets of a million rows pass 4 GB uncompressed
    lxw_workbook* book = workbook_new_opt(temp.c_str(), &options);
    if (book == nullptr) {
        std::error_code ignored;
        std::filesystem::remove(tempFolder, ignored);
        return nullptr;
    }
    return std::make_unique<XlsxBook>(book, tempFolder, temp);
}

}  // namespace tarn::tabulate
