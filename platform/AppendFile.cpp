#include "platform/AppendFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace tarn {

Status AppendToFile(const std::string& path, const std::string& data) {
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return Status::FromErrno(path, errno);
    ssize_t n;
    do {
        n = ::write(fd, data.data(), data.size());
    } while (n < 0 && errno == EINTR);
    int err = errno;
    ::close(fd);
    if (n < 0) return Status::FromErrno(path, err);
    if (static_cast<std::size_t>(n) != data.size()) return Status::Error(path + ": short write");
    return Status::Ok();
}

}  // namespace tarn
