#include "common/Text.h"

#include <limits>

#include "platform/Paths.h"

namespace tarn {
namespace {

bool IsAtoiBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

std::int64_t AtoiLike64(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsAtoiBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    // Accumulate towards the sign so that the most negative value fits.
    const std::int64_t low = std::numeric_limits<std::int64_t>::min();
    const std::int64_t high = std::numeric_limits<std::int64_t>::max();
    std::int64_t value = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        const int digit = text[i] - '0';
        if (negative) {
            value = value < (low + digit) / 10 ? low : value * 10 - digit;
        } else {
            value = value > (high - digit) / 10 ? high : value * 10 + digit;
        }
    }
    return value;
}

int AtoiLike(std::string_view text) {
    const std::int64_t value = AtoiLike64(text);
    if (value > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    if (value < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
    return static_cast<int>(value);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (name.empty()) return folder;
    const bool folderEnds = folder.back() == kPathSeparator;
    const bool nameBegins = name.front() == kPathSeparator;
    if (!folderEnds && !nameBegins) return folder + kPathSeparator + name;
    if (folderEnds && nameBegins) return folder + name.substr(1);
    return folder + name;
}

}  // namespace tarn
