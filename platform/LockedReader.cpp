#include "platform/LockedReader.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "platform/File.h"

namespace tarn {

Status LockedReader::Open(const std::string& path) {
    Close();
    int fd = -1;
    Status opened = OpenForReading(path, &fd);
    if (!opened.ok()) return opened;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int err = errno;
        ::close(fd);
        return Status::FromErrno(path, err);
    }
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    fd_ = fd;
    path_ = path;
    return Status::Ok();
}

Status LockedReader::Read(char* buffer, std::size_t maximum, std::size_t* count) {
    *count = 0;
    if (fd_ < 0) return Status::Error(path_ + ": not open");
    for (;;) {
        ssize_t n = ::read(fd_, buffer, maximum);
        if (n >= 0) {
            *count = static_cast<std::size_t>(n);
            return Status::Ok();
        }
        if (errno != EINTR) return Status::FromErrno(path_, errno);
    }
}

Status LockedReader::Seek(std::uint64_t offset) {
    if (fd_ < 0) return Status::Error(path_ + ": not open");
    off_t reached = ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET);
    if (reached < 0) return Status::FromErrno(path_, errno);
    if (static_cast<std::uint64_t>(reached) != offset) return Status::Error(path_ + ": seek failed");
    return Status::Ok();
}

void LockedReader::Close() {
    if (fd_ >= 0) {
        ::close(fd_);  // also releases the lock
        fd_ = -1;
    }
}

}  // namespace tarn
