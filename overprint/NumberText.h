#pragma once
// Numbers read from text by the C atoi rules: leading blanks, an optional
// sign, the digits up to the first other byte; no digits read as 0. Values
// out of range are clamped rather than left undefined.

#include <cstdint>
#include <string>

namespace tarn::overprint {

std::int64_t AsciiToInt64(const std::string& text);
std::int32_t AsciiToInt(const std::string& text);

}  // namespace tarn::overprint
