// The mailer program against a real SMTP server on the loopback interface.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "tests/mailer/SmtpTestServer.h"

namespace tarn {
namespace {

using namespace tarn::testing;
using Args = std::vector<std::string>;

const std::string kBlat = std::string(TARN_BIN_DIR) + "/blat";

class BlatTest : public ::testing::Test {
  protected:
    void SetUp() override {
        WriteFile(dir / "body.txt", "Dear Smith,\n.leading dot line\nregards\n");
        std::string binary = "%PDF-1.4\n";
        for (int i = 0; i < 3000; ++i) binary += static_cast<char>(i * 7 % 256);
        WriteFile(dir / "inv 42.pdf", binary);
        attachment = binary;
    }
    Args Command(int port, Args extra) {
        Args args = {kBlat,      dir / "body.txt",
                     "-attach",  dir / "inv 42.pdf",
                     "-subject", "Invoice 42",
                     "-f",       "tarn@example.org",
                     "-t",       "a@example.com, Bob <b@example.com>",
                     "-i",       "TARN Server",
                     "-server",  "127.0.0.1",
                     "-port",    std::to_string(port)};
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }
    static int Lines(const std::string& text) {
        return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
    }

    ScratchFolder dir;
    ScratchFolder mailDir;
    std::string attachment;
};

TEST_F(BlatTest, SendsBodyAndAttachmentAsOneMimeMessage) {
    SmtpTestServer server(mailDir.path());
    ASSERT_TRUE(server.running());
    ProgramRun run = RunAndCapture(Command(server.port(), {}), dir.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_NE(run.out, "");  // progress lines without -q

    ReceivedMail mail;
    ASSERT_TRUE(server.Mail(1, &mail));
    EXPECT_EQ(mail.Get("envelope_from"), "tarn@example.org");
    EXPECT_EQ(mail.Get("envelope_to"), "a@example.com\nb@example.com\n");
    EXPECT_EQ(mail.Header("Subject"), "Invoice 42");
    EXPECT_EQ(mail.Get("addr-From"), "TARN Server\ttarn@example.org\n");
    EXPECT_EQ(mail.Get("addr-To"), "\ta@example.com\nBob\tb@example.com\n");
    EXPECT_EQ(mail.Get("problems"), "");
    EXPECT_EQ(mail.Header("MIME-Version"), "1.0");
    EXPECT_NE(mail.Header("Date"), "");
    EXPECT_EQ(mail.Header("Message-ID").find('<'), 0u);
    EXPECT_EQ(mail.Get("body"), "Dear Smith,\r\n.leading dot line\r\nregards\r\n");
    EXPECT_EQ(mail.Get("att-1.name"), "inv 42.pdf");
    EXPECT_EQ(mail.Get("att-1.type"), "application/pdf");
    EXPECT_EQ(mail.Get("att-1.encoding"), "base64");
    EXPECT_EQ(mail.Get("att-1.data"), attachment);
    EXPECT_FALSE(Exists(mail.folder + "att-2.name"));
}

TEST_F(BlatTest, WithoutBodySendsTheFileItselfAsBase64Attachment) {
    SmtpTestServer server(mailDir.path());
    ProgramRun run =
        RunAndCapture({kBlat, dir / "inv 42.pdf", "-subject", "Gr\xfc\xdf \"quoted\"", "-f",
                       "tarn@example.org", "-t", "a@example.com", "-i", "ops@example.org", "-server",
                       "127.0.0.1", "-port", std::to_string(server.port()), "-base64", "-q"},
                      dir.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "");  // -q
    ReceivedMail mail;
    ASSERT_TRUE(server.Mail(1, &mail));
    EXPECT_EQ(mail.Header("Subject"), "Gr\xc3\xbc\xc3\x9f \"quoted\"");  // windows-1252 read right
    EXPECT_EQ(mail.Header("From"), "ops@example.org");
    EXPECT_FALSE(Exists(mail.folder + "body"));
    EXPECT_EQ(mail.Get("att-1.name"), "inv 42.pdf");
    EXPECT_EQ(mail.Get("att-1.encoding"), "base64");
    EXPECT_EQ(mail.Get("att-1.data"), attachment);
}

TEST_F(BlatTest, LongAndEightBitBodyLinesArriveWhole) {
    std::string longLine(3000, 'x');
    WriteFile(dir / "body.txt",
              "Gr\xfc\xdf"
              "e\n" +
                  longLine + "\n");
    SmtpTestServer server(mailDir.path());
    ProgramRun run = RunAndCapture(Command(server.port(), {"-q"}), dir.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ReceivedMail mail;
    ASSERT_TRUE(server.Mail(1, &mail));
    EXPECT_EQ(mail.Get("body"),
              "Gr\xfc\xdf"
              "e\r\n" +
                  longLine + "\r\n");
}

TEST_F(BlatTest, AuthenticatesWithUserAndPassword) {
    SmtpTestServer server(mailDir.path(), {"mailer", "s3cret", ""});
    ProgramRun ok =
        RunAndCapture(Command(server.port(), {"-u", "mailer", "-pw", "s3cret", "-q"}), dir.path());
    ASSERT_EQ(ok.exitCode, 0) << ok.err;
    ReceivedMail mail;
    ASSERT_TRUE(server.Mail(1, &mail));
    EXPECT_EQ(mail.Get("auth_user"), "mailer");

    ProgramRun wrong =
        RunAndCapture(Command(server.port(), {"-u", "mailer", "-pw", "wrong", "-q"}), dir.path());
    EXPECT_EQ(wrong.exitCode, 4);
    EXPECT_EQ(Lines(wrong.err), 1);
    EXPECT_NE(wrong.err.find("authentication refused"), std::string::npos) << wrong.err;

    ProgramRun none = RunAndCapture(Command(server.port(), {"-q"}), dir.path());
    EXPECT_NE(none.exitCode, 0);
    EXPECT_EQ(Lines(none.err), 1);
    EXPECT_FALSE(server.HasMail(2));
}

TEST_F(BlatTest, EveryFailureExitsNonZeroWithOneClearLine) {
    SmtpTestServer server(mailDir.path(), {"", "", "refused"});
    struct Case {
        Args args;
        int exitCode;
        const char* says;
    };
    std::string port = std::to_string(server.port());
    const std::vector<Case> cases = {
        {Command(server.port(), {"-t", "ok@example.com,refused@example.com"}), 5, "recipient refused"},
        {Command(UnusedPort(), {}), 3, "cannot connect"},
        {{kBlat, dir / "missing.txt", "-f", "x@y.z", "-t", "a@b.c", "-server", "127.0.0.1", "-port", port},
         2,
         "missing.txt"},
        {{kBlat, dir / "body.txt", "-attach", dir / "gone.pdf", "-t", "a@b.c", "-f", "x@y.z", "-server",
          "127.0.0.1", "-port", port},
         2,
         "gone.pdf"},
        {{kBlat, dir / "body.txt", "-t", "a@b.c", "-server", "127.0.0.1", "-bogus"}, 1, "bad arguments"},
        {{kBlat, dir / "body.txt", "-f", "", "-i", "TARN", "-t", "a@b.c", "-server", "127.0.0.1"},
         1,
         "sender"},
    };
    for (const Case& c : cases) {
        ProgramRun run = RunAndCapture(c.args, dir.path());
        EXPECT_EQ(run.exitCode, c.exitCode) << c.says << ": " << run.err;
        EXPECT_EQ(Lines(run.err), 1) << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
    }
    EXPECT_FALSE(server.HasMail(1));
}

// Every header line within 78 characters, every encoded word within 75, no
// defect under Python's default and strict policies (the server's checks).
void ExpectFoldedHeaders(const ReceivedMail& mail) { EXPECT_EQ(mail.Get("problems"), ""); }

// `text` with every run of blanks as one, or without blanks: Python's address
// parser keeps the blank between two encoded words of a name (RFC 2047 drops
// it), so a long name's words arrive two blanks apart, and a word longer than
// one encoded word arrives cut in two.
std::string OneBlank(const std::string& text, bool none = false) {
    std::string out;
    for (char c : text)
        if (c != ' ' || (!none && !out.empty() && out.back() != ' ')) out += c;
    return out;
}

TEST_F(BlatTest, NamesListsAndCharsetsArriveAsGiven) {
    SmtpTestServer server(mailDir.path());
    // Forty named recipients, with commas and non-ASCII letters in the names, and a group.
    std::string to =
        "\"M\xfcller, J\xf6rg\" <j@example.com>, \"Smith, John\" <js@example.com>, Team: t1@example.com, "
        "T2 <t2@example.com>;";
    std::string names =
        "M\xc3\xbcller, J\xc3\xb6rg\tj@example.com\nSmith, John\tjs@example.com\n\tt1@example.com\n"
        "T2\tt2@example.com\n";
    for (int i = 0; i < 36; ++i) {
        to +=
            ", Gr\xfc\xdf"
            "e Kunde " +
            std::to_string(i) + " <k" + std::to_string(i) + "@example.com>";
        names +=
            "Gr\xc3\xbc\xc3\x9f"
            "e Kunde " +
            std::to_string(i) + "\tk" + std::to_string(i) + "@example.com\n";
    }
    std::string subject = "Re: =?utf-8?Q?not_encoded?= line\r\nBcc: x@example.com ";
    for (int i = 0; i < 60; ++i)
        subject +=
            "Gr\xfc\xdf"
            "e ";
    WriteFile(dir / "body.txt", "Zeile \x80 eins\rzwei\r\n");  // a lone CR ends a line too
    ProgramRun run = RunAndCapture(
        Command(server.port(), {"-t", to, "-subject", subject, "-i", "Sales @ HQ", "-q"}), dir.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ReceivedMail mail;
    ASSERT_TRUE(server.Mail(1, &mail));
    EXPECT_EQ(mail.Get("addr-To"), names);
    EXPECT_EQ(Lines(mail.Get("envelope_to")), 40);
    EXPECT_EQ(mail.Get("addr-From"), "Sales @ HQ\ttarn@example.org\n");
    std::string decoded = "Re: =?utf-8?Q?not_encoded?= line  Bcc: x@example.com ";
    for (int i = 0; i < 60; ++i)
        decoded +=
            "Gr\xc3\xbc\xc3\x9f"
            "e ";
    EXPECT_EQ(mail.Header("Subject"), decoded);
    EXPECT_EQ(mail.Get("body"), "Zeile \x80 eins\r\nzwei\r\n");
    EXPECT_EQ(mail.Get("body-text"), "Zeile \xe2\x82\xac eins\r\nzwei\r\n");
    ExpectFoldedHeaders(mail);
    const std::string helo = mail.Get("helo");  // a fully qualified name or an address literal
    EXPECT_TRUE(helo.find('.') != std::string::npos && helo.find(' ') == std::string::npos) << helo;

    // UTF-8 texts are labelled utf-8; other code pages are named with -charset.
    WriteFile(dir / "body.txt",
              "Gr\xc3\xbc\xc3\x9f"
              "e\n");
    WriteFile(dir / "\xc3\xa9t\xc3\xa9.pdf", "%PDF");
    run = RunAndCapture({kBlat, dir / "body.txt", "-attach", dir / "\xc3\xa9t\xc3\xa9.pdf", "-subject",
                         "\x8a"
                         "koda \xe8"
                         "esky",
                         "-charset", "windows-1250", "-f", "tarn@example.org", "-t",
                         "\x8a"
                         "t\xec"
                         "p\xe1n <s@example.com>",
                         "-server", "127.0.0.1", "-port", std::to_string(server.port())},
                        dir.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ASSERT_TRUE(server.Mail(2, &mail));
    EXPECT_EQ(mail.Header("Subject"),
              "\xc5\xa0koda \xc4\x8d"
              "esky");
    EXPECT_EQ(mail.Get("addr-To"), "\xc5\xa0t\xc4\x9bp\xc3\xa1n\ts@example.com\n");
    EXPECT_EQ(mail.Get("body-charset"), "utf-8");
    EXPECT_EQ(mail.Get("body-text"),
              "Gr\xc3\xbc\xc3\x9f"
              "e\r\n");
    EXPECT_EQ(mail.Get("att-1.name"), "\xc3\xa9t\xc3\xa9.pdf");
    ExpectFoldedHeaders(mail);
}

TEST_F(BlatTest, LongNonAsciiNamesSubjectsAndFileNamesKeepEncodedWordsShort) {
    // GMime encodes up to 38 characters to a word: 38 two-byte letters make a
    // word of over 100 characters, quoted-printable punctuation more still.
    const std::string group =
        "Ünïcödé Grüppe with a very long name ÄÖÜäöüÄÖÜäöüÄÖÜäöüÄÖÜäöüÄÖÜäöüÄÖÜäöüÄÖÜäöü";
    const std::string name = "Müller-Lüdenscheidt, Jörg-Günther Ätherström Ölçü Straße Ünïcödé Grüppe";
    std::string commas = "Ä";
    for (int i = 0; i < 12; ++i) commas += " ,,,";
    const std::string from = "Ünïcödé Sénder Gesellschaft für Überweisungsträger und Rechnungsprüfung mbH";
    const std::string subject =
        "Überweisungsträgerrechnungsprüfungsgesellschaftsvertragsänderungsentwurf 😀😀😀😀😀😀😀😀😀😀😀😀😀" +
        std::string(90, ' ') + "Ö";
    const std::string file = "Überweisungsträger für Rechnungsprüfung März 2026 Ünïcödé Grüppe.pdf";
    WriteFile(dir / file, "%PDF");
    SmtpTestServer server(mailDir.path());
    const std::string to = group + ": a@example.com, b@example.com;, \"" + name + "\" <j@example.com>, \"" +
                           commas + "\" <c@example.com>";
    ProgramRun run = RunAndCapture(
        Command(server.port(), {"-t", to, "-i", from, "-subject", subject, "-attach", dir / file, "-q"}),
        dir.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ReceivedMail mail;
    ASSERT_TRUE(server.Mail(1, &mail));
    ExpectFoldedHeaders(mail);
    EXPECT_EQ(OneBlank(mail.Get("groups-To"), true), OneBlank(group, true) + "\n");
    EXPECT_EQ(OneBlank(mail.Get("addr-To")), "\ta@example.com\n\tb@example.com\n" + name +
                                                 "\tj@example.com\n" + commas + "\tc@example.com\n");
    EXPECT_EQ(OneBlank(mail.Get("addr-From")), from + "\ttarn@example.org\n");
    EXPECT_EQ(mail.Header("Subject"), subject);  // an unstructured text decodes exactly
    EXPECT_EQ(mail.Get("att-1.name"), file);
    EXPECT_EQ(mail.Get("envelope_to"), "a@example.com\nb@example.com\nj@example.com\nc@example.com\n");
}

TEST_F(BlatTest, AddressesThatAreNotMailboxesStopBeforeConnecting) {
    const std::string nobody = std::to_string(UnusedPort());  // exit 3 would mean it tried
    for (const Args& wrong : std::vector<Args>{
             {"-t", "Smith, John <js@example.com>, Jones"},  // an entry without a domain
             {"-t", "a@example.com; b@example.com"},         // the part after ';' would be lost
             {"-t", "undisclosed-recipients:;"},
             {"-t", "\"Smith <js@example.com>"},
             {"-f", "tarn"},
             {"-charset", "no-such-charset"},
         }) {
        Args args = {kBlat,     dir / "body.txt", "-t",    "a@example.com", "-f", "tarn@example.org",
                     "-server", "127.0.0.1",      "-port", nobody};
        args.insert(args.end(), wrong.begin(), wrong.end());
        ProgramRun run = RunAndCapture(args, dir.path());
        EXPECT_EQ(run.exitCode, 1) << wrong[1] << ": " << run.err;
        EXPECT_EQ(Lines(run.err), 1) << run.err;
    }
}

TEST_F(BlatTest, TlsIsVerifiedAndNeverDroppedForClearText) {
    ScratchFolder certs, otherCerts;
    TestCertificates mine = MakeTestCertificates(certs.path());
    TestCertificates other = MakeTestCertificates(otherCerts.path());
    SmtpTestServer starttls(mailDir.path(), {"mailer", "s3cret", "", "starttls", mine.certificate, mine.key});
    ScratchFolder smtpsDir;
    SmtpTestServer smtps(smtpsDir.path(), {"mailer", "s3cret", "", "smtps", mine.certificate, mine.key});
    ASSERT_TRUE(starttls.running() && smtps.running());
    const Args auth = {"-u", "mailer", "-pw", "s3cret", "-q"};
    auto with = [&](Args a, const Args& more) {
        a.insert(a.end(), more.begin(), more.end());
        return a;
    };
    ProgramRun run = RunAndCapture(
        with(Command(starttls.port(), auth), {"-tls", "starttls", "-cafile", mine.ca}), dir.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ReceivedMail mail;
    ASSERT_TRUE(starttls.Mail(1, &mail));
    EXPECT_EQ(mail.Get("tls"), "starttls");
    EXPECT_EQ(mail.Get("auth_user"), "mailer");
    EXPECT_EQ(mail.Get("att-1.data"), attachment);

    run = RunAndCapture(with(Command(smtps.port(), auth), {"-tls", "smtps", "-cafile", mine.ca}), dir.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ASSERT_TRUE(smtps.Mail(1, &mail));
    EXPECT_EQ(mail.Get("tls"), "smtps");
    EXPECT_EQ(mail.Get("auth_user"), "mailer");

    // Another CA, the system's store (which does not know the test CA), and a
    // server without STARTTLS: nothing is sent.
    SmtpTestServer plain(otherCerts.path(), {"mailer", "s3cret", ""});
    for (const Args& args : {with(Command(starttls.port(), auth), {"-tls", "starttls", "-cafile", other.ca}),
                             with(Command(smtps.port(), auth), {"-tls", "smtps", "-cafile", other.ca}),
                             with(Command(smtps.port(), auth), {"-tls", "smtps"}),
                             with(Command(plain.port(), auth), {"-tls", "starttls", "-cafile", mine.ca})}) {
        run = RunAndCapture(args, dir.path());
        EXPECT_EQ(run.exitCode, 8) << run.err;
        EXPECT_NE(run.err.find("nothing sent"), std::string::npos) << run.err;
    }
    EXPECT_FALSE(starttls.HasMail(2));
    EXPECT_FALSE(smtps.HasMail(2));
    EXPECT_FALSE(plain.HasMail(1));
}

TEST_F(BlatTest, PasswordFromAPrivateFileOrTheEnvironment) {
    SmtpTestServer server(mailDir.path(), {"mailer", "s3cret", ""});
    WriteFile(dir / "pw", "s3cret\n");
    chmod((dir / "pw").c_str(), 0600);
    ProgramRun run =
        RunAndCapture(Command(server.port(), {"-u", "mailer", "-pwfile", dir / "pw"}), dir.path());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    setenv("TARN_SMTP_PASSWORD", "s3cret", 1);
    run = RunAndCapture(Command(server.port(), {"-u", "mailer"}), dir.path());
    unsetenv("TARN_SMTP_PASSWORD");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(server.HasMail(2));

    // A file others may read, a link to the file, or no password at all: usage errors.
    chmod((dir / "pw").c_str(), 0644);
    std::filesystem::create_symlink(dir / "pw", dir / "pw-link");
    for (const Args& wrong : std::vector<Args>{{"-u", "mailer", "-pwfile", dir / "pw"},
                                               {"-u", "mailer", "-pwfile", dir / "pw-link"},
                                               {"-u", "mailer"}}) {
        run = RunAndCapture(Command(server.port(), wrong), dir.path());
        EXPECT_EQ(run.exitCode, 1) << run.err;
    }
    EXPECT_FALSE(server.HasMail(3));
}

TEST_F(BlatTest, SymbolicLinksAreNeverMailed) {
    SmtpTestServer server(mailDir.path());
    WriteFile(dir / "secret", "private key\n");
    std::filesystem::create_symlink(dir / "secret", dir / "planted.pdf");
    std::filesystem::create_symlink(dir / "secret", dir / "planted.txt");
    const std::string port = std::to_string(server.port());
    for (const Args& args :
         std::vector<Args>{Command(server.port(), {"-attach", dir / "planted.pdf"}),
                           {kBlat, dir / "planted.txt", "-f", "tarn@example.org", "-t", "a@example.com",
                            "-server", "127.0.0.1", "-port", port},
                           {kBlat, dir / "planted.pdf", "-base64", "-f", "tarn@example.org", "-t",
                            "a@example.com", "-server", "127.0.0.1", "-port", port}}) {
        ProgramRun run = RunAndCapture(args, dir.path());
        EXPECT_EQ(run.exitCode, 2) << run.err;
        EXPECT_NE(run.err.find("symbolic link"), std::string::npos) << run.err;
    }
    EXPECT_FALSE(server.HasMail(1));
}

}  // namespace
}  // namespace tarn
