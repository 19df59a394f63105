#pragma once
// A file created for writing that no one else may write at the same time.
// The exclusive lock is taken before the file is truncated, so a second
// writer of the same name fails without touching the first writer's bytes.
// Not shared between threads: one owner writes and closes it.

#include <cstddef>
#include <string>

#include "platform/Status.h"

namespace tarn {

class ExclusiveFile {
  public:
    ExclusiveFile() = default;
    ~ExclusiveFile();
    ExclusiveFile(const ExclusiveFile&) = delete;
    ExclusiveFile& operator=(const ExclusiveFile&) = delete;

    // Creates `path` (or opens an existing plain file: never through a
    // symbolic link, never a folder, FIFO or device), takes the exclusive
    // lock without waiting, then truncates it to zero bytes.
    Status Create(const std::string& path);
    // Writes all `size` bytes (a short write is retried, a failure reported).
    Status Write(const char* data, size_t size);
    // Releases the lock and closes; a failing close is reported.
    Status Close();
    bool IsOpen() const { return fd_ >= 0; }

  private:
    int fd_ = -1;
    std::string path_;
};

}  // namespace tarn
