#include "overprint/OverprintRun.h"

#include "overprint/ClassicForm.h"
#include "overprint/Messages.h"
#include "platform/File.h"

namespace tarn::overprint {

OverprintRun::OverprintRun() = default;

OverprintRun::~OverprintRun() { RemoveTemporaries(); }

Outcome OverprintRun::FormFileOf(const std::string& name, std::string* file) {
    std::string path = name;
    for (const auto& part : streamParts) {
        if (part.first == name) {
            path = part.second;
            break;
        }
    }
    auto known = classicCopies_.find(path);
    if (known != classicCopies_.end()) {
        *file = known->second;
        return Outcome::kOk;
    }
    std::string classic = path;
    const Outcome outcome = !classicCopies ? Outcome::kOk : ClassicFormFile(path, &classic);
    if (outcome != Outcome::kOk) return outcome;
    if (classic != path) AddTemporary(classic);
    classicCopies_[path] = classic;
    *file = classic;
    return Outcome::kOk;
}

void OverprintRun::RemoveTemporaries() {
    for (const auto& part : streamParts) {
        if (!RemoveFile(part.second).ok() && PathExists(part.second)) {
            PrintErr("*** ERROR *** Temp pdf file " + part.second + " could not be delete \n");
        }
    }
    streamParts.clear();
    for (const auto& path : temporaries_) RemoveFile(path);
    temporaries_.clear();
    classicCopies_.clear();
}

}  // namespace tarn::overprint
