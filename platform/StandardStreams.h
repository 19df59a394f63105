#pragma once
// The process's standard input, output and error, unbuffered: each call is
// one write, so log collectors and operators see every line as it happens.

#include <cstddef>
#include <string>

#include "platform/Status.h"

namespace tarn {

Status WriteStandardOutput(const char* data, std::size_t size);
inline Status WriteStandardOutput(const std::string& text) {
    return WriteStandardOutput(text.data(), text.size());
}
Status WriteStandardError(const std::string& text);
// Reads up to `maximum` bytes of standard input; *count is 0 at its end.
Status ReadStandardInput(char* buffer, std::size_t maximum, std::size_t* count);

}  // namespace tarn
