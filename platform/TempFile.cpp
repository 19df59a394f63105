#include "platform/TempFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "platform/File.h"
#include "platform/Paths.h"

namespace tarn {
namespace {

// Attempts before giving up on finding a free name.
constexpr int kMaxNameAttempts = 1000;

std::string WithSeparator(std::string folder) {
    if (!folder.empty() && folder.back() != kPathSeparator) folder += kPathSeparator;
    return folder;
}

}  // namespace

std::string TempFolder() {
    const char* tmp = std::getenv("TMP");
    if (tmp != nullptr && *tmp != '\0' && IsDirectory(tmp)) return WithSeparator(tmp);
    if (IsDirectory("./tmp")) return "./tmp/";
    return "/tmp/";
}

Status CreateUniqueFile(const std::string& folder, const std::string& prefix, const std::string& suffix,
                        std::string* path, TempAccess access) {
    const mode_t mode = access == TempAccess::kShared ? 0666 : 0600;
    static std::atomic<unsigned> counter{0};
    const std::string base = WithSeparator(folder) + prefix;
    unsigned long seed =
        static_cast<unsigned long>(std::chrono::steady_clock::now().time_since_epoch().count());
    for (int attempt = 0; attempt < kMaxNameAttempts; ++attempt) {
        char unique[32];
        std::snprintf(unique, sizeof unique, "%x%04x", static_cast<unsigned>(::getpid()) & 0xFFFFF,
                      static_cast<unsigned>((seed + counter.fetch_add(1)) & 0xFFFF));
        std::string candidate = base + unique + suffix;
        int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0) {
            ::close(fd);
            *path = candidate;
            return Status::Ok();
        }
        if (errno != EEXIST) return Status::FromErrno(candidate, errno);
    }
    return Status::Error(base + "*" + suffix + ": no free temporary name");
}

Status CreatePrivateFolder(const std::string& folder, const std::string& prefix, std::string* path) {
    std::string pattern = WithSeparator(folder) + prefix + "XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) return Status::FromErrno(pattern, errno);
    *path = pattern;
    return Status::Ok();
}

}  // namespace tarn
