#include "app/NodeKinds.h"

#include "foundation/Trim.h"

namespace vandrel::app {

int StatusImage(const std::string& Status) {
  if (Status.empty()) return nkDatabase;
  long long s = 0;
  try {
    s = std::stoll(Status);
  } catch (...) {
    return nkDatabase;
  }
  if (s & 0x100) return nkDatabaseDamaged;
  if (s & 0x200) return nkDatabaseOffline;
  return nkDatabase;
}

std::string StripStateSuffix(const std::string& Text) {
  for (const char* suffix : {"(Offline)", "(Uszkodzona)"}) {
    size_t at = Text.find(suffix);
    if (at != std::string::npos) return std::string(Trim(std::string_view(Text).substr(0, at)));
  }
  return Text;
}

std::string ComposeServerName(const std::string& Server, const std::string& Instance) {
  if (Instance.empty() || Server.find('\\') != std::string::npos) return Server;
  return Server + "\\" + Instance;
}

bool IsSystemDatabase(const std::string& Name) {
  return Name == "master" || Name == "model" || Name == "msdb" || Name == "tempdb";
}

}  // namespace vandrel::app
