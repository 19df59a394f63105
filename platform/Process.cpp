#include "platform/Process.h"

#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

extern char** environ;

namespace tarn {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// First descriptor that a child must not inherit (0 to 2 are the standard streams).
constexpr int kFirstPrivateDescriptor = 3;

// Exit status reported for a child ended by a signal: 128 + the signal number, as shells do.
constexpr int kSignalExitBase = 128;

// The caller's environment with `added` set on top.
std::vector<std::string> ChildEnvironment(const std::vector<std::string>& added) {
    std::vector<std::string> entries;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        std::string text = *entry;
        std::string name = text.substr(0, text.find('=') + 1);
        bool replaced = false;
        for (const std::string& a : added) replaced = replaced || a.compare(0, name.size(), name) == 0;
        if (!replaced) entries.push_back(text);
    }
    entries.insert(entries.end(), added.begin(), added.end());
    return entries;
}

}  // namespace

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
    std::vector<std::string> args;
    const std::size_t n = commandLine.size();
    std::size_t i = 0;
    for (;;) {
        while (i < n && IsBlank(commandLine[i])) ++i;
        if (i >= n) break;
        std::string arg;
        bool inQuotes = false;
        while (i < n) {
            char c = commandLine[i];
            if (c == '\\') {
                std::size_t run = 0;
                while (i < n && commandLine[i] == '\\') {
                    ++run;
                    ++i;
                }
                if (i < n && commandLine[i] == '"') {
                    arg.append(run / 2, '\\');
                    if (run % 2 == 1) {
                        arg += '"';
                        ++i;
                    }
                    // An even run leaves the quote to group below.
                } else {
                    arg.append(run, '\\');
                }
            } else if (c == '"') {
                inQuotes = !inQuotes;
                ++i;
            } else if (IsBlank(c) && !inQuotes) {
                break;
            } else {
                arg += c;
                ++i;
            }
        }
        args.push_back(std::move(arg));
    }
    return args;
}

std::string QuoteArgument(const std::string& value) {
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (char c : value) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            out.append(2 * backslashes + 1, '\\');
        } else {
            out.append(backslashes, '\\');
        }
        backslashes = 0;
        out += c;
    }
    // Trailing backslashes stand before the closing quote: double them.
    out.append(2 * backslashes, '\\');
    out += '"';
    return out;
}

bool ArgumentNeedsQuotes(const std::string& value) {
    if (value.empty()) return true;
    for (char c : value) {
        if (IsBlank(c) || c == '"') return true;
    }
    return false;
}

std::string QuoteArgumentIfNeeded(const std::string& value) {
    return ArgumentNeedsQuotes(value) ? QuoteArgument(value) : value;
}

Status RunCommandLine(const std::string& commandLine, int* exitCode,
                      const std::vector<std::string>& addedEnvironment) {
    std::vector<std::string> argv = SplitCommandLine(commandLine);
    if (argv.empty() || argv[0].empty()) return Status::Error("empty command line");
    return RunProgram(argv, exitCode, addedEnvironment);
}

Status RunProgram(const std::vector<std::string>& argv, int* exitCode,
                  const std::vector<std::string>& addedEnvironment) {
    if (argv.empty() || argv[0].empty()) return Status::Error("no program to start");
    std::vector<char*> pointers;
    pointers.reserve(argv.size() + 1);
    for (const std::string& arg : argv) pointers.push_back(const_cast<char*>(arg.c_str()));
    pointers.push_back(nullptr);

    // Nothing of the service leaks into the child: no descriptor beyond the
    // standard streams (sockets of other conversations stay private), no
    // blocked signals, no ignored or caught signal dispositions.
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclosefrom_np(&actions, kFirstPrivateDescriptor);
    posix_spawnattr_init(&attributes);
    sigset_t noSignals;
    sigemptyset(&noSignals);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int sig : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGUSR1, SIGUSR2, SIGCHLD, SIGQUIT}) {
        sigaddset(&defaults, sig);
    }
    posix_spawnattr_setsigmask(&attributes, &noSignals);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<std::string> environment;
    std::vector<char*> environmentPointers;
    if (!addedEnvironment.empty()) {
        environment = ChildEnvironment(addedEnvironment);
        for (std::string& entry : environment) environmentPointers.push_back(entry.data());
        environmentPointers.push_back(nullptr);
    }
    pid_t pid = 0;
    int err = posix_spawn(&pid, pointers[0], &actions, &attributes, pointers.data(),
                          addedEnvironment.empty() ? environ : environmentPointers.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (err != 0) return Status::FromErrno("cannot start " + argv[0], err);

    int status = 0;
    for (;;) {
        pid_t done = ::waitpid(pid, &status, 0);
        if (done == pid) break;
        if (done < 0 && errno == EINTR) continue;
        return Status::FromErrno("cannot wait for " + argv[0], errno);
    }
    if (WIFEXITED(status)) {
        *exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        *exitCode = kSignalExitBase + WTERMSIG(status);
    } else {
        *exitCode = -1;
    }
    return Status::Ok();
}

}  // namespace tarn
