#pragma once
// The converter's entry: parses the command line, runs the stages in their
// fixed order (text layout, form stage, merge), removes the temporary files
// and returns the exit status. With the single argument "-r" the job comes
// on standard input and the result PDF leaves on standard output.

#include <string>
#include <vector>

#include "overprint/TextStages.h"

namespace tarn::overprint {

// `args` holds the program path followed by the arguments.
int RunOverprint(const std::vector<std::string>& args, TextStages& stages);

}  // namespace tarn::overprint
