#include "engine/DatabaseFiles.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace msde {

std::optional<std::string> ReadWholeFile(const std::string& path) {
  if (path.empty()) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

bool WriteFileAtomically(const std::string& path, const std::string& text) {
  if (path.empty()) return false;
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out << text;
    if (!out.flush()) {
      out.close();
      std::remove(temporary.c_str());
      return false;
    }
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

const Database* DatabaseUsingFile(const Model& model, const std::string& local) {
  if (local.empty()) return nullptr;
  for (const Database& db : model.databases)
    for (const DbFile& f : db.files)
      if (model.LocalPath(f.filename) == local) return &db;
  return nullptr;
}

void MapUsers(Model& model, Database& db) {
  for (DbUser& u : db.users) {
    if (u.is_role) continue;
    if (u.name == "dbo") {
      u.login = db.owner_login;
      continue;
    }
    u.login.clear();
    for (const Login& l : model.logins)
      if (!u.sid.empty() && l.sid == u.sid) u.login = l.name;
  }
}

}  // namespace msde
