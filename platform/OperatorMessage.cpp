#include "platform/OperatorMessage.h"

#include "platform/StandardStreams.h"

namespace tarn {

void ShowOperatorMessage(const std::string& caption, const std::string& text) {
    // Nowhere else to report a failing standard error to.
    WriteStandardError(caption + ": " + text + "\n");
}

}  // namespace tarn
