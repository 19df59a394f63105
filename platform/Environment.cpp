#include "platform/Environment.h"

#include <cstdlib>

namespace tarn {

std::string EnvironmentValue(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    return value != nullptr ? std::string(value) : std::string();
}

}  // namespace tarn
