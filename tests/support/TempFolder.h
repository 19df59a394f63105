#pragma once
// What every test suite shares: a scratch folder per test, and reading files
// back. Suites with their own vocabulary (tabulate's TempDir, the stand-in's
// ScratchFolder, overprint's and the workbook library's ScratchDir) are names
// for this one folder.

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace tarn::testing {

inline std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// A fresh folder below $TMPDIR (or /tmp), removed with everything in it.
class TempFolder {
  public:
    TempFolder() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base != nullptr && *base ? base : "/tmp") + "/tarn-test-XXXXXX";
        if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    ~TempFolder() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder, without a closing separator; empty when it could not be made.
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    std::string Path(const std::string& name) const { return *this / name; }

    // Writes `bytes` to the file `name` in the folder; returns its path.
    std::string Write(const std::string& name, const std::string& bytes) const {
        std::ofstream(*this / name, std::ios::binary | std::ios::trunc) << bytes;
        return *this / name;
    }
    std::string Read(const std::string& name) const { return ReadText(*this / name); }
    bool Exists(const std::string& name) const { return std::filesystem::exists(*this / name); }

  private:
    std::string path_;
};

// Every regular file below `root` (relative path -> contents).
inline std::map<std::string, std::string> FileTree(const std::string& root) {
    std::map<std::string, std::string> files;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file() && !it->is_symlink()) {
            files[std::filesystem::relative(it->path(), root).string()] = ReadText(it->path());
        }
    }
    return files;
}

}  // namespace tarn::testing
