#include "service/job/Recipients.h"

#include <gmime/gmime.h>

#include <algorithm>
#include <memory>
#include <mutex>

#include "service/job/TextHelpers.h"

namespace tarn {
namespace {

// Separators of the emallow entries.
constexpr const char* kAllowSeparators = " \t,;";

// What a plain scan of a list shows outside quoted strings and comments.
struct ListShape {
    // One '@' per address in a list that has been read whole. GMime skips
    // what it cannot read (the rest of a list cut at ';', say), so a
    // shortfall means an entry was lost.
    int atSigns = 0;
    // Angle brackets out of place: a '>' that closes no '<', a '<' inside
    // another or never closed, or a '<' after an address in the same entry.
    // Such a list is malformed, and GMime 3.2 leaks memory on several of
    // these forms, so it never gets to see one.
    bool misplacedAngle = false;
};

ListShape ScanList(const std::string& text) {
    ListShape shape;
    int commentDepth = 0;
    bool quoted = false;
    bool angle = false;
    bool addressInEntry = false;  // an '@' outside brackets since the entry began
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if ((quoted || commentDepth > 0) && c == '\\') {
            ++i;
        } else if (quoted) {
            quoted = c != '"';
        } else if (c == '(') {
            ++commentDepth;
        } else if (commentDepth > 0) {
            if (c == ')') --commentDepth;
        } else if (c == '"') {
            quoted = true;
        } else if (c == '@') {
            ++shape.atSigns;
            if (!angle) addressInEntry = true;
        } else if (c == '<') {
            if (angle || addressInEntry) shape.misplacedAngle = true;
            angle = true;
        } else if (c == '>') {
            if (!angle) shape.misplacedAngle = true;
            angle = false;
        } else if (!angle && (c == ',' || c == ':' || c == ';')) {
            addressInEntry = false;
        }
    }
    if (angle) shape.misplacedAngle = true;
    return shape;
}

// Parser options for recipient lists, made once: strict RFC 5322, and an
// address must have a domain.
GMimeParserOptions* AddressOptions() {
    static GMimeParserOptions* options = nullptr;
    static std::once_flag once;
    std::call_once(once, [] {
        g_mime_init();
        // GObject makes a type's class on its first use, under locks of its own;
        // made here, once, every job's thread finds the address classes ready.
        g_object_unref(internet_address_list_parse(nullptr, "g: a@example.com;, b@example.com"));
        options = g_mime_parser_options_new();
        g_mime_parser_options_set_address_compliance_mode(options, GMIME_RFC_COMPLIANCE_STRICT);
        g_mime_parser_options_set_allow_addresses_without_domain(options, FALSE);
    });
    return options;
}

Status CheckAddress(const std::string& address) {
    std::string::size_type at = address.rfind('@');
    if (at == std::string::npos || at == 0 || at + 1 == address.size())
        return Status::Error("\"" + address + "\" is not an address with a domain");
    for (unsigned char c : address) {
        if (c <= ' ' || c >= 0x7F || c == '<' || c == '>')
            return Status::Error("\"" + address + "\" holds bytes an address cannot hold");
    }
    return Status::Ok();
}

Status Collect(InternetAddressList* list, std::vector<std::string>* addresses) {
    const int count = internet_address_list_length(list);
    for (int i = 0; i < count; ++i) {
        InternetAddress* entry = internet_address_list_get_address(list, i);
        if (INTERNET_ADDRESS_IS_GROUP(entry)) {
            Status status =
                Collect(internet_address_group_get_members(INTERNET_ADDRESS_GROUP(entry)), addresses);
            if (!status) return status;
            continue;
        }
        const char* address = internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(entry));
        addresses->push_back(address == nullptr ? std::string() : address);
        Status status = CheckAddress(addresses->back());
        if (!status) return status;
    }
    return Status::Ok();
}

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// The address with its domain in lower case (the local part is kept as written).
std::string FoldDomain(const std::string& address) {
    std::string::size_type at = address.rfind('@');
    if (at == std::string::npos) return address;
    return address.substr(0, at + 1) + Lower(address.substr(at + 1));
}

}  // namespace

Status ReadRecipients(const std::string& list, std::vector<std::string>* addresses) {
    addresses->clear();
    const ListShape shape = ScanList(list);
    if (shape.misplacedAngle) return Status::Error("cannot read the address list \"" + list + "\"");
    std::unique_ptr<InternetAddressList, void (*)(gpointer)> parsed(
        internet_address_list_parse(AddressOptions(), list.c_str()), g_object_unref);
    if (parsed == nullptr) return Status::Error("cannot read the address list \"" + list + "\"");
    Status status = Collect(parsed.get(), addresses);
    if (!status) return status;
    if (addresses->empty()) return Status::Error("no address in \"" + list + "\"");
    if (static_cast<int>(addresses->size()) != shape.atSigns)
        return Status::Error("cannot read every address of \"" + list + "\"");
    return Status::Ok();
}

int CountRecipients(const std::string& list) {
    std::vector<std::string> addresses;
    if (ReadRecipients(list, &addresses).ok()) return static_cast<int>(addresses.size());
    return std::max(1, ScanList(list).atSigns);
}

RecipientAllowList::RecipientAllowList(const std::string& setting) {
    for (const std::string& entry : Tokenize(setting, kAllowSeparators)) {
        if (entry[0] == '@') {
            if (entry.size() > 1) domains_.push_back(Lower(entry.substr(1)));
        } else {
            addresses_.push_back(FoldDomain(entry));
        }
    }
}

bool RecipientAllowList::Allows(const std::string& address) const {
    if (AllowsEveryone()) return true;
    const std::string folded = FoldDomain(address);
    if (std::find(addresses_.begin(), addresses_.end(), folded) != addresses_.end()) return true;
    std::string::size_type at = folded.rfind('@');
    if (at == std::string::npos) return false;
    return std::find(domains_.begin(), domains_.end(), folded.substr(at + 1)) != domains_.end();
}

}  // namespace tarn
