#pragma once
// The directories the tools know by their Windows names, mapped onto Linux. Each path is
// returned without a trailing separator (except the root "/"), read at the moment of use.
#include <string>

namespace vandrel::platform {

// Where the system's own programs live: VANDREL_SYSTEM_DIR when set, else /usr/bin.
std::string SystemDirectory();
// The stand-in for the Windows directory, where system-wide configuration lives:
// VANDREL_WINDOWS_DIR when set, else /etc.
std::string WindowsDirectory();
// TMPDIR when set, else /tmp.
std::string TempDirectory();
// The process's current directory; "" when it cannot be read (it was removed).
std::string CurrentDirectory();
// Changes the process's current directory; false (errno set) when that fails.
bool SetCurrentDirectory(const std::string& Path);

}  // namespace vandrel::platform
