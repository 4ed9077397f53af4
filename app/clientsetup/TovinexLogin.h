#pragma once
// The login through which Tovinex reaches a database. An attach makes it (named like the
// database, numbered past taken names, with the database as its default) and ties the
// database's Tovinex user to it; the UserId of the database's Tovinex key names it. The network
// command and detach find it again from the server's own view, so that neither names nor
// drops a login that is not the database's.
#include <string>
#include <vector>

#include "app/CommandContext.h"

namespace vandrel::app::clientsetup {

// The database user Tovinex works as, from the owners of the database's tables: the one owner
// other than dbo; "dba" when dbo owns every table or several others own tables.
struct TTovinexUser {
  std::string Name;
  bool SeveralOwners = false;
};
TTovinexUser TovinexUserOf(const std::vector<std::string>& TableOwners);

// A user of a database with one of its roles, the login it maps to and that login's default
// database (one per role, as sp_helpuser lists them).
struct TUserLogin {
  std::string User, Role, Login, LoginDatabase;
};
// The users of Database as sp_helpuser reports them; false when they could not be read (the
// SQL error report has shown why).
bool ReadUserLogins(TCommandContext& Context, const std::string& Database, std::vector<TUserLogin>& Users);

// The Tovinex login of Database, as the network command names it: Stored (the key's UserId)
// when the server has that login; else a login an attach made for it (its default database is
// Database and a user of Database is tied to it), one named by the attach's rule first, then
// one whose user is a db_owner. Empty when the database has none; Why is set only when the
// database's users could not be read.
std::string NetworkLogin(TCommandContext& Context, const std::string& Database, const std::string& Stored,
                         std::string& Why);

// Candidate when it is the login an attach made for Database: a user of Database maps to it
// and its default database is Database. Read before the detach; empty, with Why, otherwise.
std::string LoginOfDatabase(TCommandContext& Context, const std::string& Database, const std::string& Candidate,
                            std::string& Why);

// The UserId of Database's Tovinex key; empty when the key or the value is missing. A store
// that cannot be read raises EMRegistryError naming the file (and the line of a damage).
std::string StoredUserId(const std::string& Database);

}  // namespace vandrel::app::clientsetup
