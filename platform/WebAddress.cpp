#include "platform/WebAddress.h"

#include "platform/Process.h"

namespace vandrel::platform {

bool OpenWebAddress(const std::string& Address) {
  return TChildProcess::StartArgs({"xdg-open", Address}).Started();
}

}  // namespace vandrel::platform
