#pragma once
// Test helpers around the stand-in program (StandInTool.cpp) and scratch folders.

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace tarn::testing {

// A fresh folder below the system's temporary folder, removed with its contents.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tarn-test-XXXXXX").string();
        path_ = mkdtemp(pattern.data()) ? pattern + "/" : std::string();
    }
    ~ScratchFolder() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // The folder with its closing slash.
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + name; }

private:
    std::string path_;
};

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline void WriteFile(const std::string& path, const std::string& contents) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << contents;
}

inline bool Exists(const std::string& path) { return std::filesystem::exists(path); }

// Puts the stand-in program into `folder` under `name` (a symbolic link, so
// that it records into `folder`/`name`.args).
inline std::string InstallStandIn(const std::string& folder, const std::string& name) {
    std::string path = folder + name;
    std::filesystem::create_symlink(TARN_STAND_IN, path);
    return path;
}

// The arguments the stand-in installed as `program` received in its last run.
inline std::vector<std::string> RecordedArgs(const std::string& program) {
    std::string all = ReadFile(program + ".args");
    std::vector<std::string> args;
    std::string::size_type start = 0;
    for (std::string::size_type nul; (nul = all.find('\0', start)) != std::string::npos; start = nul + 1) {
        args.push_back(all.substr(start, nul - start));
    }
    return args;
}

inline void SetStandInExit(const std::string& program, int status) {
    WriteFile(program + ".exit", std::to_string(status));
}

}  // namespace tarn::testing
