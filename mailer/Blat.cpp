#include "mailer/Blat.h"

#include "mailer/MailFiles.h"
#include "mailer/MailerOptions.h"
#include "mailer/MimeMessage.h"
#include "mailer/SmtpSender.h"

namespace tarn::mailer {
namespace {

int Fail(MailerReport* report, int status, const std::string& text) {
    report->error = "blat: " + text + "\n";
    return status;
}

}  // namespace

int RunMailer(const std::vector<std::string>& args, MailerReport* report) {
    MailerOptions options;
    Status status = ParseMailerOptions(args, &options);
    SmtpRequest request;
    if (status) status = EnvelopeSender(options, &request.envelopeSender);
    AddressList recipients;
    if (status) status = ParseAddressList(options.recipients, options.charset, &recipients);
    if (status) status = ResolvePassword(options, &request.password);
    if (!status) return Fail(report, kExitBadArguments, "bad arguments: " + status.message());
    for (const Mailbox& mailbox : recipients.mailboxes) request.recipients.push_back(mailbox.address);

    // The first file is the text body, unless -base64 asks to send it as the attachment.
    MailMessage message;
    const bool firstIsAttachment = options.base64;
    const std::string attachmentPath = firstIsAttachment ? options.firstFile : options.attachment;
    if (!firstIsAttachment) {
        message.hasBody = true;
        status = ReadMailFile(options.firstFile, false, &message.body);
        if (!status) return Fail(report, kExitFileMissing, status.message());
    }
    if (!attachmentPath.empty()) {
        message.hasAttachment = true;
        message.attachment.name = AttachmentName(attachmentPath);
        status = ReadMailFile(attachmentPath, false, &message.attachment.contents);
        if (!status) return Fail(report, kExitFileMissing, status.message());
    }
    message.charset = options.charset;
    message.info = options.info;
    message.senderAddress = request.envelopeSender;
    message.recipients = options.recipients;
    message.subject = options.subject;
    status = ComposeMessage(message, &request.message);
    if (!status) return Fail(report, kExitBadArguments, "bad arguments: " + status.message());

    request.server = options.server;
    request.port = options.port;
    request.tls = options.tls;
    request.caFile = options.caFile;
    request.user = options.user;

    const std::string where = options.server + ":" + std::to_string(options.port);
    if (!options.quiet) {
        report->info += "Sending " + (attachmentPath.empty() ? options.firstFile : attachmentPath) + " to " +
                        options.recipients + " through " + where + "\n";
    }
    InitializeSmtp();
    SendResult sent = SendMessage(request);
    switch (sent.outcome) {
    case SendOutcome::kAccepted:
        if (!options.quiet) report->info += "Message accepted for delivery\n";
        return kExitSent;
    case SendOutcome::kCannotConnect:
        return Fail(report, kExitCannotConnect,
                    "cannot connect to mail server " + where + ": " + sent.detail);
    case SendOutcome::kAuthenticationRefused:
        return Fail(report, kExitAuthenticationRefused,
                    "authentication refused by mail server " + where + ": " + sent.detail);
    case SendOutcome::kRecipientRefused:
        return Fail(
            report, kExitRecipientRefused,
            "recipient refused by mail server " + where + " (" + options.recipients + "): " + sent.detail);
    case SendOutcome::kSenderRefused:
        return Fail(
            report, kExitSenderRefused,
            "sender " + request.envelopeSender + " refused by mail server " + where + ": " + sent.detail);
    case SendOutcome::kTlsFailed:
        return Fail(report, kExitTlsFailed,
                    "no verified TLS session with mail server " + where + ", nothing sent: " + sent.detail);
    case SendOutcome::kRejected:
        break;
    }
    return Fail(report, kExitRejected,
                "mail server " + where + " did not accept the message: " + sent.detail);
}

}  // namespace tarn::mailer
