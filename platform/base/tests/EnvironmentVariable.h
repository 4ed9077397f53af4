#pragma once
// Sets an environment variable (or removes it, for a null value) for one scope and puts the
// old value back at its end.
#include <stdlib.h>

#include <optional>
#include <string>

namespace vandrel::platform::test {

class TEnvironmentVariable {
 public:
  TEnvironmentVariable(const char* Name, const char* Value) : FName(Name) {
    if (const char* Old = getenv(Name)) FOld = Old;
    Value ? setenv(Name, Value, 1) : unsetenv(Name);
  }
  ~TEnvironmentVariable() { FOld ? setenv(FName, FOld->c_str(), 1) : unsetenv(FName); }
  TEnvironmentVariable(const TEnvironmentVariable&) = delete;
  TEnvironmentVariable& operator=(const TEnvironmentVariable&) = delete;

 private:
  const char* FName;
  std::optional<std::string> FOld;
};

}  // namespace vandrel::platform::test
