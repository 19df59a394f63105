// blat: sends one file by e-mail through an SMTP server (see mailer/MailerOptions.h).
#include <cstdio>
#include <string>
#include <vector>

#include "mailer/Blat.h"

int main(int argc, char** argv) {
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
