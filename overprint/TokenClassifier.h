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

    // When the cache holds exactly the reader's 15 patterns, the class is
    // told by direct comparisons that give the patterns' answer without
    // running them; otherwise the patterns run.
    TokenClass Classify(const std::string& token) const {
        // With a line feed inside, the multiline ^ and $ would match there
        // too; tokens never hold one, other texts take the patterns.
        bool direct = direct_ && token.find('\n') == std::string::npos;
        return direct ? ClassifyDirectly(token) : ClassifyByPatterns(token);
    }
    // Whether Classify works without running the patterns.
    bool direct() const { return direct_; }
    // Runs the patterns, last in key order first.
    TokenClass ClassifyByPatterns(const std::string& token) const;
    // The reader's patterns worked out by hand (caseless throughout), for
    // texts without a line feed.
    static TokenClass ClassifyDirectly(const std::string& token);

  private:
    bool direct_ = false;
    // Patterns in reverse key order: the first match is the last in key order.
    std::vector<std::pair<TokenClass, const PatternCache::Entry*>> reversed_;
};

}  // namespace tarn::overprint
