#include <gtest/gtest.h>

#include <vector>

#include "service/host/CommandLine.h"

namespace tarn {
namespace {

TEST(CommandLineTest, SwitchNamesMatchInAnyCaseAfterDashOrSlash) {
    EXPECT_EQ(FindCommandSwitch("-RegServer"), CommandSwitch::kRegServer);
    EXPECT_EQ(FindCommandSwitch("/regserver"), CommandSwitch::kRegServer);
    EXPECT_EQ(FindCommandSwitch("-UNREGSERVER"), CommandSwitch::kUnregServer);
    EXPECT_EQ(FindCommandSwitch("/UnregServerPerUser"), CommandSwitch::kUnregServerPerUser);
    EXPECT_EQ(FindCommandSwitch("-regserverperuser"), CommandSwitch::kRegServerPerUser);
    EXPECT_EQ(FindCommandSwitch("-service"), CommandSwitch::kService);
    EXPECT_EQ(FindCommandSwitch("/SERVICE"), CommandSwitch::kService);
}

TEST(CommandLineTest, TokenEndsAtBlankTabOrEndAndLongerTokensMatchNothing) {
    EXPECT_EQ(FindCommandSwitch("-RegServer now"), CommandSwitch::kRegServer);
    EXPECT_EQ(FindCommandSwitch("-RegServer\tnow"), CommandSwitch::kRegServer);
    EXPECT_EQ(FindCommandSwitch("-RegServerX"), CommandSwitch::kNone);
    EXPECT_EQ(FindCommandSwitch("-Services"), CommandSwitch::kNone);
    EXPECT_EQ(FindCommandSwitch("-Reg"), CommandSwitch::kNone);
    EXPECT_EQ(FindCommandSwitch(""), CommandSwitch::kNone);
    EXPECT_EQ(FindCommandSwitch("- /"), CommandSwitch::kNone);
    EXPECT_EQ(FindCommandSwitch("RegServer Service"), CommandSwitch::kNone);
    // Every '-' or '/' starts a token, also inside a word.
    EXPECT_EQ(FindCommandSwitch("file/RegServer"), CommandSwitch::kRegServer);
    EXPECT_EQ(FindCommandSwitch("-RegServer-x"), CommandSwitch::kNone);
}

TEST(CommandLineTest, FirstPassWinsOverServiceWhateverTheOrder) {
    EXPECT_EQ(FindCommandSwitch("-Service -RegServer"), CommandSwitch::kRegServer);
    EXPECT_EQ(FindCommandSwitch("-RegServer -Service"), CommandSwitch::kRegServer);
    EXPECT_EQ(FindCommandSwitch("/service /unregserver"), CommandSwitch::kUnregServer);
    EXPECT_EQ(FindCommandSwitch("-ServiceX -Service"), CommandSwitch::kService);
    // Tokens are tried in command-line order.
    EXPECT_EQ(FindCommandSwitch("-RegServer -UnregServer"), CommandSwitch::kRegServer);
    EXPECT_EQ(FindCommandSwitch("-UnregServer -RegServer"), CommandSwitch::kUnregServer);
}

TEST(CommandLineTest, ProgramPathIsNotScanned) {
    const char* argv[] = {"/opt/RegServer/Service/TARNSvr"};
    EXPECT_EQ(JoinArguments(1, argv), "");
    const char* withArgs[] = {"/opt/x/TARNSvr", "-Service", "/RegServer"};
    EXPECT_EQ(JoinArguments(3, withArgs), "-Service /RegServer");
    EXPECT_EQ(FindCommandSwitch(JoinArguments(3, withArgs)), CommandSwitch::kRegServer);
}

// Records what the parser asks of the registration.
class RecordingActions : public RegistrationActions {
  public:
    HRESULT RegisterAppId(bool serviceForm) override {
        calls.push_back(std::string(perUser ? "peruser " : "") +
                        (serviceForm ? "register service" : "register plain"));
        return result;
    }
    HRESULT UnregisterAppId() override {
        calls.push_back(std::string(perUser ? "peruser " : "") + "unregister");
        return result;
    }
    void SetPerUser() override { perUser = true; }

    std::vector<std::string> calls;
    bool perUser = false;
    HRESULT result = 0;
};

TEST(CommandLineTest, ParseCommandLineRunsExactlyOneActionAndPassesItsResult) {
    struct Case {
        const char* line;
        const char* call;
    } cases[] = {
        {"-RegServer", "register plain"},
        {"-UnregServer", "unregister"},
        {"-RegServerPerUser", "peruser register plain"},
        {"-UnregServerPerUser", "peruser unregister"},
        {"-Service", "register service"},
        {"-Service -RegServer", "register plain"},
    };
    for (const Case& c : cases) {
        RecordingActions actions;
        actions.result = E_FAIL;
        HRESULT result = 0;
        EXPECT_TRUE(ParseCommandLine(c.line, actions, &result)) << c.line;
        EXPECT_EQ(actions.calls, std::vector<std::string>{c.call}) << c.line;
        EXPECT_EQ(result, E_FAIL) << c.line;
    }
    RecordingActions none;
    HRESULT result = 7;
    EXPECT_FALSE(ParseCommandLine("-port 5000", none, &result));
    EXPECT_TRUE(none.calls.empty());
    EXPECT_EQ(result, 7u);
}

TEST(CommandLineTest, ResultCodesBecomeNonZeroExitStatusesOnFailure) {
    EXPECT_EQ(HResultFromError(0), 0u);
    EXPECT_EQ(HResultFromError(2), 0x80070002u);
    EXPECT_EQ(ExitStatusFor(0), 0);
    EXPECT_EQ(ExitStatusFor(E_FAIL), 5);
    EXPECT_EQ(ExitStatusFor(0x80070100u), 1);
}

}  // namespace
}  // namespace tarn
