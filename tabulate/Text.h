#pragma once
// Byte-string helpers shared by the report reader, recogniser and writer.
// Text is 8-bit bytes; only ASCII letters change case.

#include <string>
#include <vector>

#include "common/Text.h"

namespace tarn::tabulate {

// A blank is any byte from 0x00 to 0x20.
inline bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 0x20; }

std::string ToUpper(std::string text);
std::string RightTrim(const std::string& text);
std::string Trim(const std::string& text);
bool Contains(const std::string& text, const char* part);
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
bool IsRuleLine(const std::string& line);

// Date shape: 5 to 10 bytes, digits "/" digits "/" digits, each run non-empty.
bool HasDateShape(const std::string& text);

}  // namespace tarn::tabulate
