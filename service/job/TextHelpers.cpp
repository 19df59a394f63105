#include "service/job/TextHelpers.h"

#include "platform/Paths.h"

namespace tarn {
namespace {

// Bytes below this value are control bytes for StripControls.
constexpr unsigned char kFirstKeptByte = 20;

char FoldCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

std::vector<std::string> Tokenize(const std::string& text, const std::string& separators) {
    std::vector<std::string> fields;
    std::string::size_type pos = 0;
    while (pos < text.size()) {
        std::string::size_type begin = text.find_first_not_of(separators, pos);
        if (begin == std::string::npos) break;
        std::string::size_type end = text.find_first_of(separators, begin);
        if (end == std::string::npos) end = text.size();
        fields.push_back(text.substr(begin, end - begin));
        pos = end;
    }
    return fields;
}

std::string BaseName(const std::string& value) {
    std::string::size_type cut = value.find_last_of(" \\/");
    if (cut == std::string::npos || cut + 1 == value.size()) return value;
    return value.substr(cut + 1);
}

std::string StripControls(const std::string& field) {
    std::string out = field;
    for (char& c : out)
        if (static_cast<unsigned char>(c) < kFirstKeptByte) c = '\0';
    return out;
}

std::string EscapeControls(const std::string& text) {
    static const char kHexDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) {
            out += c;
            continue;
        }
        out += "\\x";
        out += kHexDigits[byte >> 4];
        out += kHexDigits[byte & 0xF];
    }
    return out;
}

std::string CutAtNul(const std::string& text) {
    std::string::size_type nul = text.find('\0');
    return nul == std::string::npos ? text : text.substr(0, nul);
}

bool EqualsNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::string::size_type i = 0; i < a.size(); ++i)
        if (FoldCase(a[i]) != FoldCase(b[i])) return false;
    return true;
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

}  // namespace tarn
