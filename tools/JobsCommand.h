#pragma once
// tarn-jobs: the operator's view of the job history. Reads the database
// read-only, so it is safe to run while the server writes.
//
//   tarn-jobs [--db FILE | --config TARN.ini] [--section NAME] [--failed]
//             [--since TIME] [--client ADDRESS] [--limit N] [--json]
//   tarn-jobs [--db FILE | --config TARN.ini] [--json] show ID
//
// Without --db the database is found as TARNSvr finds it: jobHistory of
// section Server in TARN.ini (default: TARN.ini beside the program), below
// ModulePath.

#include <string>
#include <vector>

namespace tarn {

// Exit statuses.
inline constexpr int kJobsOk = 0;
inline constexpr int kJobsNoHistory = 1;  // missing, unreadable, or no such job
inline constexpr int kJobsUsage = 2;

// Runs the command with `args` (without the program name); `programDir`
// is the program's folder with its closing separator. Writes the output
// and the messages to *out and *err; returns the exit status.
int RunJobsCommand(const std::vector<std::string>& args, const std::string& programDir, std::string* out,
                   std::string* err);

std::string JobsUsage();

}  // namespace tarn
