#pragma once
// Opening a web address in the user's browser, through the desktop's xdg-open.
#include <string>

#include "platform/Process.h"

namespace vandrel::platform {

// Starts "xdg-open Address" (found on PATH), the address passed as one argument, never
// through a shell.
TChildProcess StartWebBrowser(const std::string& Address);

// The same, returning at once; false when xdg-open could not be started.
bool OpenWebAddress(const std::string& Address);

}  // namespace vandrel::platform
