#pragma once
// Reading the process environment.

#include <string>

namespace tarn {

// The value of environment variable `name`, empty when it is not set.
std::string EnvironmentValue(const std::string& name);

}  // namespace tarn
