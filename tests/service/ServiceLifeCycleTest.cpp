// TARNSvr's life cycle with the real program: registration through its
// switches, service mode driven by signals (stop, pause, continue) with the
// events read from a syslog socket and the states from a systemd notify
// socket, and console mode ended by Ctrl-C.

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ServerTestSupport.h"
#include "service/host/ServiceIdentity.h"
#include "tests/support/UnusedPort.h"

namespace tarn {
namespace {

using namespace std::chrono_literals;
using testing::Clock;
using testing::DatagramReceiver;
using testing::ReadText;
using testing::RunLine;
using testing::ServerProcess;
using testing::TempFolder;
using testing::TestClient;

constexpr const char* kOkBye = "Hi\nROGER_CMD\nok\nBye\n";

// True when a connection to `port` is refused right away.
bool Refused(int port) {
    TestClient client(port);
    return !client.connected();
}

// Waits (bounded) until connections to `port` are refused. A probe that still
// gets through closes at once, so its conversation ends at once too.
bool BecomesRefused(int port) {
    auto deadline = Clock::now() + 10s;
    while (!Refused(port)) {
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// Messages arriving on a datagram socket, kept in order.
class MessageLog {
  public:
    explicit MessageLog(const std::string& path) : receiver_(path) {}
    bool bound() const { return receiver_.bound(); }

    // Waits (bounded) for a message that contains `text`.
    bool WaitFor(const std::string& text, std::chrono::milliseconds limit = 10s) {
        auto deadline = Clock::now() + limit;
        for (;;) {
            if (Has(text)) return true;
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) return false;
            std::string message = receiver_.Receive(left);
            if (!message.empty()) messages_.push_back(message);
        }
    }
    // Waits (bounded) for a message holding `later` that comes after one holding `earlier`.
    bool WaitForAfter(const std::string& earlier, const std::string& later,
                      std::chrono::milliseconds limit = 10s) {
        auto deadline = Clock::now() + limit;
        for (;;) {
            Has(earlier);  // takes what has arrived
            bool seen = false;
            for (const std::string& m : messages_) {
                if (seen && m.find(later) != std::string::npos) return true;
                if (m.find(earlier) != std::string::npos) seen = true;
            }
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) return false;
            std::string message = receiver_.Receive(left);
            if (!message.empty()) messages_.push_back(message);
        }
    }
    // Takes what has arrived by now.
    bool Has(const std::string& text) {
        for (std::string m; !(m = receiver_.Receive(0ms)).empty();) messages_.push_back(m);
        for (const std::string& m : messages_)
            if (m.find(text) != std::string::npos) return true;
        return false;
    }
    const std::vector<std::string>& messages() const { return messages_; }

  private:
    DatagramReceiver receiver_;
    std::vector<std::string> messages_;
};

// Runs TARNSvr with `arguments`; its exit status, with standard error in *errors.
int RunSwitch(const std::vector<std::string>& arguments, std::string* errors, const std::string& errorFile) {
    pid_t pid = ::fork();
    if (pid == 0) {
        int fd = ::open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fd, STDERR_FILENO);
        std::vector<char*> argv;
        std::string program = TARN_BIN_DIR "/TARNSvr";
        argv.push_back(program.data());
        std::vector<std::string> copies = arguments;
        for (std::string& a : copies) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    *errors = ReadText(errorFile);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// One conversation kept open after its first lines, finished on demand.
class HeldJob {
  public:
    HeldJob(int port, const std::string& name) : client_(port), name_(name) {
        client_.ReadUntil("Hi\n");
        client_.Send(RunLine(name, "raw"));
        client_.ReadUntil("ROGER_CMD\n");
        client_.Send(Lines(0, kLines / 2));
    }
    std::string Finish() {
        client_.Send(Lines(kLines / 2, kLines) + "_EOF_\r\n");
        return client_.ReadAll(30s);
    }
    std::string Expected() const { return Lines(0, kLines); }
    bool started() const { return client_.connected(); }

  private:
    static constexpr int kLines = 40;
    std::string Lines(int from, int to) const {
        std::string text;
        for (int i = from; i < to; ++i) text += name_ + " line " + std::to_string(i) + "\r\n";
        return text;
    }
    TestClient client_;
    std::string name_;
};

class ServiceLifeCycleTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directories(units_);
        std::filesystem::create_directories(out_);
        ::setenv("TARN_SYSLOG_SOCKET", (temp_ / "log").c_str(), 1);
        ::setenv("TARN_PID_FILE", (temp_ / "TARNSvr.pid").c_str(), 1);
        ::setenv("NOTIFY_SOCKET", (temp_ / "notify").c_str(), 1);
        ::setenv("TARN_UNIT_DIR", units_.c_str(), 1);
        ::setenv("TARN_REGISTRY_ROOT", registry_.c_str(), 1);
    }
    void TearDown() override {
        for (const char* name :
             {"TARN_SYSLOG_SOCKET", "TARN_PID_FILE", "NOTIFY_SOCKET", "TARN_UNIT_DIR", "TARN_REGISTRY_ROOT"})
            ::unsetenv(name);
    }

    std::string Ini(int port) const {
        return "[Server]\nport=" + std::to_string(port) + "\n[raw]\nsaveDir=" + out_ + "\n";
    }

    // Registers the program as a service with its own switch, in the registry
    // that the server started by ServerProcess will read.
    void RegisterAsService() {
        std::string errors;
        ASSERT_EQ(RunSwitch({"-Service"}, &errors, temp_ / "stderr"), 0) << errors;
    }

    // Starts the service and waits for it to report running.
    void StartService(int port) {
        RegisterAsService();
        ASSERT_TRUE(server_.Start(folder_.path(), Ini(port))) << server_.Console();
        ASSERT_TRUE(notify_.WaitFor("READY=1")) << server_.Console();
        ASSERT_TRUE(events_.WaitFor("Service started"));
        pid_ = std::stoi(ReadText(temp_ / "TARNSvr.pid"));
    }

    void Signal(int signal) { ASSERT_EQ(::kill(pid_, signal), 0); }

    TempFolder temp_;
    TempFolder folder_;
    std::string units_ = temp_ / "units";
    std::string out_ = temp_ / "out";
    std::string registry_ = folder_.path() + ".registry";  // the one ServerProcess uses
    MessageLog events_{temp_ / "log"};
    MessageLog notify_{temp_ / "notify"};
    ServerProcess server_;
    pid_t pid_ = -1;
};

TEST_F(ServiceLifeCycleTest, PauseWaitsForRunningConversationsContinueAcceptsStopWhilePausedEnds) {
    const int port = testing::UnusedPort();
    StartService(port);

    std::vector<std::unique_ptr<HeldJob>> jobs;
    for (int i = 0; i < 3; ++i) {
        jobs.push_back(std::make_unique<HeldJob>(port, "held" + std::to_string(i) + ".txt"));
        ASSERT_TRUE(jobs.back()->started());
    }
    Signal(SIGUSR1);
    ASSERT_TRUE(notify_.WaitFor("STATUS=Pausing"));
    // From the close of the socket on, nothing is accepted.
    EXPECT_TRUE(BecomesRefused(port));
    // The pause completes only when the last of the three has finished.
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(events_.Has("Service paused.")) << i;
        EXPECT_EQ(jobs[i]->Finish(), kOkBye) << i;
        EXPECT_EQ(ReadText(out_ + "/held" + std::to_string(i) + ".txt"), jobs[i]->Expected());
    }
    EXPECT_TRUE(events_.WaitFor("<29>"));  // success events are notices
    EXPECT_TRUE(events_.WaitFor("TARNSvr[" + std::to_string(pid_) + "]: 0x00000000 Service paused."));
    EXPECT_TRUE(notify_.WaitFor("STATUS=Paused"));
    EXPECT_TRUE(Refused(port));

    // Continue: the same port accepts again.
    Signal(SIGUSR2);
    ASSERT_TRUE(events_.WaitFor("0x00000000 Service continued."));
    EXPECT_TRUE(notify_.WaitFor("READY=1\nSTATUS=Running"));
    {
        HeldJob again(port, "again.txt");
        EXPECT_EQ(again.Finish(), kOkBye);
        EXPECT_EQ(ReadText(out_ + "/again.txt"), again.Expected());
    }

    // Pause again, then stop while paused: everything is released and the
    // process ends with success.
    Signal(SIGUSR1);
    ASSERT_TRUE(notify_.WaitFor("STATUS=Paused"));
    Signal(SIGTERM);
    EXPECT_TRUE(notify_.WaitFor("STOPPING=1"));
    EXPECT_TRUE(events_.WaitFor("0x00000000 Service stopped"));
    EXPECT_EQ(server_.WaitForExit(), 0);
    EXPECT_FALSE(std::filesystem::exists(temp_ / "TARNSvr.pid"));
    // Nothing in between failed.
    for (const std::string& m : events_.messages()) EXPECT_EQ(m.find("0xC0000003"), std::string::npos) << m;
}

TEST_F(ServiceLifeCycleTest, ContinueWhileRunningReturnsToRunningWithoutAnEvent) {
    const int port = testing::UnusedPort();
    StartService(port);
    Signal(SIGUSR2);
    ASSERT_TRUE(notify_.WaitForAfter("STATUS=Continuing", "STATUS=Running"));
    HeldJob job(port, "still.txt");
    EXPECT_EQ(job.Finish(), kOkBye);
    Signal(SIGTERM);
    EXPECT_EQ(server_.WaitForExit(), 0);
    EXPECT_FALSE(events_.Has("Service continued."));
}

TEST_F(ServiceLifeCycleTest, StopWaitsForAHundredConversationsAndLosesNoFile) {
    const int port = testing::UnusedPort();
    StartService(port);
    constexpr int kJobs = 100;
    std::vector<std::unique_ptr<HeldJob>> jobs;
    for (int i = 0; i < kJobs; ++i) {
        jobs.push_back(std::make_unique<HeldJob>(port, "job" + std::to_string(i) + ".txt"));
        ASSERT_TRUE(jobs.back()->started()) << i;
    }
    Signal(SIGTERM);
    ASSERT_TRUE(notify_.WaitFor("STOPPING=1"));
    EXPECT_TRUE(BecomesRefused(port));
    EXPECT_TRUE(server_.Running());  // waits for the conversations
    for (int i = 0; i < kJobs; ++i) EXPECT_EQ(jobs[i]->Finish(), kOkBye) << i;
    EXPECT_EQ(server_.WaitForExit(), 0);
    for (int i = 0; i < kJobs; ++i) {
        EXPECT_EQ(ReadText(out_ + "/job" + std::to_string(i) + ".txt"), jobs[i]->Expected()) << i;
    }
    EXPECT_TRUE(events_.Has("Service stopped"));
}

TEST_F(ServiceLifeCycleTest, PortInUseFailsTheStartWithAnErrorEventAndNonZeroExit) {
    // Someone else listens on the port already.
    int holder = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(holder, 1), 0);
    ::getsockname(holder, reinterpret_cast<sockaddr*>(&address), &length);

    RegisterAsService();
    server_.Start(folder_.path(), Ini(ntohs(address.sin_port)));
    EXPECT_EQ(server_.WaitForExit(), 5);  // E_FAIL's low byte
    ::close(holder);
    // An error event (daemon.err) with the exact text, then the stop.
    EXPECT_TRUE(events_.WaitFor("<27>"));
    EXPECT_TRUE(events_.WaitFor("0xC0000003 Cannot start service. Failed to open TCP connection."));
    EXPECT_TRUE(events_.WaitFor("0x00000000 Service stopped"));
    EXPECT_FALSE(events_.Has("Service started"));
    EXPECT_FALSE(notify_.Has("READY=1"));
}

TEST_F(ServiceLifeCycleTest, ConsoleModeEndsOnCtrlCAfterTheRunningConversation) {
    std::string errors;
    ASSERT_EQ(RunSwitch({"/regserver"}, &errors, temp_ / "stderr"), 0) << errors;
    const int port = testing::UnusedPort();
    ASSERT_TRUE(server_.Start(folder_.path(), Ini(port))) << server_.Console();
    // Console mode writes no pid file.
    EXPECT_FALSE(std::filesystem::exists(temp_ / "TARNSvr.pid"));
    HeldJob job(port, "console.txt");
    ASSERT_TRUE(job.started());
    pid_t pid = server_.pid();
    ASSERT_GT(pid, 0);
    ASSERT_EQ(::kill(pid, SIGINT), 0);
    EXPECT_TRUE(BecomesRefused(port));
    EXPECT_TRUE(server_.Running());
    EXPECT_EQ(job.Finish(), kOkBye);
    EXPECT_EQ(server_.WaitForExit(), 0);
    EXPECT_EQ(ReadText(out_ + "/console.txt"), job.Expected());
    EXPECT_FALSE(notify_.Has("READY=1"));  // console mode reports no state
}

TEST_F(ServiceLifeCycleTest, SwitchesRegisterAndRemoveTheUnitAndReportFailuresOnStandardError) {
    std::string errors;
    EXPECT_EQ(RunSwitch({"-SERVICE"}, &errors, temp_ / "stderr"), 0) << errors;
    std::string unit = ReadText(units_ + "/TARNSvr.service");
    EXPECT_NE(unit.find("ExecStart=\"" TARN_BIN_DIR "/TARNSvr\"\n"), std::string::npos) << unit;
    EXPECT_NE(unit.find("Environment=\"TARN_REGISTRY_ROOT=" + registry_ + "\"\n"), std::string::npos);
    EXPECT_EQ(ReadText(registry_ + "/HKEY_CLASSES_ROOT/AppID/" + kAppIdGuid + "/LocalService"), "TARNSvr");

    EXPECT_EQ(RunSwitch({"-UnregServer"}, &errors, temp_ / "stderr"), 0) << errors;
    EXPECT_FALSE(std::filesystem::exists(units_ + "/TARNSvr.service"));
    EXPECT_TRUE(std::filesystem::is_empty(registry_ + "/HKEY_CLASSES_ROOT/AppID"));

    // Without a service manager the service form fails with its message.
    std::filesystem::remove_all(units_);
    EXPECT_EQ(RunSwitch({"-Service"}, &errors, temp_ / "stderr"), 5);
    EXPECT_EQ(errors, "TARNSvr: Could not open Service Manager\n");

    // Unregistered, the program does not start, and says why.
    std::filesystem::remove_all(registry_);
    EXPECT_EQ(RunSwitch({}, &errors, temp_ / "stderr"), ENOENT);
    EXPECT_NE(errors.find("-RegServer"), std::string::npos) << errors;
}

}  // namespace
}  // namespace tarn
