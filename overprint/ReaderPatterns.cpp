#include "overprint/ReaderPatterns.h"

#include <iterator>

namespace tarn::overprint {
namespace {

// Key and pattern of each class.
const char* const kPatterns[][2] = {
    {"catalog", "/Catalog"},
    {"type", "/Type"},
    {"R", "^R$"},
    {"obj", "^obj"},
    {"endobj", "^endobj"},
    {"stream", "^stream"},
    {"endstream", "^endstream$"},
    {"xref", "^xref$"},
    {"trailer", "trailer"},
    {"startxref", "startxref$"},
    {"root", "/Root"},
    {"info", "/Info"},
    {"prev", "/Prev"},
    {"param", "/\\w+"},
    {"pages", "/Pages"},
};

}  // namespace

void AddReaderPatterns(PatternCache& patterns) {
    for (const auto& pattern : kPatterns) patterns.Add(pattern[0], pattern[1]);
}

bool HoldsReaderPatterns(const PatternCache& patterns) {
    if (patterns.entries().size() != std::size(kPatterns)) return false;
    for (const auto& pattern : kPatterns) {
        auto found = patterns.entries().find(pattern[0]);
        if (found == patterns.entries().end() || found->second->pattern != pattern[1]) return false;
    }
    return true;
}

}  // namespace tarn::overprint
