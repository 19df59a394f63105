#include "platform/Registry.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/Environment.h"
#include "platform/File.h"
#include "platform/TempFile.h"

namespace tarn {
namespace {

// Separator between key names in a key path.
constexpr char kKeySeparator = '\\';

bool IsSafeName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

Status FromErrorCode(const std::string& context, const std::error_code& ec) {
    return Status::FromErrno(context, ec.value());
}

}  // namespace

Registry Registry::FromEnvironment() {
    std::string root = EnvironmentValue(kRegistryRootVariable);
    return Registry(root.empty() ? std::string(kDefaultRegistryRoot) : root);
}

Status Registry::KeyFolder(const std::string& key, std::string* folder) const {
    std::string path = root_;
    std::string::size_type start = 0;
    for (;;) {
        std::string::size_type end = key.find(kKeySeparator, start);
        std::string name = key.substr(start, end == std::string::npos ? end : end - start);
        if (!IsSafeName(name)) return Status::Error("invalid registry key name: " + key, EINVAL);
        path += '/';
        path += name;
        if (end == std::string::npos) break;
        start = end + 1;
    }
    *folder = path;
    return Status::Ok();
}

Status Registry::ValueFile(const std::string& key, const std::string& name, std::string* file) const {
    std::string folder;
    Status status = KeyFolder(key, &folder);
    if (!status) return status;
    std::string fileName = name.empty() ? std::string(kDefaultValueFile) : name;
    if (!IsSafeName(fileName) || (!name.empty() && name == kDefaultValueFile)) {
        return Status::Error("invalid registry value name: " + name, EINVAL);
    }
    *file = folder + '/' + fileName;
    return Status::Ok();
}

Status Registry::OpenKey(const std::string& key) const {
    std::string folder;
    Status status = KeyFolder(key, &folder);
    if (!status) return status;
    struct stat st;
    if (::stat(folder.c_str(), &st) != 0) return Status::FromErrno(folder, errno);
    if (!S_ISDIR(st.st_mode)) return Status::FromErrno(folder, ENOTDIR);
    return Status::Ok();
}

Status Registry::CreateKey(const std::string& key) const {
    std::string folder;
    Status status = KeyFolder(key, &folder);
    if (!status) return status;
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) return FromErrorCode(folder, ec);
    return OpenKey(key);
}

Status Registry::DeleteKeyTree(const std::string& key) const {
    std::string folder;
    Status status = KeyFolder(key, &folder);
    if (!status) return status;
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    if (ec) return FromErrorCode(folder, ec);
    return Status::Ok();
}

Status Registry::ReadString(const std::string& key, const std::string& name, std::string* value) const {
    std::string file;
    Status status = ValueFile(key, name, &file);
    if (!status) return status;
    if (IsDirectory(file)) return Status::FromErrno(file, ENOENT);  // a subkey, not a value
    return ReadWholeFile(file, value);
}

Status Registry::WriteString(const std::string& key, const std::string& name,
                             const std::string& value) const {
    std::string file;
    Status status = ValueFile(key, name, &file);
    if (!status) return status;
    status = OpenKey(key);
    if (!status) return status;
    // Write beside the value, then rename over it: readers see old or new data.
    // Values are readable by all, as the folders are: a service registered by
    // root and run as another user reads its mode from them.
    std::string folder = file.substr(0, file.rfind('/') + 1);
    std::string temp;
    status = CreateUniqueFile(folder, ".value-", ".tmp", &temp, TempAccess::kShared);
    if (!status) return status;
    status = WriteWholeFile(temp, value);
    if (status) status = RenameFile(temp, file);
    if (!status) RemoveFile(temp);
    return status;
}

Status Registry::WriteDword(const std::string& key, const std::string& name, std::uint32_t value) const {
    return WriteString(key, name, std::to_string(value));
}

Status Registry::DeleteValue(const std::string& key, const std::string& name) const {
    std::string file;
    Status status = ValueFile(key, name, &file);
    if (!status) return status;
    if (IsDirectory(file)) return Status::FromErrno(file, ENOENT);  // a subkey, not a value
    if (::unlink(file.c_str()) != 0) return Status::FromErrno(file, errno);
    return Status::Ok();
}

}  // namespace tarn
