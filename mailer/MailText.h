#pragma once
// The texts of a message as the mailer receives them: bytes in the client's
// character set (its ANSI code page), or UTF-8.

#include <string>

namespace tarn::mailer {

// Character set assumed for texts that are not valid UTF-8.
inline constexpr const char* kDefaultCharset = "windows-1252";

// True when the system's converter knows the character set by that name.
bool IsKnownCharset(const std::string& charset);

// True for valid UTF-8 holding at least one byte above 0x7F.
bool IsEightBitUtf8(const std::string& text);

// `text` in UTF-8: unchanged when it is valid UTF-8, otherwise converted
// from `charset`; bytes the charset leaves undefined become U+FFFD.
std::string ToUtf8(const std::string& text, const std::string& charset);

// A header text on one line: every control character (CR, LF, tab, NUL,
// ...) becomes a blank, so that no value can start a header of its own.
std::string SingleLine(const std::string& text);

// Text with every line end (LF, CR LF or a lone CR) as CR LF, the last
// line ended too.
std::string WithCrLf(const std::string& text);

}  // namespace tarn::mailer
