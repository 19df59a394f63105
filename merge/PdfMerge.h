#pragma once
// Merging PDF files: the pages of every input, in the order given, into one
// new file that appears under its name only once it is complete.

#include <string>
#include <vector>

#include "platform/Status.h"

namespace tarn::merge {

struct MergeRequest {
    std::vector<std::string> inputs;  // in page order
    std::string output;
};

// Reads the words after the program name in the merge tool's usual shape:
// INPUT... cat output FINAL, with at least one input. On a word list of any
// other shape returns false and says why in *error.
bool ParseMergeArguments(const std::vector<std::string>& args, MergeRequest* request, std::string* error);

// Writes the pages of the inputs into request.output. Inputs may use object
// and cross-reference streams, be linearized or encrypted with an empty user
// password; a file whose cross-reference table is broken is rebuilt. A
// missing, unreadable or password-protected input, or one without a page
// tree, fails the merge: the error names the file and nothing is written
// under the output's name (an older file there stays as it was).
tarn::Status MergePdfFiles(const MergeRequest& request);

}  // namespace tarn::merge
