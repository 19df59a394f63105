#pragma once
// The recipients of e-mail orders as addresses, and the limits an operator
// sets on them: how many a job may name, and which addresses or domains
// (emallow) an order may name at all. Address lists are read as RFC 5322
// lists (quoted names with commas, angle brackets, groups, comments) by
// GMime, so a display name never passes for an address and an address
// never hides in a display name.
// Pure functions and an immutable allow-list, safe on any thread.

#include <string>
#include <vector>

#include "platform/Status.h"

namespace tarn {

// The plain addresses (local@domain) of `list`, members of groups included,
// in order. Fails when an entry cannot be read whole (nothing is dropped
// silently), when an address has no domain or holds blanks or bytes above
// 0x7E, or when the list names no address.
Status ReadRecipients(const std::string& list, std::vector<std::string>* addresses);

// How many recipients `list` names: its addresses when it reads, otherwise
// the number of '@' in it outside quotes and comments, at least 1.
int CountRecipients(const std::string& list);

// The emallow setting: addresses (compared whole, the domain without regard
// to case) and domains written "@example.com", separated by blanks, commas or
// semicolons. An empty setting allows every address.
class RecipientAllowList {
  public:
    explicit RecipientAllowList(const std::string& setting);

    bool AllowsEveryone() const { return addresses_.empty() && domains_.empty(); }
    bool Allows(const std::string& address) const;

  private:
    std::vector<std::string> addresses_;  // domain part folded to lower case
    std::vector<std::string> domains_;    // lower case, without the '@'
};

}  // namespace tarn
