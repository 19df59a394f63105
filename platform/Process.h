#pragma once
// Child processes started from one command line: the line is split into
// arguments by the quoting rules the configured tool lines are written in
// (blanks separate, quotes group, backslashes escape only before a quote),
// and the program is executed directly, never through a shell. Every function is safe to call from any
// thread.

#include <string>
#include <vector>

#include "platform/Status.h"

namespace tarn {

// Splits a command line into arguments: blanks (space, tab) separate
// arguments, double quotes group text that holds blanks, a run of 2n
// backslashes directly before a double quote stands for n backslashes (the
// quote then groups), 2n+1 backslashes for n backslashes and a literal
// quote; backslashes anywhere else are literal. A pair of quotes with
// nothing between them is an empty argument.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

// The value in double quotes, written so that SplitCommandLine returns
// exactly `value` as one argument: inner quotes and the backslashes before
// them are escaped, and trailing backslashes are doubled.
std::string QuoteArgument(const std::string& value);

// `value` unchanged when it already splits into exactly itself (not empty,
// no blank, no double quote); otherwise QuoteArgument(value).
std::string QuoteArgumentIfNeeded(const std::string& value);

// True when QuoteArgumentIfNeeded would leave `value` unchanged.
bool ArgumentNeedsQuotes(const std::string& value);

// Starts the program named by the first argument of `commandLine` with the
// arguments the line splits into, in the caller's working directory and
// environment, with no descriptor other than standard input, output and
// error inherited; then waits for it without a time limit. On success
// *exitCode holds the program's exit status (128 + signal number when a
// signal ended it). A program that cannot be started is an error.
// `addedEnvironment` ("NAME=value" entries) is set for the program only,
// replacing variables of the same name: a way to hand it a secret that must
// not appear on its command line, which every local user can read.
Status RunCommandLine(const std::string& commandLine, int* exitCode,
                      const std::vector<std::string>& addedEnvironment = {});

// The same with the arguments already split; argv[0] names the program.
Status RunProgram(const std::vector<std::string>& argv, int* exitCode,
                  const std::vector<std::string>& addedEnvironment = {});

}  // namespace tarn
