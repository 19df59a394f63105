#pragma once
// The program's pattern cache: the 15 patterns by which the PDF reader
// classifies every token, under the keys it acts on.

#include "overprint/PatternCache.h"

namespace tarn::overprint {

void AddReaderPatterns(PatternCache& patterns);
// True when `patterns` holds exactly the reader's patterns and nothing else
// (then a token's class can be told without running them).
bool HoldsReaderPatterns(const PatternCache& patterns);

}  // namespace tarn::overprint
