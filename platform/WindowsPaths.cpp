#include "platform/WindowsPaths.h"

#include <cctype>
#include <cstdlib>

#include "platform/FileSystem.h"

namespace vandrel::platform {

std::string LocalPathOf(const std::string& WindowsPath) {
  std::string Path = WindowsPath;
  for (char& C : Path) {
    if (C == '\\') C = '/';
  }
  if (Path.size() < 2 || Path[1] != ':' || !std::isalpha(static_cast<unsigned char>(Path[0]))) return Path;
  const char* Prefix = std::getenv("WINEPREFIX");
  const std::string Root = Prefix && *Prefix ? std::string(Prefix) : HomeDirectory() + "/.wine";
  const char Drive = static_cast<char>(std::tolower(static_cast<unsigned char>(Path[0])));
  std::string Rest = Path.substr(2);
  if (!Rest.empty() && Rest[0] != '/') Rest = "/" + Rest;
  if (Rest == "/") Rest.clear();
  return Root + "/drive_" + Drive + Rest;
}

}  // namespace vandrel::platform
