#include "service/host/CommandLine.h"

#include <strings.h>

namespace tarn {
namespace {

// The first pass's switches, in the order they are tried at each token.
struct FirstPassSwitch {
    const char* name;
    CommandSwitch value;
};
constexpr FirstPassSwitch kFirstPass[] = {
    {"UnregServer", CommandSwitch::kUnregServer},
    {"RegServer", CommandSwitch::kRegServer},
    {"UnregServerPerUser", CommandSwitch::kUnregServerPerUser},
    {"RegServerPerUser", CommandSwitch::kRegServerPerUser},
};
constexpr const char* kServiceSwitch = "Service";

bool IsTokenEnd(char c) { return c == '\0' || c == ' ' || c == '\t'; }

// The tokens: what follows each '-' or '/', up to a blank, tab or the end.
std::vector<std::string> Tokens(const std::string& commandLine) {
    std::vector<std::string> tokens;
    for (std::string::size_type i = 0; i < commandLine.size(); ++i) {
        if (commandLine[i] != '-' && commandLine[i] != '/') continue;
        std::string::size_type end = i + 1;
        while (end < commandLine.size() && !IsTokenEnd(commandLine[end])) ++end;
        tokens.push_back(commandLine.substr(i + 1, end - i - 1));
    }
    return tokens;
}

bool Matches(const std::string& token, const char* name) { return strcasecmp(token.c_str(), name) == 0; }

}  // namespace

CommandSwitch FindCommandSwitch(const std::string& commandLine) {
    const std::vector<std::string> tokens = Tokens(commandLine);
    for (const std::string& token : tokens) {
        for (const FirstPassSwitch& candidate : kFirstPass) {
            if (Matches(token, candidate.name)) return candidate.value;
        }
    }
    for (const std::string& token : tokens) {
        if (Matches(token, kServiceSwitch)) return CommandSwitch::kService;
    }
    return CommandSwitch::kNone;
}

std::string JoinArguments(int argc, const char* const* argv) {
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) line += ' ';
        line += argv[i];
    }
    return line;
}

bool ParseCommandLine(const std::string& commandLine, RegistrationActions& actions, HRESULT* result) {
    switch (FindCommandSwitch(commandLine)) {
    case CommandSwitch::kNone:
        return false;
    case CommandSwitch::kUnregServerPerUser:
        actions.SetPerUser();
        [[fallthrough]];
    case CommandSwitch::kUnregServer:
        *result = actions.UnregisterAppId();
        return true;
    case CommandSwitch::kRegServerPerUser:
        actions.SetPerUser();
        [[fallthrough]];
    case CommandSwitch::kRegServer:
        *result = actions.RegisterAppId(false);
        return true;
    case CommandSwitch::kService:
        *result = actions.RegisterAppId(true);
        return true;
    }
    return false;
}

}  // namespace tarn
