#pragma once
// Byte-string helpers shared by job handling. All text is 8-bit bytes in the
// client's code page; nothing is converted.

#include <string>
#include <vector>

#include "common/Text.h"

namespace tarn {

// The maximal runs of bytes holding none of `separators`, in order; no empty fields.
std::vector<std::string> Tokenize(const std::string& text, const std::string& separators);

// The part after the last space, backslash or slash; the whole value when
// there is none or when that character is the last one.
std::string BaseName(const std::string& value);

// Bytes below 20 (0x00 to 0x13) become NUL; the length stays.
std::string StripControls(const std::string& field);

// The text with every byte below 0x20 and the byte 0x7F written as an
// escape "\xHH" (two lower-case hex digits), so that what a client sent can
// never act as a terminal control or start a line of its own in a log.
std::string EscapeControls(const std::string& text);

// The text up to its first NUL byte (how a name or reply uses a field).
std::string CutAtNul(const std::string& text);

// Case-blind comparisons (ASCII letters fold; other bytes compare exactly).
bool EqualsNoCase(const std::string& a, const std::string& b);
bool StartsWithNoCase(const std::string& text, const std::string& prefix);

}  // namespace tarn
