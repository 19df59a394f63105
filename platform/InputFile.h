#pragma once
// A file read front to back in bytes through a buffer, with seeking. The file
// is opened with sharing: many readers (concurrent converters reading the same
// form) may hold it at once. Not thread-safe; one owner at a time.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Status.h"

namespace tarn {

class InputFile {
  public:
    InputFile();
    ~InputFile() { Close(); }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Opens an existing file (not a folder) for binary reading.
    Status Open(const std::string& path);
    bool IsOpen() const { return fd_ >= 0; }
    void Close();

    // The next byte (0-255), or -1 at the end of the file or after a read
    // error; error() tells the two apart.
    int ReadByte() {
        if (next_ < filled_) return static_cast<unsigned char>(buffer_[next_++]);
        return Refill();
    }
    // Moves to `offset` bytes from the beginning; clears the end/error state.
    Status Seek(std::uint64_t offset);
    // Byte position of the next ReadByte.
    std::uint64_t Position() const { return bufferStart_ + next_; }
    const Status& error() const { return error_; }
    const std::string& path() const { return path_; }

  private:
    int Refill();

    int fd_ = -1;
    std::string path_;
    std::vector<char> buffer_;
    std::size_t next_ = 0;
    std::size_t filled_ = 0;
    std::uint64_t bufferStart_ = 0;
    Status error_;
};

}  // namespace tarn
