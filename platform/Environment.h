#pragma once
// The process environment, read as text.
#include <cstdlib>
#include <string>

namespace vandrel::platform {

// The value of environment variable Name, empty when it is not set.
inline std::string EnvironmentValue(const char* Name) {
  const char* Value = std::getenv(Name);
  return Value ? Value : "";
}

}  // namespace vandrel::platform
