#pragma once
// Byte-string helpers every component shares. Text is 8-bit bytes; nothing is
// converted and no locale is consulted.

#include <cstdint>
#include <string>
#include <string_view>

namespace tarn {

bool StartsWith(std::string_view text, std::string_view prefix);

// A number read by the C atoi rules: leading blanks (space, \t to \r), an
// optional sign, the digits up to the first other byte; no digits read as 0.
// Values past the range saturate instead of overflowing.
std::int64_t AtoiLike64(std::string_view text);
int AtoiLike(std::string_view text);

// Folder and name joined with exactly one separator where they meet; an empty
// folder gives the name, an empty name the folder. No other change.
std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace tarn
