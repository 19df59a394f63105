// Faults through the real TARNSvr that must lose nothing: a full disk, a
// converter that hangs or is killed, an SMTP server that drops the
// connection, the server itself killed in the middle of its jobs, clients
// that never end a line, and test servers that must not outlive their test.

#include <gtest/gtest.h>
#include <sys/mount.h>

#include <atomic>
#include <regex>
#include <thread>

#include "tests/mailer/SmtpTestServer.h"
#include "tests/service/JobTestSupport.h"
#include "tests/service/ServerTestSupport.h"
#include "tests/tabulate/ReportGenerator.h"

namespace tarn {
namespace {

using namespace tarn::testing;
using namespace std::chrono_literals;

constexpr const char* kOkBye = "Hi\nROGER_CMD\nok\nBye\n";
constexpr const char* kFailedBye = "Hi\nROGER_CMD\nProblem handlingRequest\nBye\n";

std::string EmailLine(const std::string& to, const std::string& name, const std::string& body = "") {
    return "\x02"
           "email:" +
           to + "^Report^" + name + "^" + body + "\r\n";
}

// A tmpfs of `kilobytes` mounted on `path` for the life of the object.
class SmallDisk {
  public:
    SmallDisk(const std::string& path, int kilobytes) : path_(path) {
        std::filesystem::create_directories(path);
        const std::string options = "size=" + std::to_string(kilobytes) + "k,mode=0755";
        mounted_ = ::mount("tarn-test", path.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0;
    }
    ~SmallDisk() {
        if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }
    // Takes every free byte but `leave` into a filler file.
    void Fill(std::size_t leave = 0) {
        std::ofstream filler(path_ + "/filler", std::ios::binary | std::ios::app);
        const std::string block(4096, 'f');
        while (Free() > leave + block.size() && filler.write(block.data(), block.size()) && filler.flush()) {
        }
        for (std::size_t n = Free() - leave;
             Free() > leave && n > 0 && filler.write("f", 1) && filler.flush();)
            n = Free() - leave;
    }
    void Free(bool all) {
        if (all) std::filesystem::remove(path_ + "/filler");
    }

  private:
    std::size_t Free() const {
        std::error_code ec;
        return std::filesystem::space(path_, ec).available;
    }
    std::string path_;
    bool mounted_ = false;
};

class Faults : public ::testing::Test {
  protected:
    // Sections RAW (no conversion), PDF (overprint) and xls (tabulate), all
    // saving to `out`; the converters are stand-ins unless `real`.
    void StartServer(const std::string& out, bool real, const std::string& serverKeys = "") {
        for (const char* sub : {"tools", "forms", "bodies", "tmp"})
            std::filesystem::create_directory(dir / sub);
        for (const char* tool : {"overprint", "tabulate"}) {
            if (real) {
                std::filesystem::create_symlink(std::string(TARN_BIN_DIR) + "/" + tool,
                                                dir / "tools/" + tool);
            } else {
                InstallStandIn(dir / "tools/", tool);
            }
        }
        if (real) {
            std::filesystem::create_symlink(std::string(TARN_BIN_DIR) + "/PdfFont.ext",
                                            dir / "tools/PdfFont.ext");
            std::filesystem::copy_file(std::string(TARN_SOURCE_DIR) + "/examples/forms/letter.pdf",
                                       dir / "forms/form.pdf");
        } else {
            WriteFile(dir / "forms/form.pdf", MakePdf(1));
        }
        std::filesystem::create_symlink(std::string(TARN_BIN_DIR) + "/blat", dir / "tools/blat");
        WriteFile(dir / "bodies/hello.txt", "Dear $name,\nyour report.\n");
        // Temporary files of the server and of its converters go here, to be counted.
        ::setenv("TMP", (dir / "tmp").c_str(), 1);
        ini_ =
            "[Server]\nport=0\nhome=tools\nbodyfiles=bodies\nsender=tarn@example.org\nemlsrv=127.0.0.1\n"
            "emport=" +
            std::to_string(smtp_ ? smtp_->port() : UnusedPort()) + "\nemlog=activity.log\n" + serverKeys +
            "[RAW]\nsaveDir=" + out + "\n[PDF]\nsaveDir=" + out + "\ntemplate=forms/form.pdf\npdfparams=\n" +
            "[xls]\nsaveDir=" + out + "\n";
        ASSERT_TRUE(server_.Start(dir.path().substr(0, dir.path().size() - 1), ini_)) << server_.Console();
    }
    void TearDown() override { ::unsetenv("TMP"); }

    std::string Job(const std::string& rawName, const std::string& section, const std::string& body) {
        TestClient client(server_.port());
        client.ReadUntil("Hi\n");
        client.Send(RunLine(rawName, section));
        client.ReadUntil("ROGER_CMD\n");
        client.Send(body);
        return client.ReadAll(60s);
    }
    bool ConsoleHas(const std::string& text) {
        return server_.WaitForConsole(
            std::regex(std::regex_replace(text, std::regex(R"([\\^$.|?*+()\[\]{}])"), R"(\$&)")), nullptr,
            5s);
    }

    ScratchFolder dir;
    ScratchFolder mail;
    std::unique_ptr<SmtpTestServer> smtp_;
    ServerProcess server_;
    std::string ini_;
};

// Free space that holds `report` as the raw file (tmpfs counts whole pages)
// and one page more: too little for its PDF or workbook.
std::size_t RoomFor(const std::string& report) { return (report.size() + 4095) / 4096 * 4096 + 4096; }

// A report of `lines` numbered lines.
std::string Report(const std::string& tag, int lines) {
    std::string text;
    for (int i = 0; i < lines; ++i) text += tag + " line " + std::to_string(i) + " amount 1,234.50\r\n";
    return text;
}

TEST_F(Faults, FullDiskWhileTheRawFileTheConverterOrTheWorkbookIsWrittenLosesNothing) {
    const std::string out = dir / "small";
    SmallDisk disk(out, 256);
    if (!disk.mounted()) GTEST_SKIP() << "mounting a tmpfs is not permitted here";
    StartServer(out, true);

    // An earlier output of the same name stays whole when its replacement fails.
    const std::string before = Report("before", 20);
    ASSERT_EQ(Job("keep.txt", "RAW", before + "_EOF_\r\n"), kOkBye);

    // The raw file: the disk fills while the text arrives.
    disk.Fill();
    std::string reply = Job("keep.txt", "RAW", Report("big", 4000) + "_EOF_\r\n");
    EXPECT_EQ(reply.rfind("Hi\nROGER_CMD\nERROR: ", 0), 0u) << reply;
    EXPECT_TRUE(ConsoleHas(out + "/keep.txt\n")) << server_.Console();
    EXPECT_EQ(ReadFile(out + "/keep.txt"), before);

    // The converter: room for the report, not for the PDF.
    const std::string pdfReport = Report("pdf", 400);
    tabulate_test::ReportOptions pages;
    pages.pages = 6;
    const std::string xlsReport = tabulate_test::MakeReport(pages);
    disk.Free(true);
    disk.Fill(RoomFor(pdfReport));
    EXPECT_EQ(Job("inv.txt", "PDF", pdfReport + "_EOF_\r\n"), kFailedBye);
    EXPECT_TRUE(ConsoleHas(out + "/inv.pdf\n")) << server_.Console();
    EXPECT_FALSE(Exists(out + "/inv.pdf"));

    // The workbook: room for the report, not for the workbook.
    disk.Free(true);
    disk.Fill(RoomFor(xlsReport));
    EXPECT_EQ(Job("stock.txt", "xls", xlsReport + "_EOF_\r\n"), kFailedBye);
    EXPECT_TRUE(ConsoleHas(out + "/stock.xls\n")) << server_.Console();
    EXPECT_FALSE(Exists(out + "/stock.xls"));

    // Space is back: the same server serves every kind again.
    disk.Free(true);
    EXPECT_EQ(Job("keep.txt", "RAW", Report("after", 3) + "_EOF_\r\n"), kOkBye);
    EXPECT_EQ(ReadFile(out + "/keep.txt"), Report("after", 3));
    EXPECT_EQ(Job("inv.txt", "PDF", pdfReport + "_EOF_\r\n"), kOkBye);
    EXPECT_GT(PdfPageCount(out + "/inv.pdf", dir.path()), 0);
    EXPECT_EQ(Job("stock.txt", "xls", xlsReport + "_EOF_\r\n"), kOkBye);
    EXPECT_TRUE(Exists(out + "/stock.xls"));
    // Nothing but the outputs in the save folder.
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(out)) names.insert(entry.path().filename());
    EXPECT_EQ(names, (std::set<std::string>{"keep.txt", "inv.pdf", "stock.xls"}));
}

TEST_F(Faults, ConverterThatHangsIsEndedAfterConverterTimeoutAndOneKilledBySignalFailsTheJob) {
    StartServer(dir / "out", false, "converterTimeout=1\n");
    std::filesystem::create_directory(dir / "out");
    const std::string overprint = dir / "tools/overprint";
    WriteFile(overprint + ".hang", "");
    auto start = Clock::now();
    EXPECT_EQ(Job("hang.txt", "PDF", "text\r\n_EOF_\r\n"), kFailedBye);
    EXPECT_LT(Clock::now() - start, 20s);
    // The command line is reported; no output, no half-written PDF, no raw file.
    const std::string commandLine = "\"" + overprint + "\" \"" + dir / "forms/form.pdf" + "\" \"" +
                                    dir / "out/hang.txt" + "\"  -o \"" + dir / "out/hang_$$$\"";
    EXPECT_TRUE(ConsoleHas(commandLine + "\n")) << server_.Console();
    EXPECT_EQ(FileTreeSize(dir / "out"), 0u);

    // Killed by a signal half-way through: the same, without waiting.
    std::filesystem::remove(overprint + ".hang");
    WriteFile(overprint + ".signal", std::to_string(SIGKILL));
    EXPECT_EQ(Job("killed.txt", "PDF", "text\r\n_EOF_\r\n"), kFailedBye);
    EXPECT_TRUE(ConsoleHas(dir / "out/killed_$$$\"\n")) << server_.Console();
    const std::string tabulate = dir / "tools/tabulate";
    WriteFile(tabulate + ".signal", std::to_string(SIGTERM));
    EXPECT_EQ(Job("book.txt", "xls", "a b c\r\n_EOF_\r\n"), kFailedBye);
    EXPECT_TRUE(ConsoleHas(" -r \"book.txt\"\n")) << server_.Console();
    EXPECT_EQ(FileTreeSize(dir / "out"), 0u);

    // A converter that behaves again is waited for as before.
    std::filesystem::remove(overprint + ".signal");
    EXPECT_EQ(Job("fine.txt", "PDF", "text\r\n_EOF_\r\n"), kOkBye);
    EXPECT_TRUE(Exists(dir / "out/fine.pdf"));
}

TEST_F(Faults, SmtpServerDroppingTheConnectionMidMessageFailsThatOrderOnly) {
    SmtpTestServer::Options options;
    options.dropFirst = 1;
    smtp_ = std::make_unique<SmtpTestServer>(mail.path(), options);
    ASSERT_TRUE(smtp_->running());
    StartServer(dir / "out", false);
    std::filesystem::create_directory(dir / "out");

    // Two orders: the first message is cut off, the second is still sent.
    EXPECT_EQ(Job("two.txt", "RAW",
                  EmailLine("first@example.com", "A", "hello.txt") + EmailLine("second@example.com", "B") +
                      Report("mail", 50) + "_EOF_\r\n"),
              kFailedBye);
    std::vector<std::string> activity = Lines(ReadFile(dir / "activity.log"));
    ASSERT_EQ(activity.size(), 2u) << ReadFile(dir / "activity.log");
    EXPECT_EQ(activity[0].substr(20), dir / "out/two.txt -> first@example.com failed");
    EXPECT_EQ(activity[1].substr(20), dir / "out/two.txt -> second@example.com succeeded");
    ReceivedMail received;
    ASSERT_TRUE(smtp_->Mail(1, &received));
    EXPECT_EQ(received.Get("envelope_to"), "second@example.com\n");
    EXPECT_EQ(received.Get("att-1.data"), Report("mail", 50));
    // The body file of the failed order is gone too.
    EXPECT_EQ(FileTreeSize(dir / "tmp"), 0u);
}

TEST_F(Faults, KilledInTheMiddleOfFiftyJobsLeavesNoHalfWrittenOutputAndCleansUpAtTheNextStart) {
    smtp_ = std::make_unique<SmtpTestServer>(mail.path());
    ASSERT_TRUE(smtp_->running());
    StartServer(dir / "out", true);
    std::filesystem::create_directory(dir / "out");
    const char* sections[] = {"RAW", "PDF", "xls"};
    std::vector<std::string> reports;
    for (int i = 0; i < 50; ++i) reports.push_back(Report("job" + std::to_string(i), 200 + 40 * i));

    std::atomic<int> answered{0};
    std::vector<std::thread> clients;
    const int port = server_.port();
    for (int i = 0; i < 50; ++i) {
        clients.emplace_back([&, i] {
            TestClient client(port);
            client.ReadUntil("Hi\n");
            client.Send(RunLine("job" + std::to_string(i) + ".txt", sections[i % 3]));
            client.ReadUntil("ROGER_CMD\n");
            // Every other job mails its output with a body: a body file exists while it is sent.
            if (i % 2 == 0)
                client.Send(EmailLine("j" + std::to_string(i) + "@example.com", "J", "hello.txt"));
            // The text in pieces, so that some jobs are still arriving when the server dies.
            const std::string& text = reports[i];
            for (std::size_t at = 0; at < text.size(); at += 4096) {
                if (!client.Send(text.substr(at, 4096))) return;
                std::this_thread::sleep_for(1ms);
            }
            client.Send("_EOF_\r\n");
            if (client.ReadAll(60s).find("Bye\n") != std::string::npos) ++answered;
        });
    }
    // Kill it once a few jobs are done and the rest are on their way.
    for (auto deadline = Clock::now() + 60s; answered < 5 && Clock::now() < deadline;)
        std::this_thread::sleep_for(1ms);
    const pid_t killed = server_.pid();
    ASSERT_EQ(::kill(killed, SIGKILL), 0);
    for (std::thread& t : clients) t.join();
    EXPECT_LT(answered.load(), 50);
    ASSERT_EQ(server_.WaitForExit(), 128 + SIGKILL);
    // The converters and mailers it started finish on their own (their
    // environment names our temporary folder); give them a bounded time.
    for (auto deadline = Clock::now() + 30s; Clock::now() < deadline;) {
        bool busy = false;
        for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
            const std::string comm = ReadFile(entry.path().string() + "/comm");
            if ((comm == "overprint\n" || comm == "tabulate\n" || comm == "blat\n") &&
                ReadFile(entry.path().string() + "/environ").find(dir / "tmp") != std::string::npos)
                busy = true;
        }
        if (!busy) break;
        std::this_thread::sleep_for(50ms);
    }

    // Every output under its final name is whole.
    for (int i = 0; i < 50; ++i) {
        const std::string base = dir / "out/job" + std::to_string(i);
        if (i % 3 == 0 && Exists(base + ".txt")) {
            EXPECT_EQ(ReadFile(base + ".txt"), reports[i]) << "job " << i;
        }
        if (i % 3 == 1 && Exists(base + ".pdf")) {
            ProgramRun check = RunAndCapture({"/usr/bin/qpdf", "--check", base + ".pdf"}, dir.path());
            EXPECT_EQ(check.exitCode, 0) << "job " << i << check.out;
        }
        if (i % 3 == 2 && Exists(base + ".xls")) {
            ProgramRun read =
                RunAndCapture({"/usr/bin/python3", "-c", "import sys, xlrd; xlrd.open_workbook(sys.argv[1])",
                               base + ".xls"},
                              dir.path());
            EXPECT_EQ(read.exitCode, 0) << "job " << i << read.err;
        }
    }
    // Every activity-log line is whole.
    const std::string activity = ReadFile(dir / "activity.log");
    EXPECT_TRUE(activity.empty() || activity.back() == '\n');
    for (const std::string& line : Lines(activity))
        EXPECT_TRUE(
            std::regex_match(line, std::regex(R"(\d\d/\d\d/\d\d\d\d \d\d:\d\d:\d\d .* (succeeded|failed))")))
            << line;

    // The next start removes what the killed run left behind, and serves.
    ServerProcess again;
    ASSERT_TRUE(again.Start(dir.path().substr(0, dir.path().size() - 1), ini_)) << again.Console();
    std::set<std::string> left;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.path())) {
        const std::string name = entry.path().filename();
        if (entry.is_regular_file() && name.find(std::to_string(killed)) != std::string::npos)
            left.insert(entry.path());
    }
    EXPECT_TRUE(left.empty()) << *left.begin();
    EXPECT_EQ(FileTreeSize(dir / "tmp"), 0u)
        << RunAndCapture({"/bin/ls", "-la", dir / "tmp"}, mail.path()).out;
    // Outputs, and PDFs that overprint finished after the server died (whole,
    // under their temporary name: the rename was the server's step).
    for (const auto& entry : std::filesystem::directory_iterator(dir / "out")) {
        const std::string name = entry.path().filename();
        EXPECT_TRUE(std::regex_match(name, std::regex(R"(job\d+(\.txt|\.pdf|\.xls|_\$\$\$\.pdf))"))) << name;
        if (name.find("_$$$") != std::string::npos) {
            EXPECT_EQ(RunAndCapture({"/usr/bin/qpdf", "--check", entry.path()}, mail.path()).exitCode, 0)
                << name;
        }
    }
    TestClient client(again.port());
    client.ReadUntil("Hi\n");
    client.Send(RunLine("after.txt", "RAW") + "after\r\n_EOF_\r\n");
    EXPECT_EQ(client.ReadAll(), kOkBye);
}

// Peak resident memory of a process in kilobytes.
long PeakKilobytes(pid_t pid) {
    std::smatch match;
    const std::string status = ReadFile("/proc/" + std::to_string(pid) + "/status");
    return std::regex_search(status, match, std::regex(R"(VmHWM:\s+(\d+) kB)")) ? std::stol(match[1]) : -1;
}

// Sends `total` bytes of a repeating pattern (with `lineEnd` after the last
// one, when given) and checks that the raw file holds exactly those bytes.
void StreamAndCompare(int port, const std::string& path, std::uint64_t total, const std::string& lineEnd) {
    TestClient client(port);
    client.ReadUntil("Hi\n");
    client.Send(RunLine(std::filesystem::path(path).filename(), "RAW"));
    client.ReadUntil("ROGER_CMD\n");
    std::string block(1 << 20, '\0');
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>('A' + i % 23);
    for (std::uint64_t sent = 0; sent < total; sent += block.size())
        ASSERT_TRUE(client.Send(block.substr(0, std::min<std::uint64_t>(block.size(), total - sent))));
    client.Send(lineEnd);
    client.ShutdownWrite();
    ASSERT_EQ(client.ReadAll(120s), kOkBye);

    std::ifstream in(path, std::ios::binary);
    std::string chunk(block.size(), '\0');
    std::uint64_t read = 0;
    while (read < total) {
        in.read(chunk.data(),
                static_cast<std::streamsize>(std::min<std::uint64_t>(chunk.size(), total - read)));
        const std::size_t n = static_cast<std::size_t>(in.gcount());
        ASSERT_GT(n, 0u) << "raw file ends after " << read << " of " << total << " bytes";
        ASSERT_EQ(std::memcmp(chunk.data(), block.data(), n), 0) << "at " << read;
        read += n;
    }
    std::string rest((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(rest, lineEnd == "\n" ? "\r\n" : "");
}

// TARN_LARGE_BYTES sets the size: 64 MiB in the default run (about 6 s),
// 1 GiB in the run labelled "large" (ctest -L large, about 90 s here).
TEST_F(Faults, OneGigabyteLineAndOneGigabyteWithoutLineEndAreStoredWithBoundedMemory) {
    std::filesystem::create_directory(dir / "out");
    StartServer(dir / "out", false);
    const char* size = std::getenv("TARN_LARGE_BYTES");
    const std::uint64_t total = size != nullptr ? std::strtoull(size, nullptr, 10) : (64ull << 20);
    const long startKb = PeakKilobytes(server_.pid());
    StreamAndCompare(server_.port(), dir / "out/line.txt", total, "\n");
    std::filesystem::remove(dir / "out/line.txt");
    StreamAndCompare(server_.port(), dir / "out/noend.txt", total, "");
    const long peakKb = PeakKilobytes(server_.pid());
    std::printf("server peak RSS: %ld kB at start, %ld kB after 2 x %llu bytes\n", startKb, peakKb,
                static_cast<unsigned long long>(total));
    // A line is held up to 1 MiB before it is written: a few MiB of growth at most.
    EXPECT_LT(peakKb - startKb, 32 * 1024);
}

TEST(TestServers, EndWithTheProcessThatStartedThemEvenWhenItIsKilled) {
    ScratchFolder dir;
    std::filesystem::create_directory(dir / "srv");
    const pid_t parent = ::fork();
    if (parent == 0) {
        // Stands for a test or benchmark: starts a server, then is killed.
        ServerProcess server;
        if (!server.Start(dir / "srv", "[Server]\nport=0\n")) _exit(1);
        WriteFile(dir / "pid", std::to_string(server.pid()));
        ::pause();
        _exit(0);
    }
    std::string pid;
    for (auto deadline = Clock::now() + 20s;
         (pid = ReadFile(dir / "pid")).empty() && Clock::now() < deadline;)
        std::this_thread::sleep_for(10ms);
    ASSERT_FALSE(pid.empty());
    ::kill(parent, SIGKILL);
    ::waitpid(parent, nullptr, 0);
    bool gone = false;
    for (auto deadline = Clock::now() + 10s; !gone && Clock::now() < deadline;) {
        const std::string stat = ReadFile("/proc/" + pid + "/stat");
        gone = stat.empty() || stat.find(") Z ") != std::string::npos;
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_TRUE(gone) << "TARNSvr " << pid << " outlived its test";
}

}  // namespace
}  // namespace tarn
