#pragma once
// Our own INI reader. It yields, per section, the entry lines in file order,
// the way the configuration loader expects them from a profile reader:
// - "[name]" starts a section; the name is trimmed of blanks;
// - lines before the first section header belong to no section and are skipped;
// - a line whose first non-blank character is ';' is a comment;
// - blank lines are skipped;
// - in "key = value" the blanks around key and value are trimmed and the line
//   is yielded as "key=value"; a line without '=' is yielded trimmed.
// A section that occurs twice yields two entries in `sections`; merging them
// (and letting later keys override earlier ones) is the loader's job.

#include <string>
#include <vector>

#include "platform/Status.h"

namespace tarn {

struct IniSection {
    std::string name;
    std::vector<std::string> lines;
};

// Parses INI text held in memory.
std::vector<IniSection> ParseIni(const std::string& text);

// Reads an INI file. Fails when the file cannot be opened, is a folder, is
// held under an exclusive lock by another program, or is empty.
Status ReadIniFile(const std::string& path, std::vector<IniSection>* sections);

}  // namespace tarn
