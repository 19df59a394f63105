#pragma once
// The BIFF8 string forms (MS-XLS 2.5.293 ff.): a character count, an
// option-flags byte whose bit 0 says the characters are 2-byte UTF-16, then
// the characters, stored 1 byte each ("compressed") when every one is below 256.

#include <cstddef>
#include <string>
#include <string_view>

#include "xls/RecordStream.h"

namespace tarn::xls {

// Option flag: characters are stored as 2-byte UTF-16 code units.
inline constexpr unsigned kHighByteFlag = 0x01;

// True when every code unit fits one byte.
bool IsCompressible(std::u16string_view text, std::size_t from = 0,
                    std::size_t count = std::u16string_view::npos);

// Characters [from, from + count) in the compressed or UTF-16 form.
void AppendChars(RecordStream& out, std::u16string_view text, std::size_t from, std::size_t count,
                 bool compressed);

// ShortXLUnicodeString: 1-byte count, flags, characters.
void AppendShortString(RecordStream& out, const std::u16string& text);
// XLUnicodeString: 2-byte count, flags, characters.
void AppendLongString(RecordStream& out, const std::u16string& text);

// ASCII text as UTF-16 (for names and format texts this library makes itself).
std::u16string Widen(const std::string& ascii);

}  // namespace tarn::xls
