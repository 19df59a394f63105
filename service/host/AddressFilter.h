#pragma once
// Which peers may connect: the addresses and networks of the allowFrom
// setting. Entries are IPv4 or IPv6 addresses, optionally followed by
// "/prefix-length", separated by blanks or commas. An IPv4 entry matches
// the same address arriving IPv4-mapped. A filter built from an empty text
// lets everyone in.
// Threading: built once before the listener starts, then only read.

#include <string>
#include <vector>

#include "platform/Socket.h"

namespace tarn {

class AddressFilter {
  public:
    // Parses `text`; entries that cannot be read are left out and returned
    // in *rejected (so a bad entry admits no one). An empty `text` allows all.
    static AddressFilter Parse(const std::string& text, std::vector<std::string>* rejected);

    bool AllowsEveryone() const { return allowEveryone_; }
    bool Allows(const IpAddress& peer) const;

  private:
    struct Network {
        IpAddress address;
        int prefixBits = 0;  // in the IPv6 form: 96 more for an IPv4 entry
    };

    bool allowEveryone_ = true;
    std::vector<Network> networks_;
};

}  // namespace tarn
