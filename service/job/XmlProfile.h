#pragma once
// An in-memory copy of every section and entry of an INI file, with
// case-blind lookups of section names and keys. An empty name never matches;
// a name argument ends at its first NUL byte.
// Threading: filled by one thread, then only read (any number of readers).

#include <string>
#include <utility>
#include <vector>

#include "common/Text.h"

namespace tarn {

class CXmlProfile {
  public:
    CXmlProfile() = default;
    virtual ~CXmlProfile();

    // Reads the whole file, replacing what was held. False when the file
    // cannot be opened or is empty; nothing is held then.
    bool Load(const std::string& fileName);
    // Adds or replaces an entry; an empty section name does nothing.
    void SetEntry(const std::string& section, const std::string& key, const std::string& value);

    // The entry's value (possibly empty) when section and key exist, else `def`.
    std::string GetString(const std::string& section, const std::string& key, const std::string& def) const;
    // The atoi value of a non-empty entry, else `def`.
    int GetInt(const std::string& section, const std::string& key, int def) const;
    bool SectionExists(const std::string& section) const;
    bool KeyExists(const std::string& section, const std::string& key) const;
    // Every section name, in the order first met.
    std::vector<std::string> SectionNames() const;
    // The keys and values of one section, in file order (none when it does not exist).
    std::vector<std::pair<std::string, std::string>> Entries(const std::string& section) const;

  private:
    struct Entry {
        std::string key;
        std::string value;
    };
    struct Section {
        std::string name;
        std::vector<Entry> entries;
    };

    const Section* FindSection(const std::string& name) const;
    const Entry* FindEntry(const std::string& section, const std::string& key) const;

    std::vector<Section> sections_;
};

}  // namespace tarn
