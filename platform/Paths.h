#pragma once
// Path conventions of the platform and the program's own location.

#include <string>

namespace tarn {

// The native folder separator.
inline constexpr char kPathSeparator = '/';
// Appended to a program's base name to form its file name ("" on Linux).
inline constexpr const char* kExeSuffix = "";

// Full path of the running program, empty when it cannot be determined.
std::string ProgramPath();
// Folder of the running program with its closing separator, or empty.
std::string ProgramDir();

}  // namespace tarn
