#include "overprint/ProgramState.h"

#include "overprint/ClassicForm.h"

namespace tarn::overprint {

std::vector<std::string> pageForms;
std::string programDir;
std::vector<std::pair<std::string, std::string>> streamParts;

std::string FormFileOf(const std::string& name) {
    // Forms that the reader cannot take as they are are read from a classic copy.
    for (const auto& part : streamParts) {
        if (part.first == name) return ClassicFormFile(part.second);
    }
    return ClassicFormFile(name);
}

void ResetProgramState() {
    pageForms.clear();
    programDir.clear();
    streamParts.clear();
}

}  // namespace tarn::overprint
