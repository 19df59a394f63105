#include "mailer/MailText.h"

#include <glib.h>

#include "mailer/Gmime.h"

namespace tarn::mailer {
namespace {

constexpr const char* kReplacementCharacter = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

bool IsValidUtf8(const std::string& text) {
    // GLib counts a NUL inside the given length as invalid; so does a mail header.
    return g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr);
}

bool Convert(const std::string& text, const std::string& charset, std::string* utf8) {
    gsize written = 0;
    GError* error = nullptr;
    GCharsPtr out(g_convert(text.data(), static_cast<gssize>(text.size()), "UTF-8", charset.c_str(), nullptr,
                            &written, &error));
    if (error != nullptr) g_error_free(error);
    if (out == nullptr) return false;
    utf8->assign(out.get(), written);
    return true;
}

}  // namespace

bool IsKnownCharset(const std::string& charset) {
    if (charset.empty()) return false;
    GIConv converter = g_iconv_open("UTF-8", charset.c_str());
    if (converter == reinterpret_cast<GIConv>(-1)) return false;
    g_iconv_close(converter);
    return true;
}

bool IsEightBitUtf8(const std::string& text) {
    bool eightBit = false;
    for (unsigned char c : text) eightBit = eightBit || c >= 0x80;
    return eightBit && IsValidUtf8(text);
}

std::string ToUtf8(const std::string& text, const std::string& charset) {
    if (IsValidUtf8(text)) return text;
    std::string utf8;
    if (Convert(text, charset, &utf8)) return utf8;
    // Some bytes have no meaning in the charset: convert byte by byte so that
    // the rest of the text still arrives.
    utf8.clear();
    for (char c : text) {
        std::string one;
        if (static_cast<unsigned char>(c) < 0x80) {
            utf8 += c;
        } else if (Convert(std::string(1, c), charset, &one) && IsValidUtf8(one)) {
            utf8 += one;
        } else {
            utf8 += kReplacementCharacter;
        }
    }
    return utf8;
}

std::string SingleLine(const std::string& text) {
    std::string line = text;
    for (char& c : line) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f) c = ' ';
    }
    return line;
}

std::string WithCrLf(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 32 + 2);
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out += "\r\n";
        } else {
            out += c;
        }
    }
    if (!out.empty() && out.back() != '\n') out += "\r\n";
    return out;
}

}  // namespace tarn::mailer
