// sp_helpuser and sp_helplogins: database users and server logins as SQL Server 2000
// reports them (sp_helpuser with SQL Server 2005's roles and default schema on a 2005 server).
#include <algorithm>

#include "engine/SystemTables.h"
#include "engine/Values.h"

namespace msde {
namespace {

using T = SqlType;

const Login* LoginOf(Context& ctx, Database& db, const DbUser& user) {
  if (user.name == "dbo") return ctx.model.FindLogin(db.owner_login);
  for (const Login& l : ctx.model.logins)
    if ((!user.sid.empty() && l.sid == user.sid) || (!user.login.empty() && EqualNoCase(l.name, user.login)))
      return &l;
  return nullptr;
}

Value NameOrNull(const Login* login, const std::string Login::*field) {
  return login ? Value{login->*field} : Value{};
}

void AddUserRows(Context& ctx, Database& db, const DbUser& u, std::vector<Row>& rows) {
  const Login* login = LoginOf(ctx, db, u);
  const Value sid = u.sid.empty() ? (login ? Value{login->sid} : Value{})
                                  : Value{u.sid};
  std::vector<std::string> groups = u.roles;
  if (groups.empty()) groups.push_back("public");
  for (const std::string& g : groups) {
    rows.push_back({u.name, g, NameOrNull(login, &Login::name),
                    NameOrNull(login, &Login::default_database), int64_t{u.uid}, sid});
    // SQL Server 2005 adds the user's default schema after the default database.
    if (ctx.model.server.Is2005()) rows.back().insert(rows.back().begin() + 4, Value{std::string("dbo")});
  }
}

void SortRows(std::vector<Row>& rows, std::initializer_list<size_t> keys) {
  std::stable_sort(rows.begin(), rows.end(), [&](const Row& a, const Row& b) {
    for (size_t k : keys) {
      if (IsNull(a[k]) != IsNull(b[k])) return IsNull(a[k]);
      if (IsNull(a[k])) continue;
      const int c = CompareValues(a[k], b[k]);
      if (c != 0) return c < 0;
    }
    return false;
  });
}

void SpHelpUser(Context& ctx, const ProcArgs& args) {
  Database& db = ctx.CurrentDatabase();
  ResultSet users;
  users.columns = {Column("UserName", T::NVarChar, 128), Column("GroupName", T::NVarChar, 128),
                   Column("LoginName", T::NVarChar, 128), Column("DefDBName", T::NVarChar, 128),
                   Column("UserID", T::SmallInt),         BinaryColumn("SID", 85)};
  if (ctx.model.server.Is2005()) {
    users.columns[1].name = "RoleName";
    users.columns.insert(users.columns.begin() + 4, Column("DefSchemaName", T::NVarChar, 128));
  }
  if (!args.Has("@name_in_db")) {
    for (const DbUser& u : db.users)
      if (!u.is_role) AddUserRows(ctx, db, u, users.rows);
    SortRows(users.rows, {0, 1});
    ctx.SendResult(users);
    return;
  }
  const std::string name = args.Text("@name_in_db");
  const DbUser* found = db.FindUser(name);
  if (found == nullptr)
    ctx.Fail(15198, 16, 1, "The name supplied (" + name + ") is not a user, role, or aliased login.");
  if (!found->is_role) {
    AddUserRows(ctx, db, *found, users.rows);
    SortRows(users.rows, {1});
    ctx.SendResult(users);
    return;
  }
  ResultSet members;
  members.columns = {Column("Group_name", T::NVarChar, 128), Column("Group_id", T::SmallInt),
                     Column("Users_in_group", T::NVarChar, 128), Column("Userid", T::SmallInt)};
  for (const DbUser& u : db.users) {
    if (u.is_role) continue;
    const bool member = found->name == "public" ||
                        std::any_of(u.roles.begin(), u.roles.end(),
                                    [&](const std::string& r) { return EqualNoCase(r, found->name); });
    if (member) members.rows.push_back({found->name, int64_t{found->uid}, u.name, int64_t{u.uid}});
  }
  if (members.rows.empty()) members.rows.push_back({found->name, int64_t{found->uid}, Value{}, Value{}});
  if (ctx.model.server.Is2005()) {
    members.columns[0].name = "Role_name";
    members.columns[1].name = "Role_id";
    members.columns[2].name = "Users_in_role";
  }
  SortRows(members.rows, {2});
  ctx.SendResult(members);
}

void SpHelpLogins(Context& ctx, const ProcArgs& args) {
  const std::string pattern = args.Text("@LoginNamePattern", "%");
  ResultSet logins, mappings;
  logins.columns = {Column("LoginName", T::NVarChar, 128), BinaryColumn("SID", 85),
                    Column("DefDBName", T::NVarChar, 128), Column("DefLangName", T::NVarChar, 128),
                    Column("AUser", T::Char, 5), Column("ARemote", T::Char, 7)};
  mappings.columns = {Column("LoginName", T::NVarChar, 128), Column("DBName", T::NVarChar, 128),
                      Column("UserName", T::NVarChar, 128), Column("UserOrAlias", T::Char, 8)};
  for (const Login& l : ctx.model.logins) {
    if (!LikeMatch(l.name, pattern)) continue;
    bool has_user = false;
    for (Database& db : ctx.model.databases) {
      if (db.Has(DbStatus::Offline) || db.Has(DbStatus::NotRecovered)) continue;
      for (const DbUser& u : db.users) {
        if (u.is_role || LoginOf(ctx, db, u) != &l) continue;
        has_user = true;
        mappings.rows.push_back({l.name, db.name, u.name, Padded("User", 8)});
        for (const std::string& role : u.roles)
          mappings.rows.push_back({l.name, db.name, role, Padded("MemberOf", 8)});
      }
    }
    logins.rows.push_back({l.name, l.sid, l.default_database, l.language,
                           Padded(has_user ? "yes" : "no", 5), Padded("no", 7)});
  }
  if (logins.rows.empty() && args.Has("@LoginNamePattern"))
    ctx.Fail(15007, 16, 1, "'" + pattern + "' is not a valid login or you do not have permission.");
  SortRows(logins.rows, {0});
  SortRows(mappings.rows, {0, 1, 2});
  ctx.SendResult(logins);
  ctx.SendResult(mappings);
}

const ProcedureRegistration sp_helpuser("sp_helpuser", {{"@name_in_db"}}, SpHelpUser);
const ProcedureRegistration sp_helplogins("sp_helplogins", {{"@LoginNamePattern"}}, SpHelpLogins);

}  // namespace
}  // namespace msde
