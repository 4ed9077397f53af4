#include "app/NodeKinds.h"


namespace vandrel::app {

namespace {

// The status word; 0 when the text is empty or no number.
long long StatusBits(const std::string& Status) {
  if (Status.empty()) return 0;
  try {
    return std::stoll(Status);
  } catch (...) {
    return 0;
  }
}

}  // namespace

int StatusImage(const std::string& Status) {
  const long long s = StatusBits(Status);
  if (s & 0x100) return nkDatabaseDamaged;
  if (s & 0x200) return nkDatabaseOffline;
  return nkDatabase;
}

int DatabaseMarks(const std::string& Status) {
  const long long s = StatusBits(Status);
  return ((s & 0x400) ? dmReadOnly : dmNone) | ((s & 0x1000) ? dmSingleUser : dmNone);
}

std::string TNodeIdentity::Key() const {
  int kind = Kind;
  if (IsDatabaseKind(kind)) kind = nkDatabase;
  else if (kind == nkServerLost) kind = nkServer;
  else if (kind == nkDatabasesFolderAlt) kind = nkDatabasesFolder;
  // Each part with its length first, so that no character of a name can fake a boundary.
  std::string key = std::to_string(kind);
  for (const std::string* part : {&Database, &Owner, &Table, &Name})
    key += "|" + std::to_string(part->size()) + ":" + *part;
  return key;
}

std::string ComposeServerName(const std::string& Server, const std::string& Instance) {
  if (Instance.empty() || Server.find('\\') != std::string::npos) return Server;
  return Server + "\\" + Instance;
}

bool IsSystemDatabase(const std::string& Name) {
  return Name == "master" || Name == "model" || Name == "msdb" || Name == "tempdb";
}

}  // namespace vandrel::app
