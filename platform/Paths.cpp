#include "platform/Paths.h"

#include <unistd.h>

#include <climits>

namespace tarn {

std::string ProgramPath() {
    char buffer[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return std::string();
    return std::string(buffer, static_cast<size_t>(n));
}

std::string ProgramDir() {
    std::string path = ProgramPath();
    std::string::size_type slash = path.rfind(kPathSeparator);
    if (slash == std::string::npos) return std::string();
    return path.substr(0, slash + 1);
}

}  // namespace tarn
