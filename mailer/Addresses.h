#pragma once
// Recipient lists and sender addresses read as RFC 5322 address lists
// (quoted names, angle brackets, groups, comments) by GMime.

#include <string>
#include <vector>

#include "mailer/Gmime.h"
#include "platform/Status.h"

namespace tarn::mailer {

// One mailbox of a list: the display name (UTF-8, may be empty) and the
// plain address.
struct Mailbox {
    std::string name;
    std::string address;
};

// The parsed list (UTF-8 names) for the To header, and its mailboxes in
// order, members of groups included, for the envelope. Fails when the list
// holds no mailbox, when an entry cannot be read (the whole list must be
// used: nothing is dropped silently), or when an address has no domain or
// is not plain ASCII. `text` is converted from `charset` unless it is UTF-8.
struct AddressList {
    GObjectPtr<InternetAddressList> list;
    std::vector<Mailbox> mailboxes;
};
Status ParseAddressList(const std::string& text, const std::string& charset, AddressList* parsed);

// Exactly one mailbox with a domain (the -f sender: "a@b.example" or
// "Name <a@b.example>").
Status ParseSingleMailbox(const std::string& text, const std::string& charset, Mailbox* mailbox);

// The -i text as the From mailbox when it is one: an address in angle
// brackets, or a bare address without blanks. Anything else ("TARN
// Server", "Sales @ HQ") is a display name for the sender's address.
bool InfoAsMailbox(const std::string& info, const std::string& charset, Mailbox* mailbox);

}  // namespace tarn::mailer
