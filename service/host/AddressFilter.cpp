#include "service/host/AddressFilter.h"

#include <cstdlib>

#include "service/job/TextHelpers.h"

namespace tarn {
namespace {

constexpr int kIPv4Bits = 32;
constexpr int kIPv6Bits = 128;
constexpr int kBitsPerByte = 8;
// Entry separators.
constexpr const char* kSeparators = " \t,";

// Reads a prefix length of 0 to `maximum` written in plain decimal digits.
bool ParsePrefix(const std::string& text, int maximum, int* bits) {
    if (text.empty() || text.size() > 3) return false;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    if (value > maximum) return false;
    *bits = value;
    return true;
}

}  // namespace

AddressFilter AddressFilter::Parse(const std::string& text, std::vector<std::string>* rejected) {
    AddressFilter filter;
    std::vector<std::string> entries = Tokenize(text, kSeparators);
    if (entries.empty()) return filter;
    filter.allowEveryone_ = false;
    for (const std::string& entry : entries) {
        std::string::size_type slash = entry.find('/');
        Network network;
        bool ok = ParseIpAddress(entry.substr(0, slash), &network.address);
        if (ok) {
            const bool v4 = entry.find(':') == std::string::npos;
            const int maximum = v4 ? kIPv4Bits : kIPv6Bits;
            network.prefixBits = maximum;
            if (slash != std::string::npos)
                ok = ParsePrefix(entry.substr(slash + 1), maximum, &network.prefixBits);
            if (v4) network.prefixBits += kMappedPrefixBits;
        }
        if (ok) {
            filter.networks_.push_back(network);
        } else if (rejected != nullptr) {
            rejected->push_back(entry);
        }
    }
    return filter;
}

bool AddressFilter::Allows(const IpAddress& peer) const {
    if (allowEveryone_) return true;
    for (const Network& network : networks_) {
        int whole = network.prefixBits / kBitsPerByte;
        int rest = network.prefixBits % kBitsPerByte;
        bool match = true;
        for (int i = 0; i < whole && match; ++i) match = peer.bytes[i] == network.address.bytes[i];
        if (match && rest != 0) {
            auto mask = static_cast<std::uint8_t>(0xFF << (kBitsPerByte - rest));
            match = (peer.bytes[whole] & mask) == (network.address.bytes[whole] & mask);
        }
        if (match) return true;
    }
    return false;
}

}  // namespace tarn
