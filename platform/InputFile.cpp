#include "platform/InputFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/File.h"

namespace tarn {
namespace {

// Bytes read from the file at a time.
constexpr std::size_t kReadBufferSize = 64 * 1024;

}  // namespace

InputFile::InputFile() : buffer_(kReadBufferSize) {}

Status InputFile::Open(const std::string& path) {
    Close();
    int fd = -1;
    Status opened = OpenForReading(path, &fd);
    if (!opened.ok()) return opened;
    fd_ = fd;
    path_ = path;
    next_ = filled_ = 0;
    bufferStart_ = 0;
    error_ = Status::Ok();
    return Status::Ok();
}

void InputFile::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    next_ = filled_ = 0;
    bufferStart_ = 0;
}

int InputFile::Refill() {
    if (fd_ < 0 || !error_.ok()) return -1;
    bufferStart_ += filled_;
    next_ = filled_ = 0;
    for (;;) {
        ssize_t n = ::read(fd_, buffer_.data(), buffer_.size());
        if (n > 0) {
            filled_ = static_cast<std::size_t>(n);
            return static_cast<unsigned char>(buffer_[next_++]);
        }
        if (n == 0) return -1;
        if (errno == EINTR) continue;
        error_ = Status::FromErrno(path_, errno);
        return -1;
    }
}

Status InputFile::Seek(std::uint64_t offset) {
    if (fd_ < 0) return Status::Error(path_ + ": not open");
    // Within the buffer already read: just move the cursor.
    if (offset >= bufferStart_ && offset <= bufferStart_ + filled_) {
        next_ = static_cast<std::size_t>(offset - bufferStart_);
        return Status::Ok();
    }
    off_t reached = ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET);
    if (reached < 0) return Status::FromErrno(path_, errno);
    bufferStart_ = offset;
    next_ = filled_ = 0;
    error_ = Status::Ok();
    return Status::Ok();
}

}  // namespace tarn
