#include "platform/StandardStreams.h"

#include <unistd.h>

#include <cerrno>

namespace tarn {
namespace {

Status WriteAll(int fd, const char* data, std::size_t size, const char* name) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return Status::FromErrno(name, errno);
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return Status::Ok();
}

}  // namespace

Status WriteStandardOutput(const char* data, std::size_t size) {
    return WriteAll(STDOUT_FILENO, data, size, "standard output");
}

Status WriteStandardError(const std::string& text) {
    return WriteAll(STDERR_FILENO, text.data(), text.size(), "standard error");
}

Status ReadStandardInput(char* buffer, std::size_t maximum, std::size_t* count) {
    *count = 0;
    for (;;) {
        ssize_t n = ::read(STDIN_FILENO, buffer, maximum);
        if (n >= 0) {
            *count = static_cast<std::size_t>(n);
            return Status::Ok();
        }
        if (errno != EINTR) return Status::FromErrno("standard input", errno);
    }
}

}  // namespace tarn
