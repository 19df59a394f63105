#pragma once
// The recipients of e-mail orders as addresses, and the limits an operator
// sets on them: how many a job may name, and which addresses or domains
// (emallow) an order may name at all. Lists are read by the mailer's own
// parser, in the character set the mailer is given, so the server counts and
// checks exactly the addresses blat sends to.
// Pure functions and an immutable allow-list, safe on any thread.

#include <string>
#include <vector>

#include "platform/Status.h"

namespace tarn {

// The plain addresses (local@domain) blat sends `list` to when started with
// `-charset charset` (empty: without -charset), members of groups included,
// in order. Fails exactly when blat refuses the list: an entry it cannot read
// whole, an address without a domain or with bytes an address cannot hold,
// no address at all, or a character set it does not know.
Status ReadRecipients(const std::string& list, const std::string& charset,
                      std::vector<std::string>* addresses);

// How many recipients blat sends `list` to: its addresses when it reads,
// otherwise none (blat sends nothing).
int CountRecipients(const std::string& list, const std::string& charset);

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
