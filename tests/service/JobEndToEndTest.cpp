// Jobs through the real TARNSvr: conversion (stand-in converters, or the
// real ones when built), merge with the real pdftk, e-mail through the real
// blat to a real SMTP server on 127.0.0.1, and the activity log.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "ServerTestSupport.h"
#include "tests/mailer/SmtpTestServer.h"
#include "tests/service/JobTestSupport.h"

namespace tarn {
namespace {

using namespace tarn::testing;

constexpr const char* kOkBye = "Hi\nROGER_CMD\nok\nBye\n";
constexpr const char* kFailedBye = "Hi\nROGER_CMD\nProblem handlingRequest\nBye\n";

std::string EmailLine(const std::string& to, const std::string& subject, const std::string& name,
                      const std::string& bodyTemplate) {
    return "\x02"
           "email:" +
           to + "^" + subject + "^" + name + "^" + bodyTemplate + "\r\n";
}

class JobEndToEnd : public ::testing::Test {
  protected:
    // `realConverters`: the built overprint and tabulate instead of stand-ins.
    void StartServer(bool realConverters, const std::string& extraServerKeys = "",
                     const std::string& extraXlsKeys = "") {
        const std::string& root = dir.path();
        for (const char* sub : {"tools", "forms", "merge", "bodies", "out", "xlsout"}) {
            std::filesystem::create_directory(dir / sub);
        }
        for (const char* tool : {"overprint", "tabulate"}) {
            if (realConverters) {
                std::filesystem::create_symlink(std::string(TARN_BIN_DIR) + "/" + tool,
                                                dir / "tools/" + tool);
            } else {
                InstallStandIn(dir / "tools/", tool);
            }
        }
        if (realConverters && Exists(std::string(TARN_BIN_DIR) + "/PdfFont.ext")) {
            std::filesystem::create_symlink(std::string(TARN_BIN_DIR) + "/PdfFont.ext",
                                            dir / "tools/PdfFont.ext");
        }
        std::filesystem::create_symlink("/usr/bin/pdftk", dir / "tools/pdftk");
        if (Exists(std::string(TARN_BIN_DIR) + "/tarn-merge")) {
            std::filesystem::create_symlink(std::string(TARN_BIN_DIR) + "/tarn-merge",
                                            dir / "tools/tarn-merge");
        }
        std::filesystem::create_symlink(std::string(TARN_BIN_DIR) + "/blat", dir / "tools/blat");
        WriteFile(dir / "forms/form.pdf", MakePdf(1));
        WriteFile(dir / "merge/front.pdf", MakePdf(2));
        WriteFile(dir / "merge/back.pdf", MakePdf(3));
        WriteFile(dir / "bodies/welcome.txt", "Dear $name,\nyour report is attached.\n");
        ASSERT_TRUE(smtp.running());
        const std::string ini =
            "[Server]\nport=0\ndebug=true\nhome=tools\nbodyfiles=bodies\n"
            "sender=tarn@example.org\nemlsrv=127.0.0.1\nemport=" +
            std::to_string(mailPort != 0 ? mailPort : smtp.port()) +
            "\ninfo=TARN Server\nemlog=activity.log\n" + extraServerKeys + "[INVOICE]\nsaveDir=" + root +
            "out\ntemplate=forms/form.pdf\npdfparams=\n"
            "mergeBefore=merge/front.pdf\nmergeAfter=merge/back.pdf\n"
            "[PLAIN]\nsaveDir=" +
            root +
            "out\n"
            "[xls]\nsaveDir=" +
            root + "xlsout\ndateFormat=dd/mm/yyyy\n" + extraXlsKeys;
        ASSERT_TRUE(server.Start(root.substr(0, root.size() - 1), ini)) << server.Console();
    }

    std::string Job(const std::string& rawName, const std::string& section, const std::string& body) {
        return SendJob(server.port(), rawName, section, body, std::chrono::seconds(60));
    }

    std::vector<std::string> Activity() { return Lines(ReadFile(dir / "activity.log")); }

    ScratchFolder dir;
    ScratchFolder mailDir;
    ScratchFolder scratch;
    SmtpTestServer smtp{mailDir.path(), {"", "", "refused"}};
    int mailPort = 0;  // another mail server than `smtp`
    ServerProcess server;
};

TEST_F(JobEndToEnd, PdfMergeRawAndWorkbookJobsAreDeliveredAndMailed) {
    StartServer(false);
    const std::string report = "INVOICE 42\r\n\fpage two\r\n";

    // PDF section with front and back merge files and a body template.
    EXPECT_EQ(Job("inv42.txt", "INVOICE",
                  "_RAWFILE_\r\n" + EmailLine("a@example.com", "Invoice 42", "Smith", "welcome.txt") +
                      report + "_EOF_\r\n"),
              kOkBye);
    const std::string pdf = dir / "out/inv42.pdf";
    EXPECT_EQ(PdfPageCount(pdf, scratch.path()), 2 + 1 + 3);
    EXPECT_FALSE(Exists(dir / "out/inv42.txt"));
    EXPECT_FALSE(Exists(dir / "out/inv42_$$$.pdf"));
    ReceivedMail mail;
    ASSERT_TRUE(smtp.Mail(1, &mail));
    EXPECT_EQ(mail.Get("envelope_to"), "a@example.com\n");
    EXPECT_EQ(mail.Header("Subject"), "Invoice 42");
    EXPECT_EQ(mail.Get("body"), "Dear Smith,\r\nyour report is attached.\r\n");
    EXPECT_EQ(mail.Get("att-1.name"), "inv42.pdf");
    EXPECT_EQ(mail.Get("att-1.data"), ReadFile(pdf));

    // Section without a template: the raw file is the output, sent without body.
    EXPECT_EQ(Job("notes.txt", "PLAIN",
                  EmailLine("b@example.com", "Notes", "Jones", "") + "plain text\r\n_EOF_\r\n"),
              kOkBye);
    EXPECT_EQ(ReadFile(dir / "out/notes.txt"), "plain text\r\n");
    ASSERT_TRUE(smtp.Mail(2, &mail));
    EXPECT_EQ(mail.Header("Subject"), "Notes");
    EXPECT_FALSE(Exists(mail.folder + "body"));
    EXPECT_EQ(mail.Get("att-1.data"), "plain text\r\n");

    // Workbook section.
    EXPECT_EQ(Job("stock.txt", "xls", EmailLine("c@example.com", "Stock", "Lee", "") + "a b c\r\n_EOF_\r\n"),
              kOkBye);
    EXPECT_TRUE(Exists(dir / "xlsout/stock.xls"));
    EXPECT_FALSE(Exists(dir / "xlsout/stock.txt"));
    ASSERT_TRUE(smtp.Mail(3, &mail));
    EXPECT_EQ(mail.Get("att-1.name"), "stock.xls");

    // A refused recipient fails the job.
    EXPECT_EQ(Job("late.txt", "PLAIN", EmailLine("refused@example.com", "x", "y", "") + "t\r\n_EOF_\r\n"),
              kFailedBye);

    std::vector<std::string> activity = Activity();
    ASSERT_EQ(activity.size(), 4u);
    EXPECT_EQ(activity[0].substr(20), pdf + " -> a@example.com succeeded");
    EXPECT_EQ(activity[1].substr(20), dir / "out/notes.txt -> b@example.com succeeded");
    EXPECT_EQ(activity[2].substr(20), dir / "xlsout/stock.xls -> c@example.com succeeded");
    EXPECT_EQ(activity[3].substr(20), dir / "out/late.txt -> refused@example.com failed");

    // Debug events on the console, each a whole line.
    const std::string console = server.Console();
    for (const std::string& line : {"\n" + dir / "tools/pdftk" + "\n", "\n" + dir / "merge/front.pdf" + "\n",
                                    "\n" + pdf + "\n", "\n" + dir / "tools/blat" + "\n"}) {
        EXPECT_NE(console.find(line), std::string::npos) << line << "\n" << console;
    }
    EXPECT_NE(console.find(" cat output " + pdf + "\n"), std::string::npos);
    EXPECT_NE(console.find(" -t refused@example.com -i \"TARN Server\""), std::string::npos);
    EXPECT_EQ(FileTreeSize(dir / "out"), 3u);  // inv42.pdf, notes.txt, late.txt
}

TEST_F(JobEndToEnd, NamedRecipientAndCp1252TextsArriveOverStartTls) {
    ScratchFolder certs, tlsMail;
    TestCertificates ca = MakeTestCertificates(certs.path());
    SmtpTestServer tls(tlsMail.path(), {"mailer", "s3cret", "", "starttls", ca.certificate, ca.key});
    mailPort = tls.port();
    StartServer(false, "emailUID=mailer\nemailPWD=s3cret\nemtls=starttls\nemcafile=" + ca.ca +
                           "\nemcharset=windows-1252\n");
    WriteFile(dir / "bodies/gruss.txt", "Sehr geehrter $name,\nanbei die Rechnung \x80 12,50.\n");
    EXPECT_EQ(Job("inv9.txt", "PLAIN",
                  EmailLine("\"M\xfcller, J\xf6rg\" <j@example.com>", "Rechnung f\xfcr M\xfcller",
                            "Herr M\xfcller", "gruss.txt") +
                      "Betrag 12,50\r\n_EOF_\r\n"),
              kOkBye);
    ReceivedMail mail;
    ASSERT_TRUE(tls.Mail(1, &mail));
    EXPECT_EQ(mail.Get("tls"), "starttls");
    EXPECT_EQ(mail.Get("envelope_to"), "j@example.com\n");
    EXPECT_EQ(mail.Get("addr-To"), "M\xc3\xbcller, J\xc3\xb6rg\tj@example.com\n");
    EXPECT_EQ(mail.Header("Subject"), "Rechnung f\xc3\xbcr M\xc3\xbcller");
    EXPECT_EQ(mail.Get("body-text"),
              "Sehr geehrter Herr M\xc3\xbcller,\r\nanbei die Rechnung \xe2\x82\xac 12,50.\r\n");
    EXPECT_EQ(mail.Get("att-1.data"), "Betrag 12,50\r\n");
    EXPECT_EQ(mail.Get("problems"), "");
    // The debug console shows the mailer's command line with the password masked.
    EXPECT_NE(server.Console().find(" -u mailer -pw ***\n"), std::string::npos) << server.Console();
    EXPECT_EQ(server.Console().find("s3cret"), std::string::npos);
}

TEST_F(JobEndToEnd, OversizedOutputIsRefused) {
    StartServer(false, "emmaxsize=1\n");
    EXPECT_EQ(Job("big.txt", "PLAIN",
                  EmailLine("a@example.com", "big", "A", "") + std::string(2048, 'x') + "\r\n_EOF_\r\n"),
              kFailedBye);
    EXPECT_NE(server.Console().find("The attachement file is too big.\n"), std::string::npos);
    EXPECT_FALSE(smtp.HasMail(1));
    ASSERT_EQ(Activity().size(), 1u);
    EXPECT_EQ(Activity()[0].substr(20), dir / "out/big.txt -> all failed");
}

TEST_F(JobEndToEnd, RealConvertersWhenBuilt) {
    if (!Exists(std::string(TARN_BIN_DIR) + "/overprint") ||
        !Exists(std::string(TARN_BIN_DIR) + "/tabulate")) {
        GTEST_SKIP() << "overprint or tabulate not built";
    }
    // Reports honour the umask the server runs with (the package sets one
    // that keeps them from other users).
    const mode_t oldMask = ::umask(027);
    StartServer(true);
    ::umask(oldMask);
    // The example form: a real page with its own resources.
    std::filesystem::copy_file(std::string(TARN_SOURCE_DIR) + "/examples/forms/letter.pdf",
                               dir / "forms/form.pdf", std::filesystem::copy_options::overwrite_existing);
    EXPECT_EQ(Job("inv7.txt", "INVOICE",
                  EmailLine("a@example.com", "Invoice 7", "Smith", "welcome.txt") +
                      "INVOICE 7\r\nTotal 12.50\r\n_EOF_\r\n"),
              kOkBye);
    const std::string pdf = dir / "out/inv7.pdf";
    EXPECT_EQ(PdfPageCount(pdf, scratch.path()), 2 + 1 + 3);
    ProgramRun text = RunAndCapture({"/usr/bin/pdftotext", pdf, "-"}, scratch.path());
    EXPECT_NE(text.out.find("Total 12.50"), std::string::npos) << text.out;
    ReceivedMail mail;
    ASSERT_TRUE(smtp.Mail(1, &mail));
    EXPECT_EQ(mail.Get("att-1.data"), ReadFile(pdf));

    EXPECT_EQ(Job("stock.txt", "xls",
                  "STOCK REPORT                         Page 1\r\n\r\nItem        Qty     Price\r\n"
                  "----------  ------  -------\r\nBolt        10      1.50\r\nNut         200     "
                  "0.25\r\n_EOF_\r\n"),
              kOkBye);
    ProgramRun cells =
        RunAndCapture({"/usr/bin/python3", "-c",
                       "import sys, xlrd\ns = xlrd.open_workbook(sys.argv[1]).sheet_by_index(0)\n"
                       "print([s.row_values(i) for i in range(s.nrows)])",
                       dir / "xlsout/stock.xls"},
                      scratch.path());
    EXPECT_NE(cells.out.find("['Bolt', 10.0, 1.5]"), std::string::npos) << cells.out << cells.err;
    for (const std::string& report : {pdf, dir / "xlsout/stock.xls"}) {
        EXPECT_EQ(std::filesystem::status(report).permissions() & std::filesystem::perms::others_all,
                  std::filesystem::perms::none)
            << report;
    }
}

TEST_F(JobEndToEnd, TarnMergeAndAnXlsxWorkbookMailed) {
    for (const char* program : {"overprint", "tabulate", "tarn-merge"}) {
        if (!Exists(std::string(TARN_BIN_DIR) + "/" + program)) GTEST_SKIP() << program << " not built";
    }
    std::filesystem::create_directory(dir / "xlsEU");
    StartServer(true, "merger=tarn-merge\n",
                "saveDirEU=" + dir / "xlsEU" +
                    "\nworkbookFormatEU=xlsx\ninputDecSeparator=.\n"
                    "inputGroupSeparator=,\n");
    std::filesystem::copy_file(std::string(TARN_SOURCE_DIR) + "/examples/forms/letter.pdf",
                               dir / "forms/form.pdf", std::filesystem::copy_options::overwrite_existing);

    // A PDF job merged by tarn-merge: front, converted and back pages in order.
    EXPECT_EQ(Job("inv8.txt", "INVOICE", "INVOICE 8\r\nTotal 99.10\r\n_EOF_\r\n"), kOkBye);
    const std::string pdf = dir / "out/inv8.pdf";
    EXPECT_EQ(PdfPageCount(pdf, scratch.path()), 2 + 1 + 3);
    EXPECT_EQ(RunAndCapture({"/usr/bin/qpdf", "--check", pdf}, scratch.path()).exitCode, 0);
    ProgramRun third = RunAndCapture({"/usr/bin/pdftotext", "-f", "3", "-l", "3", pdf, "-"}, scratch.path());
    EXPECT_NE(third.out.find("Total 99.10"), std::string::npos) << third.out;
    EXPECT_NE(server.Console().find(dir / "tools/tarn-merge " + dir / "merge/front.pdf "), std::string::npos);
    EXPECT_FALSE(Exists(dir / "out/inv8_$$$.pdf"));

    // A workbook job sent for xlsEU: an .xlsx in saveDirEU, mailed.
    const std::string report =
        "STOCK REPORT                         Page 1\r\n\r\nItem        Qty     Price\r\n"
        "----------  ------  -------\r\nBolt        10      1,001.50\r\nNut         200     0.25\r\n";
    EXPECT_EQ(
        Job("stock.txt", "xlsEU", EmailLine("c@example.com", "Stock", "Lee", "") + report + "_EOF_\r\n"),
        kOkBye);
    const std::string xlsx = dir / "xlsEU/stock.xlsx";
    ASSERT_TRUE(Exists(xlsx));
    EXPECT_FALSE(Exists(dir / "xlsEU/stock.xls"));
    EXPECT_FALSE(Exists(dir / "xlsEU/stock.txt"));
    ReceivedMail mail;
    ASSERT_TRUE(smtp.Mail(1, &mail));
    EXPECT_EQ(mail.Get("att-1.name"), "stock.xlsx");
    EXPECT_EQ(mail.Get("att-1.data"), ReadFile(xlsx));
    WriteFile(scratch / "mailed.xlsx", mail.Get("att-1.data"));
    ProgramRun cells = RunAndCapture({"/usr/bin/python3", "-c",
                                      "import sys, openpyxl\ns = openpyxl.load_workbook(sys.argv[1]).active\n"
                                      "print([[c.value for c in r] for r in s.iter_rows(max_row=3)])",
                                      scratch / "mailed.xlsx"},
                                     scratch.path());
    EXPECT_NE(cells.out.find("['Bolt', 10, 1001.5]"), std::string::npos) << cells.out << cells.err;
    ASSERT_EQ(Activity().size(), 1u);
    EXPECT_EQ(Activity()[0].substr(20), xlsx + " -> c@example.com succeeded");

    // The plain xls section keeps its .xls.
    EXPECT_EQ(Job("stock.txt", "xls", report + "_EOF_\r\n"), kOkBye);
    EXPECT_TRUE(Exists(dir / "xlsout/stock.xls"));
}

TEST_F(JobEndToEnd, TooManyOrdersOrRecipientsRefuseTheJobsMailAsAWhole) {
    StartServer(false, "emmaxorders=2\nemmaxrecipients=3\n");
    const std::string a = EmailLine("a@example.com", "s", "A", "");
    EXPECT_EQ(Job("orders.txt", "PLAIN", a + a + a + "text\r\n_EOF_\r\n"), kFailedBye);
    EXPECT_EQ(ReadFile(dir / "out/orders.txt"), "text\r\n");  // the output is still delivered
    EXPECT_NE(server.Console().find("more than 2 e-mail orders (emmaxorders)"), std::string::npos);

    EXPECT_EQ(Job("many.txt", "PLAIN",
                  EmailLine("a@example.com, b@example.com", "s", "A", "") +
                      EmailLine("c@example.com,d@example.com", "s", "C", "") + "text\r\n_EOF_\r\n"),
              kFailedBye);
    EXPECT_NE(server.Console().find("name 4 recipients, more than 3 (emmaxrecipients)"), std::string::npos);
    EXPECT_FALSE(smtp.HasMail(1));

    // At the limits: sent.
    EXPECT_EQ(Job("fits.txt", "PLAIN",
                  EmailLine("a@example.com, b@example.com", "s", "A", "") + a + "text\r\n_EOF_\r\n"),
              kOkBye);
    ReceivedMail mail;
    EXPECT_TRUE(smtp.Mail(2, &mail));
    std::vector<std::string> activity = Activity();
    ASSERT_EQ(activity.size(), 4u);
    EXPECT_EQ(activity[0].substr(20), dir / "out/orders.txt -> all failed");
    EXPECT_EQ(activity[1].substr(20), dir / "out/many.txt -> all failed");
}

TEST_F(JobEndToEnd, EmallowSendsOnlyOrdersNamingAllowedAddresses) {
    // The list is read in the clients' code page, as blat reads it: in Shift_JIS
    // "\x95\x5C" is a letter, not a letter and a backslash that hides the
    // addresses after it in a comment.
    StartServer(false, "emallow=@Example.com boss@corp.example\nemcharset=shift_jis\n");
    EXPECT_EQ(
        Job("allow.txt", "PLAIN",
            EmailLine("a@EXAMPLE.com", "s1", "A", "") + EmailLine("evil@x.example", "s2", "E", "") +
                EmailLine("\"boss@corp.example\" <evil@y.example>", "s3", "E", "") +
                EmailLine("b@example.com, evil@z.example", "s4", "B", "") +
                EmailLine("boss@corp.example", "s5", "B", "") +
                EmailLine("b@example.com (\x95\x5C), evil@w.example, \"x)\" <c@example.com>", "s6", "E", "") +
                "text\r\n_EOF_\r\n"),
        kOkBye);
    ReceivedMail mail;
    ASSERT_TRUE(smtp.Mail(1, &mail));
    EXPECT_EQ(mail.Get("envelope_to"), "a@EXAMPLE.com\n");
    ASSERT_TRUE(smtp.Mail(2, &mail));
    EXPECT_EQ(mail.Get("envelope_to"), "boss@corp.example\n");
    EXPECT_FALSE(smtp.HasMail(3));
    for (const char* refused : {"evil@x.example", "evil@y.example", "evil@z.example", "evil@w.example"}) {
        EXPECT_NE(server.Console().find("E-mail order not sent: " + std::string(refused) +
                                        " is not allowed by emallow\n"),
                  std::string::npos)
            << refused;
    }
    const std::string out = dir / "out/allow.txt";
    std::vector<std::string> activity = Activity();
    ASSERT_EQ(activity.size(), 6u);
    EXPECT_EQ(activity[0].substr(20), out + " -> a@EXAMPLE.com succeeded");
    EXPECT_EQ(activity[1].substr(20), out + " -> evil@x.example failed");
    EXPECT_EQ(activity[2].substr(20), out + " -> evil@y.example failed");
    EXPECT_EQ(activity[3].substr(20), out + " -> evil@z.example failed");
    EXPECT_EQ(activity[4].substr(20), out + " -> boss@corp.example succeeded");
    EXPECT_EQ(activity[5].substr(20), out + " -> evil@w.example failed");
}

}  // namespace
}  // namespace tarn
