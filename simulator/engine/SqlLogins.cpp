#include "engine/SqlLogins.h"

#include "engine/PasswordHash.h"
#include "engine/Statements.h"
#include "engine/SystemTables.h"
#include "engine/Values.h"

namespace msde {
namespace {

using T = SqlType;

void SqlLoginsView(Context& ctx, Database&, RowSource& out) {
  out.columns = {Column("name", T::NVarChar, 128, false), Column("principal_id", T::Int, 0, false),
                 BinaryColumn("sid", 85), Column("type", T::Char, 1, false), Column("type_desc", T::NVarChar, 60),
                 Column("is_disabled", T::Bit), Column("default_database_name", T::NVarChar, 128),
                 Column("is_policy_checked", T::Bit), Column("is_expiration_checked", T::Bit),
                 BinaryColumn("password_hash", 256)};
  int64_t id = 1;
  for (const Login& l : ctx.model.logins) {
    if (l.is_nt_name) continue;
    out.owned.push_back({l.name, id, l.sid, std::string("S"), std::string("SQL_LOGIN"), int64_t{0},
                         l.default_database, int64_t{0}, int64_t{0}, StoredPasswordHash(l, true)});
    id = id == 1 ? 259 : id + 1;
  }
}

const SystemTableRegistration sql_logins("sys.sql_logins", false, SqlLoginsView);

}  // namespace

Value PasswordCompare(EvalEnv&, const std::vector<Value>& args) {
  if (args.size() < 2 || IsNull(args[0]) || IsNull(args[1])) return std::monostate{};
  return int64_t{PasswordMatches(HashBytesOf(ValueText(args[1])), ValueText(args[0])) ? 1 : 0};
}

Value LoginSid(EvalEnv& env, const std::vector<Value>& args) {
  const Login* login = args.empty() ? env.ctx.CurrentLogin()
                       : IsNull(args[0]) ? nullptr
                                         : env.ctx.model.FindLogin(ValueText(args[0]));
  return login ? Value{login->sid} : Value{};
}

Value LoginNameOfSid(EvalEnv& env, const std::vector<Value>& args) {
  if (args.empty()) return env.ctx.session.login;
  if (IsNull(args[0])) return std::monostate{};
  const std::string sid = ValueText(args[0]);
  for (const Login& l : env.ctx.model.logins)
    if (l.sid == sid) return l.name;
  return std::monostate{};
}

}  // namespace msde
