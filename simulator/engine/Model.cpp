#include "engine/Model.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "engine/Values.h"

namespace msde {

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

bool EqualNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) ==
                  std::toupper(static_cast<unsigned char>(y));
         });
}

std::optional<Value> Database::PropertyEx(const std::string& property, bool is2005) const {
  const std::string p = Upper(property);
  auto flag = [](bool on) { return Value{int64_t{on ? 1 : 0}}; };
  if (p == "USERACCESS")
    return Value{std::string(Has(DbStatus::SingleUser)   ? "SINGLE_USER"
                             : Has(DbStatus::DboUseOnly) ? "RESTRICTED_USER"
                                                         : "MULTI_USER")};
  if (p == "STATUS") {
    if (is2005 && Has(DbStatus::EmergencyMode)) return Value{std::string("EMERGENCY")};
    if (Has(DbStatus::Offline)) return Value{std::string("OFFLINE")};
    if (Has(DbStatus::NotRecovered)) return Value{std::string("SUSPECT")};
    if (Has(DbStatus::Loading)) return Value{std::string("RESTORING")};
    if (Has(DbStatus::Recovering) || Has(DbStatus::PreRecovery))
      return Value{std::string("RECOVERING")};
    return Value{std::string("ONLINE")};
  }
  if (p == "UPDATEABILITY")  // 2005's emergency mode reads only
    return Value{std::string(Has(DbStatus::ReadOnly) || (is2005 && Has(DbStatus::EmergencyMode)) ? "READ_ONLY"
                                                                                                : "READ_WRITE")};
  if (p == "RECOVERY")
    return Value{std::string(Has(DbStatus::TruncLogOnChkpt)      ? "SIMPLE"
                             : Has(DbStatus::SelectIntoBulkCopy) ? "BULK_LOGGED"
                                                                 : "FULL")};
  if (p == "ISAUTOCLOSE") return flag(Has(DbStatus::AutoClose));
  if (p == "ISAUTOSHRINK") return flag(Has(DbStatus::AutoShrink));
  if (p == "ISTORNPAGEDETECTIONENABLED") return flag(Has(DbStatus::TornPageDetection));
  if (p == "ISAUTOCREATESTATISTICS") return flag(auto_create_statistics);
  if (p == "ISAUTOUPDATESTATISTICS") return flag(auto_update_statistics);
  if (p == "ISINSTANDBY") return flag(false);
  if (p == "ISANSINULLDEFAULT") return flag((status2 & 0x4000) != 0);
  if (p == "ISNULLCONCAT") return flag((status2 & 0x10000) != 0);
  if (p == "ISRECURSIVETRIGGERSENABLED") return flag((status2 & 0x20000) != 0);
  if (p == "ISQUOTEDIDENTIFIERSENABLED") return flag((status2 & 0x800000) != 0);
  if (p == "ISANSINULLSENABLED") return flag((status2 & 0x4000000) != 0);
  if (p == "ISANSIWARNINGSENABLED") return flag((status2 & 0x10000000) != 0);
  if (p == "ISFULLTEXTENABLED") return flag((status2 & 0x20000000) != 0);
  if (p == "VERSION") return Value{int64_t{version}};
  if (p == "SQLSORTORDER") return Value{int64_t{0}};
  return std::nullopt;
}

const std::string& Database::PrimaryFile() const {
  static const std::string none;
  for (const DbFile& f : files)
    if (f.fileid == 1) return f.filename;
  return none;
}

DbUser* Database::FindUser(const std::string& user) {
  const std::string wanted = UpperText(user);  // Polish letters fold too, as for logins
  for (DbUser& u : users)
    if (UpperText(u.name) == wanted) return &u;
  return nullptr;
}

DbUser* Database::FindUserByLogin(const std::string& login) {
  for (DbUser& u : users)
    if (!u.is_role && !u.login.empty() && EqualNoCase(u.login, login)) return &u;
  return nullptr;
}

Table* Database::FindTable(const std::string& owner, const std::string& table) {
  Table* found = nullptr;
  for (Table& t : tables) {
    if (!EqualNoCase(t.name, table)) continue;
    if (!owner.empty()) {
      if (EqualNoCase(t.owner, owner)) return &t;
      continue;
    }
    // Without an owner SQL Server looks for the dbo's object; any single match serves here.
    if (t.owner == "dbo" || found == nullptr) found = &t;
  }
  return found;
}

Table* Database::FindTableById(int id) {
  for (Table& t : tables)
    if (t.id == id) return &t;
  return nullptr;
}

StoredProcedure* Database::FindProcedure(const std::string& owner, const std::string& name) {
  for (StoredProcedure& p : procedures)
    if (EqualNoCase(p.name, name) && (owner.empty() || EqualNoCase(p.owner, owner))) return &p;
  return nullptr;
}

int Database::NextObjectId() const {
  int id = 1977058079;  // object ids of user tables are large, as SQL Server hands them out
  for (const Table& t : tables) id = std::max(id, t.id + 16);
  for (const StoredProcedure& p : procedures) id = std::max(id, p.id + 16);
  return id;
}

Database* Model::FindDatabase(const std::string& name) {
  for (Database& d : databases)
    if (EqualNoCase(d.name, name)) return &d;
  return nullptr;
}

Database* Model::FindDatabase(int dbid) {
  for (Database& d : databases)
    if (d.dbid == dbid) return &d;
  return nullptr;
}

Login* Model::FindLogin(const std::string& name) {
  // Letters beyond ASCII (Zażółć, ZAŻÓŁĆ) compare without regard to case too.
  const std::string wanted = UpperText(name);
  for (Login& l : logins)
    if (UpperText(l.name) == wanted) return &l;
  return nullptr;
}

ConfigOption* Model::FindOption(const std::string& name) {
  ConfigOption* match = nullptr;
  int matches = 0;
  for (ConfigOption& o : configuration) {
    if (EqualNoCase(o.name, name)) return &o;
    if (o.name.size() > name.size() && EqualNoCase(o.name.substr(0, name.size()), name)) {
      match = &o;
      ++matches;
    }
  }
  return matches == 1 ? match : nullptr;
}

int Model::NextDbid() const {
  int id = 5;
  for (;; ++id) {
    bool taken = false;
    for (const Database& d : databases) taken = taken || d.dbid == id;
    if (!taken) return id;
  }
}

int Model::NextSpid() const {
  int spid = 51;
  while (sessions.count(spid) != 0 || rollbacks.count(spid) != 0) ++spid;
  return spid;
}

int RollingBack::Percent() const {
  if (seconds <= 0) return 100;
  const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started);
  return static_cast<int>(std::min<int64_t>(100, elapsed.count() * 100 / seconds));
}

int64_t RollingBack::SecondsLeft() const {
  const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started);
  return std::max<int64_t>(0, seconds - elapsed.count());
}

void Model::EndFinishedRollbacks() {
  for (auto it = rollbacks.begin(); it != rollbacks.end();)
    it = it->second.Percent() >= 100 ? rollbacks.erase(it) : std::next(it);
}

void Model::AddDatabase(Database db) {
  auto at = std::find_if(databases.begin(), databases.end(),
                         [&](const Database& d) { return d.dbid > db.dbid; });
  databases.insert(at, std::move(db));
}

std::vector<Session*> Model::SessionsIn(const std::string& name, const Session* except) {
  std::vector<Session*> result;
  for (auto& [spid, s] : sessions)
    if (s.get() != except && EqualNoCase(s->database, name)) result.push_back(s.get());
  return result;
}

std::vector<std::string> PathComponents(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : path) {
    if (c == '\\' || c == '/') {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

std::vector<DiskRoot> Model::Roots() const {
  std::vector<DiskRoot> roots = {{PathComponents(server.DataDirectory()), files_dir, false},
                                 {PathComponents(server.BackupDirectory()), files_dir, false}};
  for (const Share& s : shares) roots.push_back({PathComponents(s.unc), s.dir, true});
  return roots;
}

bool IsUncPath(const std::string& path) {
  return path.size() > 2 && (path[0] == '\\' || path[0] == '/') && (path[1] == '\\' || path[1] == '/');
}

std::string Model::LocalPath(const std::string& path) const {
  const std::vector<std::string> parts = PathComponents(path);
  if (parts.empty()) return "";
  const bool absolute = (parts[0].size() == 2 && parts[0][1] == ':') || path[0] == '\\' || path[0] == '/';
  size_t first = 0;  // the first component below the root's directory
  std::filesystem::path local = files_dir;
  if (absolute) {
    bool below = false;
    for (const DiskRoot& root : Roots()) {
      const std::vector<std::string>& dir = root.components;
      if (root.unc == IsUncPath(path) && parts.size() > dir.size() &&
          std::equal(dir.begin(), dir.end(), parts.begin(), EqualNoCase)) {
        below = true;
        first = dir.size();
        local = root.local;
      }
    }
    // The files directory named by its own local path, as a file chooser on this machine
    // names it.
    const std::vector<std::string> own = PathComponents(files_dir);
    if (!below && path[0] == '/' && parts.size() > own.size() && std::equal(own.begin(), own.end(), parts.begin())) {
      below = true;
      first = own.size();
    }
    if (!below) return "";
  }
  std::error_code error;
  for (size_t i = first; i < parts.size(); ++i) {
    const bool last = i + 1 == parts.size();
    std::filesystem::path next = local / parts[i];
    for (const auto& entry : std::filesystem::directory_iterator(local, error))
      if (EqualNoCase(entry.path().filename().string(), parts[i])) next = entry.path();
    if (!last && !std::filesystem::is_directory(next, error)) return "";
    local = next;
  }
  return local.string();
}

}  // namespace msde
