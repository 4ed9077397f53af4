#pragma once
// Opening a web address in the user's browser, through the desktop's xdg-open.
#include <string>

namespace vandrel::platform {

// Starts "xdg-open Address" and returns at once; false when xdg-open could not be started.
// The address is passed as one argument, never through a shell.
bool OpenWebAddress(const std::string& Address);

}  // namespace vandrel::platform
