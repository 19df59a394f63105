// The mailer's message building on arbitrary header texts, body and file
// name: recipient lists that parse must give a message that is sound on the
// wire and that GMime reads back with the same recipients.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "mailer/Addresses.h"
#include "mailer/MimeMessage.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

// Fields of the input, separated by NUL bytes.
std::vector<std::string> Fields(const char* data, std::size_t size, std::size_t count) {
    std::vector<std::string> fields(count);
    std::size_t field = 0;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == '\0' && field + 1 < count) {
            ++field;
        } else {
            fields[field] += data[i];
        }
    }
    return fields;
}

// Every line ends with CR LF and fits in SMTP's line limit.
void CheckWireForm(const std::string& raw) {
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\r') Check(i + 1 < raw.size() && raw[i + 1] == '\n');
        if (raw[i] == '\n') {
            Check(i > 0 && raw[i - 1] == '\r');
            Check(i - 1 - lineStart <= tarn::mailer::kMaxLineLength);
            lineStart = i + 1;
        }
    }
}

// Every blank-separated word of the Subject header (no quoting there: every
// "=?" word in it is an encoded word the mailer wrote) within RFC 2047's 75.
void CheckSubjectWords(const std::string& raw) {
    std::size_t at = raw.find("\r\nSubject:");
    if (at == std::string::npos) return;
    std::size_t end = at + 2;
    do {
        end = raw.find("\r\n", end + 1);
    } while (end != std::string::npos && end + 2 < raw.size() &&
             (raw[end + 2] == ' ' || raw[end + 2] == '\t'));
    const std::string subject = raw.substr(at + 10, end - at - 10);
    std::size_t word = 0;
    while ((word = subject.find_first_not_of(" \t\r\n", word)) != std::string::npos) {
        const std::size_t next = std::min(subject.size(), subject.find_first_of(" \t\r\n", word));
        if (subject.compare(word, 2, "=?") == 0) Check(next - word <= 75);
        word = next;
    }
}

// The number of mailboxes in the To header GMime reads from `raw`.
int RecipientsReadBack(const std::string& raw) {
    using namespace tarn::mailer;
    GObjectPtr<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(raw.data(), raw.size()));
    GObjectPtr<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
    GObjectPtr<GMimeMessage> message(g_mime_parser_construct_message(parser.get(), nullptr));
    if (message == nullptr) return -1;
    std::vector<Mailbox> mailboxes;
    InternetAddressList* to = g_mime_message_get_addresses(message.get(), GMIME_ADDRESS_TYPE_TO);
    int count = 0;
    std::vector<InternetAddressList*> pending = {to};
    while (!pending.empty()) {
        InternetAddressList* list = pending.back();
        pending.pop_back();
        for (int i = 0; i < internet_address_list_length(list); ++i) {
            InternetAddress* entry = internet_address_list_get_address(list, i);
            if (INTERNET_ADDRESS_IS_GROUP(entry)) {
                pending.push_back(internet_address_group_get_members(INTERNET_ADDRESS_GROUP(entry)));
            } else {
                ++count;
            }
        }
    }
    return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarn::mailer;
    if (size == 0) return 0;
    static const char* const kCharsets[] = {"windows-1252", "windows-1250", "utf-8", "shift_jis"};
    std::vector<std::string> f = Fields(reinterpret_cast<const char*>(data + 1), size - 1, 5);
    MailMessage message;
    message.charset = kCharsets[data[0] % 4];
    message.recipients = f[0];
    message.info = f[1];
    message.subject = f[2];
    message.hasBody = (data[0] & 4) != 0;
    message.body = f[3];
    message.hasAttachment = !message.hasBody || (data[0] & 8) != 0;
    message.attachment.name = f[4];
    message.attachment.contents = f[3];
    message.senderAddress = "tarn@example.org";

    AddressList parsed;
    const bool listOk = ParseAddressList(message.recipients, message.charset, &parsed).ok();
    std::string raw;
    const bool built = ComposeMessage(message, &raw).ok();
    Check(built == listOk);
    if (!built) return 0;
    for (const Mailbox& mailbox : parsed.mailboxes) {
        Check(mailbox.address.find_first_of("\r\n <>") == std::string::npos);
        Check(mailbox.address.find('@') != std::string::npos);
    }
    CheckWireForm(raw);
    CheckSubjectWords(raw);
    Check(RecipientsReadBack(raw) == static_cast<int>(parsed.mailboxes.size()));
    return 0;
}
