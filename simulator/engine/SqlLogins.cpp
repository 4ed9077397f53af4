#include "engine/SqlLogins.h"

#include "engine/Statements.h"
#include "engine/SystemTables.h"
#include "engine/Values.h"

namespace msde {
namespace {

using T = SqlType;

// A stand-in of the salted hash SQL Server 2005 stores: its header, then a digest of the
// login's name and password.
std::string HashOf(const std::string& name, const std::string& password) {
  uint64_t h = 1469598103934665603ULL;
  for (char c : name + "\x1f" + password) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
  std::string bytes("\x01\x00", 2);
  for (int i = 0; i < 8; ++i) bytes += static_cast<char>(h >> (8 * i));
  return HexText(bytes);
}

void SqlLoginsView(Context& ctx, Database&, RowSource& out) {
  out.columns = {Column("name", T::NVarChar, 128, false), Column("principal_id", T::Int, 0, false),
                 BinaryColumn("sid", 85), Column("type", T::Char, 1, false), Column("type_desc", T::NVarChar, 60),
                 Column("is_disabled", T::Bit), Column("default_database_name", T::NVarChar, 128),
                 Column("is_policy_checked", T::Bit), Column("is_expiration_checked", T::Bit),
                 BinaryColumn("password_hash", 256)};
  int64_t id = 1;
  for (const Login& l : ctx.model.logins) {
    if (l.is_nt_name) continue;
    out.owned.push_back({l.name, id, HexText(l.sid), std::string("S"), std::string("SQL_LOGIN"), int64_t{0},
                         l.default_database, int64_t{0}, int64_t{0}, HashOf(l.name, l.password)});
    id = id == 1 ? 259 : id + 1;
  }
}

const SystemTableRegistration sql_logins("sys.sql_logins", false, SqlLoginsView);

}  // namespace

Value PasswordCompare(EvalEnv& env, const std::vector<Value>& args) {
  if (args.size() < 2 || IsNull(args[0]) || IsNull(args[1])) return std::monostate{};
  const std::string clear = ValueText(args[0]), hash = ValueText(args[1]);
  for (const Login& l : env.ctx.model.logins)
    if (!l.is_nt_name && HashOf(l.name, clear) == hash) return int64_t{1};
  return int64_t{0};
}

}  // namespace msde
