#include "platform/Status.h"

#include <cstring>

namespace tarn {

Status Status::FromErrno(const std::string& context, int err) {
    char buffer[256];
    // GNU strerror_r returns the message, which may not be in buffer.
    const char* text = strerror_r(err, buffer, sizeof buffer);
    return Status(context + ": " + text, err);
}

}  // namespace tarn
