#pragma once
// Gives a PDF token its class: the key of the last pattern of the program's
// pattern cache, in key order, that matches the token. (So /Root is "root",
// /Prev "prev" and /Type "type", while /Pages, /Info and /Catalog end as
// "param", whose pattern "/\w+" comes later in byte order.)

#include <string>
#include <utility>
#include <vector>

#include "overprint/PatternCache.h"

namespace tarn::overprint {

enum class TokenClass {
    kNone,  // no pattern matched, or a key the reader has no action for
    kR,
    kCatalog,
    kEndobj,
    kEndstream,
    kInfo,
    kObj,
    kPages,
    kParam,
    kPrev,
    kRoot,
    kStartxref,
    kStream,
    kTrailer,
    kType,
    kXref,
};

// The class a pattern key stands for (kNone for keys the reader ignores).
TokenClass ClassOfKey(const std::string& key);

class TokenClassifier {
public:
    // Takes the patterns as they are in `patterns` now; the cache must
    // outlive the classifier.
    explicit TokenClassifier(const PatternCache& patterns);
    TokenClass Classify(const std::string& token) const;

private:
    // Patterns in reverse key order: the first match is the last in key order.
    std::vector<std::pair<TokenClass, const PatternCache::Entry*>> reversed_;
};

}  // namespace tarn::overprint
