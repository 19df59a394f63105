#include "service/job/Recipients.h"

#include <algorithm>

#include "mailer/Addresses.h"
#include "mailer/MailText.h"
#include "service/job/TextHelpers.h"

namespace tarn {
namespace {

// Separators of the emallow entries.
constexpr const char* kAllowSeparators = " \t,;";

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

Status ReadRecipients(const std::string& list, const std::string& charset,
                      std::vector<std::string>* addresses) {
    addresses->clear();
    const std::string used = charset.empty() ? mailer::kDefaultCharset : charset;
    if (!mailer::IsKnownCharset(used))
        return Status::Error("unknown character set \"" + used + "\" (emcharset)");
    mailer::AddressList parsed;
    Status status = mailer::ParseAddressList(list, used, &parsed);
    if (!status) return status;
    for (const mailer::Mailbox& mailbox : parsed.mailboxes) addresses->push_back(mailbox.address);
    return Status::Ok();
}

int CountRecipients(const std::string& list, const std::string& charset) {
    std::vector<std::string> addresses;
    if (!ReadRecipients(list, charset, &addresses)) return 0;
    return static_cast<int>(addresses.size());
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
