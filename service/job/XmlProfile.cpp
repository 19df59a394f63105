#include "service/job/XmlProfile.h"

#include <climits>

#include "platform/Ini.h"
#include "service/job/TextHelpers.h"

namespace tarn {

CXmlProfile::~CXmlProfile() = default;

bool CXmlProfile::Load(const std::string& fileName) {
    sections_.clear();
    std::vector<IniSection> parsed;
    if (!ReadIniFile(fileName, &parsed).ok()) return false;
    for (const IniSection& section : parsed) {
        if (section.name.empty()) continue;
        for (const std::string& line : section.lines) {
            std::string::size_type eq = line.find('=');
            if (line.empty() || eq == std::string::npos) continue;
            SetEntry(section.name, line.substr(0, eq), line.substr(eq + 1));
        }
    }
    return true;
}

void CXmlProfile::SetEntry(const std::string& section, const std::string& key, const std::string& value) {
    if (section.empty()) return;
    Section* found = nullptr;
    for (Section& s : sections_)
        if (EqualsNoCase(s.name, section)) {
            found = &s;
            break;
        }
    if (found == nullptr) {
        sections_.push_back(Section{section, {}});
        found = &sections_.back();
    }
    for (Entry& e : found->entries)
        if (EqualsNoCase(e.key, key)) {
            e.value = value;
            return;
        }
    found->entries.push_back(Entry{key, value});
}

const CXmlProfile::Section* CXmlProfile::FindSection(const std::string& name) const {
    std::string wanted = CutAtNul(name);
    if (wanted.empty()) return nullptr;
    for (const Section& s : sections_)
        if (EqualsNoCase(s.name, wanted)) return &s;
    return nullptr;
}

const CXmlProfile::Entry* CXmlProfile::FindEntry(const std::string& section, const std::string& key) const {
    const Section* s = FindSection(section);
    std::string wanted = CutAtNul(key);
    if (s == nullptr || wanted.empty()) return nullptr;
    for (const Entry& e : s->entries)
        if (EqualsNoCase(e.key, wanted)) return &e;
    return nullptr;
}

std::string CXmlProfile::GetString(const std::string& section, const std::string& key,
                                   const std::string& def) const {
    const Entry* e = FindEntry(section, key);
    return e != nullptr ? e->value : def;
}

int CXmlProfile::GetInt(const std::string& section, const std::string& key, int def) const {
    const Entry* e = FindEntry(section, key);
    if (e == nullptr || e->value.empty()) return def;
    return AtoiLike(e->value);
}

bool CXmlProfile::SectionExists(const std::string& section) const { return FindSection(section) != nullptr; }

bool CXmlProfile::KeyExists(const std::string& section, const std::string& key) const {
    return FindEntry(section, key) != nullptr;
}

std::vector<std::string> CXmlProfile::SectionNames() const {
    std::vector<std::string> names;
    for (const Section& s : sections_) names.push_back(s.name);
    return names;
}

std::vector<std::pair<std::string, std::string>> CXmlProfile::Entries(const std::string& section) const {
    std::vector<std::pair<std::string, std::string>> entries;
    if (const Section* s = FindSection(section)) {
        for (const Entry& e : s->entries) entries.emplace_back(e.key, e.value);
    }
    return entries;
}

}  // namespace tarn
