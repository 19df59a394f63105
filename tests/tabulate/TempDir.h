#pragma once
// tabulate's name for the shared scratch folder: its path ends in the
// separator, as the converter's folder argument does.

#include <string>

#include "tests/support/TempFolder.h"

namespace tabulate_test {

class TempDir {
  public:
    // The folder with its closing separator.
    const std::string& path() const { return path_; }

    std::string Write(const std::string& name, const std::string& bytes) const {
        return folder_.Write(name, bytes);
    }
    std::string Read(const std::string& name) const { return folder_.Read(name); }
    bool Exists(const std::string& name) const { return folder_.Exists(name); }

  private:
    tarn::testing::TempFolder folder_;
    std::string path_ = folder_.path().empty() ? std::string() : folder_.path() + "/";
};

}  // namespace tabulate_test
