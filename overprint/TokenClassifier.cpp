#include "overprint/TokenClassifier.h"

#include <cstring>

#include "overprint/ReaderPatterns.h"

namespace tarn::overprint {
namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Does `text` hold `word` (lower case) at `at`, ignoring case?
bool HasAt(const std::string& text, std::size_t at, const char* word) {
    std::size_t n = std::strlen(word);
    if (at + n > text.size()) return false;
    for (std::size_t i = 0; i < n; ++i) {
        if (Lower(text[at + i]) != word[i]) return false;
    }
    return true;
}

bool Contains(const std::string& text, const char* word) {
    std::size_t n = std::strlen(word);
    for (std::size_t at = 0; at + n <= text.size(); ++at) {
        if (HasAt(text, at, word)) return true;
    }
    return false;
}

bool Equals(const std::string& text, const char* word) {
    return text.size() == std::strlen(word) && HasAt(text, 0, word);
}

bool EndsWith(const std::string& text, const char* word) {
    std::size_t n = std::strlen(word);
    return text.size() >= n && HasAt(text, text.size() - n, word);
}

// \w of the default character tables: ASCII letters, digits, underscore.
bool IsWordByte(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

// "/\w+" anywhere.
bool HasName(const std::string& text) {
    for (std::size_t at = 0; at + 1 < text.size(); ++at) {
        if (text[at] == '/' && IsWordByte(text[at + 1])) return true;
    }
    return false;
}

}  // namespace

TokenClass ClassOfKey(const std::string& key) {
    static const std::pair<const char*, TokenClass> kKeys[] = {
        {"R", TokenClass::kR},
        {"catalog", TokenClass::kCatalog},
        {"endobj", TokenClass::kEndobj},
        {"endstream", TokenClass::kEndstream},
        {"info", TokenClass::kInfo},
        {"obj", TokenClass::kObj},
        {"pages", TokenClass::kPages},
        {"param", TokenClass::kParam},
        {"prev", TokenClass::kPrev},
        {"root", TokenClass::kRoot},
        {"startxref", TokenClass::kStartxref},
        {"stream", TokenClass::kStream},
        {"trailer", TokenClass::kTrailer},
        {"type", TokenClass::kType},
        {"xref", TokenClass::kXref},
    };
    for (const auto& entry : kKeys) {
        if (key == entry.first) return entry.second;
    }
    return TokenClass::kNone;
}

TokenClassifier::TokenClassifier(const PatternCache& patterns) : direct_(HoldsReaderPatterns(patterns)) {
    for (auto it = patterns.entries().rbegin(); it != patterns.entries().rend(); ++it) {
        reversed_.emplace_back(ClassOfKey(it->first), it->second.get());
    }
}

TokenClass TokenClassifier::ClassifyByPatterns(const std::string& token) const {
    for (const auto& pattern : reversed_) {
        if (PatternCache::Matches(*pattern.second, token.data(), token.size())) return pattern.first;
    }
    return TokenClass::kNone;
}

TokenClass TokenClassifier::ClassifyDirectly(const std::string& token) {
    // The patterns in reverse key order; the first that holds wins.
    if (Equals(token, "xref")) return TokenClass::kXref;              // ^xref$
    if (Contains(token, "/type")) return TokenClass::kType;           // /Type
    if (Contains(token, "trailer")) return TokenClass::kTrailer;      // trailer
    if (HasAt(token, 0, "stream")) return TokenClass::kStream;        // ^stream
    if (EndsWith(token, "startxref")) return TokenClass::kStartxref;  // startxref$
    if (Contains(token, "/root")) return TokenClass::kRoot;           // /Root
    if (Contains(token, "/prev")) return TokenClass::kPrev;           // /Prev
    if (HasName(token)) return TokenClass::kParam;                    // /\w+
    if (Contains(token, "/pages")) return TokenClass::kPages;         // /Pages
    if (HasAt(token, 0, "obj")) return TokenClass::kObj;              // ^obj
    if (Contains(token, "/info")) return TokenClass::kInfo;           // /Info
    if (Equals(token, "endstream")) return TokenClass::kEndstream;    // ^endstream$
    if (HasAt(token, 0, "endobj")) return TokenClass::kEndobj;        // ^endobj
    if (Contains(token, "/catalog")) return TokenClass::kCatalog;     // /Catalog
    if (Equals(token, "r")) return TokenClass::kR;                    // ^R$
    return TokenClass::kNone;
}

}  // namespace tarn::overprint
