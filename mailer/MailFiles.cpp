#include "mailer/MailFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace tarn::mailer {

Status ReadMailFile(const std::string& path, bool ownerOnly, std::string* contents) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ELOOP) return Status::Error("refusing to send a symbolic link: " + path);
        return Status::FromErrno("file not found or unreadable: " + path, errno);
    }
    struct stat st;
    Status status;
    if (::fstat(fd, &st) != 0) {
        status = Status::FromErrno(path, errno);
    } else if (!S_ISREG(st.st_mode)) {
        status = Status::Error("not a regular file: " + path);
    } else if (ownerOnly && (st.st_uid != ::geteuid() || (st.st_mode & (S_IRWXG | S_IRWXO)) != 0)) {
        status = Status::Error(
            "password file must belong to this user and be readable by nobody else "
            "(chmod 600): " +
            path);
    }
    contents->clear();
    char buffer[65536];
    while (status) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) status = Status::FromErrno(path, errno);
        if (n > 0) contents->append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return status;
}

}  // namespace tarn::mailer
