#pragma once
// The converter's run: options, cleaning, conversion, exit status.

#include <string>
#include <vector>

namespace tarn::tabulate {

// Runs one conversion for the words that follow the program name and
// returns the exit status (kExitOk or a negative failure status). Writes
// nothing to the console.
int RunTabulate(const std::vector<std::string>& args);

}  // namespace tarn::tabulate
