#include "service/history/DisplayText.h"

#include <iconv.h>

#include <cstdio>

namespace tarn {
namespace {

// The code page client bytes are read in when they are not UTF-8.
constexpr const char* kFallbackCodePage = "WINDOWS-1252";
// U+FFFD, the replacement character, in UTF-8.
constexpr const char* kReplacement = "\xEF\xBF\xBD";

// Length of the UTF-8 sequence starting at `i`, 0 when it is not a valid one.
std::size_t SequenceLength(const std::string& text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    unsigned char lead = byte(i);
    if (lead < 0x80) return 1;
    std::size_t length = lead >= 0xF0 && lead <= 0xF4  ? 4
                         : lead >= 0xE0                ? 3
                         : lead >= 0xC2 && lead < 0xE0 ? 2
                                                       : 0;
    if (length == 0 || lead > 0xF4 || i + length > text.size()) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
    }
    // Overlong forms, surrogates and values past U+10FFFF.
    unsigned char second = byte(i + 1);
    if (lead == 0xE0 && second < 0xA0) return 0;
    if (lead == 0xED && second >= 0xA0) return 0;
    if (lead == 0xF0 && second < 0x90) return 0;
    if (lead == 0xF4 && second >= 0x90) return 0;
    return length;
}

bool IsUtf8(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        std::size_t length = SequenceLength(text, i);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

std::string HexEscape(unsigned value) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "\\x%02X", value);
    return buffer;
}

}  // namespace

std::string ToUtf8(const std::string& bytes) {
    if (IsUtf8(bytes)) return bytes;
    iconv_t cd = iconv_open("UTF-8", kFallbackCodePage);
    std::string out;
    for (unsigned char c : bytes) {
        if (c < 0x80 || cd == reinterpret_cast<iconv_t>(-1)) {
            if (c < 0x80)
                out += static_cast<char>(c);
            else
                out += kReplacement;
            continue;
        }
        char in[1] = {static_cast<char>(c)};
        char converted[8];
        char* inPtr = in;
        char* outPtr = converted;
        std::size_t inLeft = 1;
        std::size_t outLeft = sizeof converted;
        if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) {
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            out += kReplacement;
        } else {
            out.append(converted, sizeof converted - outLeft);
        }
    }
    if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
    return out;
}

std::string EscapeForDisplay(const std::string& utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x20 || c == 0x7F) {
            out += HexEscape(c);
        } else if (c == '\\') {
            out += "\\\\";
        } else if (c == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(utf8[i + 1]) <= 0x9F) {
            // A C1 control (U+0080 to U+009F): some terminals obey them too.
            out += "\\u00" + HexEscape(static_cast<unsigned char>(utf8[++i])).substr(2);
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string HtmlEscape(const std::string& utf8) {
    std::string out;
    for (char c : EscapeForDisplay(utf8)) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
            break;
        }
    }
    return out;
}

std::string PrometheusLabel(const std::string& utf8) {
    std::string out;
    for (char c : utf8) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '"')
            out += "\\\"";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

std::size_t DisplayWidth(const std::string& utf8) {
    std::size_t width = 0;
    for (unsigned char c : utf8) width += (c & 0xC0) != 0x80;
    return width;
}

std::string CutToWidth(const std::string& utf8, std::size_t width) {
    if (DisplayWidth(utf8) <= width || width == 0) return DisplayWidth(utf8) <= width ? utf8 : std::string();
    std::string out;
    std::size_t count = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        if ((c & 0xC0) != 0x80 && ++count == width) break;
        out += static_cast<char>(c);
    }
    return out + "~";
}

}  // namespace tarn
