#include "mailer/Addresses.h"

#include "mailer/MailText.h"

namespace tarn::mailer {
namespace {

// What a scan of a list's delimiters finds.
struct ListShape {
    int atSigns = 0;       // '@' outside quoted strings and comments
    bool balanced = true;  // every quote, comment and angle bracket closed, none nested
};

// GMime reads lists leniently (its strict mode leaks memory on some faulty
// input): an unclosed quote or bracket is refused here, and a list in which
// GMime finds fewer mailboxes than '@' signs (cut at a ';', say) is refused
// rather than sent with an entry lost.
ListShape ScanList(const std::string& text) {
    ListShape shape;
    int commentDepth = 0;
    bool quoted = false;
    bool angle = false;
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
        } else if (c == ')') {
            shape.balanced = false;
        } else if (c == '@') {
            ++shape.atSigns;
        } else if (c == '<' || c == '>') {
            if (angle == (c == '<')) shape.balanced = false;
            angle = c == '<';
        }
    }
    shape.balanced = shape.balanced && !quoted && commentDepth == 0 && !angle;
    return shape;
}

Status CheckAddress(const std::string& address) {
    std::string::size_type at = address.rfind('@');
    if (at == std::string::npos || at == 0 || at + 1 == address.size()) {
        return Status::Error("\"" + address + "\" is not an address with a domain (name@example.com)");
    }
    for (unsigned char c : address) {
        if (c <= ' ' || c >= 0x7f || c == '<' || c == '>') {
            return Status::Error("\"" + address + "\" holds characters an address cannot hold");
        }
    }
    return Status::Ok();
}

Status Collect(InternetAddressList* list, std::vector<Mailbox>* mailboxes) {
    const int count = internet_address_list_length(list);
    for (int i = 0; i < count; ++i) {
        InternetAddress* entry = internet_address_list_get_address(list, i);
        if (INTERNET_ADDRESS_IS_GROUP(entry)) {
            Status status =
                Collect(internet_address_group_get_members(INTERNET_ADDRESS_GROUP(entry)), mailboxes);
            if (!status) return status;
            continue;
        }
        const char* name = internet_address_get_name(entry);
        const char* address = internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(entry));
        Mailbox mailbox{name == nullptr ? "" : name, address == nullptr ? "" : address};
        Status status = CheckAddress(mailbox.address);
        if (!status) return status;
        mailboxes->push_back(mailbox);
    }
    return Status::Ok();
}

GMimeParserOptions* AddressOptions() {
    InitializeMime();
    static GMimeParserOptions* const options = [] {
        GMimeParserOptions* o = g_mime_parser_options_new();
        g_mime_parser_options_set_address_compliance_mode(o, GMIME_RFC_COMPLIANCE_LOOSE);
        // Kept, so that CheckAddress refuses them instead of GMime dropping them.
        g_mime_parser_options_set_allow_addresses_without_domain(o, TRUE);
        return o;
    }();
    return options;
}

}  // namespace

Status ParseAddressList(const std::string& text, const std::string& charset, AddressList* parsed) {
    const std::string utf8 = ToUtf8(SingleLine(text), charset);
    parsed->mailboxes.clear();
    parsed->list.reset();
    const ListShape shape = ScanList(utf8);
    if (!shape.balanced) {
        return Status::Error("unclosed quote, comment or angle bracket in the address list \"" + text + "\"");
    }
    parsed->list.reset(internet_address_list_parse(AddressOptions(), utf8.c_str()));
    if (parsed->list == nullptr) return Status::Error("cannot read the address list \"" + text + "\"");
    Status status = Collect(parsed->list.get(), &parsed->mailboxes);
    if (!status) return status;
    if (parsed->mailboxes.empty()) return Status::Error("no address in \"" + text + "\"");
    if (static_cast<int>(parsed->mailboxes.size()) != shape.atSigns) {
        return Status::Error("cannot read every entry of the address list \"" + text + "\"");
    }
    return Status::Ok();
}

Status ParseSingleMailbox(const std::string& text, const std::string& charset, Mailbox* mailbox) {
    AddressList parsed;
    Status status = ParseAddressList(text, charset, &parsed);
    if (!status) return status;
    if (parsed.mailboxes.size() != 1 ||
        INTERNET_ADDRESS_IS_GROUP(internet_address_list_get_address(parsed.list.get(), 0))) {
        return Status::Error("\"" + text + "\" is not one address");
    }
    *mailbox = parsed.mailboxes.front();
    return Status::Ok();
}

bool InfoAsMailbox(const std::string& info, const std::string& charset, Mailbox* mailbox) {
    const bool bracketed = info.find('<') != std::string::npos;
    const bool bare = info.find('@') != std::string::npos && info.find_first_of(" \t") == std::string::npos;
    if (!bracketed && !bare) return false;
    return ParseSingleMailbox(info, charset, mailbox).ok();
}

}  // namespace tarn::mailer
