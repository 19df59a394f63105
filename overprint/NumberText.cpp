#include "overprint/NumberText.h"

#include <limits>

namespace tarn::overprint {
namespace {

// Significant digits beyond this many only push the value further out of range.
constexpr int kMaxDigits = 19;

bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

std::int64_t AsciiToInt64(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    std::int64_t value = 0;
    int digits = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        // Leading zeros add nothing to the value, however many there are.
        if (value != 0 || text[i] != '0') ++digits;
        if (digits > kMaxDigits - 1) {
            value = std::numeric_limits<std::int64_t>::max();
            break;
        }
        value = value * 10 + (text[i] - '0');
    }
    return negative ? -value : value;
}

std::int32_t AsciiToInt(const std::string& text) {
    std::int64_t value = AsciiToInt64(text);
    if (value > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
    if (value < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(value);
}

}  // namespace tarn::overprint
