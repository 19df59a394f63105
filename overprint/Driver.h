#pragma once
// The converter's entry: takes the command line apart, runs the steps in
// their fixed order (open the form, create the output, lay out the text,
// merge it onto the forms, put the output in place), removes the temporary
// files and returns the exit status. With the single argument "-r" the job
// comes on standard input and the result PDF leaves on standard output.

#include <string>
#include <vector>

#include "overprint/ExitStatus.h"
#include "overprint/OverprintRun.h"

namespace tarn::overprint {

// `args` holds the program path followed by the arguments.
int RunOverprint(const std::vector<std::string>& args);

// The first step on its own: fills `run` from the command line (in stream
// mode from standard input). Prints the banner, or the unknown-option text.
Outcome TakeCommandLine(const std::vector<std::string>& args, OverprintRun& run);

}  // namespace tarn::overprint
