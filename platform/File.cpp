#include "platform/File.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

namespace tarn {

bool FileOpens(const std::string& path) {
    int fd = -1;
    if (!OpenForReading(path, &fd).ok()) return false;
    ::close(fd);
    return true;
}

Status FileOwnerName(const std::string& path, std::string* name) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return Status::FromErrno(path, errno);
    struct passwd entry;
    struct passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (::getpwuid_r(st.st_uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr) {
        *name = found->pw_name;
    } else {
        *name = std::to_string(st.st_uid);
    }
    return Status::Ok();
}

Status OpenForReading(const std::string& path, int* fd) {
    int opened = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (opened < 0) return Status::FromErrno(path, errno);
    struct stat st;
    if (::fstat(opened, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(opened);
        return Status::Error(path + ": not a file");
    }
    *fd = opened;
    return Status::Ok();
}

bool IsPlainFile(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool EntryExists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

bool PathExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

bool IsDirectory(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

Status GetFileSize(const std::string& path, std::int64_t* size) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return Status::FromErrno(path, errno);
    if (!S_ISREG(st.st_mode)) return Status::Error(path + ": not a regular file");
    *size = static_cast<std::int64_t>(st.st_size);
    return Status::Ok();
}

Status ReadWholeFile(const std::string& path, std::string* contents) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return Status::FromErrno(path, errno);
    contents->clear();
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            int err = errno;
            ::close(fd);
            return Status::FromErrno(path, err);
        }
        if (n == 0) break;
        contents->append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return Status::Ok();
}

Status WriteWholeFile(const std::string& path, const std::string& contents) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return Status::FromErrno(path, errno);
    const char* p = contents.data();
    size_t left = contents.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            int err = errno;
            ::close(fd);
            return Status::FromErrno(path, err);
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    if (::close(fd) != 0) return Status::FromErrno(path, errno);
    return Status::Ok();
}

Status RemoveFile(const std::string& path) {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) return Status::FromErrno(path, errno);
    return Status::Ok();
}

Status RenameFile(const std::string& from, const std::string& to) {
    if (::rename(from.c_str(), to.c_str()) != 0) return Status::FromErrno(from + " -> " + to, errno);
    return Status::Ok();
}

}  // namespace tarn
