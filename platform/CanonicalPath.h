#pragma once
// The absolute form of a path with every symbolic link, "." and ".." resolved.

#include <string>

#include "platform/Status.h"

namespace tarn {

// Fails when the path (or a folder on it) does not exist.
Status CanonicalPath(const std::string& path, std::string* resolved);

}  // namespace tarn
