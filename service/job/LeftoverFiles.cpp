#include "service/job/LeftoverFiles.h"

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/TempFile.h"
#include "service/job/MailBody.h"
#include "service/job/ServiceConfig.h"
#include "service/job/TextHelpers.h"

namespace tarn {
namespace {

constexpr const char* kSaveDirKeyPrefix = "saveDir";

// True when the process `pid` runs (it may belong to another user).
bool ProcessRuns(pid_t pid) { return ::kill(pid, 0) == 0 || errno == EPERM; }

}  // namespace

std::string OwnedPrefix(const std::string& prefix) { return prefix + std::to_string(::getpid()) + "-"; }

int RemoveLeftovers(const std::string& folder, const std::string& prefix) {
    // The names first, then the removals: a folder is not changed while it is read.
    std::vector<std::string> stale;
    if (DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name.compare(0, prefix.size(), prefix) != 0) continue;
            char* end = nullptr;
            const long pid = std::strtol(name.c_str() + prefix.size(), &end, 10);
            if (end == name.c_str() + prefix.size() || *end != '-' || pid <= 0) continue;
            if (pid == ::getpid() || !ProcessRuns(static_cast<pid_t>(pid))) stale.push_back(name);
        }
        ::closedir(dir);
    }
    int removed = 0;
    for (const std::string& name : stale) {
        const std::string path = JoinPath(folder, name);
        struct stat info;
        if (::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::unlink(path.c_str()) == 0)
            ++removed;
    }
    return removed;
}

void RemoveLeftoversOfEarlierRuns(const CServiceConfig& config) {
    const std::string prefix = kSaveDirKeyPrefix;
    for (const std::string& section : config.SectionNames()) {
        for (const auto& [key, folder] : config.Entries(section)) {
            if (key.size() >= prefix.size() && EqualsNoCase(key.substr(0, prefix.size()), prefix) &&
                !folder.empty())
                RemoveLeftovers(folder, kPartialRawPrefix);
        }
    }
    RemoveLeftovers(TempFolder(), kBodyFilePrefix);
}

}  // namespace tarn
