#pragma once
// Stream mode's input: a separator line, then parts that each begin with a
// key line; the first part's second line holds the options. Each part's
// lines are written to a temporary file of their own.

#include <string>
#include <vector>

#include "overprint/OverprintRun.h"

namespace tarn::overprint {

struct StreamInput {
    std::vector<std::string> options;  // the option line cut at blanks
    std::string formName;              // the second part's key line
};

// Cuts `bytes` into lines (each ends at and includes 0x08, 0x0A or 0x0C),
// writes every part to a new temporary file and records (key line, file) in
// the run's streamParts. A part file that cannot be made is reported on
// standard error; its lines are lost and the reading goes on.
StreamInput SplitStreamInput(const std::string& bytes, OverprintRun& run);

}  // namespace tarn::overprint
