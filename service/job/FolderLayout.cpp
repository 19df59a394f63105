#include "service/job/FolderLayout.h"

#include <filesystem>

#include "platform/CanonicalPath.h"
#include "platform/Paths.h"
#include "service/job/ServiceConfig.h"

namespace tarn {
namespace {

// The folder with links resolved where it exists, else cleaned as written;
// without a closing separator (unless it is the root).
std::string Resolved(const std::string& folder) {
    std::string resolved;
    if (!CanonicalPath(folder, &resolved).ok()) {
        resolved = std::filesystem::path(folder).lexically_normal().string();
    }
    while (resolved.size() > 1 && resolved.back() == kPathSeparator) resolved.pop_back();
    return resolved;
}

}  // namespace

bool FolderLiesInside(const std::string& folder, const std::string& outer) {
    const std::string inner = Resolved(folder);
    const std::string base = Resolved(outer);
    if (inner.empty() || base.empty()) return false;
    if (inner == base) return true;
    const std::string prefix = base.back() == kPathSeparator ? base : base + kPathSeparator;
    return inner.compare(0, prefix.size(), prefix) == 0;
}

std::vector<std::string> SaveFoldersInsideForms(const CServiceConfig& config) {
    std::vector<std::string> inside;
    if (config.FormsFolder().empty()) return inside;
    for (const std::string& folder : config.SaveFolders()) {
        if (FolderLiesInside(folder, config.FormsFolder())) inside.push_back(folder);
    }
    return inside;
}

}  // namespace tarn
