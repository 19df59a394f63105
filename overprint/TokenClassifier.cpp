#include "overprint/TokenClassifier.h"

namespace tarn::overprint {

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

TokenClassifier::TokenClassifier(const PatternCache& patterns) {
    for (auto it = patterns.entries().rbegin(); it != patterns.entries().rend(); ++it) {
        reversed_.emplace_back(ClassOfKey(it->first), it->second.get());
    }
}

TokenClass TokenClassifier::Classify(const std::string& token) const {
    for (const auto& pattern : reversed_) {
        if (PatternCache::Matches(*pattern.second, token.data(), token.size())) return pattern.first;
    }
    return TokenClass::kNone;
}

}  // namespace tarn::overprint
