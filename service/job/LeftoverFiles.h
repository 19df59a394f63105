#pragma once
// Temporary files named for the process that makes them, and their removal
// when that process is gone. A run killed before it could remove its own
// (the partial raw file of a job still arriving, a mail body still being
// sent) leaves them behind; the next start of the service removes them.
//
// Name: <kind prefix><process id>-<unique part><suffix>, for instance
// ".tarn-raw-4711-Ab12Cd.part" in a save folder or "ORV4711-Ab12Cd.tmp" in
// the temporary folder. Files of a process that still runs are left alone,
// so services sharing a folder never remove each other's files.

#include <string>

namespace tarn {

class CServiceConfig;

// Prefix of the partial raw file of a job while its text arrives (hidden in the save folder).
inline constexpr const char* kPartialRawPrefix = ".tarn-raw-";
inline constexpr const char* kPartialRawSuffix = ".part";

// `prefix` followed by this process's id and "-".
std::string OwnedPrefix(const std::string& prefix);

// Removes the regular files of `folder` named `prefix` + <id> + "-" ... whose
// process no longer runs, or is this one (a process that had the same id
// before this start). Returns how many were removed.
int RemoveLeftovers(const std::string& folder, const std::string& prefix);

// At start: partial raw files in every save folder the configuration names
// (every key starting with saveDir, in any section) and mail bodies in the
// temporary folder.
void RemoveLeftoversOfEarlierRuns(const CServiceConfig& config);

}  // namespace tarn
