#include "overprint/Messages.h"

#include "platform/StandardStreams.h"

namespace tarn::overprint {

// A console that cannot be written to leaves nothing to report the failure
// on, so its status is dropped here.
void PrintOut(const std::string& text) { (void)WriteStandardOutput(text); }

void PrintErr(const std::string& text) { (void)WriteStandardError(text); }

}  // namespace tarn::overprint
