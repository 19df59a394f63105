// tarn-send against the real TARNSvr, and the bytes it puts on the wire.

#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "ServerTestSupport.h"
#include "tools/SendClient.h"

namespace tarn {
namespace {

using testing::ReadText;
using testing::ServerProcess;
using testing::TempFolder;

// Runs tarn-send with `arguments`; its standard output and exit status.
int RunTarnSend(const std::string& arguments, std::string* output) {
    FILE* pipe = ::popen((std::string(TARN_BIN_DIR "/tarn-send ") + arguments + " 2>/dev/null").c_str(), "r");
    if (pipe == nullptr) return -1;
    char buffer[4096];
    size_t n;
    output->clear();
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output->append(buffer, n);
    int status = ::pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(TarnSend, SendsAReportAndExitsZeroOnlyOnOk) {
    TempFolder folder;
    std::filesystem::create_directory(folder / "out");
    ServerProcess server;
    ASSERT_TRUE(server.Start(folder.path(), "[Server]\nport=0\n[raw]\nsaveDir=" + folder / "out" + "\n"));
    std::ofstream(folder / "report.txt", std::ios::binary) << "first\r\nsecond\n\fpage two\nlast";
    std::string port = std::to_string(server.port());
    std::string output;

    EXPECT_EQ(RunTarnSend("--port " + port + " --section raw " + folder / "report.txt", &output), 0);
    EXPECT_EQ(output, "Hi\nROGER_CMD\nok\nBye\n");
    EXPECT_EQ(ReadText(folder / "out/report.txt"), "first\r\nsecond\r\n\f\rpage two\r\nlast\r\n");

    EXPECT_EQ(RunTarnSend("--lf --port " + port + " --section raw --name other.txt " + folder / "report.txt",
                          &output),
              0);
    EXPECT_EQ(ReadText(folder / "out/other.txt"), "first\r\nsecond\r\n\f\rpage two\r\nlast\r\n");

    EXPECT_EQ(RunTarnSend("--port " + port + " --section nosuch " + folder / "report.txt", &output), 1);
    EXPECT_EQ(output, "Hi\nROGER_CMD\nERROR:section nosuch does not exist in ini file /n Bye \n");

    EXPECT_EQ(RunTarnSend("--section raw", &output), 2);
}

TEST(TarnSend, WireBytesCarryEmailOrdersAndTheChosenLineEnd) {
    SendOptions options;
    options.rawName = "inv.txt";
    options.section = "INVOICE";
    options.emails = {"a@example.org^Invoice^Ann^body.txt"};
    EXPECT_EQ(BuildRunLine(options), "_RUN_\x02inv.txt\x02INVOICE\r\n");
    EXPECT_EQ(BuildReportBytes(options, "a\r\nb"),
              "_RAWFILE_\r\n\x02"
              "email:a@example.org^Invoice^Ann^body.txt\r\na\r\nb\r\n_EOF_\r\n");
    options.crlf = false;
    options.emails.clear();
    EXPECT_EQ(BuildReportBytes(options, "a\r\n\fb\n"),
              "_RAWFILE_\n"
              "a\n\fb\n_EOF_\n");
    EXPECT_TRUE(ReplyIsOk("Hi\nROGER_CMD\nok\nBye\n"));
    EXPECT_FALSE(ReplyIsOk("Hi\nROGER_CMD\nProblem handlingRequest\nBye\n"));
    EXPECT_FALSE(ReplyIsOk("Hi\n"));
}

}  // namespace
}  // namespace tarn
