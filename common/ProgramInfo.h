#pragma once
// What every TARN program answers about itself: its usage for --help and the
// one version of the whole system for --version.

#include <string>

namespace tarn {

// The version of this build, the same for every program ("0.1.0").
const char* TarnVersion();

// When `--help` or `--version` is the only argument, writes `usage` or the
// line "<program> (TARN) <version>" to standard output and returns true: the
// caller then exits with status 0. Any other command line returns false.
bool AnswerHelpOrVersion(int argc, const char* const* argv, const char* program, const std::string& usage);

}  // namespace tarn
