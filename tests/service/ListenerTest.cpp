// The listener in-process: thread-start failures, waiting for every
// conversation at close, a port in use, threads not piling up, the
// connection limit and the allowFrom filter.

#include <dirent.h>
#include <errno.h>
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ServerTestSupport.h"
#include "platform/Socket.h"
#include "service/host/AddressFilter.h"
#include "service/host/Listener.h"
#include "service/job/ServiceContext.h"

namespace tarn {
namespace {

using testing::TestClient;

class QuietSink : public EventSink {
  public:
    void WriteConsoleLine(const std::string& text) override {
        std::lock_guard<std::mutex> lock(mutex);
        console.push_back(text);
    }
    void WriteSystemEvent(EventType, std::uint32_t, const std::string&) override {}
    std::mutex mutex;
    std::vector<std::string> console;
};

class Reporter : public CEventReporter {
  public:
    void ReportServiceEvent(EventType, EventId id, const std::string& text) const override {
        std::lock_guard<std::mutex> lock(mutex);
        events.push_back(std::to_string(id) + " " + text);
    }
    mutable std::mutex mutex;
    mutable std::vector<std::string> events;
};

// A conversation stand-in: greets, then waits until the test opens the gate.
class Gate {
  public:
    void Open() {
        std::lock_guard<std::mutex> lock(mutex_);
        open_ = true;
        cv_.notify_all();
    }
    void Wait() {
        std::unique_lock<std::mutex> lock(mutex_);
        cv_.wait(lock, [this] { return open_; });
    }

  private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool open_ = false;
};

int ThreadCount() {
    int count = 0;
    if (DIR* dir = ::opendir("/proc/self/task")) {
        while (dirent* entry = ::readdir(dir))
            if (entry->d_name[0] != '.') ++count;
        ::closedir(dir);
    }
    return count;
}

class ListenerTest : public ::testing::Test {
  protected:
    void Greet(SocketHandle connection) {
        SendAll(connection, "Hi\n", 3);
        if (holdConversations_) gate_.Wait();
        CloseSocket(connection);
        ++served_;
    }
    void OpenAndStart() {
        ASSERT_EQ(listener_.Open("127.0.0.1", 0), 0);
        ASSERT_TRUE(listener_.StartThread().ok());
    }

    QuietSink console_;
    Reporter events_;
    Gate gate_;
    bool holdConversations_ = false;
    std::atomic<int> served_{0};
    CListener listener_{events_, console_, [this](SocketHandle c) { Greet(c); }};
};

TEST_F(ListenerTest, ConsoleShowsHostThenAddressAndPortOnOneLine) {
    OpenAndStart();
    ASSERT_EQ(console_.console.size(), 2u);
    EXPECT_EQ(console_.console[0].rfind("Host: ", 0), 0u);
    EXPECT_EQ(console_.console[1].rfind("Adress: ", 0), 0u);
    std::string port = "  Port: " + std::to_string(listener_.Port());
    EXPECT_EQ(console_.console[1].substr(console_.console[1].size() - port.size()), port);
}

TEST_F(ListenerTest, WorkerThatCannotStartDropsOnlyItsConnection) {
    std::atomic<int> starts{0};
    listener_.SetWorkerStarter([&starts](std::function<void()> body) {
        if (starts++ == 0) return Status::Error("no thread for you", EAGAIN);
        return StartDetachedThread(std::move(body));
    });
    OpenAndStart();
    TestClient refused(listener_.Port());
    EXPECT_EQ(refused.ReadAll(), "");
    EXPECT_TRUE(refused.closedByPeer());
    TestClient served(listener_.Port());
    EXPECT_EQ(served.ReadAll(), "Hi\n");
    EXPECT_EQ(listener_.Close(), 0);
    ASSERT_EQ(events_.events.size(), 1u);
    EXPECT_NE(events_.events[0].find("Cannot start a connection thread"), std::string::npos);
}

TEST_F(ListenerTest, CloseWaitsForEveryConversationHoweverMany) {
    holdConversations_ = true;
    OpenAndStart();
    constexpr int kClients = 100;
    std::vector<std::unique_ptr<TestClient>> clients;
    for (int i = 0; i < kClients; ++i) {
        clients.push_back(std::make_unique<TestClient>(listener_.Port()));
        ASSERT_EQ(clients.back()->ReadUntil("Hi\n"), "Hi\n");
    }
    EXPECT_EQ(listener_.RunningWorkers(), kClients);
    std::atomic<bool> closed{false};
    std::thread closer([&] {
        EXPECT_EQ(listener_.Close(), 0);
        closed = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(closed);
    // No new connection is accepted once closing has begun.
    TestClient late(static_cast<int>(listener_.Port()));
    EXPECT_FALSE(late.connected() && late.ReadUntil("Hi\n", std::chrono::milliseconds(200)) == "Hi\n");
    gate_.Open();
    closer.join();
    EXPECT_TRUE(closed);
    EXPECT_EQ(served_, kClients);
    EXPECT_EQ(listener_.RunningWorkers(), 0);
    EXPECT_FALSE(listener_.IsOpen());
}

TEST_F(ListenerTest, EndedWorkersDoNotPileUp) {
    OpenAndStart();
    int before = ThreadCount();
    for (int i = 0; i < 500; ++i) {
        TestClient client(listener_.Port());
        ASSERT_EQ(client.ReadAll(), "Hi\n");
    }
    // Detached workers end by themselves; give the last one a moment.
    for (int i = 0; i < 100 && ThreadCount() > before; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_LE(ThreadCount(), before);
    EXPECT_EQ(served_, 500);
    EXPECT_EQ(listener_.Close(), 0);
}

TEST_F(ListenerTest, PortInUseFailsWithTheErrorAndLeavesNoSocket) {
    OpenAndStart();
    CListener second(events_, console_, [](SocketHandle c) { CloseSocket(c); });
    EXPECT_EQ(second.Open("127.0.0.1", listener_.Port()), EADDRINUSE);
    EXPECT_FALSE(second.IsOpen());
    EXPECT_EQ(second.Close(), 0);
    // Close, then open again with a fresh listener thread.
    EXPECT_EQ(listener_.Close(), 0);
    OpenAndStart();
    TestClient client(listener_.Port());
    EXPECT_EQ(client.ReadAll(), "Hi\n");
}

TEST_F(ListenerTest, CloseEndsTheWaitForRoomAndAcceptsNoWaitingClient) {
    holdConversations_ = true;
    ConnectionLimits limits;
    limits.maxConnections = 2;
    listener_.SetLimits(limits);
    OpenAndStart();
    TestClient first(listener_.Port());
    TestClient second(listener_.Port());
    ASSERT_EQ(first.ReadUntil("Hi\n"), "Hi\n");
    ASSERT_EQ(second.ReadUntil("Hi\n"), "Hi\n");
    TestClient waiting(listener_.Port());
    ASSERT_TRUE(waiting.connected());  // in the backlog
    EXPECT_EQ(waiting.ReadUntil("Hi\n", std::chrono::milliseconds(300)), "");
    EXPECT_EQ(listener_.RunningWorkers(), 2);

    std::atomic<bool> closed{false};
    std::thread closer([&] {
        EXPECT_EQ(listener_.Close(), 0);
        closed = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(closed);  // still waits for the two conversations
    gate_.Open();
    closer.join();
    EXPECT_EQ(served_, 2);
    EXPECT_EQ(waiting.ReadAll(std::chrono::seconds(2)), "");
}

TEST(AddressFilterTest, AddressesAndNetworksOfBothFamilies) {
    auto address = [](const std::string& text) {
        IpAddress parsed;
        EXPECT_TRUE(ParseIpAddress(text, &parsed)) << text;
        return parsed;
    };
    std::vector<std::string> rejected;
    EXPECT_TRUE(AddressFilter::Parse(" , ", &rejected).Allows(address("203.0.113.9")));

    AddressFilter filter =
        AddressFilter::Parse("192.0.2.1, 10.0.0.0/9 2001:db8::/32\t::1,,fe80::1:0/112", &rejected);
    EXPECT_TRUE(rejected.empty());
    for (const char* in : {"192.0.2.1", "10.0.0.0", "10.127.255.255", "::ffff:10.1.2.3", "2001:db8::5",
                           "2001:db8:ffff::1", "::1", "fe80::1:abcd"})
        EXPECT_TRUE(filter.Allows(address(in))) << in;
    for (const char* out : {"192.0.2.2", "10.128.0.0", "11.0.0.1", "2001:db9::", "::2", "fe80::2:0", "::"})
        EXPECT_FALSE(filter.Allows(address(out))) << out;

    EXPECT_TRUE(AddressFilter::Parse("0.0.0.0/0", &rejected).Allows(address("198.51.100.7")));
    EXPECT_FALSE(AddressFilter::Parse("0.0.0.0/0", &rejected).Allows(address("::1")));
    EXPECT_TRUE(AddressFilter::Parse("::/0", &rejected).Allows(address("198.51.100.7")));

    // Unreadable entries are reported and admit no one.
    rejected.clear();
    AddressFilter bad =
        AddressFilter::Parse("10.0.0.0/33 ::1/129 host.example 10.0.0.1/ 10.0.0.1/-1 1.2.3.4/8x", &rejected);
    EXPECT_EQ(rejected, (std::vector<std::string>{"10.0.0.0/33", "::1/129", "host.example", "10.0.0.1/",
                                                  "10.0.0.1/-1", "1.2.3.4/8x"}));
    EXPECT_FALSE(bad.Allows(address("10.0.0.1")));
    EXPECT_FALSE(bad.Allows(address("::1")));
    EXPECT_EQ(IpAddressText(address("::ffff:127.0.0.1")), "127.0.0.1");
    EXPECT_EQ(IpAddressText(address("2001:db8::1")), "2001:db8::1");
}

}  // namespace
}  // namespace tarn
