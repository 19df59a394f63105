#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/ServiceHost.h"
#include "platform/SyslogSocket.h"
#include "platform/SystemdNotify.h"
#include "tests/service/HostTestSupport.h"

namespace tarn {
namespace {

using namespace std::chrono_literals;
using testing::DatagramReceiver;
using testing::TempFolder;

// The controls a handler received, with a bounded wait for the next ones.
class ControlLog {
  public:
    void Add(std::uint32_t control) {
        std::lock_guard<std::mutex> lock(mutex_);
        controls_.push_back(control);
        changed_.notify_all();
    }
    bool WaitForCount(size_t count, std::chrono::milliseconds wait = 5000ms) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, wait, [&] { return controls_.size() >= count; });
    }
    std::vector<std::uint32_t> Controls() {
        std::lock_guard<std::mutex> lock(mutex_);
        return controls_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::uint32_t> controls_;
};

TEST(ServiceHostTest, SignalsBecomeControlsOneAtATimeUntilTheServiceThreadEnds) {
    ServiceHost host(ServiceHost::Mode::kService);
    ControlLog log;
    Status status = host.Dispatch([&] {
        host.RegisterControlHandler([&](std::uint32_t control) {
            log.Add(control);
            if (control == kControlStop) host.ReportState(kServiceStopPending);
        });
        host.ReportState(kServiceRunning);
        ::kill(::getpid(), SIGUSR1);
        ASSERT_TRUE(log.WaitForCount(1));
        ::kill(::getpid(), SIGUSR2);
        ASSERT_TRUE(log.WaitForCount(2));
        ::kill(::getpid(), SIGTERM);
        ASSERT_TRUE(log.WaitForCount(3));
        // Once stopping, further controls are dropped.
        ::kill(::getpid(), SIGUSR1);
        std::this_thread::sleep_for(200ms);
    });
    ASSERT_TRUE(status) << status.message();
    EXPECT_EQ(log.Controls(), (std::vector<std::uint32_t>{kControlPause, kControlContinue, kControlStop}));
}

TEST(ServiceHostTest, ControlsBeforeTheServiceRunsAreHeldNotLost) {
    ServiceHost host(ServiceHost::Mode::kService);
    ControlLog log;
    Status status = host.Dispatch([&] {
        ::kill(::getpid(), SIGTERM);  // before any handler exists
        std::this_thread::sleep_for(100ms);
        host.RegisterControlHandler([&](std::uint32_t control) { log.Add(control); });
        host.ReportState(kServiceStartPending);
        std::this_thread::sleep_for(200ms);
        EXPECT_TRUE(log.Controls().empty());
        host.ReportState(kServiceRunning);
        EXPECT_TRUE(log.WaitForCount(1));
    });
    ASSERT_TRUE(status) << status.message();
    EXPECT_EQ(log.Controls(), std::vector<std::uint32_t>{kControlStop});
}

TEST(ServiceHostTest, ConsoleModeStopsOnInterruptAndIgnoresPauseSignals) {
    ServiceHost host(ServiceHost::Mode::kConsole);
    ControlLog log;
    Status status = host.Dispatch([&] {
        host.RegisterControlHandler([&](std::uint32_t control) { log.Add(control); });
        host.ReportState(kServiceRunning);
        ::kill(::getpid(), SIGUSR1);
        ::kill(::getpid(), SIGUSR2);
        std::this_thread::sleep_for(100ms);
        ::kill(::getpid(), SIGINT);
        EXPECT_TRUE(log.WaitForCount(1));
    });
    ASSERT_TRUE(status) << status.message();
    EXPECT_EQ(log.Controls(), std::vector<std::uint32_t>{kControlStop});
}

TEST(ServiceHostTest, StatesReachSystemdThroughTheNotifySocket) {
    TempFolder temp;
    DatagramReceiver receiver(temp / "notify");
    ASSERT_TRUE(receiver.bound());
    ::setenv("NOTIFY_SOCKET", (temp / "notify").c_str(), 1);
    ServiceHost service(ServiceHost::Mode::kService);
    service.ReportState(kServiceRunning);
    EXPECT_EQ(receiver.Receive(), "READY=1\nSTATUS=Running");
    service.ReportState(kServicePaused);
    EXPECT_EQ(receiver.Receive(), "STATUS=Paused");
    service.ReportState(kServiceStopPending);
    EXPECT_EQ(receiver.Receive(), "STOPPING=1\nSTATUS=Stopping");
    // Console mode reports nothing.
    ServiceHost console(ServiceHost::Mode::kConsole);
    console.ReportState(kServiceRunning);
    EXPECT_EQ(receiver.Receive(200ms), "");
    ::unsetenv("NOTIFY_SOCKET");
    EXPECT_TRUE(NotifySystemd("READY=1"));  // no socket: nothing to do
}

TEST(ServiceHostTest, NotifySocketInTheAbstractNamespace) {
    const std::string name = "@tarn-h7-notify-" + std::to_string(::getpid());
    DatagramReceiver receiver(name);
    ASSERT_TRUE(receiver.bound());
    ::setenv("NOTIFY_SOCKET", name.c_str(), 1);
    EXPECT_TRUE(NotifySystemd("STATUS=x"));
    ::unsetenv("NOTIFY_SOCKET");
    EXPECT_EQ(receiver.Receive(), "STATUS=x");
}

TEST(SyslogSocketTest, DatagramCarriesPriorityIdentPidAndTheTextVerbatim) {
    TempFolder temp;
    DatagramReceiver receiver(temp / "log");
    ASSERT_TRUE(receiver.bound());
    ASSERT_TRUE(SendSyslogDatagram(temp / "log", 3 * 8 + 3, "TARNSvr", "0xC0000003 100% %s"));
    std::string datagram = receiver.Receive();
    EXPECT_EQ(datagram.rfind("<27>", 0), 0u) << datagram;
    EXPECT_NE(datagram.find(" TARNSvr[" + std::to_string(::getpid()) + "]: 0xC0000003 100% %s"),
              std::string::npos)
        << datagram;
    EXPECT_FALSE(SendSyslogDatagram(temp / "missing", 30, "TARNSvr", "x"));
}

}  // namespace
}  // namespace tarn
