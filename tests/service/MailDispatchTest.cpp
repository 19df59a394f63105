#include <gtest/gtest.h>

#include "platform/Process.h"
#include "service/ServiceEvents.h"
#include "service/job/EmailRecord.h"
#include "service/job/MailDispatch.h"
#include "tests/mailer/SmtpTestServer.h"
#include "tests/service/JobTestSupport.h"

namespace tarn {
namespace {

using namespace tarn::testing;
using Args = std::vector<std::string>;

constexpr const char* kIni =
    "[Server]\nhome=tools\nbodyfiles=bodies\nsender=tarn@example.org\nemlsrv=127.0.0.1\nemport=2525\n"
    "info=TARN Server\nemlog=activity.log\n";

class MailDispatchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* sub : {"tools", "bodies", "tmp", "out"})
            std::filesystem::create_directory(dir / sub);
        WriteFile(dir / "bodies/welcome.txt", "Dear $name,\nhere is your report.\n");
        WriteFile(dir / "out/inv42.pdf", "%PDF-1.4 stand-in\n");
        setenv("TMP", (dir / "tmp").c_str(), 1);
    }
    void TearDown() override { unsetenv("TMP"); }

    void Configure(const std::string& ini) { context = std::make_unique<FakeContext>(dir.path(), ini); }
    EmailRecord Record(const std::string& bodyTemplate = "", const std::string& subject = "") {
        EmailRecord record;
        record.module = context.get();
        record.recipientName = "Smith";
        record.addressList = "a@example.com,b@example.com";
        record.subject = subject;
        record.bodyTemplate = bodyTemplate;
        record.attachment = dir / "out/inv42.pdf";
        return record;
    }
    std::vector<std::string> LogLines() { return Lines(ReadFile(dir / "activity.log")); }

    ScratchFolder dir;
    std::unique_ptr<FakeContext> context;
};

TEST_F(MailDispatchTest, WithoutBodyTheAttachmentIsSentAsBase64) {
    Configure(kIni);
    std::string blat = InstallStandIn(dir / "tools/", "blat");
    EmailRecord record = Record();
    // The command line as the mailer has always been given it.
    EmailRecord shown = record;
    shown.subject = "DEV output";
    EXPECT_EQ(
        BuildMailerCommandLine(context->Config(), blat, shown),
        blat + " " + dir / "out/inv42.pdf" +
            " -subject \"DEV output\" -f tarn@example.org -t a@example.com,b@example.com -i \"TARN Server\""
            " -server 127.0.0.1 -port 2525 -base64");

    ASSERT_TRUE(SendMail(record));
    EXPECT_EQ(record.subject, "DEV output");
    EXPECT_EQ(RecordedArgs(blat),
              (Args{blat, dir / "out/inv42.pdf", "-subject", "DEV output", "-f", "tarn@example.org", "-t",
                    "a@example.com,b@example.com", "-i", "TARN Server", "-server", "127.0.0.1", "-port",
                    "2525", "-base64", "-q"}));
    EXPECT_TRUE(context->Events().empty());
    EXPECT_EQ(FileTreeSize(dir / "tmp"), 0u);  // no body file was made
    ASSERT_EQ(LogLines().size(), 1u);
    EXPECT_EQ(LogLines()[0].substr(20), dir / "out/inv42.pdf -> a@example.com,b@example.com succeeded");
}

TEST_F(MailDispatchTest, WithBodyAndCredentialsInDebugMode) {
    Configure(std::string(kIni) + "emailUID=mailer\nemailPWD=s3cret\ndebug=true\n");
    std::string blat = InstallStandIn(dir / "tools/", "blat");
    EmailRecord record = Record("welcome.txt", "Invoice 42");
    ASSERT_TRUE(SendMail(record));
    Args args = RecordedArgs(blat);
    ASSERT_EQ(args.size(), 18u);
    EXPECT_EQ(args[1], record.bodyFile);
    // The password travels in the mailer's environment, never on its command line.
    EXPECT_EQ(Args(args.begin() + 2, args.end()),
              (Args{"-attach", dir / "out/inv42.pdf", "-subject", "Invoice 42", "-f", "tarn@example.org",
                    "-t", "a@example.com,b@example.com", "-i", "TARN Server", "-server", "127.0.0.1", "-port",
                    "2525", "-u", "mailer"}));
    EXPECT_TRUE(record.hasBody);
    EXPECT_FALSE(Exists(record.bodyFile));  // deleted once the mailer has run
    std::vector<RecordedEvent> events = context->Events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0], Info(kEvtProgramPath, blat));
    EXPECT_EQ(events[1].id, kEvtCommandLine);
    args.insert(args.end(), {"-pw", "***"});
    EXPECT_EQ(SplitCommandLine(events[1].text), args);  // the full line, password masked, no -q
}

TEST_F(MailDispatchTest, MailerSettingsAreAddedAndThePasswordIsNeverShown) {
    Configure(std::string(kIni) +
              "emailUID=mailer\nemailPWD=s3cret\nemcharset=windows-1250\nemtls=starttls\n"
              "emcafile=/etc/tarn/ca.pem\n");
    std::string blat = InstallStandIn(dir / "tools/", "blat");
    SetStandInExit(blat, 8);
    EmailRecord record = Record();
    EXPECT_FALSE(SendMail(record));
    Args args = RecordedArgs(blat);
    EXPECT_EQ(Args(args.begin() + 14, args.end()),
              (Args{"-base64", "-charset", "windows-1250", "-tls", "starttls", "-cafile", "/etc/tarn/ca.pem",
                    "-u", "mailer", "-q"}));
    ASSERT_EQ(context->Errors().size(), 1u);
    EXPECT_EQ(context->Errors()[0].id, kEvtProgramFailed);
    args.insert(args.end() - 1, {"-pw", "***"});
    EXPECT_EQ(SplitCommandLine(context->Errors()[0].text), args);
    EXPECT_EQ(ReadFile(dir / "activity.log").find("s3cret"), std::string::npos);
}

TEST_F(MailDispatchTest, ClientValuesNeverBecomeMailerOptions) {
    // An empty sender and a save folder with a blank stay one argument each, too.
    Configure("[Server]\nhome=tools\nemlsrv=127.0.0.1\nemailUID=only-user\n");
    std::string blat = InstallStandIn(dir / "tools/", "blat");
    std::filesystem::create_directory(dir / "save dir");
    WriteFile(dir / "save dir/a.pdf", "x");
    EmailRecord record = Record("", "x\" -attach /etc/passwd -x \"");
    record.addressList = "a@example.com -attach /etc/passwd";
    record.attachment = dir / "save dir/a.pdf";
    ASSERT_TRUE(SendMail(record));
    EXPECT_EQ(RecordedArgs(blat),
              (Args{blat, dir / "save dir/a.pdf", "-subject", "x\" -attach /etc/passwd -x \"", "-f", "", "-t",
                    "a@example.com -attach /etc/passwd", "-i", "", "-server", "127.0.0.1", "-port", "25",
                    "-base64", "-q"}));  // -u without a password is not passed
}

TEST_F(MailDispatchTest, EscapingBodyTemplateIsRefusedAndTheMailGoesWithoutBody) {
    Configure(kIni);
    std::string blat = InstallStandIn(dir / "tools/", "blat");
    for (const std::string name : {"../TARN.ini", "/etc/passwd", "missing.txt"}) {
        context->Clear();
        EmailRecord record = Record(name);
        ASSERT_TRUE(SendMail(record)) << name;
        EXPECT_FALSE(record.hasBody);
        EXPECT_EQ(context->Events(), (std::vector<RecordedEvent>{Error(kEvtMergeFileMissing, name)}));
        EXPECT_EQ(RecordedArgs(blat).at(1), dir / "out/inv42.pdf");
        EXPECT_EQ(RecordedArgs(blat).at(14), "-base64");
    }
}

TEST_F(MailDispatchTest, FailedMailerIsReportedLoggedAndCleanedUp) {
    Configure(kIni);
    std::string blat = InstallStandIn(dir / "tools/", "blat");
    SetStandInExit(blat, 1);
    EmailRecord record = Record("welcome.txt");
    EXPECT_FALSE(SendMail(record));
    EXPECT_FALSE(record.bodyFile.empty());
    EXPECT_FALSE(Exists(record.bodyFile));
    ASSERT_EQ(context->Errors().size(), 1u);
    EXPECT_EQ(context->Errors()[0].id, kEvtProgramFailed);
    EXPECT_EQ(SplitCommandLine(context->Errors()[0].text + ""), Args(RecordedArgs(blat)));
    EXPECT_EQ(LogLines().back().substr(20), dir / "out/inv42.pdf -> a@example.com,b@example.com failed");
    EXPECT_EQ(FileTreeSize(dir / "tmp"), 0u);
}

TEST_F(MailDispatchTest, MissingMailerIsReportedAndLogged) {
    Configure("[Server]\nemlog=activity.log\n");  // home empty: the mailer is looked for in ModulePath
    EmailRecord record = Record("welcome.txt");
    EXPECT_FALSE(SendMail(record));
    EXPECT_EQ(context->Events(), (std::vector<RecordedEvent>{Error(kEvtProgramMissing, dir / "blat")}));
    EXPECT_EQ(LogLines().size(), 1u);
    EXPECT_EQ(FileTreeSize(dir / "tmp"), 0u);

    InstallStandIn(dir.path(), "blat");
    EXPECT_TRUE(SendMail(record));
}

// The real mailer against a real SMTP server.
class MailDispatchSmtpTest : public MailDispatchTest {
  protected:
    void SetUp() override {
        MailDispatchTest::SetUp();
        std::filesystem::create_symlink(TARN_BIN_DIR "/blat", dir / "tools/blat");
        std::string pdf = "%PDF-1.4\n";
        for (int i = 0; i < 2048; ++i) pdf += static_cast<char>(i % 251);
        WriteFile(dir / "out/inv42.pdf", pdf);
        attachment = pdf;
    }
    std::string IniFor(int port, const std::string& extra = "") {
        return "[Server]\nhome=tools\nbodyfiles=bodies\nsender=tarn@example.org\nemlsrv=127.0.0.1\nemport=" +
               std::to_string(port) + "\ninfo=TARN Server\nemlog=activity.log\n" + extra;
    }
    ScratchFolder mailDir;
    std::string attachment;
};

TEST_F(MailDispatchSmtpTest, MessageArrivesWithBodyAndAttachment) {
    SmtpTestServer server(mailDir.path(), {"mailer", "s3cret", ""});
    ASSERT_TRUE(server.running());
    Configure(IniFor(server.port(), "emailUID=mailer\nemailPWD=s3cret\n"));
    EmailRecord record = Record("welcome.txt", "Invoice 42");
    ASSERT_TRUE(SendMail(record)) << (context->Errors().empty() ? "" : context->Errors()[0].text);
    ReceivedMail mail;
    ASSERT_TRUE(server.Mail(1, &mail));
    // Settings and order fields reach the message (the message form itself is the mailer's test).
    EXPECT_EQ(mail.Get("envelope_to"), "a@example.com\nb@example.com\n");
    EXPECT_EQ(mail.Get("auth_user"), "mailer");
    EXPECT_EQ(mail.Header("Subject"), "Invoice 42");
    EXPECT_EQ(mail.Get("body"), "Dear Smith,\r\nhere is your report.\r\n");
    EXPECT_EQ(mail.Get("att-1.name"), "inv42.pdf");
    EXPECT_EQ(mail.Get("att-1.data"), attachment);
    EXPECT_EQ(LogLines().back().substr(20), dir / "out/inv42.pdf -> a@example.com,b@example.com succeeded");
    EXPECT_EQ(FileTreeSize(dir / "tmp"), 0u);
}

TEST_F(MailDispatchSmtpTest, StartTlsWithTheRightCaOnly) {
    ScratchFolder certs, otherCerts;
    TestCertificates mine = MakeTestCertificates(certs.path());
    TestCertificates other = MakeTestCertificates(otherCerts.path());
    SmtpTestServer server(mailDir.path(), {"mailer", "s3cret", "", "starttls", mine.certificate, mine.key});
    ASSERT_TRUE(server.running());
    const std::string tls = "emailUID=mailer\nemailPWD=s3cret\nemtls=starttls\nemcafile=";
    Configure(IniFor(server.port(), tls + other.ca + "\n"));
    EmailRecord record = Record("welcome.txt", "Invoice 42");
    EXPECT_FALSE(SendMail(record));
    ASSERT_EQ(context->Errors().size(), 1u);
    EXPECT_EQ(context->Errors()[0].id, kEvtProgramFailed);
    EXPECT_EQ(context->Errors()[0].text.find("s3cret"), std::string::npos);
    EXPECT_FALSE(server.HasMail(1));

    Configure(IniFor(server.port(), tls + mine.ca + "\n"));
    record = Record("welcome.txt", "Invoice 42");
    ASSERT_TRUE(SendMail(record)) << (context->Errors().empty() ? "" : context->Errors()[0].text);
    ReceivedMail mail;
    ASSERT_TRUE(server.Mail(1, &mail));
    EXPECT_EQ(mail.Get("tls"), "starttls");
    EXPECT_EQ(mail.Get("auth_user"), "mailer");
    EXPECT_EQ(mail.Get("att-1.data"), attachment);
}

TEST_F(MailDispatchSmtpTest, RefusalsFailTheMail) {
    SmtpTestServer server(mailDir.path(), {"mailer", "s3cret", "refused"});
    ASSERT_TRUE(server.running());
    struct Case {
        std::string ini;
        std::string addresses;
    };
    const std::vector<Case> cases = {
        {IniFor(server.port(), "emailUID=mailer\nemailPWD=s3cret\n"), "ok@example.com,refused@example.com"},
        {IniFor(server.port(), "emailUID=mailer\nemailPWD=wrong\n"), "ok@example.com"},
        {IniFor(UnusedPort()), "ok@example.com"},
    };
    for (const Case& c : cases) {
        Configure(c.ini);
        EmailRecord record = Record("welcome.txt");
        record.addressList = c.addresses;
        EXPECT_FALSE(SendMail(record)) << c.ini;
        ASSERT_EQ(context->Errors().size(), 1u);
        EXPECT_EQ(context->Errors()[0].id, kEvtProgramFailed);
        EXPECT_EQ(LogLines().back().substr(20), dir / "out/inv42.pdf -> " + c.addresses + " failed");
    }
    EXPECT_FALSE(server.HasMail(1));
    EXPECT_EQ(FileTreeSize(dir / "tmp"), 0u);
}

}  // namespace
}  // namespace tarn
