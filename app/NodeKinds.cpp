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

bool IsDatabaseKind(int Kind) {
  return Kind == nkDatabase || Kind == nkDatabaseOffline || Kind == nkDatabaseDamaged || Kind == nkDatabaseOther ||
         (Kind >= nkDatabaseNoAccess && Kind <= nkDatabaseEmergency);
}

bool IsUsableDatabaseKind(int Kind) {
  return Kind == nkDatabase || Kind == nkDatabaseSingleUser || Kind == nkDatabaseReadOnly;
}

bool IsStoppedDatabaseKind(int Kind) {
  return Kind == nkDatabaseOffline || Kind == nkDatabaseDamaged || Kind == nkDatabaseEmergency;
}

int StatusImage(const std::string& Status) {
  const long long s = StatusBits(Status);
  if (s & 0x100) return nkDatabaseDamaged;
  if (s & 0x200) return nkDatabaseOffline;
  return nkDatabase;
}

int DatabaseKind(const TDatabaseReport& Report) {
  const std::string& status = Report.Status;
  if (status == "EMERGENCY") return nkDatabaseEmergency;
  const int bits = StatusImage(Report.StatusBits);
  if (bits == nkDatabaseDamaged || status == "SUSPECT") return nkDatabaseDamaged;
  if (bits == nkDatabaseOffline || status == "OFFLINE") return nkDatabaseOffline;
  if (status == "RESTORING" || status == "RECOVERING") return nkDatabaseRestoring;
  const int marks = DatabaseMarks(Report);
  if (marks & dmSingleUser) return nkDatabaseSingleUser;
  if (Report.Access == "0") return nkDatabaseNoAccess;
  if (marks & dmReadOnly) return nkDatabaseReadOnly;
  return nkDatabase;
}

bool MayOpenDatabase(const TDatabaseReport& Report) {
  return IsUsableDatabaseKind(DatabaseKind(Report)) && Report.Access != "0";
}

std::string StateSuffix(int Kind) {
  switch (Kind) {
    case nkDatabaseOffline: return " (Offline)";
    case nkDatabaseDamaged: return " (Uszkodzona)";
    case nkDatabaseNoAccess: return " (Brak dostępu)";
    case nkDatabaseSingleUser: return " (Single User)";
    case nkDatabaseReadOnly: return " (Tylko do odczytu)";
    case nkDatabaseRestoring: return " (Odtwarzanie)";
    case nkDatabaseEmergency: return " (Wstrzymana)";
    default: return {};
  }
}

int DatabaseMarks(const TDatabaseReport& Report) {
  const long long s = StatusBits(Report.StatusBits);
  const bool known = !Report.Status.empty();
  const bool readOnly = known ? Report.Updateability == "READ_ONLY" : (s & 0x400) != 0;
  const bool singleUser = known ? Report.UserAccess == "SINGLE_USER" : (s & 0x1000) != 0;
  return (readOnly ? dmReadOnly : dmNone) | (singleUser ? dmSingleUser : dmNone);
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
