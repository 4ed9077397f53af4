#pragma once
// What the login the server accepted may do: its server roles, read with its name right after
// each connect, and whether it owns (db_owner) a database, asked once per database when a
// node in it is first chosen. Nothing more is asked for a sysadmin, who may do everything.
#include <map>
#include <string>

namespace vandrel::app {

// Names the login and its server roles, in one statement.
extern const char* const kLoginRightsQuery;
// Asked in the database itself (SQL Server 2000 answers IS_MEMBER only there).
extern const char* const kDbOwnerQuery;

struct TLoginRights {
  // True until a connect says otherwise: before it, no command is held back.
  bool Sysadmin = true, Dbcreator = true, Processadmin = true;
  // Whether the login is db_owner of a database, by its name in upper case, as far as it is
  // known; a database missing here has not been asked, or could not be.
  std::map<std::string, bool> DbOwner;

  // The roles from the columns of kLoginRightsQuery after the name ("1" for a member).
  void SetRoles(const std::string& SysadminCell, const std::string& DbcreatorCell, const std::string& ProcessadminCell);
  // Whether Database's ownership is to be asked: the login is no sysadmin and it was not yet.
  bool Unknown(const std::string& Database) const;
  void SetDbOwner(const std::string& Database, bool Owner);
  // Whether the login may act as Database's owner; true while that is not known.
  bool MayOwn(const std::string& Database) const;
};

}  // namespace vandrel::app
