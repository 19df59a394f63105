#pragma once
// Plain file operations. Every function is safe to call from any thread.

#include <cstdint>
#include <string>

#include "platform/Status.h"

namespace tarn {

// True when `path` opens for reading and is not a folder (callers ask about
// files: a folder of the same name never counts as one).
bool FileOpens(const std::string& path);
// Opens `path` for reading and refuses a folder; on success *fd is the open
// descriptor, which the caller closes.
Status OpenForReading(const std::string& path, int* fd);
// True when `path` itself is a regular file: a symbolic link (whatever it
// points to), a folder or a device is not.
bool IsPlainFile(const std::string& path);
// True when anything at all stands under the name, a dangling link included.
bool EntryExists(const std::string& path);
// True when a file or a folder of that name exists.
bool PathExists(const std::string& path);
bool IsDirectory(const std::string& path);
// The name of the account that owns `path` (its number when no account has
// that number).
Status FileOwnerName(const std::string& path, std::string* name);

// Size in bytes of an existing regular file.
Status GetFileSize(const std::string& path, std::int64_t* size);
Status ReadWholeFile(const std::string& path, std::string* contents);
// Creates or truncates `path` and writes `contents`; fails on a short write.
Status WriteWholeFile(const std::string& path, const std::string& contents);
// Removes a file; a file that is already gone is not an error.
Status RemoveFile(const std::string& path);
// Renames `from` to `to`, replacing `to` when it exists.
Status RenameFile(const std::string& from, const std::string& to);

}  // namespace tarn
