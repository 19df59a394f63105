#pragma once
// A file written front to back through a buffer. A failed write is sticky:
// every later Write and the Close report it, so a caller that checks only
// some calls still never mistakes a truncated file for a complete one.
// Not thread-safe; one owner at a time.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Status.h"

namespace tarn {

class OutputFile {
  public:
    OutputFile();
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates the file, or empties an existing one, for binary writing.
    Status Create(const std::string& path);
    // As Create, but fails when `path` is a symbolic link instead of
    // writing through it (for files in folders others can write).
    Status CreateNoFollow(const std::string& path);
    // Creates a new file that must not exist yet, not even as a symbolic link.
    Status CreateNew(const std::string& path);
    bool IsOpen() const { return fd_ >= 0; }

    Status Write(const char* data, std::size_t size);
    Status Write(const std::string& data) { return Write(data.data(), data.size()); }
    // Byte position of the next byte written.
    std::uint64_t Position() const { return flushed_ + used_; }
    // Writes what is buffered and closes; reports any failure since Create.
    Status Close();
    // Closes without writing what is buffered (for a file about to be removed).
    void Abandon();
    const std::string& path() const { return path_; }

  private:
    Status Open(const std::string& path, int extraFlags);
    Status Flush();
    // Hands `size` bytes to the file; a failure is kept in error_.
    void WriteAll(const char* data, std::size_t size);

    int fd_ = -1;
    std::string path_;
    std::vector<char> buffer_;
    std::size_t used_ = 0;
    std::uint64_t flushed_ = 0;
    Status error_;
};

}  // namespace tarn
