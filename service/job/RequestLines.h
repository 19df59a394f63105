#pragma once
// The lines of the request protocol that carry fields: the command line
// (`_RUN_`) and the e-mail lines, and the choice of section and save-folder
// key for a job. Pure functions, safe on any thread.

#include <string>

#include "common/Text.h"
#include "service/job/EmailRecord.h"
#include "service/job/SettingKeys.h"

namespace tarn {

// Command words, matched case-sensitively.
inline constexpr const char* kRunWord = "_RUN_";
inline constexpr const char* kRawFileWord = "_RAWFILE_";
inline constexpr const char* kEofWord = "_EOF_";
inline constexpr const char* kQuitWord = "_QUIT_";
// STX followed by "email:" starts an e-mail line.
inline constexpr const char* kEmailMarker =
    "\x02"
    "email:";
// Separates the fields of the command line.
inline constexpr const char* kRunFieldSeparator = "\x02";
// Separates the fields of an e-mail line.
inline constexpr const char* kEmailFieldSeparator = "^";

bool Contains(const std::string& text, const char* word);

// The job named by a command line; each field ends at its first NUL byte.
struct RunCommand {
    std::string rawName;  // last path component only
    std::string section;
};

// Reads the fields of a line that starts with `_RUN_`: field 2 is the raw
// file name (its BaseName), field 3 the section; missing fields are empty.
RunCommand ParseRunLine(const std::string& line);

// Reads an e-mail line (starting with the marker) into *order's address
// list, subject, recipient name and body template. Returns true when the
// order is accepted: address list and recipient name both non-empty.
bool ParseEmailLine(const std::string& line, EmailRecord* order);

// The section to look up and the key of its save folder.
struct SectionChoice {
    std::string section;
    std::string saveDirKey;
};

// A section name beginning with "xls" (any case) selects the shared section
// (its first three characters as sent) and appends the rest of the name to
// the save-folder key; any other name is used with key saveDir.
SectionChoice ChooseSection(const std::string& sentSection);

// True when `name` can be a file name in the save folder: not empty, not
// "." or "..", and free of path separators, '"', '<', '>', '|', '*', '?' and
// control bytes. Other names take the raw-file creation failure path.
bool IsUsableRawName(const std::string& name);

}  // namespace tarn
