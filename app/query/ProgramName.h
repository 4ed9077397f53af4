#pragma once
// The program name a connection string gives the server (APP, shown in sysprocesses and
// sp_who): the query window's session is told apart from the main window's by it.
#include <string>

namespace vandrel::app {

// ConnectString with its APP key (any case, braced or not) replaced by Program (a name
// without ";" or braces).
std::string WithProgramName(const std::string& ConnectString, const std::string& Program);

}  // namespace vandrel::app
