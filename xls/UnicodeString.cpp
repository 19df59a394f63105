#include "xls/UnicodeString.h"

#include <algorithm>

namespace tarn::xls {

bool IsCompressible(std::u16string_view text, std::size_t from, std::size_t count) {
    std::size_t end = count == std::u16string_view::npos ? text.size() : std::min(text.size(), from + count);
    for (std::size_t i = from; i < end; ++i) {
        if (text[i] > 0xFF) return false;
    }
    return true;
}

void AppendChars(RecordStream& out, std::u16string_view text, std::size_t from, std::size_t count,
                 bool compressed) {
    if (compressed) {
        char* bytes = out.Extend(count);
        for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<char>(text[from + i]);
    } else {
        char* bytes = out.Extend(2 * count);
        for (std::size_t i = 0; i < count; ++i) {
            bytes[2 * i] = static_cast<char>(text[from + i] & 0xFF);
            bytes[2 * i + 1] = static_cast<char>(text[from + i] >> 8);
        }
    }
}

void AppendShortString(RecordStream& out, const std::u16string& text) {
    bool compressed = IsCompressible(text);
    out.U8(static_cast<std::uint8_t>(text.size()));
    out.U8(compressed ? 0 : kHighByteFlag);
    AppendChars(out, text, 0, text.size(), compressed);
}

void AppendLongString(RecordStream& out, const std::u16string& text) {
    bool compressed = IsCompressible(text);
    out.U16(static_cast<std::uint16_t>(text.size()));
    out.U8(compressed ? 0 : kHighByteFlag);
    AppendChars(out, text, 0, text.size(), compressed);
}

std::u16string Widen(const std::string& ascii) {
    std::u16string out;
    out.reserve(ascii.size());
    for (unsigned char c : ascii) out.push_back(static_cast<char16_t>(c));
    return out;
}

}  // namespace tarn::xls
