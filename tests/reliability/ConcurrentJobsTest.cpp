// Two hundred clients at once against TARNSvr running as a service, on raw,
// PDF and workbook sections and with e-mail to a real SMTP server, paused
// and continued while the jobs run. Run under ThreadSanitizer by 'make tsan'
// (the server is then built with it too, and any report fails the test).

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "service/host/ServiceIdentity.h"
#include "tests/mailer/SmtpTestServer.h"
#include "tests/service/JobTestSupport.h"
#include "tests/service/ServerTestSupport.h"
#include "tests/tabulate/ReportGenerator.h"

namespace tarn {
namespace {

using namespace tarn::testing;
using namespace std::chrono_literals;

constexpr int kJobs = 200;
constexpr const char* kOkBye = "Hi\nROGER_CMD\nok\nBye\n";

// Kind of job i: raw, PDF, workbook, raw mailed.
enum Kind { kRaw, kPdf, kWorkbook, kMailed };
Kind KindOf(int i) { return static_cast<Kind>(i % 4); }

// A report with page headers, column titles, amounts and dates; its size varies with i.
std::string ReportOf(int i) {
    tabulate_test::ReportOptions options;
    options.pages = 1;  // no page break: the raw file then holds the text as sent
    options.rowsPerPage = 10 + i % 37;
    options.european = i % 2 == 1;
    return tabulate_test::MakeReport(options) + "job " + std::to_string(i) + "\r\n";
}

// Waits (bounded) for a datagram holding `text`; earlier ones are dropped.
bool WaitFor(DatagramReceiver& socket, const std::string& text, std::chrono::seconds limit = 120s) {
    for (auto deadline = Clock::now() + limit; Clock::now() < deadline;)
        if (socket.Receive(500ms).find(text) != std::string::npos) return true;
    return false;
}

// Reads the server's events as a log collector does, all the time: the server
// sends them like syslog(3), blocking while the socket's short queue is full,
// so an unread socket would stall every conversation that reports an event.
class EventCollector {
  public:
    explicit EventCollector(DatagramReceiver& socket)
        : reader_([this, &socket] {
              while (!stop_)
                  if (std::string m = socket.Receive(100ms); !m.empty()) {
                      std::lock_guard<std::mutex> lock(mutex_);
                      log_ += m + "\n";
                  }
          }) {}
    ~EventCollector() {
        stop_ = true;
        reader_.join();
    }
    std::string Log() {
        std::lock_guard<std::mutex> lock(mutex_);
        return log_;
    }
    // Waits (bounded) until the log holds `text`.
    bool WaitFor(const std::string& text, std::chrono::seconds limit = 120s) {
        for (auto deadline = Clock::now() + limit; Clock::now() < deadline; std::this_thread::sleep_for(50ms))
            if (Log().find(text) != std::string::npos) return true;
        return false;
    }

  private:
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::string log_;
    std::thread reader_;
};

TEST(ConcurrentJobs, TwoHundredMixedJobsWithAPauseAndContinueInTheMiddleAllComplete) {
    ScratchFolder dir, temp, mail;
    for (const char* sub : {"tools", "forms", "out", "tmp"}) std::filesystem::create_directory(dir / sub);
    for (const char* tool : {"overprint", "tabulate", "blat", "PdfFont.ext"})
        std::filesystem::create_symlink(std::string(TARN_BIN_DIR) + "/" + tool, dir / "tools/" + tool);
    std::filesystem::copy_file(std::string(TARN_SOURCE_DIR) + "/examples/forms/letter.pdf",
                               dir / "forms/form.pdf");
    SmtpTestServer smtp(mail.path());
    ASSERT_TRUE(smtp.running());

    // Service mode: registered with its own switch, events and states on sockets of ours.
    const std::string folder = dir / "srv";
    std::filesystem::create_directory(folder);
    DatagramReceiver events(temp / "log"), notify(temp / "notify");
    ASSERT_TRUE(events.bound() && notify.bound());
    ::setenv("TARN_SYSLOG_SOCKET", (temp / "log").c_str(), 1);
    ::setenv("NOTIFY_SOCKET", (temp / "notify").c_str(), 1);
    ::setenv("TARN_PID_FILE", (temp / "TARNSvr.pid").c_str(), 1);
    ::setenv("TARN_UNIT_DIR", temp.path().c_str(), 1);
    ::setenv("TARN_REGISTRY_ROOT", (folder + ".registry").c_str(), 1);
    ::setenv("TMP", (dir / "tmp").c_str(), 1);
    ProgramRun registration = RunAndCapture({TARN_BIN_DIR "/TARNSvr", "-Service"}, temp.path());
    ASSERT_EQ(registration.exitCode, 0) << registration.err;
    EventCollector eventLog(events);
    ServerProcess server;
    // A fixed port: a continue listens again on the configured one.
    const int port = UnusedPort();
    const std::string ini =
        "[Server]\nport=" + std::to_string(port) +
        "\nhome=../tools\nsender=tarn@example.org\nemlsrv=127.0.0.1\nemport=" + std::to_string(smtp.port()) +
        "\nemlog=activity.log\n[RAW]\nsaveDir=" + dir / "out\n[PDF]\nsaveDir=" +
        dir / "out\ntemplate=../forms/form.pdf\n[xls]\nsaveDir=" + dir / "out\n";
    ASSERT_TRUE(server.Start(folder, ini)) << server.Console();
    ASSERT_TRUE(WaitFor(notify, "READY=1")) << server.Console();

    // Every client retries (bounded) until a conversation greets it: while the
    // service is paused, connections are refused.
    std::vector<std::string> replies(kJobs);
    std::atomic<int> answered{0};
    std::vector<std::thread> clients;
    for (int i = 0; i < kJobs; ++i) {
        clients.emplace_back([&, i] {
            const std::string name = "job" + std::to_string(i) + ".txt";
            const std::string section = KindOf(i) == kPdf ? "PDF" : KindOf(i) == kWorkbook ? "xls" : "RAW";
            std::string order;
            if (KindOf(i) == kMailed)
                order =
                    "\x02"
                    "email:to" +
                    std::to_string(i) + "@example.com^Job " + std::to_string(i) + "^N^\r\n";
            for (auto deadline = Clock::now() + 120s; Clock::now() < deadline;) {
                TestClient client(port);
                if (client.connected() && client.ReadUntil("Hi\n", 30s) == "Hi\n") {
                    client.Send(RunLine(name, section));
                    client.ReadUntil("ROGER_CMD\n", 30s);
                    client.Send("_RAWFILE_\r\n" + order + ReportOf(i) + "_EOF_\r\n");
                    replies[i] = client.ReadAll(120s);
                    ++answered;
                    return;
                }
                std::this_thread::sleep_for(20ms);
            }
        });
    }
    // Pause with jobs in flight and clients waiting; continue once paused.
    for (auto deadline = Clock::now() + 120s; answered < kJobs / 4 && Clock::now() < deadline;)
        std::this_thread::sleep_for(1ms);
    const int beforePause = answered;
    ASSERT_EQ(::kill(server.pid(), SIGUSR1), 0);
    EXPECT_TRUE(WaitFor(notify, "STATUS=Paused", 300s)) << server.Console();
    EXPECT_TRUE(eventLog.WaitFor("Service paused."));
    std::this_thread::sleep_for(200ms);
    ASSERT_EQ(::kill(server.pid(), SIGUSR2), 0);
    EXPECT_TRUE(WaitFor(notify, "STATUS=Running"));
    for (std::thread& t : clients) t.join();
    EXPECT_LT(beforePause, kJobs);

    int mailed = 0;
    for (int i = 0; i < kJobs; ++i) {
        EXPECT_EQ(replies[i], kOkBye) << "job " << i << "\n" << eventLog.Log();
        const std::string base = dir / "out/job" + std::to_string(i);
        switch (KindOf(i)) {
        case kRaw:
        case kMailed:
            EXPECT_EQ(ReadFile(base + ".txt"), ReportOf(i)) << i;
            mailed += KindOf(i) == kMailed;
            break;
        case kPdf:
            EXPECT_EQ(ReadFile(base + ".pdf").rfind("%PDF-", 0), 0u) << i;
            break;
        case kWorkbook:
            EXPECT_GT(ReadFile(base + ".xls").size(), 512u) << i;
            break;
        }
    }
    EXPECT_EQ(PdfPageCount(dir / "out/job1.pdf", temp.path()), 1);
    // Each mail once, with its own report attached.
    std::set<std::string> recipients;
    for (int n = 1; n <= mailed; ++n) {
        ReceivedMail received;
        ASSERT_TRUE(smtp.Mail(n, &received)) << n;
        const std::string to = received.Get("envelope_to");
        recipients.insert(to);
        const int i = std::atoi(to.c_str() + 2);
        EXPECT_EQ(received.Get("att-1.data"), ReportOf(i)) << to;
    }
    EXPECT_EQ(recipients.size(), static_cast<std::size_t>(mailed));
    EXPECT_EQ(Lines(ReadFile(folder + "/activity.log")).size(), static_cast<std::size_t>(mailed));

    // A clean stop; a race detector's report would show here and in the exit status.
    ::kill(server.pid(), SIGTERM);
    EXPECT_EQ(server.WaitForExit(60s), 0);
    EXPECT_EQ(server.Console().find("ThreadSanitizer"), std::string::npos) << server.Console();
    EXPECT_EQ(FileTreeSize(dir / "tmp"), 0u);
    for (const char* name : {"TARN_SYSLOG_SOCKET", "NOTIFY_SOCKET", "TARN_PID_FILE", "TARN_UNIT_DIR",
                             "TARN_REGISTRY_ROOT", "TMP"})
        ::unsetenv(name);
}

}  // namespace
}  // namespace tarn
