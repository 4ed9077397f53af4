#include "engine/Functions.h"

#include <algorithm>
#include <cstdio>
#include <unistd.h>

#include "engine/AdminRights.h"
#include "engine/SqlLogins.h"
#include "engine/SqlTime.h"
#include "engine/SystemObjects.h"
#include "engine/TypeNames.h"
#include "engine/Values.h"

namespace msde {
namespace {

ColumnInfo Of(SqlType type, int length = 0) {
  ColumnInfo c;
  c.type = type;
  c.length = length != 0 ? length : DefaultLength(type);
  return c;
}

ColumnInfo Name128(const std::vector<ColumnInfo>&) { return Of(SqlType::NVarChar, 128); }
ColumnInfo IntType(const std::vector<ColumnInfo>&) { return Of(SqlType::Int); }
ColumnInfo SidType(const std::vector<ColumnInfo>&) { return Of(SqlType::VarBinary, 85); }
ColumnInfo SmallIntType(const std::vector<ColumnInfo>&) { return Of(SqlType::SmallInt); }
ColumnInfo DateType(const std::vector<ColumnInfo>&) { return Of(SqlType::DateTime); }
ColumnInfo FirstArg(const std::vector<ColumnInfo>& a) { return a.front(); }
// NULLIF gives NULL whenever its arguments are equal, whatever the first one's nullability.
ColumnInfo NullableFirstArg(const std::vector<ColumnInfo>& a) {
  ColumnInfo t = a.front();
  t.nullable = true;
  return t;
}
ColumnInfo TextOfFirst(const std::vector<ColumnInfo>& a) {
  if (IsCharacterType(a.front().type)) return a.front();
  return Of(SqlType::VarChar, 8000);
}
// SQL Server's sql_variant results are reported as text here.
ColumnInfo Variant(const std::vector<ColumnInfo>&) { return Of(SqlType::Variant, 8016); }

std::string Text(const Value& v) { return ValueText(v); }

Value NameOrNull(const std::optional<std::string>& name) {
  if (!name) return std::monostate{};
  return *name;
}

Value ServerProperty(EvalEnv& env, const std::vector<Value>& a) {
  if (IsNull(a[0])) return std::monostate{};
  const ServerInfo& s = env.ctx.model.server;
  const std::string p = Upper(Text(a[0]));
  const std::string machine = s.machine.empty() ? s.name : s.machine;
  if (p == "SERVERNAME") return s.instance.empty() ? machine : machine + "\\" + s.instance;
  if (p == "INSTANCENAME") return s.instance.empty() ? Value{} : Value{s.instance};
  if (p == "MACHINENAME") return machine;
  if (p == "PRODUCTVERSION") return s.product_version;
  if (p == "PRODUCTLEVEL") return s.product_level;
  if (p == "EDITION") return s.edition;
  if (p == "ENGINEEDITION") return std::to_string(s.engine_edition);
  if (p == "COLLATION") return s.collation;
  if (p == "ISCLUSTERED" || p == "ISFULLTEXTINSTALLED" || p == "ISSINGLEUSER") return std::string("0");
  if (p == "ISINTEGRATEDSECURITYONLY") return std::string("0");
  if (p == "LICENSETYPE") return std::string("DISABLED");
  if (p == "PROCESSID") return std::to_string(getpid());
  if (p == "SQLCHARSET") return std::to_string(s.charset_id != 0 ? s.charset_id : 0);
  if (p == "SQLCHARSETNAME") {
    const auto at = s.collation_seq.find("charset=");
    if (at == std::string::npos) return std::monostate{};
    return s.collation_seq.substr(at + 8, s.collation_seq.find(' ', at) - at - 8);
  }
  return std::monostate{};
}

Value DatabasePropertyEx(EvalEnv& env, const std::vector<Value>& a) {
  if (IsNull(a[0]) || IsNull(a[1])) return std::monostate{};
  Database* db = env.ctx.model.FindDatabase(Text(a[0]));
  if (db == nullptr) return std::monostate{};
  const std::string p = Upper(Text(a[1]));
  if (p == "COLLATION") return db->collation.empty() ? env.ctx.model.server.collation : db->collation;
  auto value = db->PropertyEx(p, env.ctx.model.server.Is2005());
  if (!value) return std::monostate{};
  return ValueText(*value);
}

// 1 when this session may enter the database now, 0 when not (no user of its login there,
// offline, suspect, in a restore, or single user held by another session), NULL when there
// is no such database.
Value HasDbAccess(EvalEnv& env, const std::vector<Value>& a) {
  if (IsNull(a[0])) return std::monostate{};
  Database* db = env.ctx.model.FindDatabase(Text(a[0]));
  if (db == nullptr) return std::monostate{};
  return int64_t{env.ctx.EntryRefusal(*db) ? 0 : 1};
}

Value DatabaseProperty(EvalEnv& env, const std::vector<Value>& a) {
  if (IsNull(a[0]) || IsNull(a[1])) return std::monostate{};
  Database* db = env.ctx.model.FindDatabase(Text(a[0]));
  if (db == nullptr) return std::monostate{};
  const std::string p = Upper(Text(a[1]));
  auto bit = [&](int64_t b) { return Value{int64_t{db->Has(b) ? 1 : 0}}; };
  if (p == "ISOFFLINE") return bit(DbStatus::Offline);
  if (p == "ISSINGLEUSER") return bit(DbStatus::SingleUser);
  if (p == "ISREADONLY") return bit(DbStatus::ReadOnly);
  if (p == "ISSUSPECT") return bit(DbStatus::NotRecovered);
  if (p == "ISDBOONLY") return bit(DbStatus::DboUseOnly);
  if (p == "ISAUTOCLOSE") return bit(DbStatus::AutoClose);
  if (p == "ISAUTOSHRINK") return bit(DbStatus::AutoShrink);
  if (p == "ISTORNPAGEDETECTIONENABLED") return bit(DbStatus::TornPageDetection);
  if (p == "ISTRUNCLOG") return bit(DbStatus::TruncLogOnChkpt);
  if (p == "ISEMERGENCYMODE") return bit(DbStatus::EmergencyMode);
  if (p == "ISINLOAD") return bit(DbStatus::Loading);
  if (p == "ISINRECOVERY") return bit(DbStatus::Recovering);
  if (p == "VERSION") return int64_t{db->version};
  if (p == "ISAUTOCREATESTATISTICS") return int64_t{db->auto_create_statistics ? 1 : 0};
  if (p == "ISAUTOUPDATESTATISTICS") return int64_t{db->auto_update_statistics ? 1 : 0};
  return std::monostate{};
}

Value DbId(EvalEnv& env, const std::vector<Value>& a) {
  if (a.empty()) return int64_t{env.ctx.CurrentDatabase().dbid};
  if (IsNull(a[0])) return std::monostate{};
  Database* db = env.ctx.model.FindDatabase(Text(a[0]));
  if (db == nullptr) return std::monostate{};
  return int64_t{db->dbid};
}

Value DbName(EvalEnv& env, const std::vector<Value>& a) {
  if (a.empty()) return env.ctx.CurrentDatabase().name;
  auto id = IsNull(a[0]) ? std::nullopt : ToInteger(a[0]);
  if (!id) return std::monostate{};
  Database* db = env.ctx.model.FindDatabase(static_cast<int>(*id));
  if (db == nullptr) return std::monostate{};
  return db->name;
}

Value ObjectNameOf(EvalEnv& env, const std::vector<Value>& a) {
  auto id = IsNull(a[0]) ? std::nullopt : ToInteger(a[0]);
  if (!id) return std::monostate{};
  return NameOrNull(ObjectName(env.ctx.CurrentDatabase(), *id));
}

Value ObjectIdOf(EvalEnv& env, const std::vector<Value>& a) {
  if (IsNull(a[0])) return std::monostate{};
  // '[db.][owner.]name', brackets allowed.
  std::vector<std::string> parts{""};
  bool bracket = false;
  for (char c : Text(a[0])) {
    if (c == '[' && !bracket) bracket = true;
    else if (c == ']' && bracket) bracket = false;
    else if (c == '.' && !bracket) parts.emplace_back();
    else parts.back() += c;
  }
  Database* db = &env.ctx.CurrentDatabase();
  if (parts.size() >= 3 && !parts[parts.size() - 3].empty()) {
    db = env.ctx.model.FindDatabase(parts[parts.size() - 3]);
    if (db == nullptr) return std::monostate{};
  }
  const std::string owner = parts.size() >= 2 ? parts[parts.size() - 2] : "";
  auto id = ObjectId(*db, owner, parts.back());
  if (!id) return std::monostate{};
  return *id;
}

Value IsNullOf(EvalEnv&, const std::vector<Value>& a) { return IsNull(a[0]) ? a[1] : a[0]; }

Value Coalesce(EvalEnv&, const std::vector<Value>& a) {
  for (const Value& v : a)
    if (!IsNull(v)) return v;
  return std::monostate{};
}

Value NullIf(EvalEnv&, const std::vector<Value>& a) {
  if (!IsNull(a[0]) && !IsNull(a[1]) && CompareValues(a[0], a[1]) == 0) return std::monostate{};
  return a[0];
}

Value UpperOf(EvalEnv&, const std::vector<Value>& a) {
  return IsNull(a[0]) ? a[0] : Value{UpperText(Text(a[0]))};
}

Value LowerOf(EvalEnv&, const std::vector<Value>& a) {
  return IsNull(a[0]) ? a[0] : Value{LowerText(Text(a[0]))};
}

Value LTrimOf(EvalEnv&, const std::vector<Value>& a) {
  if (IsNull(a[0])) return a[0];
  const std::string s = Text(a[0]);
  return s.substr(std::min(s.find_first_not_of(' '), s.size()));
}

Value RTrimOf(EvalEnv&, const std::vector<Value>& a) {
  return IsNull(a[0]) ? a[0] : Value{TrimRight(Text(a[0]))};
}

Value LenOf(EvalEnv&, const std::vector<Value>& a) {
  if (IsNull(a[0])) return a[0];
  return static_cast<int64_t>(Utf8Length(TrimRight(Text(a[0]))));
}

// Bytes the value takes as the server stores it: a byte a character of single-byte text
// (code page 1250), two a UTF-16 unit of Unicode text, the size of the fixed types.
Value DataLengthOf(EvalEnv&, const std::vector<Value>& a, const std::vector<ColumnInfo>& types) {
  if (IsNull(a[0])) return a[0];
  const ColumnInfo& type = types.front();
  if (IsCharacterType(type.type)) {
    const std::string text = Text(a[0]);
    if (!IsUnicodeType(type.type)) return static_cast<int64_t>(Utf8Length(text));
    int64_t units = 0;
    for (unsigned char c : text) units += (c & 0xC0) != 0x80 ? ((c & 0xF8) == 0xF0 ? 2 : 1) : 0;
    return 2 * units;
  }
  if (type.type == SqlType::Binary || type.type == SqlType::VarBinary)
    return static_cast<int64_t>(Text(a[0]).size());
  if (type.type == SqlType::Numeric || type.type == SqlType::Decimal)
    return int64_t{type.precision <= 9 ? 5 : type.precision <= 19 ? 9 : type.precision <= 28 ? 13 : 17};
  return int64_t{DefaultLength(type.type)};
}

// Characters [from, from + count) of UTF-8 text, positions from 0.
std::string Chars(const std::string& s, int64_t from, int64_t count) {
  if (count <= 0) return "";
  if (from < 0) {
    count += from;
    from = 0;
  }
  if (count <= 0) return "";
  const std::string head = Utf8Prefix(s, static_cast<size_t>(from));
  return Utf8Prefix(s.substr(head.size()), static_cast<size_t>(count));
}

Value SubstringOf(EvalEnv& env, const std::vector<Value>& a) {
  if (IsNull(a[0]) || IsNull(a[1]) || IsNull(a[2])) return std::monostate{};
  auto start = ToInteger(a[1]), count = ToInteger(a[2]);
  if (!start || !count) env.ctx.Fail(8116, 16, 1, "Argument data type varchar is invalid for argument 2 of substring function.");
  if (*count < 0) env.ctx.Fail(536, 16, 1, "Invalid length parameter passed to the substring function.");
  return Chars(Text(a[0]), *start - 1, *count);
}

Value LeftOf(EvalEnv&, const std::vector<Value>& a) {
  if (IsNull(a[0]) || IsNull(a[1])) return std::monostate{};
  return Chars(Text(a[0]), 0, ToInteger(a[1]).value_or(0));
}

Value RightOf(EvalEnv&, const std::vector<Value>& a) {
  if (IsNull(a[0]) || IsNull(a[1])) return std::monostate{};
  const std::string s = Text(a[0]);
  const int64_t n = ToInteger(a[1]).value_or(0);
  const int64_t length = static_cast<int64_t>(Utf8Length(s));
  return Chars(s, std::max<int64_t>(length - n, 0), n);
}

Value ReplaceOf(EvalEnv&, const std::vector<Value>& a) {
  if (IsNull(a[0]) || IsNull(a[1]) || IsNull(a[2])) return std::monostate{};
  std::string s = Text(a[0]);
  const std::string from = Text(a[1]), to = Text(a[2]);
  if (from.empty()) return s;
  std::string out;
  const std::string upper = UpperText(s), upper_from = UpperText(from);
  size_t at = 0;
  for (size_t hit; (hit = upper.find(upper_from, at)) != std::string::npos; at = hit + from.size())
    out += s.substr(at, hit - at) + to;
  return out + s.substr(at);
}

Value CharIndexOf(EvalEnv&, const std::vector<Value>& a) {
  if (IsNull(a[0]) || IsNull(a[1])) return std::monostate{};
  const std::string needle = UpperText(Text(a[0])), hay = UpperText(Text(a[1]));
  int64_t start = a.size() > 2 ? std::max<int64_t>(ToInteger(a[2]).value_or(1), 1) : 1;
  const size_t from = Utf8Prefix(hay, static_cast<size_t>(start - 1)).size();
  const size_t hit = hay.find(needle, from);
  if (hit == std::string::npos) return int64_t{0};
  return static_cast<int64_t>(Utf8Length(hay.substr(0, hit)) + 1);
}

Value ReplicateOf(EvalEnv&, const std::vector<Value>& a) {
  if (IsNull(a[0]) || IsNull(a[1])) return std::monostate{};
  std::string out;
  const int64_t n = std::min<int64_t>(ToInteger(a[1]).value_or(0), 8000);
  for (int64_t i = 0; i < n && out.size() < 8000; ++i) out += Text(a[0]);
  return out;
}

Value SpaceOf(EvalEnv&, const std::vector<Value>& a) {
  if (IsNull(a[0])) return a[0];
  return std::string(static_cast<size_t>(std::clamp<int64_t>(ToInteger(a[0]).value_or(0), 0, 8000)), ' ');
}

Value GetDate(EvalEnv&, const std::vector<Value>&) { return NowDateTime(); }

Value UserName(EvalEnv& env, const std::vector<Value>& a) {
  Database& db = env.ctx.CurrentDatabase();
  if (!a.empty()) {
    auto uid = IsNull(a[0]) ? std::nullopt : ToInteger(a[0]);
    if (!uid) return std::monostate{};
    for (const DbUser& u : db.users)
      if (u.uid == *uid) return u.name;
    return std::monostate{};
  }
  if (env.ctx.IsSysadmin()) return std::string("dbo");
  if (const DbUser* u = db.FindUserByLogin(env.ctx.session.login)) return u->name;
  return std::string("guest");
}

Value LoginName(EvalEnv& env, const std::vector<Value>&) { return env.ctx.session.login; }
Value HostName(EvalEnv& env, const std::vector<Value>&) { return env.ctx.session.host; }
Value AppName(EvalEnv& env, const std::vector<Value>&) { return env.ctx.session.program; }

Value IsServerRoleMember(EvalEnv& env, const std::vector<Value>& a) {
  if (IsNull(a[0])) return a[0];
  const Login* login = a.size() > 1 && !IsNull(a[1]) ? env.ctx.model.FindLogin(Text(a[1]))
                                                     : env.ctx.CurrentLogin();
  if (login == nullptr) return std::monostate{};
  const std::string role = Upper(Text(a[0]));
  static const char* kRoles[] = {"SYSADMIN", "DBCREATOR", "DISKADMIN", "PROCESSADMIN",
                                 "SERVERADMIN", "SETUPADMIN", "SECURITYADMIN", "BULKADMIN"};
  if (std::none_of(std::begin(kRoles), std::end(kRoles), [&](const char* r) { return role == r; }))
    return std::monostate{};
  return int64_t{login->sysadmin ? 1 : 0};
}

// IS_MEMBER('role'): whether the session's user in the current database is in the role; the
// database's owner and a sysadmin (both dbo there) are in db_owner. NULL for no such role.
Value IsMember(EvalEnv& env, const std::vector<Value>& a) {
  if (IsNull(a[0])) return a[0];
  Database& db = env.ctx.CurrentDatabase();
  const DbUser* role = db.FindUser(Text(a[0]));
  if (role == nullptr || !role->is_role) return std::monostate{};
  if (EqualNoCase(role->name, "db_owner")) return int64_t{IsDbOwner(env.ctx, db) ? 1 : 0};
  if (EqualNoCase(role->name, "public")) return int64_t{1};
  const DbUser* user = db.FindUserByLogin(env.ctx.session.login);
  const bool member = user != nullptr && std::any_of(user->roles.begin(), user->roles.end(),
                                                     [&](const std::string& r) { return EqualNoCase(r, role->name); });
  return int64_t{member ? 1 : 0};
}

const FunctionInfo kFunctions[] = {
    {"SERVERPROPERTY", 1, 1, Variant, ServerProperty},
    {"DATABASEPROPERTYEX", 2, 2, Variant, DatabasePropertyEx},
    {"SQL_VARIANT_PROPERTY", 2, 2, Variant, nullptr, VariantProperty},
    {"DATABASEPROPERTY", 2, 2, IntType, DatabaseProperty},
    {"HAS_DBACCESS", 1, 1, IntType, HasDbAccess},
    {"DB_ID", 0, 1, SmallIntType, DbId},
    {"DB_NAME", 0, 1, Name128, DbName},
    {"OBJECT_NAME", 1, 1, Name128, ObjectNameOf},
    {"OBJECT_ID", 1, 1, IntType, ObjectIdOf},
    {"ISNULL", 2, 2, FirstArg, IsNullOf},
    {"COALESCE", 1, 32, FirstArg, Coalesce},
    {"NULLIF", 2, 2, NullableFirstArg, NullIf},
    {"UPPER", 1, 1, TextOfFirst, UpperOf},
    {"LOWER", 1, 1, TextOfFirst, LowerOf},
    {"LTRIM", 1, 1, TextOfFirst, LTrimOf},
    {"RTRIM", 1, 1, TextOfFirst, RTrimOf},
    {"LEN", 1, 1, IntType, LenOf},
    {"DATALENGTH", 1, 1, IntType, nullptr, DataLengthOf},
    {"SUBSTRING", 3, 3, TextOfFirst, SubstringOf},
    {"LEFT", 2, 2, TextOfFirst, LeftOf},
    {"RIGHT", 2, 2, TextOfFirst, RightOf},
    {"REPLACE", 3, 3, TextOfFirst, ReplaceOf},
    {"CHARINDEX", 2, 3, IntType, CharIndexOf},
    {"REPLICATE", 2, 2, TextOfFirst, ReplicateOf},
    {"SPACE", 1, 1, [](const std::vector<ColumnInfo>&) { return Of(SqlType::VarChar, 8000); }, SpaceOf},
    {"GETDATE", 0, 0, DateType, GetDate},
    {"USER_NAME", 0, 1, Name128, UserName},
    {"SUSER_SNAME", 0, 1, Name128, LoginNameOfSid},
    {"SUSER_SID", 0, 1, SidType, LoginSid},
    {"SUSER_NAME", 0, 1, Name128, LoginName},
    {"HOST_NAME", 0, 0, Name128, HostName},
    {"APP_NAME", 0, 0, Name128, AppName},
    {"IS_SRVROLEMEMBER", 1, 2, IntType, IsServerRoleMember},
    {"IS_MEMBER", 1, 1, IntType, IsMember},
    {"PWDCOMPARE", 2, 3, IntType, PasswordCompare},
};

}  // namespace

const FunctionInfo* FindFunction(const std::string& name) {
  for (const FunctionInfo& f : kFunctions)
    if (EqualNoCase(f.name, name)) return &f;
  return nullptr;
}

std::optional<Value> GlobalVariable(Context& ctx, const std::string& name, ColumnInfo& type) {
  const std::string n = Upper(name);
  const ServerInfo& s = ctx.model.server;
  type = Of(SqlType::NVarChar, 128);
  if (n == "@@VERSION") {
    type.length = 256;
    return Value{s.version_text};
  }
  if (n == "@@SERVERNAME") {
    const std::string machine = s.machine.empty() ? s.name : s.machine;
    return Value{s.instance.empty() ? machine : machine + "\\" + s.instance};
  }
  if (n == "@@SERVICENAME") return Value{s.instance.empty() ? std::string("MSSQLSERVER") : s.instance};
  if (n == "@@LANGUAGE") return Value{ctx.session.language};
  type = Of(SqlType::Int);
  if (n == "@@SPID") {
    type = Of(SqlType::SmallInt);
    return Value{int64_t{ctx.session.spid}};
  }
  if (n == "@@TRANCOUNT") return Value{int64_t{ctx.session.trancount}};
  if (n == "@@ERROR") return Value{int64_t{ctx.session.error}};
  if (n == "@@ROWCOUNT") return Value{ctx.session.rowcount};
  if (n == "@@MAX_PRECISION") {
    type = Of(SqlType::TinyInt);
    return Value{int64_t{38}};
  }
  if (n == "@@TEXTSIZE") return Value{int64_t{2147483647}};
  if (n == "@@LOCK_TIMEOUT") return Value{ctx.session.lock_timeout};
  if (n == "@@MICROSOFTVERSION") {
    // major.minor.build as 0xMMmmBBBB: 8.00.2039 is 0x080007F7.
    int major = 0, minor = 0, build = 0;
    std::sscanf(s.product_version.c_str(), "%d.%d.%d", &major, &minor, &build);
    return Value{int64_t{(int64_t{major} << 24) | (int64_t{minor} << 16) | build}};
  }
  return std::nullopt;
}

}  // namespace msde
