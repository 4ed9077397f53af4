#include "platform/base/Directories.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace vandrel::platform {

namespace {

std::string WithoutTrailingSeparators(std::string Path) {
  while (Path.size() > 1 && Path.back() == '/') Path.pop_back();
  return Path;
}

std::string FromEnvironment(const char* Variable, const char* Default) {
  const char* Value = std::getenv(Variable);
  return WithoutTrailingSeparators(Value != nullptr && *Value != '\0' ? Value : Default);
}

}  // namespace

std::string SystemDirectory() { return FromEnvironment("VANDREL_SYSTEM_DIR", "/usr/bin"); }

std::string WindowsDirectory() { return FromEnvironment("VANDREL_WINDOWS_DIR", "/etc"); }

std::string TempDirectory() { return FromEnvironment("TMPDIR", "/tmp"); }

std::string CurrentDirectory() {
  // A path may be longer than any fixed buffer: grow until it fits.
  std::vector<char> Buffer(256);
  while (getcwd(Buffer.data(), Buffer.size()) == nullptr) {
    if (errno != ERANGE) return "";
    Buffer.resize(Buffer.size() * 2);
  }
  return Buffer.data();
}

bool SetCurrentDirectory(const std::string& Path) {
  return !Path.empty() && chdir(Path.c_str()) == 0;
}

}  // namespace vandrel::platform
