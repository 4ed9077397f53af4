#pragma once
// Opening a file or a web address in the desktop's application for it, through xdg-open.
#include <string>

class QWidget;

namespace vandrel::app {

// Opens Target; when no opener can be started (xdg-open is missing), says so in a message box
// that names the package providing it, and returns false.
bool OpenOnDesktop(QWidget* Parent, const std::string& Target);

}  // namespace vandrel::app
