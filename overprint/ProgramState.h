#pragma once
// State that the whole converter shares for one run. The driver sets it up;
// the text layout appends the form of every further page to pageForms and
// builds form names from programDir; the form stage reads both.

#include <string>
#include <utility>
#include <vector>

namespace tarn::overprint {

// Form file name per page: entry k is the form of page k + 1. The driver puts
// the command-line form in as the first entry.
extern std::vector<std::string> pageForms;
// The program's own folder, without its closing separator ("." when the
// program was started without a folder).
extern std::string programDir;
// Stream mode only: (key line, temporary file) per part of standard input, in
// arrival order. A form name is looked up among the key lines.
extern std::vector<std::pair<std::string, std::string>> streamParts;

// The file that holds form `name`: in stream mode the part whose key line is
// `name` (the name itself when no part has it), else `name`.
std::string FormFileOf(const std::string& name);

// Empties all of the above (a new run; tests).
void ResetProgramState();

}  // namespace tarn::overprint
