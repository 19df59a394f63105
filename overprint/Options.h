#pragma once
// The option pairs of the command line (or of stream mode's option line).

#include <string>
#include <vector>

#include "overprint/LayoutSettings.h"

namespace tarn::overprint {

// At most this many option arguments are taken.
constexpr std::size_t kMaxOptionStrings = 100;

// Reads the pairs (option, value) until the first empty option; options are
// recognised by prefix (-top counts as -t); a missing value reads as 0.
// -d names the folder forms named in the text are taken from.
// An unknown option prints the message, the usage line and the help text
// and returns false (the run ends with kExitUnknownOption).
bool ProcessOptions(const std::vector<std::string>& options, LayoutSettings* settings,
                    std::string* outputBase, std::string* formsDir);

}  // namespace tarn::overprint
