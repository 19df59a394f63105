#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <unistd.h>

#include <csignal>

#include "platform/Process.h"
#include "tests/stubs/StandIn.h"

namespace tarn {
namespace {

using Args = std::vector<std::string>;
using testing::InstallStandIn;
using testing::RecordedArgs;
using testing::ScratchFolder;

TEST(SplitCommandLine, CommandLinesTheServiceBuilds) {
    // A converter line with an empty option field: two blanks in a row vanish.
    EXPECT_EQ(SplitCommandLine("\"/t/overprint\" \"/t/form.pdf\" \"/o/inv42.txt\"  -o \"/o/inv42_$$$\""),
              (Args{"/t/overprint", "/t/form.pdf", "/o/inv42.txt", "-o", "/o/inv42_$$$"}));
    // A doubled backslash before a closing quote arrives as one.
    EXPECT_EQ(SplitCommandLine("\"C:\\tab.exe\" -p \"D:\\out\\\\\" -r \"a b.txt\" -d dd/mm/yy"),
              (Args{"C:\\tab.exe", "-p", "D:\\out\\", "-r", "a b.txt", "-d", "dd/mm/yy"}));
    // Unquoted paths and options, tab as separator, surrounding blanks.
    EXPECT_EQ(SplitCommandLine("  /t/pdftk\t/m/front.pdf /o/x.pdf cat output /o/y.pdf  "),
              (Args{"/t/pdftk", "/m/front.pdf", "/o/x.pdf", "cat", "output", "/o/y.pdf"}));
    EXPECT_EQ(SplitCommandLine(""), Args{});
    EXPECT_EQ(SplitCommandLine(" \t "), Args{});
}

TEST(SplitCommandLine, QuotesAndBackslashes) {
    EXPECT_EQ(SplitCommandLine("-f \"\" -t a@b"), (Args{"-f", "", "-t", "a@b"}));
    EXPECT_EQ(SplitCommandLine("ab\"c d\"e"), (Args{"abc de"}));
    EXPECT_EQ(SplitCommandLine("a\\\\\\\"b"), (Args{"a\\\"b"}));     // 2n+1 -> n and a quote
    EXPECT_EQ(SplitCommandLine("\"a\\\\\" b"), (Args{"a\\", "b"}));  // 2n -> n, quote closes
    EXPECT_EQ(SplitCommandLine("C:\\dir\\file x\\"), (Args{"C:\\dir\\file", "x\\"}));  // literal
    EXPECT_EQ(SplitCommandLine("\"open end"), (Args{"open end"}));
}

TEST(QuoteArgument, IsTheExactInverseOfSplitting) {
    const Args values = {"",          "plain",      "two words", "tab\there", "x\" -attach /etc/passwd -x \"",
                         "end\\",     "end\\\\",    "\\\"",      "a\\\\\"b",  "\"",
                         "C:\\dir\\", "$name ; rm", "\"\""};
    for (const std::string& value : values) {
        EXPECT_EQ(SplitCommandLine("prog " + QuoteArgument(value) + " next"), (Args{"prog", value, "next"}))
            << value;
        EXPECT_EQ(SplitCommandLine("prog " + QuoteArgumentIfNeeded(value) + " next"),
                  (Args{"prog", value, "next"}))
            << value;
    }
    // Values that split into themselves stay byte for byte.
    EXPECT_EQ(QuoteArgumentIfNeeded("a@b.com,c@d.com"), "a@b.com,c@d.com");
    EXPECT_EQ(QuoteArgumentIfNeeded("C:\\out\\a.pdf"), "C:\\out\\a.pdf");
    EXPECT_EQ(QuoteArgument("Monthly report"), "\"Monthly report\"");
    EXPECT_EQ(QuoteArgumentIfNeeded(""), "\"\"");
    EXPECT_EQ(QuoteArgumentIfNeeded("/save dir/a.pdf"), "\"/save dir/a.pdf\"");
}

TEST(QuoteArgument, RoundTripsEveryMixOfQuotesBackslashesAndBlanks) {
    // Every string of up to 6 characters over the bytes that matter to the rules.
    const std::string alphabet = "a \t\"\\";
    std::vector<std::string> values = {""};
    for (std::size_t start = 0, length = 0; length < 6; ++length) {
        std::size_t end = values.size();
        for (std::size_t i = start; i < end; ++i) {
            for (char c : alphabet) values.push_back(values[i] + c);
        }
        start = end;
    }
    for (const std::string& value : values) {
        ASSERT_EQ(SplitCommandLine("p " + QuoteArgumentIfNeeded(value) + " " + QuoteArgument(value)),
                  (Args{"p", value, value}))
            << "[" << value << "]";
    }
}

TEST(RunCommandLine, StartsTheProgramDirectlyWithItsArguments) {
    ScratchFolder dir;
    std::string tool = InstallStandIn(dir.path(), "tool");
    int exitCode = -1;
    // Shell syntax reaches the program literally: no shell is involved.
    ASSERT_TRUE(
        RunCommandLine(QuoteArgument(tool) + " \"a b\" ; $(touch " + dir.path() + "x) \"\" '*'", &exitCode));
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(RecordedArgs(tool), (Args{tool, "a b", ";", "$(touch", dir.path() + "x)", "", "'*'"}));
    EXPECT_FALSE(testing::Exists(dir / "x"));

    testing::SetStandInExit(tool, 7);
    ASSERT_TRUE(RunCommandLine(tool, &exitCode));
    EXPECT_EQ(exitCode, 7);
}

TEST(RunCommandLine, ChildInheritsNoPrivateDescriptorAndNoSignalSettings) {
    ScratchFolder dir;
    std::string tool = InstallStandIn(dir.path(), "tool");
    int leaky = ::open("/dev/null", O_RDONLY);  // deliberately without close-on-exec
    ASSERT_GE(leaky, 0);
    // The service blocks its control signals and ignores SIGPIPE; its children must not.
    sigset_t control, previous;
    sigemptyset(&control);
    sigaddset(&control, SIGTERM);
    sigaddset(&control, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &control, &previous);
    auto oldPipe = std::signal(SIGPIPE, SIG_IGN);
    int exitCode = -1;
    Status ran = RunCommandLine(tool + " --list-fds", &exitCode);
    std::signal(SIGPIPE, oldPipe);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    ::close(leaky);
    ASSERT_TRUE(ran);
    Args recorded = RecordedArgs(tool);
    ASSERT_EQ(recorded.size(), 5u);
    EXPECT_EQ(recorded[2], "fds:");
    EXPECT_EQ(recorded[3], "SigBlk:\t0000000000000000");
    ASSERT_EQ(recorded[4].rfind("SigIgn:\t", 0), 0u);
    unsigned long long ignored = std::stoull(recorded[4].substr(8), nullptr, 16);
    EXPECT_EQ(ignored & (1ULL << (SIGPIPE - 1)), 0u) << recorded[4];
}

TEST(RunCommandLine, AddedEnvironmentReachesTheChildOnly) {
    setenv("TARN_TEST_SECRET", "old", 1);
    setenv("TARN_TEST_KEPT", "kept", 1);
    int exitCode = -1;
    ASSERT_TRUE(RunProgram({"/bin/sh", "-c", "test \"$TARN_TEST_SECRET/$TARN_TEST_KEPT\" = 'new value/kept'"},
                           &exitCode, {"TARN_TEST_SECRET=new value"}));
    EXPECT_EQ(exitCode, 0);
    EXPECT_STREQ(getenv("TARN_TEST_SECRET"), "old");
    unsetenv("TARN_TEST_SECRET");
    unsetenv("TARN_TEST_KEPT");
}

TEST(RunCommandLine, MissingProgramIsAnError) {
    ScratchFolder dir;
    int exitCode = -1;
    Status status = RunCommandLine(dir / "missing -x", &exitCode);
    EXPECT_FALSE(status.ok());
    EXPECT_NE(status.message().find("missing"), std::string::npos);
    EXPECT_FALSE(RunCommandLine("   ", &exitCode).ok());
}

}  // namespace
}  // namespace tarn
