// The mailer program against a real SMTP server on the loopback interface.
#include <gtest/gtest.h>

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
    EXPECT_EQ(mail.Header("From"), "\"TARN Server\" <tarn@example.org>");
    EXPECT_EQ(mail.Header("To"), "a@example.com, Bob <b@example.com>");
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
    EXPECT_EQ(mail.Header("Subject"), "Gr\xfc\xdf \"quoted\"");
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

}  // namespace
}  // namespace tarn
