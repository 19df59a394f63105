#include <gtest/gtest.h>

#include "mailer/Base64.h"
#include "mailer/MailerOptions.h"
#include "mailer/MimeMessage.h"

namespace tarn::mailer {
namespace {

using Args = std::vector<std::string>;

TEST(MailerOptions, ReadsTheCommandLineTheServiceBuilds) {
    MailerOptions o;
    ASSERT_TRUE(ParseMailerOptions({"/tmp/ORV1.tmp",
                                    "-attach",
                                    "/out/a.pdf",
                                    "-subject",
                                    "DEV output",
                                    "-f",
                                    "tarn@x.org",
                                    "-t",
                                    "a@b.com,c@d.com",
                                    "-i",
                                    "TARN",
                                    "-server",
                                    "mail",
                                    "-port",
                                    "2525",
                                    "-u",
                                    "usr",
                                    "-pw",
                                    "pwd",
                                    "-q"},
                                   &o));
    EXPECT_EQ(o.firstFile, "/tmp/ORV1.tmp");
    EXPECT_EQ(o.attachment, "/out/a.pdf");
    EXPECT_EQ(o.subject, "DEV output");
    EXPECT_EQ(o.sender, "tarn@x.org");
    EXPECT_EQ(o.recipients, "a@b.com,c@d.com");
    EXPECT_EQ(o.info, "TARN");
    EXPECT_EQ(o.server, "mail");
    EXPECT_EQ(o.port, 2525);
    EXPECT_EQ(o.user, "usr");
    EXPECT_EQ(o.password, "pwd");
    EXPECT_TRUE(o.quiet);
    EXPECT_FALSE(o.base64);

    MailerOptions w;
    ASSERT_TRUE(ParseMailerOptions(
        {"/out/a.pdf", "-SUBJECT", "", "-f", "", "-t", "a@b", "-i", "", "-Server", "mail", "-base64"}, &w));
    EXPECT_TRUE(w.base64);
    EXPECT_EQ(w.port, 25);
    EXPECT_EQ(w.subject, "");
}

TEST(MailerOptions, RefusesFaultyCommandLines) {
    const std::vector<Args> faulty = {
        {},
        {"-t", "a@b", "-server", "m"},                  // no file
        {"f", "-t", "a@b"},                             // no server
        {"f", "-server", "m"},                          // no recipients
        {"f", "-t", "a@b", "-server", "m", "-attach"},  // value missing
        {"f", "-t", "a@b", "-server", "m", "-x"},       // unknown option
        {"f", "-t", "a@b", "-server", "m", "extra"},    // stray argument
        {"f", "-t", "a@b", "-server", "m", "-port", "0"},
        {"f", "-t", "a@b", "-server", "m", "-port", "25x"},
        {"f", "-t", "a@b", "-server", "m", "-u", "usr"},  // -u without -pw
        {"f", "-t", "a@b", "-server", "m", "-attach", "g", "-base64"},
    };
    for (const Args& args : faulty) {
        MailerOptions o;
        EXPECT_FALSE(ParseMailerOptions(args, &o).ok()) << (args.empty() ? "" : args.back());
    }
}

TEST(MailerOptions, RecipientsAndSender) {
    std::vector<std::string> to;
    ASSERT_TRUE(ParseRecipients(" a@b.com , Bob Smith <c@d.com>,,", &to));
    EXPECT_EQ(to, (Args{"a@b.com", "c@d.com"}));
    EXPECT_FALSE(ParseRecipients(" , ", &to).ok());
    EXPECT_FALSE(ParseRecipients("a b@c.com", &to).ok());
    EXPECT_FALSE(ParseRecipients("Bob <c@d.com", &to).ok());

    MailerOptions o;
    std::string sender;
    o.sender = "tarn@x.org";
    o.info = "ops@y.org";
    ASSERT_TRUE(EnvelopeSender(o, &sender));
    EXPECT_EQ(sender, "tarn@x.org");
    o.sender = "";
    ASSERT_TRUE(EnvelopeSender(o, &sender));
    EXPECT_EQ(sender, "ops@y.org");
    o.info = "TARN Server";
    EXPECT_FALSE(EnvelopeSender(o, &sender).ok());
}

TEST(MimeMessage, HeaderPieces) {
    EXPECT_EQ(EncodeBase64(""), "");
    EXPECT_EQ(EncodeBase64("f"), "Zg==");
    EXPECT_EQ(EncodeBase64("fo"), "Zm8=");
    EXPECT_EQ(EncodeBase64("foobar"), "Zm9vYmFy");
    EXPECT_EQ(EncodeBase64(std::string(60, 'a'), kBase64LineLength).find("\r\n"), kBase64LineLength);

    LocalDateTime t;
    t.year = 2024, t.month = 3, t.day = 5, t.hour = 14, t.minute = 7, t.second = 9, t.weekday = 2;
    t.utcOffsetMinutes = -330;
    EXPECT_EQ(FormatMailDate(t), "Tue, 05 Mar 2024 14:07:09 -0530");

    EXPECT_EQ(FromHeader("", "tarn@x.org"), "tarn@x.org");
    EXPECT_EQ(FromHeader("Reports <ops@y.org>", "tarn@x.org"), "Reports <ops@y.org>");
    EXPECT_EQ(FromHeader("TARN \"main\"", "tarn@x.org"), "\"TARN \\\"main\\\"\" <tarn@x.org>");

    EXPECT_EQ(EncodeHeaderText("Monthly report"), "Monthly report");
    // A line break in a value can never start a header of its own.
    EXPECT_EQ(EncodeHeaderText("a\r\nBcc: x@y").find("\r\nB"), std::string::npos);
    EXPECT_EQ(EncodeHeaderText("Gr\xfc\xdf"), "=?windows-1252?B?R3L83w==?=");

    EXPECT_EQ(AttachmentName("/save dir/inv42.pdf"), "inv42.pdf");
    EXPECT_EQ(AttachmentName("D:\\out\\inv42.pdf"), "inv42.pdf");
}

}  // namespace
}  // namespace tarn::mailer
