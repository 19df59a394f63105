// TARNSvr end to end: the real program in a temporary folder with its own
// TARN.ini, spoken to over real TCP on 127.0.0.1.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <set>
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

constexpr const char* kGreetAndAck = "Hi\nROGER_CMD\n";
constexpr const char* kOkBye = "Hi\nROGER_CMD\nok\nBye\n";

class ServerEndToEnd : public ::testing::Test {
  protected:
    void StartServer(bool debug = false, const std::string& moreSections = "") {
        std::filesystem::create_directory(out_);
        std::string ini = "[Server]\nport=0\n" + std::string(debug ? "debug=true\n" : "") +
                          "[raw]\nsaveDir=" + out_ + "\n" + moreSections;
        ASSERT_TRUE(server_.Start(folder_.path(), ini)) << server_.Console();
    }

    // A client past the greeting and the command line.
    std::unique_ptr<TestClient> Begin(const std::string& rawName, const std::string& section) {
        auto client = std::make_unique<TestClient>(server_.port());
        client->ReadUntil("Hi\n");
        client->Send(RunLine(rawName, section));
        client->ReadUntil("ROGER_CMD\n");
        return client;
    }
    // One whole conversation: greeting, command line, `body`; all replies.
    std::string Job(const std::string& rawName, const std::string& section, const std::string& body) {
        std::unique_ptr<TestClient> client = Begin(rawName, section);
        client->Send(body);
        return client->ReadAll();
    }

    std::string Out(const std::string& name) { return ReadText(out_ + "/" + name); }
    bool ConsoleHas(const std::string& text) {
        return server_.WaitForConsole(
            std::regex(std::regex_replace(text, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)")));
    }

    TempFolder folder_;
    std::string out_ = folder_ / "out";
    ServerProcess server_;
};

TEST_F(ServerEndToEnd, LineEndsPageBreakAndTextBeforeEof) {
    StartServer();
    EXPECT_EQ(Job("a.txt", "raw", "_RAWFILE_\r\nlf line\ncrlf line\r\nbefore\fafter\nabc_EOF_\r\n"), kOkBye);
    EXPECT_EQ(Out("a.txt"), "lf line\r\ncrlf line\r\nbefore\f\rafter\r\nabc");

    EXPECT_EQ(Job("b.txt", "raw", "x\n_EOF_\r\nignored after eof\n"), kOkBye);
    EXPECT_EQ(Out("b.txt"), "x\r\n");
}

TEST_F(ServerEndToEnd, BytesAfterNulInAReceivedBlockAreDropped) {
    StartServer();
    std::unique_ptr<TestClient> session = Begin("nul.txt", "raw");
    TestClient& client = *session;
    client.Send(std::string("keep\nthis\0dropped\n", 18));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    client.Send("tail\n_EOF_\n");
    EXPECT_EQ(client.ReadAll(), kOkBye);
    EXPECT_EQ(Out("nul.txt"), "keep\r\nthistail\r\n");
}

TEST_F(ServerEndToEnd, EmailLinesNeverReachTheFileAndTheLastOneDecides) {
    StartServer();
    // The second order is refused (no recipient name), so no e-mail is sent
    // and the job succeeds on its file alone.
    EXPECT_EQ(Job("mail.txt", "raw",
                  "\x02"
                  "email:a@example.org^Invoice^Ann^body.txt\r\n"
                  "line 1\r\n"
                  "\x02"
                  "email:b@example.org^Only subject\r\n"
                  "line 2\r\n_EOF_\r\n"),
              kOkBye);
    EXPECT_EQ(Out("mail.txt"), "line 1\r\nline 2\r\n");
}

TEST_F(ServerEndToEnd, SectionAndFolderErrorsAreAnsweredByteForByte) {
    StartServer(false, "[gone]\nsaveDir=" + folder_ / "missing" + "\n");
    TestClient wrong(server_.port());
    wrong.ReadUntil("Hi\n");
    wrong.Send(RunLine("a.txt", "nosuch"));
    EXPECT_EQ(wrong.ReadAll(), "Hi\nROGER_CMD\nERROR:section nosuch does not exist in ini file /n Bye \n");
    EXPECT_TRUE(wrong.closedByPeer());

    TestClient twoFields(server_.port());
    twoFields.ReadUntil("Hi\n");
    twoFields.Send(
        "_RUN_\x02"
        "a.txt\r\n");
    EXPECT_EQ(twoFields.ReadAll(), "Hi\nROGER_CMD\nERROR:section  does not exist in ini file /n Bye \n");

    TestClient quitFirst(server_.port());
    quitFirst.Send("hello\r\n_QUIT_\r\n");
    EXPECT_EQ(quitFirst.ReadAll(), "Hi\nERROR:section  does not exist in ini file /n Bye \n");

    // A command line cut off by the client's close starts no job and leaves
    // an older raw file of that name alone.
    std::ofstream(out_ + "/older.txt", std::ios::binary) << "older text\r\n";
    TestClient cutOff(server_.port());
    cutOff.ReadUntil("Hi\n");
    cutOff.Send("_RUN_\x02older.txt\x02raw");
    cutOff.ShutdownWrite();
    EXPECT_EQ(cutOff.ReadAll(), "Hi\nERROR:section  does not exist in ini file /n Bye \n");
    EXPECT_EQ(Out("older.txt"), "older text\r\n");

    TestClient missing(server_.port());
    missing.ReadUntil("Hi\n");
    missing.Send(RunLine("a.txt", "GONE"));
    EXPECT_EQ(missing.ReadAll(), "Hi\nROGER_CMD\nERROR: " + folder_ / "missing" + "/ does not exist/n");
}

TEST_F(ServerEndToEnd, XlsSectionTakesSaveDirWithTheRestOfTheName) {
    std::filesystem::create_directory(folder_ / "branch");
    StartServer(true, "[XLS]\nsaveDir=" + out_ + "\nsaveDirbranch=" + folder_ / "branch" + "\n");
    std::unique_ptr<TestClient> session = Begin("report.txt", "xlsbranch");
    TestClient& client = *session;
    client.Send("text\r\n_EOF_\r\n");
    client.ReadAll();
    EXPECT_TRUE(ConsoleHas("\n" + folder_ / "branch" + "/report.txt\n")) << server_.Console();
}

TEST_F(ServerEndToEnd, RawFilesFollowTheUmaskAndPlantedNamesAreRefused) {
    const mode_t oldMask = ::umask(027);
    StartServer();
    ::umask(oldMask);
    EXPECT_EQ(Job("mode.txt", "raw", "x\r\n_EOF_\r\n"), kOkBye);
    EXPECT_EQ(std::filesystem::status(out_ + "/mode.txt").permissions() & std::filesystem::perms::all,
              std::filesystem::perms(0640));
    // A link or a FIFO planted under the raw name is never written through
    // nor waited on.
    std::ofstream(folder_ / "victim") << "keep";
    std::filesystem::create_symlink(folder_ / "victim", out_ + "/link.txt");
    ASSERT_EQ(::mkfifo((out_ + "/fifo.txt").c_str(), 0600), 0);
    EXPECT_EQ(Job("link.txt", "raw", "x\r\n_EOF_\r\n"), kGreetAndAck);
    EXPECT_EQ(Job("fifo.txt", "raw", "x\r\n_EOF_\r\n"), kGreetAndAck);
    EXPECT_EQ(ReadText(folder_ / "victim"), "keep");
    // Both ended at once with the creation failure, neither hangs.
    const std::string console = server_.Console();
    const std::string failure = "Error open rawfile 107\n";
    const size_t first = console.find(failure);
    ASSERT_NE(first, std::string::npos) << console;
    EXPECT_NE(console.find(failure, first + 1), std::string::npos) << console;
}

TEST_F(ServerEndToEnd, SaveFolderInsideTheFormsFolderIsReportedAtStart) {
    // The save folder "out" lies in the program folder, here the forms folder.
    StartServer(false, "[Server]\nformsDir=" + folder_.path() + "\n[elsewhere]\nsaveDir=/var/tmp\n");
    EXPECT_TRUE(ConsoleHas("The save folder " + out_ + " lies inside the forms folder " + folder_.path() +
                           ": clients can name the reports there as forms\n"))
        << server_.Console();
    EXPECT_EQ(server_.Console().find("/var/tmp"), std::string::npos);
    EXPECT_EQ(Job("still.txt", "raw", "x\r\n_EOF_\r\n"), kOkBye);  // the service runs all the same

    TempFolder other;
    ServerProcess second;
    ASSERT_TRUE(second.Start(other.path(), "[Server]\nport=0\nformsDir=forms\n"));
    EXPECT_TRUE(
        second.WaitForConsole(std::regex("The forms folder " + other.path() + "/forms does not exist\n")))
        << second.Console();
}

TEST_F(ServerEndToEnd, RawNameSentWithAPathIsStoredInTheSaveFolder) {
    StartServer();
    EXPECT_EQ(Job("C:\\jobs\\inv42.txt", "raw", "x\r\n_EOF_\r\n"), kOkBye);
    EXPECT_EQ(Out("inv42.txt"), "x\r\n");
    EXPECT_EQ(Job("../../escape.txt", "raw", "y\r\n_EOF_\r\n"), kOkBye);
    EXPECT_EQ(Out("escape.txt"), "y\r\n");
    EXPECT_FALSE(std::filesystem::exists(folder_ / "escape.txt"));
}

TEST_F(ServerEndToEnd, UnusableRawNamesFailWith107AndWriteNothing) {
    StartServer();
    // "\x01" becomes NUL and so an empty name; an empty field between two
    // STX would be skipped instead.
    for (const std::string& name :
         {std::string("\x01"), std::string("."), std::string(".."), std::string("a*b"), std::string("a?b"),
          std::string("a\"b"), std::string("a<b"), std::string("a>b"), std::string("a|b"),
          std::string("a\x15"
                      "b")}) {
        EXPECT_EQ(Job(name, "raw", "secret\r\n_EOF_\r\n"), kGreetAndAck) << name;
    }
    EXPECT_TRUE(std::filesystem::is_empty(out_));
    std::set<std::string> top;
    for (const auto& entry : std::filesystem::directory_iterator(folder_.path())) {
        // The job history (jobs.db and its log) is the server's own.
        if (entry.path().filename().string().rfind("jobs.db", 0) != 0)
            top.insert(entry.path().filename().string());
    }
    EXPECT_EQ(top, (std::set<std::string>{"TARN.ini", "TARNSvr", "console.txt", "out"}));
    std::string console = server_.Console();
    size_t count = 0;
    for (size_t at = 0; (at = console.find("Error open rawfile 107\n", at)) != std::string::npos; ++at)
        ++count;
    EXPECT_EQ(count, 10u) << console;
}

TEST_F(ServerEndToEnd, SecondWriterOfTheSameRawFileFailsAndNeverTruncatesTheFirst) {
    StartServer();
    std::unique_ptr<TestClient> firstSession = Begin("same.txt", "raw");
    TestClient& first = *firstSession;
    first.Send("first part\r\n");
    ASSERT_TRUE(ConsoleHas("Port: "));
    // Wait until the first part is on disk (in the partial file that takes
    // the raw file's name once the text is complete).
    auto partial = [&] {
        for (const auto& entry : std::filesystem::directory_iterator(out_))
            if (entry.path().filename().string().rfind(".tarn-raw-", 0) == 0) return ReadText(entry.path());
        return std::string();
    };
    for (int i = 0; i < 200 && partial() != "first part\r\n"; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(partial(), "first part\r\n");

    EXPECT_EQ(Job("same.txt", "raw", "intruder\r\n_EOF_\r\n"), kGreetAndAck);
    EXPECT_TRUE(ConsoleHas("Error open rawfile 107\n"));
    EXPECT_EQ(partial(), "first part\r\n");
    EXPECT_FALSE(std::filesystem::exists(out_ + "/same.txt"));

    first.Send("second part\r\n_EOF_\r\n");
    EXPECT_EQ(first.ReadAll(), kOkBye);
    EXPECT_EQ(Out("same.txt"), "first part\r\nsecond part\r\n");
}

TEST_F(ServerEndToEnd, TextIsProcessedWhenTheClientStopsEarly) {
    StartServer();
    // Half-close after some text: the text so far, unterminated tail included, is the job.
    std::unique_ptr<TestClient> session = Begin("gone.txt", "raw");
    TestClient& client = *session;
    client.Send("some text\nunterminated tail");
    client.ShutdownWrite();
    EXPECT_EQ(client.ReadAll(), kOkBye);
    EXPECT_EQ(Out("gone.txt"), "some text\r\nunterminated tail");

    // A client that vanishes entirely still has its text processed.
    {
        std::unique_ptr<TestClient> vanishingSession = Begin("vanished.txt", "raw");
        TestClient& vanishing = *vanishingSession;
        vanishing.Send("kept\r\n");
    }
    for (int i = 0; i < 200 && Out("vanished.txt") != "kept\r\n"; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(Out("vanished.txt"), "kept\r\n");

    EXPECT_EQ(Job("quit.txt", "raw", "before quit\r\n_QUIT_\r\nafter quit\r\n"), kOkBye);
    EXPECT_EQ(Out("quit.txt"), "before quit\r\n");
}

TEST_F(ServerEndToEnd, OverlongLineIsStoredWhole) {
    StartServer();
    std::string line(2 * 1024 * 1024 + 12345, 'L');
    EXPECT_EQ(Job("long.txt", "raw", line + "\nshort\n_EOF_\n"), kOkBye);
    EXPECT_EQ(Out("long.txt"), line + "\r\nshort\r\n");
}

TEST_F(ServerEndToEnd, DebugConsoleShowsEveryEventOfAJobAsWholeLines) {
    StartServer(true);
    EXPECT_EQ(Job("ev%s.txt", "raw", "text\r\n_EOF_\r\n"), kOkBye);
    ASSERT_TRUE(ConsoleHas("Request processed succesfully\n"));
    std::string raw = out_ + "/ev%s.txt";
    // The received line's control bytes are shown escaped.
    std::string expected = std::string("_RUN_\\x02ev%s.txt\\x02raw\\x0d\\x0a\n") +
                           "ev%s.txt\nev%s.txt\nev%s.txt\nraw\nev%s.txt\nROGER_CMD\n" + out_ + "/\n" + raw +
                           "\n" + raw + "\n" + raw + "\nRequest processed succesfully\n";
    std::string console = server_.Console();
    ASSERT_GE(console.size(), expected.size());
    EXPECT_EQ(console.substr(console.size() - expected.size()), expected);
    EXPECT_EQ(console.rfind("Host: ", 0), 0u);
}

TEST_F(ServerEndToEnd, WithoutDebugOnlyErrorsReachTheConsole) {
    StartServer(false);
    EXPECT_EQ(Job("quiet.txt", "raw", "text\r\n_EOF_\r\n"), kOkBye);
    Job("x.txt", "nosuch", "");
    ASSERT_TRUE(ConsoleHas("nosuch\n"));
    std::smatch m;
    std::string console = server_.Console();
    EXPECT_TRUE(
        std::regex_match(console, m, std::regex("Host: [^\n]*\nAdress: [^\n]*  Port: [0-9]+\nnosuch\n")))
        << console;
}

TEST_F(ServerEndToEnd, HundredClientsAtOnceEachGetTheirOwnFile) {
    StartServer();
    constexpr int kClients = 100;
    std::vector<std::unique_ptr<TestClient>> clients;
    for (int i = 0; i < kClients; ++i) clients.push_back(std::make_unique<TestClient>(server_.port()));
    std::vector<std::string> replies(kClients);
    std::vector<std::thread> threads;
    for (int i = 0; i < kClients; ++i) {
        threads.emplace_back([&, i] {
            TestClient& c = *clients[i];
            c.ReadUntil("Hi\n");
            c.Send(RunLine("job" + std::to_string(i) + ".txt", "raw"));
            c.ReadUntil("ROGER_CMD\n");
            for (int line = 0; line < 50; ++line)
                c.Send("client " + std::to_string(i) + " line " + std::to_string(line) + "\n");
            c.Send("_EOF_\r\n");
            replies[i] = c.ReadAll(std::chrono::seconds(30));
        });
    }
    for (std::thread& t : threads) t.join();
    for (int i = 0; i < kClients; ++i) {
        EXPECT_EQ(replies[i], kOkBye) << i;
        std::string expected;
        for (int line = 0; line < 50; ++line)
            expected += "client " + std::to_string(i) + " line " + std::to_string(line) + "\r\n";
        EXPECT_EQ(Out("job" + std::to_string(i) + ".txt"), expected) << i;
    }
}

TEST_F(ServerEndToEnd, AcceptGoesOnAfterRunningOutOfDescriptors) {
#ifdef __SANITIZE_ADDRESS__
    // The sanitizer runtimes open descriptors of their own to check memory
    // and report false errors when none is left.
    GTEST_SKIP() << "not meaningful under the sanitizers";
#endif
    std::filesystem::create_directory(out_);
    // The job history is off: its descriptors would leave no spare ones.
    std::string ini = "[Server]\nport=0\njobHistory=\n[raw]\nsaveDir=" + out_ + "\n";
    // Standard streams, the listener and a few spare: a handful of clients exhaust it.
    ASSERT_TRUE(server_.Start(folder_.path(), ini, 10)) << server_.Console();
    std::vector<std::unique_ptr<TestClient>> held;
    for (int i = 0; i < 12; ++i) held.push_back(std::make_unique<TestClient>(server_.port()));
    ASSERT_TRUE(ConsoleHas("Accepting a connection failed")) << server_.Console();
    held.clear();  // frees the server's descriptors as those conversations end
    EXPECT_EQ(Job("after.txt", "raw", "still here\r\n_EOF_\r\n"), kOkBye);
    EXPECT_EQ(Out("after.txt"), "still here\r\n");
}

TEST_F(ServerEndToEnd, ConfiguredPortIsShownAndAPortInUseStopsTheStart) {
    // A port that is free now, taken by the first server.
    int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    int port = ntohs(address.sin_port);
    ::close(probe);

    std::filesystem::create_directory(out_);
    std::string ini = "[Server]\nport=" + std::to_string(port) + "\n[raw]\nsaveDir=" + out_ + "\n";
    ASSERT_TRUE(server_.Start(folder_.path(), ini));
    EXPECT_EQ(server_.port(), port);

    TempFolder otherFolder;
    ServerProcess other;
    other.Start(otherFolder.path(), ini);  // the console shows the port before the bind fails
    EXPECT_EQ(other.WaitForExit(), 5);     // E_FAIL's low byte
    EXPECT_NE(
        ReadText(otherFolder / "console.txt").find("Cannot start service. Failed to open TCP connection.\n"),
        std::string::npos);
}

TEST_F(ServerEndToEnd, EmptyIniStopsTheStartWithTheLoadFailure) {
    ServerProcess server;
    EXPECT_FALSE(server.Start(folder_.path(), ""));
    EXPECT_EQ(server.WaitForExit(), 5);
    EXPECT_EQ(ReadText(folder_ / "console.txt"), "Unable to load INI file: " + folder_ / "TARN.ini" + "\n");
}

}  // namespace
}  // namespace tarn
