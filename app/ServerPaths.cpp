#include "app/ServerPaths.h"

namespace vandrel::app {

std::string PathInDirectory(const std::string& Directory, const std::string& Name) {
  if (Directory.empty()) return Name;
  const char last = Directory.back();
  if (last == '\\' || last == '/') return Directory + Name;
  return Directory + (Directory.find('\\') != std::string::npos ? "\\" : "/") + Name;
}

std::string BackupFileName(const std::string& Database, const std::string& Day) {
  return Database + "_" + Day + ".bak";
}

}  // namespace vandrel::app
