#include "platform/CanonicalPath.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace tarn {

Status CanonicalPath(const std::string& path, std::string* resolved) {
    char buffer[PATH_MAX];
    if (realpath(path.c_str(), buffer) == nullptr) return Status::FromErrno(path, errno);
    *resolved = buffer;
    return Status::Ok();
}

}  // namespace tarn
