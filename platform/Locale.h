#pragma once
// The user's locale settings that the converters fall back on.

#include <string>

namespace tarn {

struct MonetarySeparators {
    std::string decimal;    // never empty: "." when the locale gives none
    std::string thousands;  // never empty: "," when the locale gives none
};

// Monetary decimal and thousands separators of the user's locale (the
// environment's LC_ALL / LC_MONETARY / LANG). The process locale is restored
// afterwards, so number formatting elsewhere stays locale-independent.
// Not thread-safe: it switches the process locale while it reads.
MonetarySeparators UserMonetarySeparators();

}  // namespace tarn
