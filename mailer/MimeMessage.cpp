#include "mailer/MimeMessage.h"

#include <cctype>
#include <cstdio>
#include <random>

#include "mailer/Base64.h"

namespace tarn::mailer {
namespace {

// Bytes of text per RFC 2047 encoded word, so that each word stays within
// the 75 characters the RFC allows.
constexpr std::size_t kEncodedWordBytes = 45;
// Longest header value written as plain text before it is encoded and folded.
constexpr std::size_t kPlainHeaderLimit = 900;

bool IsPlainHeaderText(const std::string& text) {
    if (text.size() > kPlainHeaderLimit) return false;
    for (unsigned char c : text) {
        if (c < ' ' || c >= 0x7f) return false;
    }
    return true;
}

// Text lines with CR LF ends; true when every line is short 7-bit text.
std::string WithCrLf(const std::string& text, bool* sevenBit) {
    std::string out;
    out.reserve(text.size() + text.size() / 32);
    *sevenBit = true;
    std::size_t lineLength = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\n' || (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
            if (c == '\r') ++i;
            out += "\r\n";
            lineLength = 0;
            continue;
        }
        if (c == 0 || c == '\r' || c >= 0x80 || ++lineLength > kMaxLineLength) *sevenBit = false;
        out += static_cast<char>(c);
    }
    if (!out.empty() && out.compare(out.size() - 2, 2, "\r\n") != 0) out += "\r\n";
    return out;
}

std::string QuotedParameter(const std::string& value) {
    std::string out = "\"";
    for (char c : value) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

// The file-name parameters of an attachment: plain quoted ASCII, or the
// RFC 2231 form for other bytes.
std::string FileNameParameters(const std::string& name) {
    if (IsPlainHeaderText(name)) {
        return "name=" + QuotedParameter(name) +
               "\r\nContent-Disposition: attachment; filename=" + QuotedParameter(name);
    }
    std::string encoded = std::string(kTextCharset) + "''";
    for (unsigned char c : name) {
        if (std::isalnum(c) || c == '.' || c == '-' || c == '_') {
            encoded += static_cast<char>(c);
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            encoded += hex;
        }
    }
    return "name*=" + encoded + "\r\nContent-Disposition: attachment; filename*=" + encoded;
}

std::string ContentTypeFor(const std::string& name) {
    std::string::size_type dot = name.rfind('.');
    std::string ext = dot == std::string::npos ? std::string() : name.substr(dot + 1);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext == "pdf") return "application/pdf";
    if (ext == "xls") return "application/vnd.ms-excel";
    if (ext == "txt") return std::string("text/plain; charset=") + kTextCharset;
    return "application/octet-stream";
}

std::string RandomHex(std::size_t bytes) {
    static thread_local std::mt19937_64 generator{std::random_device{}()};
    std::string out;
    while (out.size() < bytes * 2) {
        char chunk[17];
        std::snprintf(chunk, sizeof chunk, "%016llx", static_cast<unsigned long long>(generator()));
        out += chunk;
    }
    out.resize(bytes * 2);
    return out;
}

}  // namespace

std::string FormatMailDate(const LocalDateTime& t) {
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    int offset = t.utcOffsetMinutes;
    char sign = offset < 0 ? '-' : '+';
    if (offset < 0) offset = -offset;
    char text[64];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d %c%02d%02d", kDays[t.weekday % 7],
                  t.day, kMonths[(t.month + 11) % 12], t.year, t.hour, t.minute, t.second, sign, offset / 60,
                  offset % 60);
    return text;
}

MessageStamp NewMessageStamp(const std::string& senderAddress) {
    LocalDateTime now = CurrentLocalTime();
    std::string::size_type at = senderAddress.rfind('@');
    std::string domain = at == std::string::npos || at + 1 == senderAddress.size()
                             ? std::string("tarn.localdomain")
                             : senderAddress.substr(at + 1);
    char when[32];
    std::snprintf(when, sizeof when, "%04d%02d%02d%02d%02d%02d", now.year, now.month, now.day, now.hour,
                  now.minute, now.second);
    MessageStamp stamp;
    stamp.date = FormatMailDate(now);
    stamp.messageId = "<" + std::string(when) + "." + RandomHex(8) + "@" + domain + ">";
    // '=' followed by '_' never occurs inside base64 or 7-bit text lines of ours.
    stamp.boundary = "=_tarn_" + RandomHex(12);
    return stamp;
}

std::string EncodeHeaderText(const std::string& text) {
    if (IsPlainHeaderText(text)) return text;
    std::string out;
    for (std::size_t pos = 0; pos < text.size(); pos += kEncodedWordBytes) {
        if (pos > 0) out += "\r\n ";
        out += "=?" + std::string(kTextCharset) + "?B?" + EncodeBase64(text.substr(pos, kEncodedWordBytes)) +
               "?=";
    }
    return out;
}

std::string FromHeader(const std::string& info, const std::string& senderAddress) {
    if (info.empty()) return senderAddress;
    if (info.find('@') != std::string::npos) return EncodeHeaderText(info);
    std::string name = IsPlainHeaderText(info) ? QuotedParameter(info) : EncodeHeaderText(info);
    return name + " <" + senderAddress + ">";
}

std::string AttachmentName(const std::string& path) {
    std::string::size_type cut = path.find_last_of("/\\");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string ComposeMessage(const MailMessage& message, const MessageStamp& stamp) {
    std::string out;
    out += "Date: " + stamp.date + "\r\n";
    out += "From: " + FromHeader(message.from, message.senderAddress) + "\r\n";
    out += "To: " + EncodeHeaderText(message.to) + "\r\n";
    out += "Subject: " + EncodeHeaderText(message.subject) + "\r\n";
    out += "Message-ID: " + stamp.messageId + "\r\n";
    out += "MIME-Version: 1.0\r\n";
    out += "X-Mailer: blat (TARN)\r\n";

    bool sevenBit = true;
    std::string body = message.hasBody ? WithCrLf(message.body, &sevenBit) : std::string();
    std::string textPart = std::string("Content-Type: text/plain; charset=") + kTextCharset + "\r\n" +
                           "Content-Transfer-Encoding: " + (sevenBit ? "7bit" : "base64") + "\r\n\r\n" +
                           (sevenBit ? body : EncodeBase64(body, kBase64LineLength));
    if (!message.hasAttachment) {
        out += message.hasBody ? textPart : std::string("Content-Type: text/plain\r\n\r\n");
        return out;
    }
    const std::string delimiter = "--" + stamp.boundary + "\r\n";
    out += "Content-Type: multipart/mixed; boundary=\"" + stamp.boundary + "\"\r\n\r\n";
    out += "This is a multi-part message in MIME format.\r\n\r\n";
    if (message.hasBody) out += delimiter + textPart + "\r\n";
    out += delimiter;
    out += "Content-Type: " + ContentTypeFor(message.attachment.name) + "; " +
           FileNameParameters(message.attachment.name) + "\r\n";
    out += "Content-Transfer-Encoding: base64\r\n\r\n";
    out += EncodeBase64(message.attachment.contents, kBase64LineLength);
    out += "\r\n--" + stamp.boundary + "--\r\n";
    return out;
}

}  // namespace tarn::mailer
