#pragma once
// Sheet names Excel accepts. A requested name is cleaned first: each of the
// characters Excel forbids in sheet names ( : \ / ? * [ ] ) becomes '_', as
// does an apostrophe at either end, and the name is cut to 31 characters; an empty name becomes "Sheet<n>"
// with n the sheet's 1-based position. The first sheet keeps its (cleaned) name; a later name equal to one in
// use, ignoring case as Excel does, gets " (2)", " (3)", ... appended, the smallest number that makes it
// unique, with the name cut so that the result still fits 31 characters ("Sheet1", "Sheet1 (2)", "Sheet1
// (3)": the names Excel gives copied sheets).

#include <string>
#include <unordered_map>
#include <unordered_set>

namespace tarn::xls {

class SheetNames {
  public:
    // The unique name for a new sheet; it is taken from then on.
    std::u16string Claim(const std::u16string& requested);

  private:
    std::unordered_set<std::u16string> used_;  // names in use, case-folded
    // Per case-folded cleaned name, the next number to try after it, so that
    // a thousand sheets of one name do not each count up from 2.
    std::unordered_map<std::u16string, unsigned> nextNumber_;
};

}  // namespace tarn::xls
