#include <gtest/gtest.h>

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
    EXPECT_EQ(w.charset, "windows-1252");
    EXPECT_EQ(w.tls, TlsMode::kNone);

    MailerOptions s;
    ASSERT_TRUE(
        ParseMailerOptions({"f", "-t", "a@b", "-server", "m", "-TLS", "SMTPS", "-charset", "utf-8"}, &s));
    EXPECT_EQ(s.tls, TlsMode::kSmtps);
    EXPECT_EQ(s.port, 465);
    std::string password;
    EXPECT_TRUE(ResolvePassword(s, &password));  // no user, no password
    s.user = "usr";
    unsetenv(kPasswordVariable);
    EXPECT_FALSE(ResolvePassword(s, &password).ok());
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
        {"f", "-t", "a@b", "-server", "m", "-pw", "pwd"},  // a password without a user
        {"f", "-t", "a@b", "-server", "m", "-u", "u", "-pw", "p", "-pwfile", "f"},
        {"f", "-t", "a@b", "-server", "m", "-attach", "g", "-base64"},
        {"f", "-t", "a@b", "-server", "m", "-tls", "ssl"},
        {"f", "-t", "a@b", "-server", "m", "-cafile", "ca.pem"},  // a CA file without TLS
        {"f", "-t", "a@b", "-server", "m", "-charset", "klingon"},
    };
    for (const Args& args : faulty) {
        MailerOptions o;
        EXPECT_FALSE(ParseMailerOptions(args, &o).ok()) << (args.empty() ? "" : args.back());
    }
}

TEST(MailerOptions, RecipientsAndSender) {
    struct Case {
        std::string list;
        Args addresses;  // empty: refused
    };
    const std::vector<Case> cases = {
        {" a@b.com , Bob Smith <c@d.com>,,", {"a@b.com", "c@d.com"}},
        {"\"Smith, John\" <js@x.com>, c@x.com", {"js@x.com", "c@x.com"}},
        {"Team: a@x.com, (boss) B <b@x.com>;, z@x.com", {"a@x.com", "b@x.com", "z@x.com"}},
        {"\"a@b\"@c.com", {"\"a@b\"@c.com"}},
        {"Smith, John <js@x.com>", {}},  // an unquoted comma separates entries
        {" , ", {}},
        {"a b@c.com", {}},
        {"Bob <c@d.com", {}},
        {"Smith, a@b.com", {}},  // "Smith" has no domain
        {"a@b.com; c@d.com", {}},
        {"(a@b.com", {}},
        {"a@b.com>", {}},
        {"J\xf6rg@example.com", {}},  // not plain ASCII
    };
    for (const Case& c : cases) {
        AddressList parsed;
        Status status = ParseAddressList(c.list, kDefaultCharset, &parsed);
        Args found;
        for (const Mailbox& m : parsed.mailboxes) found.push_back(m.address);
        if (c.addresses.empty()) {
            EXPECT_FALSE(status.ok()) << c.list;
        } else {
            EXPECT_TRUE(status.ok()) << c.list << ": " << status.message();
            EXPECT_EQ(found, c.addresses) << c.list;
        }
    }

    MailerOptions o;
    std::string sender;
    o.sender = "TARN <tarn@x.org>";
    o.info = "ops@y.org";
    ASSERT_TRUE(EnvelopeSender(o, &sender));
    EXPECT_EQ(sender, "tarn@x.org");
    o.sender = "";
    ASSERT_TRUE(EnvelopeSender(o, &sender));
    EXPECT_EQ(sender, "ops@y.org");
    for (const char* info : {"TARN Server", "Sales @ HQ", ""}) {
        o.info = info;
        EXPECT_FALSE(EnvelopeSender(o, &sender).ok()) << info;
    }
}

TEST(MimeMessage, TextPieces) {
    EXPECT_EQ(ToUtf8("Gr\xfc\xdf", kDefaultCharset), "Gr\xc3\xbc\xc3\x9f");
    EXPECT_EQ(ToUtf8("Gr\xc3\xbc\xc3\x9f", kDefaultCharset), "Gr\xc3\xbc\xc3\x9f");  // UTF-8 stays
    EXPECT_EQ(ToUtf8("a\x81z", kDefaultCharset), "a\xef\xbf\xbdz");  // undefined in windows-1252
    EXPECT_EQ(SingleLine("a\r\nBcc:\tx"), "a  Bcc: x");
    EXPECT_EQ(WithCrLf("a\nb\rc\r\nd"), "a\r\nb\r\nc\r\nd\r\n");
    EXPECT_EQ(AttachmentName("/save dir/inv42.pdf"), "inv42.pdf");
    EXPECT_EQ(AttachmentName("D:\\out\\inv42.pdf"), "inv42.pdf");

    // Long encoded words are cut at character boundaries, one per line.
    MailMessage m;
    m.senderAddress = "tarn@x.org";
    m.recipients = "a@b.com";
    m.subject = "=?x?q?y?= " + std::string(40, 'e') + std::string(30, '\xfc');
    m.hasBody = true;
    std::string raw;
    ASSERT_TRUE(ComposeMessage(m, &raw));
    std::string::size_type start = raw.find("Subject:");
    std::string subject = raw.substr(start, raw.find("\r\n", raw.find("?=\r\n", start) + 4) - start);
    EXPECT_EQ(subject.find("=?x?q?y?="), std::string::npos) << subject;
    std::string::size_type at = 0;
    int words = 0;
    for (; (at = subject.find("=?utf-8?B?", at)) != std::string::npos; ++at, ++words) {
        std::string::size_type end = subject.find("?=", at + 10);
        EXPECT_LE(end + 2 - at, 75u);
        gsize size = 0;
        GCharsPtr text(
            reinterpret_cast<char*>(g_base64_decode(subject.substr(at + 10, end - at - 10).c_str(), &size)));
        EXPECT_TRUE(g_utf8_validate(text.get(), static_cast<gssize>(size), nullptr));
    }
    EXPECT_GE(words, 2);
}

// A group's long non-ASCII name came out as one header line of over 1,000
// characters, past SMTP's line limit; it is folded between its encoded words.
TEST(MimeMessage, LongGroupNameFoldedWithinTheLineLimit) {
    MailMessage m;
    m.senderAddress = "tarn@x.org";
    m.charset = "windows-1250";
    m.recipients = "\xff\xffN: " + std::string(400, '\xff') + " <a@b.com>;";
    m.hasBody = true;
    std::string raw;
    ASSERT_TRUE(ComposeMessage(m, &raw));
    const std::string header = raw.substr(0, raw.find("\r\n\r\n"));
    std::string::size_type start = 0;
    for (std::string::size_type end; (end = header.find("\r\n", start)) != std::string::npos; start = end + 2)
        EXPECT_LE(end - start, kMaxLineLength) << header.substr(start, end - start);
    EXPECT_NE(raw.find("<a@b.com>"), std::string::npos);
}

}  // namespace
}  // namespace tarn::mailer
