#pragma once
// Checks on how the configured folders lie to one another.

#include <string>
#include <vector>

namespace tarn {

class CServiceConfig;

// True when `folder` is `outer` or lies below it. Both are compared with
// their links resolved where they exist, else as written, cleaned of "."
// and "..".
bool FolderLiesInside(const std::string& folder, const std::string& outer);

// The save folders that lie inside the forms folder: a client could name
// the outputs there as forms and lay its text over other jobs' documents.
// None when no forms folder is configured.
std::vector<std::string> SaveFoldersInsideForms(const CServiceConfig& config);

}  // namespace tarn
