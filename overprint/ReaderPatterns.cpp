#include "overprint/ReaderPatterns.h"

namespace tarn::overprint {

void AddReaderPatterns(PatternCache& patterns) {
    static const char* const kPatterns[][2] = {
        {"catalog", "/Catalog"},      {"type", "/Type"},       {"R", "^R$"},
        {"obj", "^obj"},              {"endobj", "^endobj"},   {"stream", "^stream"},
        {"endstream", "^endstream$"}, {"xref", "^xref$"},      {"trailer", "trailer"},
        {"startxref", "startxref$"},  {"root", "/Root"},       {"info", "/Info"},
        {"prev", "/Prev"},            {"param", "/\\w+"},      {"pages", "/Pages"},
    };
    for (const auto& pattern : kPatterns) patterns.Add(pattern[0], pattern[1]);
}

}  // namespace tarn::overprint
