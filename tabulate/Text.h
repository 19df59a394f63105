#pragma once
// Byte-string helpers shared by the report reader, recogniser and writer.
// Text is 8-bit bytes; only ASCII letters change case.

#include <string>
#include <string_view>
#include <vector>

#include "common/Text.h"

namespace tarn::tabulate {

// A blank is any byte from 0x00 to 0x20.
inline bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 0x20; }

std::string ToUpper(std::string text);
// The bytes of `text` without the blanks at its end, or at both ends.
std::string_view RightTrim(std::string_view text);
std::string_view Trim(std::string_view text);
bool Contains(std::string_view text, const char* part);
// Whether `text` holds `upperPart` (upper case) with ASCII letters compared
// without regard to case; no copy of the text is made.
bool ContainsNoCase(std::string_view text, const char* upperPart);
// Removes every occurrence of `part`; returns whether there was one.
bool RemoveAll(std::string* text, const std::string& part);

// A word of a report line: a maximal run of bytes other than space, tab, CR,
// LF and FF, with the column where it starts.
struct Word {
    size_t start;
    std::string text;
};
std::vector<Word> SplitWords(const std::string& line);

// A rule line: longer than 10 bytes and only spaces and "-", or only spaces
// and "=".
bool IsRuleLine(std::string_view line);

// Date shape: 5 to 10 bytes, digits "/" digits "/" digits, each run non-empty.
bool HasDateShape(std::string_view text);

}  // namespace tarn::tabulate
