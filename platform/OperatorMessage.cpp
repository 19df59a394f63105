#include "platform/OperatorMessage.h"

#include <unistd.h>

#include <cerrno>

namespace tarn {

void ShowOperatorMessage(const std::string& caption, const std::string& text) {
    const std::string line = caption + ": " + text + "\n";
    const char* p = line.data();
    std::string::size_type left = line.size();
    while (left > 0) {
        ssize_t n = ::write(STDERR_FILENO, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;  // nowhere else to report to
        p += n;
        left -= static_cast<std::string::size_type>(n);
    }
}

}  // namespace tarn
