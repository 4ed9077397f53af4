#include "app/ServerPaths.h"

#include <unistd.h>

#include "foundation/AsciiCase.h"

namespace vandrel::app {

std::string PathInDirectory(const std::string& Directory, const std::string& Name) {
  if (Directory.empty()) return Name;
  const char last = Directory.back();
  if (last == '\\' || last == '/') return Directory + Name;
  return Directory + (Directory.find('\\') != std::string::npos ? "\\" : "/") + Name;
}

std::string FileNameProblem(const std::string& Database) {
  bool forbidden = Database.find("..") != std::string::npos;
  for (unsigned char c : Database)
    if (c < 0x20 || std::string("\\/<>:\"|?*").find(char(c)) != std::string::npos) forbidden = true;
  if (!forbidden) return {};
  return "Nazwa bazy \"" + Database +
         "\" nie może być częścią nazwy pliku na dysku serwera: nie może zawierać \"..\", znaków \\ / < > : \" | ? * "
         "ani znaków sterujących.";
}

std::string BackupFileName(const std::string& Database, const std::string& Day) {
  return Database + "_" + Day + ".bak";
}

bool IsThisMachine(const std::string& Server) {
  std::string host = AsciiLower(Server.substr(0, Server.find_first_of(",\\")));
  if (host == "(local)" || host == "." || host == "localhost" || host == "::1" ||
      host.rfind("127.", 0) == 0)
    return true;
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return false;
  const std::string self = AsciiLower(name);
  return host == self || host == self.substr(0, self.find('.'));
}

}  // namespace vandrel::app
