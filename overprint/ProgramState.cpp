#include "overprint/ProgramState.h"

namespace tarn::overprint {

std::vector<std::string> pageForms;
std::string programDir;
std::vector<std::pair<std::string, std::string>> streamParts;

std::string FormFileOf(const std::string& name) {
    for (const auto& part : streamParts) {
        if (part.first == name) return part.second;
    }
    return name;
}

void ResetProgramState() {
    pageForms.clear();
    programDir.clear();
    streamParts.clear();
}

}  // namespace tarn::overprint
