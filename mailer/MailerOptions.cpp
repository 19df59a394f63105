#include "mailer/MailerOptions.h"

#include <cctype>
#include <cstdlib>

namespace tarn::mailer {
namespace {

// Highest TCP port number.
constexpr long kMaxPort = 65535;

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Trim(const std::string& text) {
    std::string::size_type begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos) return std::string();
    std::string::size_type end = text.find_last_not_of(" \t");
    return text.substr(begin, end - begin + 1);
}

// The bare address of "Name <address>" or "address".
Status ExtractAddress(const std::string& field, std::string* address) {
    std::string text = Trim(field);
    std::string::size_type open = text.rfind('<');
    if (open != std::string::npos) {
        std::string::size_type close = text.find('>', open);
        if (close == std::string::npos) return Status::Error("unterminated <address> in \"" + field + "\"");
        text = Trim(text.substr(open + 1, close - open - 1));
    }
    if (text.empty()) return Status::Error("empty address in \"" + field + "\"");
    for (unsigned char c : text) {
        if (c <= ' ' || c == 0x7f || c == '<' || c == '>') {
            return Status::Error("invalid address \"" + text + "\"");
        }
    }
    *address = text;
    return Status::Ok();
}

}  // namespace

Status ParseMailerOptions(const std::vector<std::string>& args, MailerOptions* options) {
    if (args.empty() || args[0].empty()) return Status::Error("missing the file to send (first argument)");
    if (args[0][0] == '-')
        return Status::Error("the first argument must name the file to send, not " + args[0]);
    options->firstFile = args[0];
    bool haveServer = false;
    bool haveRecipients = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string option = Lower(args[i]);
        if (option == "-base64") {
            options->base64 = true;
            continue;
        }
        if (option == "-q") {
            options->quiet = true;
            continue;
        }
        std::string* target = nullptr;
        if (option == "-attach")
            target = &options->attachment;
        else if (option == "-subject")
            target = &options->subject;
        else if (option == "-f")
            target = &options->sender;
        else if (option == "-t")
            target = &options->recipients;
        else if (option == "-i")
            target = &options->info;
        else if (option == "-server")
            target = &options->server;
        else if (option == "-u")
            target = &options->user;
        else if (option == "-pw")
            target = &options->password;
        if (target == nullptr && option != "-port") return Status::Error("unknown argument " + args[i]);
        if (i + 1 >= args.size()) return Status::Error("option " + args[i] + " needs a value");
        const std::string& value = args[++i];
        if (option == "-port") {
            char* end = nullptr;
            long port = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || port < 1 || port > kMaxPort) {
                return Status::Error("invalid port \"" + value + "\"");
            }
            options->port = static_cast<int>(port);
            continue;
        }
        *target = value;
        if (option == "-server") haveServer = true;
        if (option == "-t") haveRecipients = true;
    }
    if (!haveServer || options->server.empty()) return Status::Error("no mail server given (-server)");
    if (!haveRecipients) return Status::Error("no recipients given (-t)");
    if (!options->attachment.empty() && options->base64) {
        return Status::Error("-base64 sends the first file itself and cannot be combined with -attach");
    }
    if (options->user.empty() != options->password.empty()) {
        return Status::Error("-u and -pw must be given together");
    }
    return Status::Ok();
}

Status ParseRecipients(const std::string& list, std::vector<std::string>* addresses) {
    addresses->clear();
    std::string::size_type start = 0;
    for (;;) {
        std::string::size_type comma = list.find(',', start);
        std::string field =
            list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (!Trim(field).empty()) {
            std::string address;
            Status status = ExtractAddress(field, &address);
            if (!status) return status;
            addresses->push_back(address);
        }
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    if (addresses->empty()) return Status::Error("no recipient address in \"" + list + "\"");
    return Status::Ok();
}

Status EnvelopeSender(const MailerOptions& options, std::string* address) {
    if (!Trim(options.sender).empty()) return ExtractAddress(options.sender, address);
    if (options.info.find('@') != std::string::npos) return ExtractAddress(options.info, address);
    return Status::Error("no sender address (-f is empty)");
}

}  // namespace tarn::mailer
