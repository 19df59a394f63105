#pragma once
// Column titles that make a column text whatever its values: built-in
// keywords, and the lines of the keyword file "columns.ini" when that file
// is registered.

#include <string>
#include <vector>

namespace tarn::tabulate {

// The keyword file's name.
inline constexpr const char* kKeywordFileName = "columns.ini";

// Configuration files that the converter may read, and the folder they are in.
struct ConfigFileRegistry {
    std::string baseFolder;
    std::vector<std::string> fileNames;
};

class KeywordTable {
  public:
    struct Entry {
        std::string keyword;  // upper case; a final "*" matches any title with that beginning
        int type;
    };

    // Reads the keyword file first when the registry lists it, then adds the
    // built-in keywords; duplicates are not added again.
    explicit KeywordTable(const ConfigFileRegistry& registry);

    // Type of the first entry matching the title (compared in upper case),
    // or 0 when none matches.
    int Lookup(const std::string& title) const;

    const std::vector<Entry>& entries() const { return entries_; }

    // The table built on first use from the process-wide registry.
    static const KeywordTable& Shared();
    // The process-wide registry; entries must be added before first use.
    static ConfigFileRegistry& Registry();

  private:
    void Add(const std::string& keyword, int type);
    std::vector<Entry> entries_;
};

}  // namespace tarn::tabulate
