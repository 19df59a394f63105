#pragma once
// A file read in chunks without sharing: an exclusive advisory lock is held
// while it is open, so no other process writes it meanwhile. Not thread-safe;
// one owner at a time.

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/Status.h"

namespace tarn {

class LockedReader {
  public:
    LockedReader() = default;
    ~LockedReader() { Close(); }
    LockedReader(const LockedReader&) = delete;
    LockedReader& operator=(const LockedReader&) = delete;

    // Opens an existing file (not a folder) and takes the lock without waiting.
    Status Open(const std::string& path);
    // Reads up to `maximum` bytes; *count is 0 at the end of the file.
    Status Read(char* buffer, std::size_t maximum, std::size_t* count);
    // Moves to `offset` bytes from the beginning.
    Status Seek(std::uint64_t offset);

    bool IsOpen() const { return fd_ >= 0; }
    void Close();

  private:
    int fd_ = -1;
    std::string path_;
};

}  // namespace tarn
