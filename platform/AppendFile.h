#pragma once
// Appending whole records to a shared file.

#include <string>

#include "platform/Status.h"

namespace tarn {

// Opens `path` for appending (creating it when missing), writes `data` with
// one write call and closes it again. Writers in other threads or processes
// that do the same never split each other's records.
Status AppendToFile(const std::string& path, const std::string& data);

}  // namespace tarn
