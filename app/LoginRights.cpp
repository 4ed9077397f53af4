#include "app/LoginRights.h"

#include <algorithm>
#include <cctype>

namespace vandrel::app {

const char* const kLoginRightsQuery =
    "select SUSER_SNAME(), IS_SRVROLEMEMBER('sysadmin'), IS_SRVROLEMEMBER('dbcreator'), "
    "IS_SRVROLEMEMBER('processadmin')";
const char* const kDbOwnerQuery = "select IS_MEMBER('db_owner')";

namespace {

std::string Key(std::string Name) {
  std::transform(Name.begin(), Name.end(), Name.begin(), [](unsigned char c) { return char(std::toupper(c)); });
  return Name;
}

}  // namespace

void TLoginRights::SetRoles(const std::string& SysadminCell, const std::string& DbcreatorCell,
                            const std::string& ProcessadminCell) {
  Sysadmin = SysadminCell == "1";
  Dbcreator = DbcreatorCell == "1";
  Processadmin = ProcessadminCell == "1";
  DbOwner.clear();
}

bool TLoginRights::Unknown(const std::string& Database) const {
  return !Sysadmin && !Database.empty() && DbOwner.count(Key(Database)) == 0;
}

void TLoginRights::SetDbOwner(const std::string& Database, bool Owner) { DbOwner[Key(Database)] = Owner; }

bool TLoginRights::MayOwn(const std::string& Database) const {
  if (Sysadmin || Database.empty()) return true;
  const auto found = DbOwner.find(Key(Database));
  return found == DbOwner.end() || found->second;
}

}  // namespace vandrel::app
