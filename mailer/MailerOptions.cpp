#include "mailer/MailerOptions.h"

#include <cctype>
#include <cstdlib>

#include "mailer/MailFiles.h"

namespace tarn::mailer {
namespace {

// Highest TCP port number.
constexpr long kMaxPort = 65535;

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool IsBlank(const std::string& text) { return text.find_first_not_of(" \t") == std::string::npos; }

Status ParseTlsMode(const std::string& value, TlsMode* mode) {
    const std::string name = Lower(value);
    if (name == "none") {
        *mode = TlsMode::kNone;
    } else if (name == "starttls") {
        *mode = TlsMode::kStartTls;
    } else if (name == "smtps") {
        *mode = TlsMode::kSmtps;
    } else {
        return Status::Error("-tls takes none, starttls or smtps, not \"" + value + "\"");
    }
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
        else if (option == "-pwfile")
            target = &options->passwordFile;
        else if (option == "-charset")
            target = &options->charset;
        else if (option == "-cafile")
            target = &options->caFile;
        if (target == nullptr && option != "-port" && option != "-tls")
            return Status::Error("unknown argument " + args[i]);
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
        if (option == "-tls") {
            Status status = ParseTlsMode(value, &options->tls);
            if (!status) return status;
            continue;
        }
        *target = value;
        if (option == "-server") haveServer = true;
        if (option == "-t") haveRecipients = true;
        if (option == "-pw") options->havePassword = true;
    }
    if (!haveServer || options->server.empty()) return Status::Error("no mail server given (-server)");
    if (!haveRecipients) return Status::Error("no recipients given (-t)");
    if (!options->attachment.empty() && options->base64) {
        return Status::Error("-base64 sends the first file itself and cannot be combined with -attach");
    }
    if (options->user.empty() && (options->havePassword || !options->passwordFile.empty())) {
        return Status::Error("a password (-pw, -pwfile) needs a user (-u)");
    }
    if (options->havePassword && !options->passwordFile.empty()) {
        return Status::Error("give the password once: -pw or -pwfile");
    }
    if (!IsKnownCharset(options->charset))
        return Status::Error("unknown charset \"" + options->charset + "\"");
    if (!options->caFile.empty() && options->tls == TlsMode::kNone) {
        return Status::Error("-cafile needs -tls starttls or -tls smtps");
    }
    if (options->port == 0) options->port = options->tls == TlsMode::kSmtps ? kSmtpsPort : kSmtpPort;
    return Status::Ok();
}

Status ResolvePassword(const MailerOptions& options, std::string* password) {
    password->clear();
    if (options.user.empty()) return Status::Ok();
    if (options.havePassword) {
        *password = options.password;
    } else if (!options.passwordFile.empty()) {
        std::string contents;
        Status status = ReadMailFile(options.passwordFile, true, &contents);
        if (!status) return status;
        *password = contents.substr(0, contents.find_first_of("\r\n"));
    } else if (const char* variable = std::getenv(kPasswordVariable)) {
        *password = variable;
    }
    if (password->empty()) {
        return Status::Error(std::string("-u needs a password: -pw, -pwfile or the environment variable ") +
                             kPasswordVariable);
    }
    return Status::Ok();
}

Status EnvelopeSender(const MailerOptions& options, std::string* address) {
    Mailbox mailbox;
    if (!IsBlank(options.sender)) {
        Status status = ParseSingleMailbox(options.sender, options.charset, &mailbox);
        if (!status) return Status::Error("sender (-f): " + status.message());
    } else if (!InfoAsMailbox(options.info, options.charset, &mailbox)) {
        return Status::Error("no sender address (-f is empty)");
    }
    *address = mailbox.address;
    return Status::Ok();
}

}  // namespace tarn::mailer
