#include "tabulate/Text.h"

#include <algorithm>
#include <cstring>

namespace tarn::tabulate {
namespace {

// A rule line must be longer than this many bytes.
constexpr size_t kMinRuleLength = 10;
// Length limits of a date such as 1/2/09 or 01/31/2009.
constexpr size_t kMinDateLength = 5;
constexpr size_t kMaxDateLength = 10;

bool IsWordSeparator(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
char ToUpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
char ToLowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool OnlySpacesAnd(std::string_view line, char mark) {
    for (char c : line) {
        if (c != ' ' && c != mark) return false;
    }
    return true;
}

}  // namespace

std::string ToUpper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

std::string_view RightTrim(std::string_view text) {
    size_t end = text.size();
    while (end > 0 && IsBlank(text[end - 1])) --end;
    return text.substr(0, end);
}

std::string_view Trim(std::string_view text) {
    size_t begin = 0;
    while (begin < text.size() && IsBlank(text[begin])) ++begin;
    size_t end = text.size();
    while (end > begin && IsBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

bool Contains(std::string_view text, const char* part) { return text.find(part) != std::string_view::npos; }

bool ContainsNoCase(std::string_view text, const char* upperPart) {
    const std::string_view part(upperPart);
    if (part.empty()) return true;
    if (part.size() > text.size()) return false;
    // Places where a match may start hold the first letter in either case;
    // memchr finds the next of each, and each is searched again only once
    // the scan has passed it.
    const char cases[2] = {part[0], ToLowerAscii(part[0])};
    const int caseCount = cases[1] == cases[0] ? 1 : 2;
    const size_t starts = text.size() - part.size() + 1;
    size_t next[2] = {0, 0};
    bool known[2] = {false, false};
    for (size_t i = 0; i < starts; ++i) {
        size_t at = starts;
        for (int k = 0; k < caseCount; ++k) {
            if (!known[k] || next[k] < i) {
                const void* found = std::memchr(text.data() + i, cases[k], starts - i);
                next[k] = found == nullptr
                              ? starts
                              : static_cast<size_t>(static_cast<const char*>(found) - text.data());
                known[k] = true;
            }
            at = std::min(at, next[k]);
        }
        if (at == starts) return false;
        i = at;
        size_t k = 1;
        while (k < part.size() && ToUpperAscii(text[i + k]) == part[k]) ++k;
        if (k == part.size()) return true;
    }
    return false;
}

bool RemoveAll(std::string* text, const std::string& part) {
    if (part.empty()) return false;
    bool found = false;
    size_t at = 0;
    while ((at = text->find(part, at)) != std::string::npos) {
        text->erase(at, part.size());
        found = true;
    }
    return found;
}

std::vector<Word> SplitWords(const std::string& line) {
    std::vector<Word> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && IsWordSeparator(line[i])) ++i;
        size_t start = i;
        while (i < line.size() && !IsWordSeparator(line[i])) ++i;
        if (i > start) words.push_back({start, line.substr(start, i - start)});
    }
    return words;
}

bool IsRuleLine(std::string_view line) {
    return line.size() > kMinRuleLength && (OnlySpacesAnd(line, '-') || OnlySpacesAnd(line, '='));
}

bool HasDateShape(std::string_view text) {
    if (text.size() < kMinDateLength || text.size() > kMaxDateLength) return false;
    size_t i = 0;
    for (int part = 0; part < 3; ++part) {
        if (part > 0) {
            if (i >= text.size() || text[i] != '/') return false;
            ++i;
        }
        size_t digits = i;
        while (i < text.size() && IsDigit(text[i])) ++i;
        if (i == digits) return false;
    }
    return i == text.size();
}

}  // namespace tarn::tabulate
