#include "overprint/PdfDictionary.h"

#include <cstring>

namespace tarn::overprint {
namespace {

constexpr std::size_t npos = std::string::npos;

bool IsBlank(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f' || c == '\0'; }
bool IsDelimiter(char c) { return std::strchr("()<>[]{}/%", c) != nullptr; }
bool IsRegular(char c) { return !IsBlank(c) && !IsDelimiter(c); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// End of the literal string opening at `pos` (just after its ")"), or the text's end.
std::size_t LiteralEnd(const std::string& text, std::size_t pos) {
    int depth = 0;
    for (; pos < text.size(); ++pos) {
        if (text[pos] == '\\') {
            ++pos;
        } else if (text[pos] == '(') {
            ++depth;
        } else if (text[pos] == ')' && --depth == 0) {
            return pos + 1;
        }
    }
    return text.size();
}

std::size_t RegularEnd(const std::string& text, std::size_t pos) {
    while (pos < text.size() && IsRegular(text[pos])) ++pos;
    return pos;
}

bool IsUnsigned(const std::string& text, std::size_t begin, std::size_t end) {
    if (begin >= end) return false;
    for (std::size_t i = begin; i < end; ++i) {
        if (!IsDigit(text[i])) return false;
    }
    return true;
}

// When an unsigned integer starts at `pos` and "g R" follows, the end of the
// reference, else npos.
std::size_t ReferenceEnd(const std::string& text, std::size_t pos) {
    std::size_t numberEnd = RegularEnd(text, pos);
    if (!IsUnsigned(text, pos, numberEnd)) return npos;
    std::size_t gen = SkipBlanks(text, numberEnd);
    if (gen == numberEnd) return npos;
    std::size_t genEnd = RegularEnd(text, gen);
    if (!IsUnsigned(text, gen, genEnd)) return npos;
    std::size_t r = SkipBlanks(text, genEnd);
    if (r == genEnd || r >= text.size() || text[r] != 'R' || RegularEnd(text, r) != r + 1) return npos;
    return r + 1;
}

// Visits every value of `text` from `pos` to `end`, descending into arrays and
// dictionaries; `onReference` gets the span of each reference.
template <typename OnReference>
void ScanReferences(const std::string& text, std::size_t pos, std::size_t end, OnReference onReference) {
    while (pos < end) {
        char c = text[pos];
        if (IsBlank(c)) {
            ++pos;
        } else if (c == '%') {
            while (pos < end && text[pos] != '\n' && text[pos] != '\r') ++pos;
        } else if (c == '(') {
            pos = LiteralEnd(text, pos);
        } else if (text.compare(pos, 2, "<<") == 0 || text.compare(pos, 2, ">>") == 0) {
            pos += 2;
        } else if (c == '<') {
            std::size_t close = text.find('>', pos);
            pos = close == npos ? end : close + 1;
        } else if (IsDigit(c)) {
            std::size_t referenceEnd = ReferenceEnd(text, pos);
            if (referenceEnd != npos && referenceEnd <= end) {
                onReference(pos, referenceEnd);
                pos = referenceEnd;
            } else {
                pos = RegularEnd(text, pos);
            }
        } else if (IsRegular(c)) {
            pos = RegularEnd(text, pos);
        } else if (c == '/') {
            pos = RegularEnd(text, pos + 1);
        } else {
            ++pos;  // << >> [ ] { }
        }
    }
}

}  // namespace

std::size_t SkipBlanks(const std::string& text, std::size_t pos) {
    while (pos < text.size()) {
        if (IsBlank(text[pos])) {
            ++pos;
        } else if (text[pos] == '%') {
            while (pos < text.size() && text[pos] != '\n' && text[pos] != '\r') ++pos;
        } else {
            break;
        }
    }
    return pos;
}

std::size_t DictionaryStart(const std::string& text) {
    for (std::size_t pos = SkipBlanks(text, 0); pos < text.size(); pos = SkipBlanks(text, pos)) {
        if (text.compare(pos, 2, "<<") == 0) return pos;
        pos = ValueEnd(text, pos);
    }
    return npos;
}

std::size_t ValueEnd(const std::string& text, std::size_t pos) {
    if (pos >= text.size()) return text.size();
    const char c = text[pos];
    if (c == '(') return LiteralEnd(text, pos);
    if (c == '/') return RegularEnd(text, pos + 1);
    if (c == '<' && text.compare(pos, 2, "<<") != 0) {
        std::size_t close = text.find('>', pos);
        return close == npos ? text.size() : close + 1;
    }
    if (c == '<' || c == '[') {
        // A dictionary or an array: values up to the matching close.
        const bool dictionary = c == '<';
        pos += dictionary ? 2 : 1;
        for (;;) {
            pos = SkipBlanks(text, pos);
            if (pos >= text.size()) return text.size();
            if (dictionary && text.compare(pos, 2, ">>") == 0) return pos + 2;
            if (!dictionary && text[pos] == ']') return pos + 1;
            if (text[pos] == ')' || text[pos] == '>' || text[pos] == ']' || text[pos] == '}') {
                ++pos;  // stray closer: step over it
                continue;
            }
            pos = ValueEnd(text, pos);
        }
    }
    if (IsDigit(c)) {
        std::size_t referenceEnd = ReferenceEnd(text, pos);
        if (referenceEnd != npos) return referenceEnd;
    }
    std::size_t end = RegularEnd(text, pos);
    return end == pos ? pos + 1 : end;
}

TextSpan DictionarySpan(const std::string& text, std::size_t dict) {
    TextSpan span;
    if (dict >= text.size() || text.compare(dict, 2, "<<") != 0) return span;
    span.begin = dict;
    span.end = ValueEnd(text, dict);
    return span;
}

TextSpan DictionaryValue(const std::string& text, std::size_t dict, const std::string& key) {
    TextSpan span;
    if (dict >= text.size() || text.compare(dict, 2, "<<") != 0) return span;
    std::size_t pos = dict + 2;
    for (;;) {
        pos = SkipBlanks(text, pos);
        if (pos >= text.size() || text.compare(pos, 2, ">>") == 0) return span;
        if (text[pos] != '/') {
            pos = ValueEnd(text, pos);  // not a key: step over it
            continue;
        }
        std::size_t nameEnd = RegularEnd(text, pos + 1);
        bool wanted = text.compare(pos, nameEnd - pos, key) == 0 && nameEnd - pos == key.size();
        std::size_t value = SkipBlanks(text, nameEnd);
        if (value >= text.size() || text.compare(value, 2, ">>") == 0) return span;
        std::size_t valueEnd = ValueEnd(text, value);
        if (wanted) {
            span.begin = value;
            span.end = valueEnd;
            return span;
        }
        pos = valueEnd;
    }
}

bool RemoveKey(std::string* text, std::size_t dict, const std::string& key) {
    TextSpan value = DictionaryValue(*text, dict, key);
    if (!value.found()) return false;
    std::size_t keyStart = text->rfind(key, value.begin);
    if (keyStart == npos || keyStart < dict) return false;
    text->replace(keyStart, value.end - keyStart, " ");
    return true;
}

void SetValue(std::string* text, std::size_t dict, const std::string& key, const std::string& value) {
    TextSpan existing = DictionaryValue(*text, dict, key);
    if (existing.found()) {
        text->replace(existing.begin, existing.end - existing.begin, value);
    } else {
        InsertEntries(text, dict, " " + key + " " + value + " ");
    }
}

void InsertEntries(std::string* text, std::size_t dict, const std::string& entries) {
    text->insert(dict + 2, entries);
}

int ReferenceNumber(const std::string& text, TextSpan span) {
    if (!span.found()) return 0;
    std::size_t pos = SkipBlanks(text, span.begin);
    std::size_t end = ReferenceEnd(text, pos);
    if (end == npos || end > span.end) return 0;
    long value = 0;
    for (std::size_t i = pos; i < text.size() && IsDigit(text[i]) && value < 100000000; ++i) {
        value = value * 10 + (text[i] - '0');
    }
    return static_cast<int>(value);
}

std::vector<int> ReferencesIn(const std::string& text, TextSpan span) {
    std::vector<int> numbers;
    if (!span.found()) return numbers;
    ScanReferences(text, span.begin, std::min(span.end, text.size()),
                   [&](std::size_t begin, std::size_t end) {
                       numbers.push_back(ReferenceNumber(text, {begin, end}));
                   });
    return numbers;
}

std::string RenumberReferences(const std::string& text, const std::function<int(int)>& renumber) {
    std::string out;
    out.reserve(text.size() + 16);
    std::size_t copied = 0;
    ScanReferences(text, 0, text.size(), [&](std::size_t begin, std::size_t end) {
        out.append(text, copied, begin - copied);
        const int number = renumber(ReferenceNumber(text, {begin, end}));
        out += number > 0 ? " " + std::to_string(number) + " 0 R" : std::string(" null");
        copied = end;
    });
    out.append(text, copied, npos);
    return out;
}

std::vector<double> NumbersIn(const std::string& text, TextSpan span) {
    std::vector<double> numbers;
    if (!span.found()) return numbers;
    std::size_t pos = span.begin;
    const std::size_t end = std::min(span.end, text.size());
    while (pos < end) {
        const char c = text[pos];
        if (!(IsDigit(c) || c == '+' || c == '-' || c == '.')) {
            ++pos;
            continue;
        }
        bool negative = c == '-';
        if (c == '+' || c == '-') ++pos;
        double value = 0;
        bool digits = false;
        for (; pos < end && IsDigit(text[pos]); ++pos, digits = true) value = value * 10 + (text[pos] - '0');
        if (pos < end && text[pos] == '.') {
            double scale = 0.1;
            for (++pos; pos < end && IsDigit(text[pos]); ++pos, scale /= 10, digits = true) {
                value += (text[pos] - '0') * scale;
            }
        }
        if (digits) numbers.push_back(negative ? -value : value);
    }
    return numbers;
}

}  // namespace tarn::overprint
