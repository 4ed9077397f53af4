#pragma once
// The message of the framework exception an action raises, for tests of the tools' errors.
#include <functional>
#include <string>

#include "foundation/Exception.h"

namespace vandrel::testing_support {

inline std::string MessageOf(const std::function<void()>& Action) {
  try {
    Action();
  } catch (const Exception& E) {
    return E.Message;
  }
  return "(no exception)";
}

}  // namespace vandrel::testing_support
