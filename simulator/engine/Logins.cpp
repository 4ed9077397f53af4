// Logins and database users: sp_addlogin, sp_droplogin, sp_adduser, sp_dropuser and
// sp_change_users_login, which ties a database user to a login by the login's sid.
#include <algorithm>
#include <string>

#include "engine/AdminRights.h"
#include "engine/Logins.h"
#include "engine/PasswordHash.h"
#include "engine/SqlTime.h"
#include "engine/Statements.h"

namespace msde {
namespace {

[[noreturn]] void NoPermission(Context& ctx) {
  ctx.Fail(15247, 16, 1, "User does not have permission to perform this action.");
}

const char* kNoLogin = "' does not exist.";

void AddLogin(Context& ctx, const ProcArgs& args) {
  if (!ctx.IsSysadmin()) NoPermission(ctx);
  const std::string name = args.Text("@loginame");
  if (name.empty() || name.find('\\') != std::string::npos)
    ctx.Fail(15006, 16, 1, "'" + name + "' is not a valid name because it contains invalid characters.");
  if (ctx.model.FindLogin(name) != nullptr)
    ctx.Fail(15025, 16, 1, "The login '" + name + "' already exists.");
  Login login;
  login.name = name;
  // skip_encryption: the password given is the hash another server keeps, as a login moves.
  const Value* password = args.Get("@passwd");
  const std::string encrypt = Upper(args.Text("@encryptopt"));
  if (!encrypt.empty() && encrypt != "SKIP_ENCRYPTION" && encrypt != "SKIP_ENCRYPTION_OLD")
    ctx.Fail(15600, 15, 1, "An invalid parameter or option was specified for procedure 'sp_addlogin'.");
  if (!encrypt.empty() && password != nullptr && !IsNull(*password)) {
    login.password_hash = HashBytesOf(ValueText(*password));
    if (!IsPasswordHash(login.password_hash))
      ctx.Fail(15021, 16, 1, "Invalid value given for parameter @passwd. Specify a valid parameter value.");
  } else {
    login.password = args.Text("@passwd");
  }
  if (args.Has("@defdb")) {
    const Database* db = ctx.model.FindDatabase(args.Text("@defdb"));
    if (db == nullptr)
      ctx.Fail(15010, 16, 1,
               "The database '" + args.Text("@defdb") +
                   "' does not exist. Use sp_helpdb to show available databases.");
    login.default_database = db->name;
  }
  login.language = args.Text("@deflanguage", "us_english");
  login.created = NowDateTime();
  if (args.Has("@sid")) {
    login.sid = HashBytesOf(ValueText(*args.Get("@sid")));
    CheckGivenSid(ctx, login.sid);
  } else {
    login.sid = NewSid(ctx.model, name);
  }
  ctx.model.logins.push_back(login);
  ctx.Info(15298, "New login created.");
}

void DropLogin(Context& ctx, const ProcArgs& args) {
  if (!ctx.IsSysadmin()) NoPermission(ctx);
  const std::string name = args.Text("@loginame");
  const Login* login = ctx.model.FindLogin(name);
  if (login == nullptr) ctx.Fail(15007, 16, 1, "The login '" + name + kNoLogin);
  for (Database& db : ctx.model.databases) {
    if (EqualNoCase(db.owner_login, login->name))
      ctx.Fail(15174, 16, 1,
               "Login '" + login->name +
                   "' owns one or more database(s). Change the owner of the database(s) before "
                   "dropping the login.");
    if (db.FindUserByLogin(login->name) != nullptr)
      ctx.Fail(15175, 16, 1,
               "Login '" + login->name +
                   "' is aliased or mapped to a user in one or more database(s). Drop the user "
                   "or alias before dropping the login.");
  }
  std::erase_if(ctx.model.logins, [&](const Login& l) { return &l == login; });
  ctx.Info(0, "Login dropped.", 0);
}

// The next free user id of a database (roles number from 16384 and do not count).
int NextUid(const Database& db) {
  int uid = 5;
  for (const DbUser& u : db.users)
    if (!u.is_role) uid = std::max(uid, u.uid + 1);
  return uid;
}

void AddUser(Context& ctx, const ProcArgs& args) {
  Database& db = ctx.CurrentDatabase();
  if (!IsDbOwner(ctx, db)) NoPermission(ctx);
  ctx.CheckWritable(db);
  const std::string login_name = args.Text("@loginame");
  const Login* login = ctx.model.FindLogin(login_name);
  if (login == nullptr) ctx.Fail(15007, 16, 1, "The login '" + login_name + kNoLogin);
  const std::string name = args.Text("@name_in_db", login->name);
  if (db.FindUser(name) != nullptr)
    ctx.Fail(15023, 16, 1, "User or role '" + name + "' already exists in the current database.");
  if (db.FindUserByLogin(login->name) != nullptr || EqualNoCase(db.owner_login, login->name))
    ctx.Fail(15063, 16, 1, "The login already has an account under a different user name.");
  std::string role;
  if (args.Has("@grpname")) {
    const DbUser* group = db.FindUser(args.Text("@grpname"));
    if (group == nullptr || !group->is_role)
      ctx.Fail(15014, 16, 1,
               "The role '" + args.Text("@grpname") + "' does not exist in the current database.");
    role = group->name;
  }
  DbUser user;
  user.name = name;
  user.login = login->name;
  user.uid = NextUid(db);
  user.sid = login->sid;
  if (!role.empty() && !EqualNoCase(role, "public")) user.roles.push_back(role);
  db.users.push_back(user);
  ctx.Info(0, "Granted database access to '" + login->name + "'.", 0);
  if (!user.roles.empty()) ctx.Info(0, "'" + name + "' added to role '" + role + "'.", 0);
}

// A user that owns no table leaves the database; its login stays.
void DropUser(Context& ctx, const ProcArgs& args) {
  Database& db = ctx.CurrentDatabase();
  if (!IsDbOwner(ctx, db)) NoPermission(ctx);
  ctx.CheckWritable(db);
  const std::string name = args.Text("@name_in_db");
  const DbUser* user = db.FindUser(name);
  if (user == nullptr || user->is_role || user->name == "dbo" || EqualNoCase(user->name, "guest"))
    ctx.Fail(15008, 16, 1, "User '" + name + "' does not exist in the current database.");
  for (const Table& t : db.tables)
    if (EqualNoCase(t.owner, user->name))
      ctx.Fail(15183, 16, 1, "The user owns objects in the database and cannot be dropped.");
  std::erase_if(db.users, [&](const DbUser& u) { return &u == user; });
  ctx.Info(0, "User has been dropped from current database.", 0);
}

[[noreturn]] void AbsentOrInvalid(Context& ctx, const char* what, const std::string& name) {
  ctx.Fail(15291, 16, 1,
           std::string("Terminating this procedure. The ") + what + " name '" + name +
               "' is absent or invalid.");
}

// Ties `user` to `login` as SQL Server does: by taking over the login's sid.
void Map(DbUser& user, const Login& login) {
  user.login = login.name;
  user.sid = login.sid;
}

bool IsOrphan(const Model& model, const DbUser& u) {
  if (u.is_role || u.name == "dbo" || u.name == "guest" || u.name == "INFORMATION_SCHEMA" ||
      u.name == "system_function_schema")
    return false;
  return std::none_of(model.logins.begin(), model.logins.end(),
                      [&](const Login& l) { return !u.sid.empty() && l.sid == u.sid; });
}

void ChangeUsersLogin(Context& ctx, const ProcArgs& args) {
  Database& db = ctx.CurrentDatabase();
  const std::string action = Upper(args.Text("@Action"));
  if (action == "REPORT") {
    ResultSet result;
    result.columns = {{"UserName", SqlType::NVarChar, 128, 0, 0, false}};
    for (const DbUser& u : db.users)
      if (IsOrphan(ctx.model, u)) result.rows.push_back({u.name});
    ctx.SendResult(result);
    return;
  }
  if (!IsDbOwner(ctx, db)) NoPermission(ctx);
  ctx.CheckWritable(db);
  if (action == "UPDATE_ONE") {
    const std::string user_name = args.Text("@UserNamePattern");
    DbUser* user = db.FindUser(user_name);
    if (user == nullptr || user->is_role || user->name == "dbo")
      AbsentOrInvalid(ctx, "User", user_name);
    const std::string login_name = args.Text("@LoginName");
    const Login* login = ctx.model.FindLogin(login_name);
    if (login == nullptr) AbsentOrInvalid(ctx, "Login", login_name);
    const DbUser* holder = db.FindUserByLogin(login->name);
    if ((holder != nullptr && holder != user) || EqualNoCase(db.owner_login, login->name))
      ctx.Fail(15063, 16, 1, "The login already has an account under a different user name.");
    Map(*user, *login);
    return;
  }
  if (action == "AUTO_FIX") {
    int fixed = 0;
    for (DbUser& u : db.users) {
      const Login* login = IsOrphan(ctx.model, u) ? ctx.model.FindLogin(u.name) : nullptr;
      if (login == nullptr || db.FindUserByLogin(login->name) != nullptr) continue;
      ctx.Info(0, "The row for user '" + u.name + "' will be fixed by updating its login link "
                  "to a login already in existence.", 0);
      Map(u, *login);
      ++fixed;
    }
    ctx.Info(0, "The number of orphaned users fixed by updating users was " +
                    std::to_string(fixed) + ".", 0);
    return;
  }
  ctx.Fail(15286, 16, 1, "Terminating this procedure. The Action '" + args.Text("@Action") +
                             "' is incorrect.");
}

const ProcedureRegistration add_login(
    "sp_addlogin",
    {{"@loginame", true}, {"@passwd"}, {"@defdb"}, {"@deflanguage"}, {"@sid"}, {"@encryptopt"}},
    AddLogin);
const ProcedureRegistration drop_login("sp_droplogin", {{"@loginame", true}}, DropLogin);
const ProcedureRegistration add_user("sp_adduser",
                                     {{"@loginame", true}, {"@name_in_db"}, {"@grpname"}},
                                     AddUser);
const ProcedureRegistration drop_user("sp_dropuser", {{"@name_in_db", true}}, DropUser);
const ProcedureRegistration change_users_login(
    "sp_change_users_login",
    {{"@Action", true}, {"@UserNamePattern"}, {"@LoginName"}, {"@Password"}}, ChangeUsersLogin);

}  // namespace

std::string NewSid(const Model& model, const std::string& name) {
  uint64_t h = 0x9E3779B97F4A7C15ULL ^ static_cast<uint64_t>(model.logins.size());
  for (unsigned char c : name) h = (h ^ c) * 0x100000001B3ULL;
  for (;;) {
    std::string sid(16, '\0');
    uint64_t x = h;
    for (size_t i = 0; i < sid.size(); ++i) {
      x = x * 6364136223846793005ULL + 1442695040888963407ULL;
      sid[i] = static_cast<char>(x >> 56);
    }
    const bool taken = std::any_of(model.logins.begin(), model.logins.end(),
                                   [&](const Login& l) { return l.sid == sid; });
    if (!taken) return sid;
    ++h;
  }
}

void CheckGivenSid(Context& ctx, const std::string& sid) {
  if (sid.size() != 16) ctx.Fail(15419, 16, 1, "Supplied parameter sid should be binary(16).");
  for (const Login& l : ctx.model.logins)
    if (l.sid == sid) ctx.Fail(15433, 16, 1, "Supplied parameter sid is in use.");
}

}  // namespace msde
