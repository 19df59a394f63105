#pragma once
// A file opened for one use and read or written in pieces. Opening "without
// sharing" takes an exclusive advisory lock, so two processes never write the
// same file at once; a file is never truncated before that lock is held.

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/Status.h"

namespace tarn {

class FileHandle {
public:
    FileHandle() = default;
    ~FileHandle() { Close(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    // Opens an existing file (not a folder) for reading without sharing.
    Status OpenForReading(const std::string& path);
    // Creates the file or empties an existing one, for writing without sharing.
    Status CreateForWriting(const std::string& path);

    // Reads up to `maximum` bytes; *count is 0 at the end of the file.
    Status Read(char* buffer, std::size_t maximum, std::size_t* count);
    // Writes all bytes; a short write is an error.
    Status Write(const char* data, std::size_t size);
    // Moves to `offset` bytes from the beginning.
    Status Seek(std::uint64_t offset);

    bool IsOpen() const { return fd_ >= 0; }
    void Close();

private:
    int fd_ = -1;
    std::string path_;
};

}  // namespace tarn
