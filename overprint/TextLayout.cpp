#include "overprint/TextLayout.h"

#include <cstdint>

#include "overprint/Code128.h"
#include "overprint/Messages.h"
#include "platform/CanonicalPath.h"
#include "platform/File.h"

namespace tarn::overprint {
namespace {

inline constexpr int kEscape = 0x1B;
inline constexpr int kFormFeed = 0x0C;
// Bytes above this after a command letter are its sub-letter.
inline constexpr int kSubLetterAbove = 0x40;
// A digit followed by a byte below this ends a number without consuming it.
inline constexpr int kControlBelow = 0x20;
// Digits of the first argument, and of the further numbers of b, p and g.
inline constexpr int kArgumentDigits = 4;
inline constexpr int kPositionDigits = 5;
inline constexpr int kColourDigits = 4;
// A form name (command n) is at most this long and ends before a byte below 0x28.
inline constexpr std::size_t kFormNameMax = 50;
inline constexpr int kFormNameEndBelow = 0x28;
// Rendering modes 0-7 exist; others give 0.
inline constexpr int kMaxRenderMode = 7;
// Barcode data bytes 0x20-0x7F map to the values 0-95.
inline constexpr int kBarcodeFirstByte = 0x20;
inline constexpr int kBarcodeLastByte = 0x7F;
const char kDefaultColour[] = "0.0 0.0 0.0 rg\n";
const char kEmptyContent[] = " obj\n << /Length 0 >>\nstream\nendstream\n";

bool IsDigit(int c) { return c >= '0' && c <= '9'; }

// Letters, digits and " ,-.=_+" stand for themselves in a PDF literal string;
// every other byte gets a backslash in front (a PDF reader drops the
// backslash before bytes that are no escape and keeps the byte).
void AppendEscaped(std::string* text, int c) {
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || IsDigit(c) || c == ' ' || c == ',' ||
                 c == '-' || c == '.' || c == '=' || c == '_' || c == '+';
    if (!plain) text->push_back('\\');
    text->push_back(static_cast<char>(c));
}

// "%4.2f " of percent * 0.01, without the C locale's say in the decimal point.
std::string ColourComponent(long percent) {
    std::string s = std::to_string(percent / 100) + ".";
    long hundredths = percent % 100;
    if (hundredths < 10) s += '0';
    return s + std::to_string(hundredths) + " ";
}

void AppendInt(std::string* out, long long v) { *out += std::to_string(v); }

}  // namespace

// The text as the layout reads it: one byte at a time, a CR LF pair read as a
// single LF (the file is read as text).
class TextLayout::Reader {
  public:
    explicit Reader(const std::string& text) : text_(text) {}
    int Get() {
        if (pos_ >= text_.size()) return -1;
        unsigned char c = static_cast<unsigned char>(text_[pos_++]);
        if (c == '\r' && pos_ < text_.size() && text_[pos_] == '\n') {
            ++pos_;
            return '\n';
        }
        return c;
    }
    int Peek() {
        std::size_t saved = pos_;
        int c = Get();
        pos_ = saved;
        return c;
    }
    // Up to `maxDigits` decimal digits; the first non-digit is consumed. With
    // `stopBeforeControl` a digit followed by a control byte ends the number
    // and the control byte stays for the caller.
    long Number(int maxDigits, bool stopBeforeControl) {
        long value = 0;
        for (int digits = 0; digits < maxDigits; ++digits) {
            int c = Get();
            if (!IsDigit(c)) break;
            value = value * 10 + (c - '0');
            if (stopBeforeControl) {
                int next = Peek();
                if (next >= 0 && next < kControlBelow) break;
            }
        }
        return value;
    }

  private:
    const std::string& text_;
    std::size_t pos_ = 0;
};

struct TextLayout::State {
    std::int16_t font = 0, size = 0, spacing = 0, scale = 100, render = 0, rise = 0;
    std::string colour = kDefaultColour;
    std::int16_t x = 0, y = 0, lineNo = 1;
    std::string text;
    std::string form;
    bool pageJustBroken = false;
    bool atEnd = false;
    bool barcodeMode = false;
    Barcode barcode;
};

TextLayout::TextLayout(OverprintRun& run) : settings(run.settings), run_(run), pageForms_(&run.pageForms) {}

std::int16_t TextLayout::UsableFont(long n) {
    // Numbers that name no font (62-99, or outside 0-199) are drawn in font 0.
    if (n < 0 || n >= kFontSlots || !IsFontNumber(static_cast<int>(n))) n = 0;
    fontUsed_[static_cast<std::size_t>(n)] = 1;
    return static_cast<std::int16_t>(n);
}

bool TextLayout::LayOut(const std::string& textFileName) {
    std::string text;
    if (!ReadWholeFile(textFileName, &text).ok() || IsDirectory(textFileName)) {
        fontUsed_.fill(0);
        UsableFont(settings.fontNumber);
        PrintOut("*** Error open input text file " + textFileName + "***\n");
        return false;
    }
    LayOutText(text);
    return true;
}

void TextLayout::LayOutText(const std::string& text) {
    runs_.clear();
    barcodes_.clear();
    pageTable_.assign(1, 0);
    pageCount_ = 0;
    fontUsed_.fill(0);

    State st;
    st.font = UsableFont(settings.fontNumber);
    st.size = static_cast<std::int16_t>(settings.fontSize);
    st.spacing = static_cast<std::int16_t>(settings.lineSpace);
    st.scale = static_cast<std::int16_t>(settings.scale);
    st.form = pageForms_->empty() ? std::string() : pageForms_->front();

    Reader in(text);
    for (int c = in.Get(); c >= 0; c = in.Get()) {
        // Any printable byte after a page break makes that page real; the
        // code page's letters above 0x7F (accented names) count as well, or a
        // last page written in them would be dropped.
        if (c >= kControlBelow) st.pageJustBroken = false;
        switch (c) {
        case kEscape:
            Command(in, st);
            break;
        case '\n':
            if (in.Peek() == kFormFeed) {
                in.Get();
                EndLine(st, true);
            } else {
                EndLine(st, false);
            }
            break;
        case '\r':
            if (in.Peek() == '\n') in.Get();
            EndLine(st, false);
            break;
        case kFormFeed:
            EndLine(st, true);
            break;
        default:
            if (st.barcodeMode) {
                st.barcode.values.push_back(
                    c >= kBarcodeFirstByte && c <= kBarcodeLastByte ? c - kBarcodeFirstByte : 0);
            } else {
                AppendEscaped(&st.text, c);
            }
        }
    }
    st.atEnd = true;
    EndLine(st, false);
    if (pageForms_->size() > static_cast<std::size_t>(pageCount_) && pageCount_ > 0) {
        pageForms_->resize(static_cast<std::size_t>(pageCount_));
    }
}

void TextLayout::StoreRun(State& st) {
    TextRun run;
    run.lineNo = st.lineNo;
    run.fontNumber = st.font;
    run.fontSize = st.size;
    run.lineSpace = st.spacing;
    run.renderMode = st.render;
    run.rise = st.rise;
    run.scale = st.scale;
    run.colour = st.colour;
    run.x = st.x;
    run.y = st.y;
    run.text.swap(st.text);
    runs_.push_back(std::move(run));
    st.text.clear();
    st.x = st.y = 0;
}

void TextLayout::CloseBarcode(State& st) {
    if (!st.barcodeMode) return;
    barcodes_.push_back(std::move(st.barcode));
    st.barcode = Barcode();
    st.barcodeMode = false;
}

// A line end; `formFeed` when it breaks the page. The end of the text ends
// the page too, unless nothing printable followed the last form feed.
void TextLayout::EndLine(State& st, bool formFeed) {
    if (formFeed) {
        st.pageJustBroken = true;
        pageForms_->push_back(st.form);
    }
    CloseBarcode(st);
    StoreRun(st);
    ++st.lineNo;
    if (formFeed || st.atEnd) {
        pageTable_.push_back(runs_.size());
        if (!(st.atEnd && st.pageJustBroken)) ++pageCount_;
        st.lineNo = 1;
    }
}

void TextLayout::Command(Reader& in, State& st) {
    CloseBarcode(st);
    if (!st.text.empty()) StoreRun(st);
    const int letter = in.Get();
    if (letter < 0) return;
    int sub = 0;
    if (in.Peek() > kSubLetterAbove) sub = in.Get();
    const long arg = in.Number(kArgumentDigits, true);

    switch (letter) {
    case 'f':
        st.font = UsableFont(arg);
        break;
    case 's':
        st.size = static_cast<std::int16_t>(arg);
        break;
    case 'l':
        st.spacing = static_cast<std::int16_t>(arg);
        break;
    case 'z':
        st.scale = static_cast<std::int16_t>(arg);
        break;
    case 'r':
        st.render = static_cast<std::int16_t>(arg > kMaxRenderMode ? 0 : arg);
        break;
    case 'u':
        st.rise = static_cast<std::int16_t>(arg);
        break;
    case 'd':
        st.rise = static_cast<std::int16_t>(-arg);
        break;
    case 'g': {
        const long green = in.Number(kColourDigits, false);
        const long blue = in.Number(kColourDigits, false);
        st.colour = ColourComponent(arg) + ColourComponent(green) + ColourComponent(blue) + "rg \n";
        break;
    }
    case 'p':
        st.x = static_cast<std::int16_t>(arg);
        st.y = static_cast<std::int16_t>(in.Number(kPositionDigits, true));
        ++st.lineNo;
        break;
    case 'n': {
        std::string name;
        for (int c = in.Get(); c >= 0; c = in.Get()) {
            name.push_back(static_cast<char>(c));
            if (name.size() >= 5 && name.compare(name.size() - 3, 3, "%%%") == 0) break;
            if (name.size() >= kFormNameMax) break;
            const int next = in.Peek();
            if (next < kFormNameEndBelow) break;
        }
        SwitchForm(name, st);
        break;
    }
    case 'b': {
        Barcode& b = st.barcode;
        b = Barcode();
        switch (sub) {
        case 'B':
        case 'b':
            b.startCode = kCode128StartB;
            break;
        case 'C':
        case 'c':
            b.startCode = kCode128StartC;
            break;
        default:
            b.startCode = kCode128StartA;
        }
        b.moduleWidth = arg < 1 ? 1 : static_cast<int>(arg);
        b.height = static_cast<int>(in.Number(kPositionDigits, true));
        b.x = static_cast<int>(in.Number(kPositionDigits, true));
        b.top = static_cast<int>(in.Number(kPositionDigits, true));
        b.page = pageCount_;
        b.values.push_back(b.startCode);
        ++st.lineNo;
        st.barcodeMode = true;
        break;
    }
    default:
        break;  // unknown letters do nothing once their argument is read
    }
}

// Command n: the following pages use the form `name` from the forms folder
// (-d) or the program's folder. Both '/' and '\\' separate folders in the
// name. The name comes from report text sent over the network, so it must
// stay inside that folder. Without -d a name that leaves it is refused with a
// message and the pages keep their form; with -d it counts as a form that
// cannot be opened.
void TextLayout::SwitchForm(const std::string& name, State& st) {
    std::string form;
    if (ResolveForm(name, &form)) {
        st.form = form;
    } else if (!run_.formsDir.empty()) {
        run_.refusedForms.insert(form);
        st.form = form;
    } else {
        PrintOut("*** Form name refused, it must name a file in the program folder: " + name + "\n");
    }
}

// The file form `name` stands for; false when it would lie outside the folder
// (a ".." step, a drive or network name, a symbolic link leading out).
bool TextLayout::ResolveForm(const std::string& name, std::string* form) const {
    std::string folder = run_.formsDir.empty() ? run_.programDir : run_.formsDir;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    std::string relative;
    bool usable = !name.empty();
    for (char c : name) {
        if (static_cast<unsigned char>(c) < kControlBelow) usable = false;
        relative.push_back(c == '\\' ? '/' : c);
    }
    std::size_t start = 0;
    while (start < relative.size()) {
        std::size_t end = relative.find('/', start);
        if (end == std::string::npos) end = relative.size();
        if (relative.compare(start, end - start, "..") == 0 && end - start == 2) usable = false;
        start = end + 1;
    }
    if (!run_.formsDir.empty()) {
        // A second leading separator names a network share; a colon a drive.
        if (relative.compare(0, 2, "//") == 0 || relative.find(':') != std::string::npos) usable = false;
    }
    relative.erase(0, relative.find_first_not_of('/'));
    if (relative.empty()) usable = false;

    *form = folder + "/" + relative;
    std::string resolved, canonicalFolder;
    if (usable && CanonicalPath(*form, &resolved).ok() &&
        CanonicalPath(folder.empty() ? "." : folder, &canonicalFolder).ok()) {
        if (canonicalFolder.back() != '/') canonicalFolder += '/';
        usable = resolved.compare(0, canonicalFolder.size(), canonicalFolder) == 0;
        // Open what was checked, so no link can be swapped in between.
        if (usable && !run_.formsDir.empty()) *form = resolved;
    }
    return usable;
}

std::string TextLayout::PageContent(int k, const PageBox& box) const {
    if (k < 1 || k > pageCount_ || static_cast<std::size_t>(k) >= pageTable_.size()) {
        return kEmptyContent;
    }
    const std::string body = PageText(k, box);
    return " obj\n << /Length " + std::to_string(body.size()) + " >>\nstream\n" + body + "endstream\n";
}

std::string TextLayout::PageText(int k, const PageBox& box) const {
    if (k < 1 || k > pageCount_ || static_cast<std::size_t>(k) >= pageTable_.size()) return std::string();
    const long long top = box.y1;
    long long x = settings.marginLeft;
    long long y = top + settings.lineSpace - settings.marginTop;
    bool open = false;
    int previousLine = 0;
    std::string body;
    const std::size_t first = pageTable_[k - 1], last = pageTable_[k];
    for (std::size_t i = first; i < last; ++i) {
        const TextRun& run = runs_[i];
        std::string format = kFontResourcePrefix;
        AppendInt(&format, run.fontNumber);
        format += ' ';
        AppendInt(&format, run.fontSize);
        format += " Tf 0 Tw ";
        AppendInt(&format, run.renderMode);
        format += " Tr ";
        AppendInt(&format, run.rise);
        format += " Ts ";
        AppendInt(&format, run.scale);
        format += " Tz\n";
        if (open && run.lineNo == previousLine) {
            body += format;
            body += run.colour;
        } else {
            if (run.x != 0 || run.y != 0) {
                x = run.x;
                y = top + settings.lineSpace - run.y;
            }
            y -= run.lineSpace;
            body += "BT\n";
            body += format;
            body += run.colour;
            AppendInt(&body, x);
            body += ' ';
            AppendInt(&body, y);
            body += " Td\n";
            previousLine = run.lineNo;
            open = true;
        }
        body += '(';
        body += run.text;
        body += ")Tj\n";
        if (i + 1 == last || runs_[i + 1].lineNo != run.lineNo) {
            body += "ET\n";
            open = false;
        }
    }
    for (const Barcode& b : barcodes_) {
        if (b.page == k - 1) body += b.Draw(box.y1);
    }
    return body;
}

}  // namespace tarn::overprint
