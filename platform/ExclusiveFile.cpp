#include "platform/ExclusiveFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace tarn {

ExclusiveFile::~ExclusiveFile() { Close(); }

Status ExclusiveFile::Create(const std::string& path) {
    Close();
    // No O_TRUNC here: truncation waits until the lock is ours. O_NONBLOCK
    // keeps a FIFO planted under the name from blocking the open for ever.
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0666);
    if (fd < 0) return Status::FromErrno(path, errno);
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return Status::Error(path + ": not a plain file");
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int err = errno;
        ::close(fd);
        return Status::FromErrno(path + " (in use)", err);
    }
    if (::ftruncate(fd, 0) != 0) {
        int err = errno;
        ::close(fd);
        return Status::FromErrno(path, err);
    }
    fd_ = fd;
    path_ = path;
    return Status::Ok();
}

Status ExclusiveFile::Write(const char* data, size_t size) {
    if (fd_ < 0) return Status::Error(path_ + ": not open");
    while (size > 0) {
        ssize_t n = ::write(fd_, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return Status::FromErrno(path_, errno);
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return Status::Ok();
}

Status ExclusiveFile::Close() {
    if (fd_ < 0) return Status::Ok();
    int fd = fd_;
    fd_ = -1;
    // Unlocked before the close: a child another thread is spawning right now
    // holds a copy of the descriptor until its exec, and with it the lock.
    ::flock(fd, LOCK_UN);
    if (::close(fd) != 0) return Status::FromErrno(path_, errno);
    return Status::Ok();
}

}  // namespace tarn
