#pragma once
// Texts a client sent, made safe to store and to show: as UTF-8, with
// control characters written as escapes, and escaped for HTML or for a
// Prometheus label. Everything here is a pure function, safe on any thread.

#include <string>

namespace tarn {

// `bytes` as UTF-8: kept when they are valid UTF-8, otherwise read as
// Windows-1252 (a byte that code page leaves undefined becomes U+FFFD).
std::string ToUtf8(const std::string& bytes);

// `utf8` with every control character (below 0x20, 0x7F and U+0080 to
// U+009F) written as \xNN and every backslash doubled, so that no byte a
// client chose can steer a terminal or forge a line.
std::string EscapeForDisplay(const std::string& utf8);

// EscapeForDisplay, then the five HTML special characters as entities.
std::string HtmlEscape(const std::string& utf8);

// A Prometheus label value: backslash, double quote and line feed escaped.
std::string PrometheusLabel(const std::string& utf8);

// Number of characters (code points) in valid UTF-8 text.
std::size_t DisplayWidth(const std::string& utf8);

// `utf8` cut to at most `width` characters, the last one "~" when cut.
std::string CutToWidth(const std::string& utf8, std::size_t width);

}  // namespace tarn
