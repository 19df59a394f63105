#include "mailer/MimeMessage.h"

#include <algorithm>
#include <cctype>

namespace tarn::mailer {
namespace {

// Longest encoded word (RFC 2047, section 2), and the header line length
// folding keeps to (RFC 5322, section 2.1.1).
constexpr std::size_t kEncodedWordLength = 75;
constexpr std::size_t kFoldLength = 78;
constexpr const char* kEncodedWordPrefix = "=?utf-8?B?";

std::string ContentTypeFor(const std::string& name) {
    std::string::size_type dot = name.rfind('.');
    std::string ext = dot == std::string::npos ? std::string() : name.substr(dot + 1);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext == "pdf") return "application/pdf";
    if (ext == "xls") return "application/vnd.ms-excel";
    if (ext == "txt") return "text/plain";
    return "application/octet-stream";
}

// The label of a text in `charset` or UTF-8.
std::string LabelFor(const std::string& text, const std::string& charset) {
    return IsEightBitUtf8(text) ? "utf-8" : charset;
}

// True when `text` holds "=?", the opening of an encoded word. GMime passes
// such text through unencoded: a reader could decode a word of the form
// "=?charset?X?text?=" into something the sender never wrote, and a long word
// beginning "=?" is taken for an encoded word past the 75 characters RFC 2047
// allows. Such a subject is encoded whole instead.
bool HoldsEncodedWordLookalike(const std::string& text) { return text.find("=?") != std::string::npos; }

// `utf8` as a run of base64 encoded words, one per line, each at most 75
// characters, never splitting a character (FoldHeaderLines moves the first
// to a line of its own when it does not fit after what precedes it). A word
// ends before a blank of the text where one is near, so that the blank opens
// the next word: readers that wrongly keep the space between encoded words of
// a name then show two blanks rather than a name cut in two.
std::string EncodeWholeText(const std::string& utf8) {
    const std::size_t frame = std::char_traits<char>::length(kEncodedWordPrefix) + 2;
    const std::size_t room = (kEncodedWordLength - frame) / 4 * 3;  // bytes a word holds
    std::string out;
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        std::size_t end = std::min(utf8.size(), pos + room);
        while (end < utf8.size() && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80) --end;
        const std::size_t blank = end < utf8.size() ? utf8.rfind(' ', end) : std::string::npos;
        if (blank != std::string::npos && blank >= pos + room / 2) end = blank;
        GCharsPtr base64(g_base64_encode(reinterpret_cast<const guchar*>(utf8.data() + pos), end - pos));
        if (!out.empty()) out += "\r\n ";
        out += std::string(kEncodedWordPrefix) + base64.get() + "?=";
        pos = end;
    }
    return out;
}

// Length of the encoded word ("=?charset?B?text?=" or "?Q?") at `at`, or 0.
std::size_t EncodedWordAt(const std::string& text, std::size_t at) {
    if (text.compare(at, 2, "=?") != 0) return 0;
    const std::size_t charsetEnd = text.find('?', at + 2);
    if (charsetEnd == std::string::npos || charsetEnd + 2 >= text.size() || text[charsetEnd + 2] != '?' ||
        std::string("BbQq").find(text[charsetEnd + 1]) == std::string::npos) {
        return 0;
    }
    const std::size_t end = text.find("?=", charsetEnd + 3);
    if (end == std::string::npos) return 0;
    const std::size_t length = end + 2 - at;
    return text.find_first_of(" \t\r\n", at) < at + length ? 0 : length;
}

// GMime 3.2 cuts the texts it encodes into words of up to 38 characters, not
// bytes, and writes some as quoted-printable, so a name or subject of long
// words or many non-ASCII letters comes out in encoded words of up to ~150
// characters, past the 75 RFC 2047 allows. Every such word of the message's
// header block is decoded (by GMime) and written again as several words
// within the limit; whitespace between encoded words is not part of the text,
// so readers put the pieces together again. Quoted strings of address fields
// are left alone: a name there is the name, whatever it looks like.
std::string SplitLongEncodedWords(const std::string& wire) {
    const std::size_t headerEnd = wire.find("\r\n\r\n");
    if (headerEnd == std::string::npos) return wire;
    std::string out;
    out.reserve(wire.size() + wire.size() / 8);
    bool structured = false;  // an address field, where quotes group text
    bool quoted = false;
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i < headerEnd; ++i) {
        const char c = wire[i];
        if (i == lineStart && c != ' ' && c != '\t') {
            structured = g_ascii_strncasecmp(wire.c_str() + i, "Subject:", 8) != 0;
            quoted = false;
        }
        if (c == '\n') lineStart = i + 1;
        if (structured && quoted && c == '\\' && i + 1 < headerEnd) {
            out += c;
            out += wire[++i];
            continue;
        }
        if (structured && c == '"') quoted = !quoted;
        const bool wordStart = i > 0 && (wire[i - 1] == ' ' || wire[i - 1] == '\t');
        const std::size_t length = quoted || !wordStart ? 0 : EncodedWordAt(wire, i);
        if (length == 0) {
            out += c;
            continue;
        }
        if (length <= kEncodedWordLength) {
            out.append(wire, i, length);
        } else {
            GCharsPtr text(g_mime_utils_header_decode_text(nullptr, wire.substr(i, length).c_str()));
            out += EncodeWholeText(text.get());
        }
        i += length - 1;
        // In an address field an encoded word stands apart from the special
        // after it (GMime writes a group's name right before its ':').
        if (structured && i + 1 < headerEnd && std::string(" \t\r").find(wire[i + 1]) == std::string::npos)
            out += ' ';
    }
    out.append(wire, headerEnd, std::string::npos);
    return out;
}

void SetSubject(GMimeMessage* message, const std::string& subject, const std::string& charset) {
    const std::string utf8 = ToUtf8(SingleLine(subject), charset);
    g_mime_message_set_subject(message, utf8.c_str(), LabelFor(utf8, charset).c_str());
    if (!HoldsEncodedWordLookalike(utf8)) return;
    GMimeHeader* header =
        g_mime_header_list_get_header(g_mime_object_get_header_list(GMIME_OBJECT(message)), "Subject");
    g_mime_header_set_raw_value(header, (" " + EncodeWholeText(utf8) + "\r\n").c_str());
}

void SetAddressCharsets(InternetAddressList* list, const std::string& charset) {
    const int count = internet_address_list_length(list);
    for (int i = 0; i < count; ++i) {
        InternetAddress* entry = internet_address_list_get_address(list, i);
        const char* name = internet_address_get_name(entry);
        internet_address_set_charset(entry, LabelFor(name == nullptr ? "" : name, charset).c_str());
        if (INTERNET_ADDRESS_IS_GROUP(entry)) {
            SetAddressCharsets(internet_address_group_get_members(INTERNET_ADDRESS_GROUP(entry)), charset);
        }
    }
}

void SetFrom(GMimeMessage* message, const MailMessage& mail) {
    Mailbox from;
    if (!InfoAsMailbox(mail.info, mail.charset, &from)) {
        from.name = ToUtf8(SingleLine(mail.info), mail.charset);
        from.address = mail.senderAddress;
    }
    InternetAddress* address = internet_address_mailbox_new(from.name.c_str(), from.address.c_str());
    internet_address_set_charset(address, LabelFor(from.name, mail.charset).c_str());
    internet_address_list_add(g_mime_message_get_addresses(message, GMIME_ADDRESS_TYPE_FROM), address);
    g_object_unref(address);
}

// A leaf part holding `contents` with the given transfer encoding.
void SetContent(GMimePart* part, const std::string& contents, GMimeContentEncoding encoding) {
    GObjectPtr<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(contents.data(), contents.size()));
    GObjectPtr<GMimeDataWrapper> wrapper(
        g_mime_data_wrapper_new_with_stream(stream.get(), GMIME_CONTENT_ENCODING_DEFAULT));
    g_mime_part_set_content(part, wrapper.get());
    g_mime_part_set_content_encoding(part, encoding);
}

// Short 7-bit lines go as they are; anything else in base64, so that every
// byte arrives as given.
GMimeContentEncoding TextEncoding(const std::string& crlfText) {
    std::size_t lineLength = 0;
    for (unsigned char c : crlfText) {
        if (c == '\n') {
            lineLength = 0;
            continue;
        }
        if (c == 0 || c >= 0x80 || (c == '\r' ? false : ++lineLength > kMaxLineLength)) {
            return GMIME_CONTENT_ENCODING_BASE64;
        }
    }
    return GMIME_CONTENT_ENCODING_7BIT;
}

GObjectPtr<GMimeObject> TextPart(const std::string& body, const std::string& charset) {
    const std::string text = WithCrLf(body);
    GObjectPtr<GMimeTextPart> part(g_mime_text_part_new_with_subtype("plain"));
    g_mime_text_part_set_charset(part.get(), LabelFor(text, charset).c_str());
    SetContent(GMIME_PART(part.get()), text, TextEncoding(text));
    return GObjectPtr<GMimeObject>(GMIME_OBJECT(part.release()));
}

GObjectPtr<GMimeObject> AttachmentPart(const MailAttachment& attachment, const std::string& charset) {
    const std::string type = ContentTypeFor(attachment.name);
    GObjectPtr<GMimeContentType> contentType(g_mime_content_type_parse(nullptr, type.c_str()));
    GObjectPtr<GMimePart> part(
        g_mime_part_new_with_type(g_mime_content_type_get_media_type(contentType.get()),
                                  g_mime_content_type_get_media_subtype(contentType.get())));
    if (type == "text/plain") {
        g_mime_object_set_content_type_parameter(GMIME_OBJECT(part.get()), "charset",
                                                 LabelFor(attachment.contents, charset).c_str());
    }
    const std::string name = ToUtf8(SingleLine(attachment.name), charset);
    g_mime_part_set_filename(part.get(), name.c_str());  // sets Content-Disposition: attachment too
    SetContent(part.get(), attachment.contents, GMIME_CONTENT_ENCODING_BASE64);
    return GObjectPtr<GMimeObject>(GMIME_OBJECT(part.release()));
}

std::string DomainOf(const std::string& address) {
    std::string::size_type at = address.rfind('@');
    return at == std::string::npos ? std::string("localhost") : address.substr(at + 1);
}

// GMime leaves some header lines unfolded (a group's long encoded name is one
// line of many encoded words). Folds every header line longer than
// kFoldLength before a blank, the last one that keeps the line within the
// limit, or else the first one after it; a line without a blank stays as is.
std::string FoldHeaderLines(const std::string& wire) {
    const std::size_t headerEnd = wire.find("\r\n\r\n");
    if (headerEnd == std::string::npos) return wire;
    std::string out;
    out.reserve(wire.size() + wire.size() / 32);
    std::size_t start = 0;
    while (start < headerEnd + 2) {
        const std::size_t end = wire.find("\r\n", start);
        std::string line = wire.substr(start, end - start);
        while (line.size() > kFoldLength) {
            std::size_t cut = std::string::npos;
            for (std::size_t i = 1; i < line.size(); ++i) {
                const bool blank = line[i] == ' ' || line[i] == '\t';
                const bool textBefore = line.find_first_not_of(" \t") < i;
                if (!blank || !textBefore) continue;
                if (i <= kFoldLength || cut == std::string::npos) cut = i;
                if (i > kFoldLength) break;
            }
            if (cut == std::string::npos) break;
            out.append(line, 0, cut);
            out += "\r\n";
            line.erase(0, cut);
        }
        out += line;
        out += "\r\n";
        start = end + 2;
    }
    out.append(wire, headerEnd + 2, std::string::npos);
    return out;
}

}  // namespace

std::string AttachmentName(const std::string& path) {
    std::string::size_type cut = path.find_last_of("/\\");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

Status ComposeMessage(const MailMessage& mail, std::string* out) {
    InitializeMime();
    AddressList to;
    Status status = ParseAddressList(mail.recipients, mail.charset, &to);
    if (!status) return status;

    GObjectPtr<GMimeMessage> message(g_mime_message_new(TRUE));
    GDateTime* now = g_date_time_new_now_local();
    g_mime_message_set_date(message.get(), now);
    g_date_time_unref(now);
    SetFrom(message.get(), mail);
    SetAddressCharsets(to.list.get(), mail.charset);
    internet_address_list_append(g_mime_message_get_addresses(message.get(), GMIME_ADDRESS_TYPE_TO),
                                 to.list.get());
    SetSubject(message.get(), mail.subject, mail.charset);
    GCharsPtr id(g_mime_utils_generate_message_id(DomainOf(mail.senderAddress).c_str()));
    g_mime_message_set_message_id(message.get(), id.get());
    g_mime_object_set_header(GMIME_OBJECT(message.get()), "X-Mailer", "blat (TARN)", nullptr);

    GObjectPtr<GMimeObject> body;
    if (mail.hasBody) body = TextPart(mail.body, mail.charset);
    if (mail.hasAttachment) {
        GObjectPtr<GMimeMultipart> mixed(g_mime_multipart_new_with_subtype("mixed"));
        g_mime_multipart_set_prologue(mixed.get(), "This is a multi-part message in MIME format.");
        if (body != nullptr) g_mime_multipart_add(mixed.get(), body.get());
        g_mime_multipart_add(mixed.get(), AttachmentPart(mail.attachment, mail.charset).get());
        body.reset(GMIME_OBJECT(mixed.release()));
    } else if (body == nullptr) {
        body = TextPart("", mail.charset);
    }
    g_mime_message_set_mime_part(message.get(), body.get());

    GMimeFormatOptions* format = g_mime_format_options_new();
    g_mime_format_options_set_newline_format(format, GMIME_NEWLINE_FORMAT_DOS);
    GObjectPtr<GMimeStream> stream(g_mime_stream_mem_new());
    g_mime_object_write_to_stream(GMIME_OBJECT(message.get()), format, stream.get());
    g_mime_format_options_free(format);
    GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream.get()));
    out->assign(FoldHeaderLines(
        SplitLongEncodedWords(std::string(reinterpret_cast<const char*>(bytes->data), bytes->len))));
    return Status::Ok();
}

}  // namespace tarn::mailer
