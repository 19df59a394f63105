#include "platform/OutputFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tarn {
namespace {

// Bytes gathered before they are handed to the file.
constexpr std::size_t kWriteBufferSize = 64 * 1024;

}  // namespace

OutputFile::OutputFile() : buffer_(kWriteBufferSize) {}

OutputFile::~OutputFile() { Close(); }

Status OutputFile::Create(const std::string& path) { return Open(path, 0); }

Status OutputFile::CreateNoFollow(const std::string& path) { return Open(path, O_NOFOLLOW); }

Status OutputFile::CreateNew(const std::string& path) { return Open(path, O_EXCL | O_NOFOLLOW); }

Status OutputFile::Open(const std::string& path, int extraFlags) {
    Close();
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | extraFlags, 0666);
    if (fd < 0) return Status::FromErrno(path, errno);
    fd_ = fd;
    path_ = path;
    used_ = 0;
    flushed_ = 0;
    error_ = Status::Ok();
    return Status::Ok();
}

Status OutputFile::Flush() {
    WriteAll(buffer_.data(), used_);
    used_ = 0;
    return error_;
}

void OutputFile::WriteAll(const char* data, std::size_t size) {
    while (size > 0 && error_.ok()) {
        ssize_t n = ::write(fd_, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            error_ = Status::FromErrno(path_, errno);
        } else if (n == 0) {
            error_ = Status::Error(path_ + ": short write");
        } else {
            data += n;
            size -= static_cast<std::size_t>(n);
            flushed_ += static_cast<std::uint64_t>(n);
        }
    }
}

Status OutputFile::Write(const char* data, std::size_t size) {
    if (fd_ < 0) return Status::Error(path_ + ": not open");
    if (!error_.ok()) return error_;
    // A block the buffer cannot hold goes to the file as it is, without
    // being copied through the buffer.
    if (size >= buffer_.size()) {
        if (!Flush().ok()) return error_;
        WriteAll(data, size);
        return error_;
    }
    while (size > 0) {
        if (used_ == buffer_.size() && !Flush().ok()) return error_;
        std::size_t room = buffer_.size() - used_;
        std::size_t part = size < room ? size : room;
        std::memcpy(buffer_.data() + used_, data, part);
        used_ += part;
        data += part;
        size -= part;
    }
    return Status::Ok();
}

Status OutputFile::Close() {
    if (fd_ < 0) return error_;
    if (error_.ok()) Flush();
    if (::close(fd_) != 0 && error_.ok()) error_ = Status::FromErrno(path_, errno);
    fd_ = -1;
    return error_;
}

void OutputFile::Abandon() {
    used_ = 0;
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

}  // namespace tarn
