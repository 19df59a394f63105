// blat: sends one file by e-mail through an SMTP server (see mailer/MailerOptions.h).
#include <cstdio>
#include <string>
#include <vector>

#include "common/ProgramInfo.h"
#include "mailer/Blat.h"

namespace {

const char kUsage[] =
    "usage: blat FILE [-attach FILE] -subject TEXT -f SENDER -t LIST [-i FROM]\n"
    "            -server HOST [-port PORT] [-base64] [-u USER [-pw PASSWORD | -pwfile FILE]]\n"
    "            [-q] [-charset NAME] [-tls none|starttls|smtps] [-cafile FILE]\n"
    "Sends FILE as the text of one e-mail (or as a base64 attachment) over SMTP.\n"
    "With -u and no password option the password is read from TARN_SMTP_PASSWORD.\n";

}  // namespace

int main(int argc, char** argv) {
    if (tarn::AnswerHelpOrVersion(argc, argv, "blat", kUsage)) return 0;
    std::vector<std::string> args(argv + 1, argv + argc);
    tarn::mailer::MailerReport report;
    int status = tarn::mailer::RunMailer(args, &report);
    // Each report goes out with one write, never held back in a buffer.
    if (!report.info.empty()) {
        std::fwrite(report.info.data(), 1, report.info.size(), stdout);
        std::fflush(stdout);
    }
    if (!report.error.empty()) std::fwrite(report.error.data(), 1, report.error.size(), stderr);
    return status;
}
