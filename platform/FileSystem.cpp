#include "platform/FileSystem.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace vandrel::platform {

bool FileExists(const AnsiString& Path) {
  struct stat St;
  return !Path.empty() && stat(Path.c_str(), &St) == 0 && !S_ISDIR(St.st_mode);
}

bool DirectoryExists(const AnsiString& Path) {
  struct stat St;
  return !Path.empty() && stat(Path.c_str(), &St) == 0 && S_ISDIR(St.st_mode);
}

bool CreateDirectory(const AnsiString& Path) {
  if (Path.empty()) {
    errno = ENOENT;
    return false;
  }
  return mkdir(Path.c_str(), 0777) == 0;  // the umask narrows the mode as for any new directory
}

bool ForceDirectories(const AnsiString& Path) {
  if (DirectoryExists(Path)) return true;
  AnsiString Trimmed = Path;
  while (Trimmed.size() > 1 && Trimmed.back() == '/') Trimmed.pop_back();
  const size_t Slash = Trimmed.rfind('/');
  if (Slash != AnsiString::npos && Slash > 0 && !ForceDirectories(Trimmed.substr(0, Slash))) return false;
  // Another process may create it between the check and here: that is success too.
  if (CreateDirectory(Trimmed) || (errno == EEXIST && DirectoryExists(Trimmed))) return true;
  if (errno == EEXIST) errno = ENOTDIR;
  return false;
}

AnsiString HomeDirectory() {
  const char* Home = std::getenv("HOME");
  if (Home && *Home) return Home;
  if (const passwd* Pw = getpwuid(getuid())) return Pw->pw_dir;
  return "";
}

}  // namespace vandrel::platform
