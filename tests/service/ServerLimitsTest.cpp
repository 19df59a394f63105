// What one client may take of TARNSvr, end to end through the real program:
// who may connect (allowFrom), conversations at once (maxConnections), a
// silent client (clientTimeout), the size of a report (maxJobBytes) and of
// an e-mail line.

#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "ServerTestSupport.h"

namespace tarn {
namespace {

using testing::ReadText;
using testing::RunLine;
using testing::ServerProcess;
using testing::TempFolder;
using testing::TestClient;

constexpr const char* kOkBye = "Hi\nROGER_CMD\nok\nBye\n";

class ServerLimits : public ::testing::Test {
  protected:
    void StartServer(const std::string& serverKeys) {
        std::filesystem::create_directory(out_);
        ASSERT_TRUE(server_.Start(folder_.path(),
                                  "[Server]\nport=0\n" + serverKeys + "[raw]\nsaveDir=" + out_ + "\n"))
            << server_.Console();
    }
    // A client past the command line.
    std::unique_ptr<TestClient> Begin(const std::string& rawName) {
        auto client = std::make_unique<TestClient>(server_.port());
        client->ReadUntil("Hi\n");
        client->Send(RunLine(rawName, "raw"));
        client->ReadUntil("ROGER_CMD\n");
        return client;
    }
    std::string Out(const std::string& name) { return ReadText(out_ + "/" + name); }

    TempFolder folder_;
    std::string out_ = folder_ / "out";
    ServerProcess server_;
};

TEST_F(ServerLimits, PeerOutsideAllowFromIsClosedBeforeTheGreeting) {
    StartServer("allowFrom=10.0.0.0/8, 2001:db8::/32 127.0.0.2 999.1.1.1\n");
    TestClient client(server_.port());
    client.Send(RunLine("in.txt", "raw") + "text\r\n_EOF_\r\n");
    EXPECT_EQ(client.ReadAll(), "");
    EXPECT_TRUE(client.closedByPeer());
    EXPECT_TRUE(
        server_.WaitForConsole(std::regex("Connection from 127\\.0\\.0\\.1 refused: not in allowFrom\n")))
        << server_.Console();
    EXPECT_NE(server_.Console().find("allowFrom entry \"999.1.1.1\" is not an address or network"),
              std::string::npos);
    EXPECT_TRUE(std::filesystem::is_empty(out_));
}

TEST_F(ServerLimits, PeerInsideAllowFromIsServed) {
    StartServer("allowFrom=192.0.2.7,127.0.0.0/8\n");
    std::unique_ptr<TestClient> client = Begin("in.txt");
    client->Send("text\r\n_EOF_\r\n");
    EXPECT_EQ(client->ReadAll(), kOkBye);
    EXPECT_EQ(Out("in.txt"), "text\r\n");
}

TEST_F(ServerLimits, ClientsPastMaxConnectionsWaitAndAreServedInTurn) {
    StartServer("maxConnections=2\n");
    std::unique_ptr<TestClient> first = Begin("first.txt");
    std::unique_ptr<TestClient> second = Begin("second.txt");
    // Queued in the backlog: connected, but no greeting while two conversations run.
    std::vector<std::unique_ptr<TestClient>> queued;
    for (int i = 0; i < 3; ++i) {
        queued.push_back(std::make_unique<TestClient>(server_.port()));
        ASSERT_TRUE(queued.back()->connected());
        queued.back()->Send(RunLine("queued" + std::to_string(i) + ".txt", "raw") + "line " +
                            std::to_string(i) + "\r\n_EOF_\r\n");
    }
    EXPECT_EQ(queued[0]->ReadUntil("Hi\n", std::chrono::milliseconds(500)), "");

    first->Send("one\r\n_EOF_\r\n");
    EXPECT_EQ(first->ReadAll(), kOkBye);
    // One at a time through the one free place, none lost.
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(queued[i]->ReadAll(), kOkBye) << i;
        EXPECT_EQ(Out("queued" + std::to_string(i) + ".txt"), "line " + std::to_string(i) + "\r\n");
    }
    second->Send("two\r\n_EOF_\r\n");
    EXPECT_EQ(second->ReadAll(), kOkBye);
    EXPECT_EQ(Out("second.txt"), "two\r\n");
}

TEST_F(ServerLimits, SilentClientIsTreatedAsGone) {
    StartServer("clientTimeout=1\n");
    // Silent while the text arrives: the text so far is the job, as when the peer closes.
    std::unique_ptr<TestClient> writer = Begin("silent.txt");
    writer->Send("some text\r\n");
    auto start = testing::Clock::now();
    EXPECT_EQ(writer->ReadAll(std::chrono::seconds(10)), kOkBye);
    EXPECT_GE(testing::Clock::now() - start, std::chrono::milliseconds(900));
    EXPECT_EQ(Out("silent.txt"), "some text\r\n");

    // Silent before the command: the empty-section reply.
    TestClient idle(server_.port());
    EXPECT_EQ(idle.ReadAll(std::chrono::seconds(10)),
              "Hi\nERROR:section  does not exist in ini file /n Bye \n");
}

TEST_F(ServerLimits, NoTimeOutWhenClientTimeoutIsZero) {
    StartServer("clientTimeout=0\n");
    std::unique_ptr<TestClient> client = Begin("patient.txt");
    client->Send("early\r\n");
    EXPECT_EQ(client->ReadUntil("ok\n", std::chrono::milliseconds(2500)), "Hi\nROGER_CMD\n");
    client->Send("late\r\n_EOF_\r\n");
    EXPECT_EQ(client->ReadAll(), kOkBye);
    EXPECT_EQ(Out("patient.txt"), "early\r\nlate\r\n");
}

TEST_F(ServerLimits, ReportLargerThanMaxJobBytesIsRefusedAndItsRawFileRemoved) {
    StartServer("maxJobBytes=1000\n");
    const std::string line(98, 'x');  // 100 bytes with CR LF
    std::string fits;
    for (int i = 0; i < 10; ++i) fits += line + "\r\n";
    std::unique_ptr<TestClient> exact = Begin("exact.txt");
    exact->Send(fits + "_EOF_\r\n");
    EXPECT_EQ(exact->ReadAll(), kOkBye);
    EXPECT_EQ(Out("exact.txt"), fits);

    std::unique_ptr<TestClient> over = Begin("over.txt");
    over->Send(fits + "y\r\n_EOF_\r\n");
    EXPECT_EQ(over->ReadAll(), "Hi\nROGER_CMD\nERROR: report larger than 1000 bytes\nBye\n");
    EXPECT_FALSE(std::filesystem::exists(out_ + "/over.txt"));
    EXPECT_TRUE(server_.WaitForConsole(
        std::regex("Report larger than maxJobBytes \\(1000 bytes\\); raw file removed: .*/over\\.txt\n")))
        << server_.Console();

    // A client still sending megabytes after the limit gets the reply all the same.
    std::unique_ptr<TestClient> flood = Begin("flood.txt");
    std::thread sender([&] { flood->Send(std::string(4 * 1024 * 1024, 'z') + "\r\n_EOF_\r\n"); });
    EXPECT_EQ(flood->ReadAll(), "Hi\nROGER_CMD\nERROR: report larger than 1000 bytes\nBye\n");
    sender.join();
    EXPECT_FALSE(std::filesystem::exists(out_ + "/flood.txt"));
}

TEST_F(ServerLimits, EmailLineLongerThan64KiBIsNoOrderAndNeverReachesTheFile) {
    StartServer("");
    const std::string marker =
        "\x02"
        "email:";
    // The last e-mail line decides: an over-long one turns e-mail off, so
    // the job succeeds without the mailer this folder does not have.
    std::unique_ptr<TestClient> client = Begin("long.txt");
    client->Send(marker + "a@example.com^s^Ann\r\n" + marker + "b@example.com^" + std::string(70000, 's') +
                 "^Bob\r\ntext\r\n_EOF_\r\n");
    EXPECT_EQ(client->ReadAll(), kOkBye);
    EXPECT_EQ(Out("long.txt"), "text\r\n");
    EXPECT_TRUE(
        server_.WaitForConsole(std::regex("An e-mail line longer than 65536 bytes is not an order\n")));

    // Longer than a line the server holds at once: none of its pieces is text.
    std::unique_ptr<TestClient> huge = Begin("huge.txt");
    std::thread sender([&] {
        huge->Send("before\r\n" + marker + "c@example.com^" + std::string(3 * 1024 * 1024, 'h') +
                   "^Cy\r\nafter\r\n_EOF_\r\n");
    });
    EXPECT_EQ(huge->ReadAll(), kOkBye);
    sender.join();
    EXPECT_EQ(Out("huge.txt"), "before\r\nafter\r\n");
}

}  // namespace
}  // namespace tarn
