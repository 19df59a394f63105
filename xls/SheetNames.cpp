#include "xls/SheetNames.h"

#include <algorithm>

#include "xls/Limits.h"
#include "xls/UnicodeString.h"

namespace tarn::xls {
namespace {

bool Forbidden(char16_t c) {
    return c == u':' || c == u'\\' || c == u'/' || c == u'?' || c == u'*' || c == u'[' || c == u']';
}

// Upper case for the scripts our code pages carry (ASCII, Latin-1, Cyrillic).
char16_t Fold(char16_t c) {
    if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 0x20);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 0x20);
    if (c >= 0x430 && c <= 0x44F) return static_cast<char16_t>(c - 0x20);
    if (c >= 0x450 && c <= 0x45F) return static_cast<char16_t>(c - 0x50);
    return c;
}

std::u16string FoldAll(std::u16string s) {
    std::transform(s.begin(), s.end(), s.begin(), Fold);
    return s;
}

}  // namespace

std::u16string SheetNames::Claim(const std::u16string& requested) {
    std::u16string base = requested;
    std::replace_if(base.begin(), base.end(), Forbidden, u'_');
    if (base.size() > kMaxSheetNameChars) base.resize(kMaxSheetNameChars);
    if (!base.empty() && base.front() == u'\'') base.front() = u'_';
    if (!base.empty() && base.back() == u'\'') base.back() = u'_';
    if (base.empty()) base = Widen("Sheet" + std::to_string(used_.size() + 1));

    std::u16string name = base;
    const std::u16string foldedBase = FoldAll(base);
    if (used_.count(foldedBase) > 0) {
        unsigned& n = nextNumber_.emplace(foldedBase, 2).first->second;
        do {
            std::u16string suffix = Widen(" (" + std::to_string(n++) + ")");
            name = base.substr(0, kMaxSheetNameChars - suffix.size()) + suffix;
        } while (used_.count(FoldAll(name)) > 0);
    }
    used_.insert(FoldAll(name));
    return name;
}

}  // namespace tarn::xls
