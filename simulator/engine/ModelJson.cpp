// Reading and writing the data set and attachable database files (format: engine/Model.h).
//
// Keys and defaults. version: "2000" (SQL Server 2000 Desktop Engine, the default) or "2005"
// (SQL Server 2005 Express: its version, edition, instance SQLEXPRESS and data root become
// the server's defaults). server: name, instance, machine, product_version, product_level,
// edition, engine_edition, version_text, collation, collation_seq, start_time, data_root,
// backup_page_microseconds, lock_wait_head_start_seconds (0), kill_rollback_seconds (0),
// physical_memory_mb (512), processor_count (1).
// configuration[]: name, minimum, maximum, config_value, run_value (default config_value),
// advanced, dynamic. logins[]: name, password, default_database ("master"), language
// ("us_english"), sysadmin, nt_name (a Windows login, which cannot log in here), created,
// sid ("0x.." hex; derived from the name when absent), password_hash ("0x.." hex: a login moved
// with its hash, which logs in with the password the hash was made of).
// databases[]: name, dbid, status, status2, crdate, version (the server's: 539, or 611 on
// 2005), cmptlevel, owner (login of the
// dbo, "sa"), collation, options {the nine DATABASEPROPERTYEX names: UserAccess, Status,
// Updateability, IsAutoClose, IsAutoCreateStatistics, IsAutoShrink, IsAutoUpdateStatistics,
// Recovery, IsTornPageDetectionEnabled; they override the status bits}, files[] {fileid,
// name, filename, size, maxsize, growth, growth_percent, log, used (pages in use)}, users[] {name, login, uid,
// roles[], sid}, tables[] {owner, name, id, created, columns[] {name, type, length,
// precision, scale, nullable}, rows[][], primary_key[] (column names), primary_key_name
// ("PK_" and the table's name)}, damage[] {object_id, index_id, page_file, page,
// error, repair, text}.
// backups[] (msdb's history): database, type ("D" or "L"), name, description, user ("sa"),
// started, finished, position (1), size_bytes, device.
// errorlog[] (entries of the current error log before this start): date, source ("spid51",
// "server", "logon", ...), text.
#include <algorithm>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>

#include "engine/GeneratedRows.h"
#include "engine/Model.h"
#include "engine/SqlTime.h"
#include "engine/TypeNames.h"
#include "engine/Values.h"

namespace msde {
namespace {

using nlohmann::json;

[[noreturn]] void Bad(const std::string& where, const std::string& what) {
  throw std::runtime_error(where + ": " + what);
}

template <typename T>
T Get(const json& j, const char* key, T fallback) {
  auto it = j.find(key);
  if (it == j.end() || it->is_null()) return fallback;
  return it->get<T>();
}

SqlDateTime DateOf(const json& j, const char* key, const std::string& where) {
  auto it = j.find(key);
  if (it == j.end() || it->is_null()) return ParseDateTime("2005-01-01 00:00:00").value();
  auto value = ParseDateTime(it->get<std::string>());
  if (!value) Bad(where, std::string("'") + key + "' is not a date: " + it->dump());
  return *value;
}

std::string HexToBytes(const std::string& hex, const std::string& where) {
  std::string digits = hex;
  if (digits.rfind("0x", 0) == 0 || digits.rfind("0X", 0) == 0) digits = digits.substr(2);
  if (digits.size() % 2 != 0) Bad(where, "odd number of hex digits in " + hex);
  std::string bytes;
  for (size_t i = 0; i < digits.size(); i += 2) {
    try {
      bytes += static_cast<char>(std::stoi(digits.substr(i, 2), nullptr, 16));
    } catch (const std::exception&) {
      Bad(where, "not hex: " + hex);
    }
  }
  return bytes;
}

// A stable 16-byte sid for a login without one in the file.
std::string DerivedSid(const std::string& name) {
  if (EqualNoCase(name, "sa")) return std::string(1, '\x01');
  std::string sid(16, '\0');
  uint64_t h = 1469598103934665603ULL;
  for (size_t i = 0; i < 16; ++i) {
    for (char c : Upper(name)) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    h = (h ^ i) * 1099511628211ULL;
    sid[i] = static_cast<char>(h >> 24);
  }
  return sid;
}

Value CellFromJson(const json& cell, const ColumnInfo& column, const std::string& where) {
  if (cell.is_null()) {
    if (!column.nullable) Bad(where, "NULL in NOT NULL column " + column.name);
    return std::monostate{};
  }
  switch (column.type) {
    case SqlType::Int: case SqlType::SmallInt: case SqlType::TinyInt: case SqlType::Bit:
    case SqlType::BigInt:
      if (cell.is_boolean()) return int64_t{cell.get<bool>() ? 1 : 0};
      if (!cell.is_number_integer()) Bad(where, column.name + " needs an integer: " + cell.dump());
      return cell.get<int64_t>();
    case SqlType::Float: case SqlType::Real:
      if (!cell.is_number()) Bad(where, column.name + " needs a number: " + cell.dump());
      return cell.get<double>();
    case SqlType::Numeric: case SqlType::Decimal: case SqlType::Money: {
      std::string text = cell.is_string() ? cell.get<std::string>() : cell.dump();
      auto normal = NormalizeDecimal(text, column.type == SqlType::Money ? 4 : column.scale);
      if (!normal) Bad(where, column.name + " needs a decimal number: " + cell.dump());
      return *normal;
    }
    case SqlType::DateTime: case SqlType::SmallDateTime: {
      auto value = cell.is_string() ? ParseDateTime(cell.get<std::string>()) : std::nullopt;
      if (value && column.type == SqlType::SmallDateTime) value = ToSmallDateTime(*value);
      if (!value) Bad(where, column.name + " needs a date: " + cell.dump());
      return *value;
    }
    default: {
      if (!cell.is_string()) Bad(where, column.name + " needs text: " + cell.dump());
      std::string text = cell.get<std::string>();
      if (column.type == SqlType::Char || column.type == SqlType::NChar) {
        // Fixed-length character columns hold their values padded with blanks.
        const size_t chars = Utf8Length(text);
        if (chars < static_cast<size_t>(column.length)) text.append(column.length - chars, ' ');
      }
      return text;
    }
  }
}

// Generated row N (from 1) of a table (GeneratedRows.h).
Row GeneratedRow(const Table& table, int64_t n, const std::string& where) {
  Row row;
  for (const ColumnInfo& c : table.columns) row.push_back(CellFromJson(GeneratedCell(c, n), c, where));
  return row;
}

// The table still ends with the rows its "generate" declared, each as it was made.
bool GeneratedRowsIntact(const Table& table) {
  if (table.generated <= 0 || table.rows.size() < static_cast<size_t>(table.generated)) return false;
  const size_t first = table.rows.size() - static_cast<size_t>(table.generated);
  for (int64_t n = 1; n <= table.generated; ++n)
    if (table.rows[first + static_cast<size_t>(n) - 1] != GeneratedRow(table, n, table.name)) return false;
  return true;
}

json CellToJson(const Value& value) {
  if (std::holds_alternative<int64_t>(value)) return std::get<int64_t>(value);
  if (std::holds_alternative<double>(value)) return std::get<double>(value);
  if (std::holds_alternative<std::string>(value)) return std::get<std::string>(value);
  if (std::holds_alternative<SqlDateTime>(value)) return DateTimeText(std::get<SqlDateTime>(value));
  return nullptr;
}

ColumnInfo ColumnFromJson(const json& j, const std::string& where) {
  ColumnInfo c;
  c.name = j.at("name").get<std::string>();
  const std::string type = j.at("type").get<std::string>();
  auto parsed = TypeFromName(type);
  if (!parsed) Bad(where, "unknown column type '" + type + "'");
  c.type = *parsed;
  c.length = Get<int>(j, "length", DefaultLength(c.type));
  c.precision = Get<int>(j, "precision", DefaultPrecision(c.type));
  c.scale = Get<int>(j, "scale", 0);
  c.nullable = Get<bool>(j, "nullable", true);
  return c;
}

json ColumnToJson(const ColumnInfo& c) {
  json j = {{"name", c.name}, {"type", TypeName(c.type)}, {"nullable", c.nullable}};
  if (c.length != DefaultLength(c.type)) j["length"] = c.length;
  if (c.precision != DefaultPrecision(c.type)) j["precision"] = c.precision;
  if (c.scale != 0) j["scale"] = c.scale;
  return j;
}

void ApplyOptions(Database& db, const json& options, const std::string& where) {
  for (auto& [key, value] : options.items()) {
    const std::string k = Upper(key);
    auto text = [&] { return Upper(value.is_string() ? value.get<std::string>() : value.dump()); };
    auto on = [&] {
      if (value.is_boolean()) return value.get<bool>();
      if (value.is_number()) return value.get<int>() != 0;
      return text() == "ON" || text() == "1" || text() == "TRUE";
    };
    if (k == "USERACCESS") {
      db.Set(DbStatus::SingleUser, text() == "SINGLE_USER");
      db.Set(DbStatus::DboUseOnly, text() == "RESTRICTED_USER");
    } else if (k == "STATUS") {
      db.Set(DbStatus::Offline, text() == "OFFLINE");
      db.Set(DbStatus::NotRecovered, text() == "SUSPECT");
    } else if (k == "UPDATEABILITY") {
      db.Set(DbStatus::ReadOnly, text() == "READ_ONLY");
    } else if (k == "RECOVERY") {
      // SIMPLE leaves "select into/bulkcopy" as it is: both bits together still read SIMPLE.
      db.Set(DbStatus::TruncLogOnChkpt, text() == "SIMPLE");
      if (text() != "SIMPLE") db.Set(DbStatus::SelectIntoBulkCopy, text() == "BULK_LOGGED");
    } else if (k == "ISAUTOCLOSE") {
      db.Set(DbStatus::AutoClose, on());
    } else if (k == "ISAUTOSHRINK") {
      db.Set(DbStatus::AutoShrink, on());
    } else if (k == "ISTORNPAGEDETECTIONENABLED") {
      db.Set(DbStatus::TornPageDetection, on());
    } else if (k == "ISAUTOCREATESTATISTICS") {
      db.auto_create_statistics = on();
    } else if (k == "ISAUTOUPDATESTATISTICS") {
      db.auto_update_statistics = on();
    } else {
      Bad(where, "unknown database option '" + key + "'");
    }
  }
}

json OptionsToJson(const Database& db) {
  json j = json::object();
  for (const char* name : {"UserAccess", "Status", "Updateability", "IsAutoClose",
                           "IsAutoCreateStatistics", "IsAutoShrink", "IsAutoUpdateStatistics",
                           "Recovery", "IsTornPageDetectionEnabled"}) {
    std::string key = name;
    if (key == "Status" && db.Has(DbStatus::NotRecovered)) continue;  // kept in status bits
    j[key] = CellToJson(*db.PropertyEx(key));
  }
  return j;
}

// The fixed database roles of SQL Server 2000 with their uids.
void AddStandardRoles(Database& db) {
  static const std::pair<const char*, int> kRoles[] = {
      {"public", 0},           {"db_owner", 16384},        {"db_accessadmin", 16385},
      {"db_securityadmin", 16386}, {"db_ddladmin", 16387}, {"db_backupoperator", 16389},
      {"db_datareader", 16390}, {"db_datawriter", 16391},  {"db_denydatareader", 16392},
      {"db_denydatawriter", 16393}};
  for (const auto& [name, uid] : kRoles) {
    if (db.FindUser(name)) continue;
    DbUser role;
    role.name = name;
    role.uid = uid;
    role.is_role = true;
    db.users.push_back(role);
  }
}

Database DatabaseFromJsonValue(const json& j, const std::string& where,
                               const std::function<std::string(const std::string&)>& sid_of) {
  Database db;
  db.name = j.at("name").get<std::string>();
  const std::string here = where + " '" + db.name + "'";
  db.dbid = Get<int>(j, "dbid", 0);
  db.status = Get<int64_t>(j, "status", db.status);
  db.status2 = Get<int64_t>(j, "status2", db.status2);
  db.crdate = DateOf(j, "crdate", here);
  db.version = Get<int>(j, "version", db.version);
  db.cmptlevel = Get<int>(j, "cmptlevel", db.cmptlevel);
  db.owner_login = Get<std::string>(j, "owner", db.owner_login);
  db.collation = Get<std::string>(j, "collation", "");
  if (j.contains("options")) ApplyOptions(db, j.at("options"), here);
  for (const json& f : j.value("files", json::array())) {
    DbFile file;
    file.fileid = f.at("fileid").get<int>();
    file.name = f.at("name").get<std::string>();
    file.filename = f.at("filename").get<std::string>();
    file.size = Get<int64_t>(f, "size", 128);
    file.maxsize = Get<int64_t>(f, "maxsize", -1);
    file.growth = Get<int64_t>(f, "growth", 10);
    file.growth_percent = Get<bool>(f, "growth_percent", true);
    file.log_file = Get<bool>(f, "log", false);
    file.used = Get<int64_t>(f, "used", -1);
    db.files.push_back(file);
  }
  bool has_dbo = false;
  for (const json& u : j.value("users", json::array())) {
    DbUser user;
    user.name = u.at("name").get<std::string>();
    user.login = Get<std::string>(u, "login", "");
    user.uid = Get<int>(u, "uid", user.name == "guest" ? 2 : user.name == "dbo" ? 1 : 0);
    for (const json& r : u.value("roles", json::array())) user.roles.push_back(r.get<std::string>());
    user.sid = u.contains("sid") ? HexToBytes(u.at("sid").get<std::string>(), here)
                                 : (user.login.empty() ? std::string() : sid_of(user.login));
    has_dbo = has_dbo || user.name == "dbo";
    db.users.push_back(user);
  }
  if (!has_dbo) {
    DbUser dbo;
    dbo.name = "dbo";
    dbo.login = db.owner_login;
    dbo.uid = 1;
    dbo.sid = sid_of(db.owner_login);
    dbo.roles = {"db_owner"};
    db.users.insert(db.users.begin(), dbo);
  }
  // guest can never be dropped from master and tempdb; a listed guest has database access
  // (sid 0x00), as in SQL Server.
  if ((EqualNoCase(db.name, "master") || EqualNoCase(db.name, "tempdb")) && !db.FindUser("guest"))
    db.users.push_back(DbUser{"guest", "", 2, "", {}, false});
  if (DbUser* guest = db.FindUser("guest"); guest && guest->sid.empty()) guest->sid = std::string(1, '\0');
  int next_uid = 5;
  for (const DbUser& u : db.users) next_uid = std::max(next_uid, u.uid + 1);
  for (DbUser& u : db.users)
    if (u.uid == 0) u.uid = next_uid++;
  AddStandardRoles(db);
  for (const json& t : j.value("tables", json::array())) {
    Table table;
    table.owner = Get<std::string>(t, "owner", "dbo");
    table.name = t.at("name").get<std::string>();
    const std::string at = here + " table " + table.owner + "." + table.name;
    table.id = Get<int>(t, "id", 0);
    table.created = t.contains("created") ? DateOf(t, "created", at) : db.crdate;
    for (const json& c : t.at("columns")) table.columns.push_back(ColumnFromJson(c, at));
    for (const json& k : t.value("primary_key", json::array())) {
      const std::string key = k.get<std::string>();
      auto column = std::find_if(table.columns.begin(), table.columns.end(),
                                 [&](const ColumnInfo& c) { return EqualNoCase(c.name, key); });
      if (column == table.columns.end()) Bad(at, "primary key column '" + key + "' is no column");
      table.primary_key.push_back(static_cast<int>(column - table.columns.begin()));
    }
    if (!table.primary_key.empty())
      table.primary_key_name = Get<std::string>(t, "primary_key_name", "PK_" + table.name);
    size_t row_number = 0;
    for (const json& r : t.value("rows", json::array())) {
      const std::string row_at = at + " row " + std::to_string(++row_number);
      if (!r.is_array() || r.size() != table.columns.size())
        Bad(row_at, "needs " + std::to_string(table.columns.size()) + " values");
      Row row;
      for (size_t i = 0; i < r.size(); ++i) row.push_back(CellFromJson(r[i], table.columns[i], row_at));
      table.rows.push_back(std::move(row));
    }
    // "generate": N appends N rows made from their numbers (GeneratedRows.h).
    table.generated = Get<int64_t>(t, "generate", 0);
    for (int64_t n = 1; n <= table.generated; ++n) table.rows.push_back(GeneratedRow(table, n, at));
    if (table.id == 0) table.id = db.NextObjectId();
    if (db.FindTableById(table.id)) Bad(at, "object id " + std::to_string(table.id) + " is taken");
    db.tables.push_back(std::move(table));
  }
  for (const json& pj : j.value("procedures", json::array())) {
    StoredProcedure proc;
    proc.owner = Get<std::string>(pj, "owner", "dbo");
    proc.name = pj.at("name").get<std::string>();
    const std::string at = here + " procedure " + proc.owner + "." + proc.name;
    proc.id = Get<int>(pj, "id", 0);
    proc.crdate = pj.contains("created") ? DateOf(pj, "created", at) : db.crdate;
    proc.parameters = Get<std::string>(pj, "parameters", "");
    proc.body = pj.at("body").get<std::string>();
    if (proc.id == 0) proc.id = db.NextObjectId();
    db.procedures.push_back(std::move(proc));
  }
  for (const json& d : j.value("damage", json::array())) {
    DamageMark mark;
    mark.object_id = d.at("object_id").get<int>();
    mark.index_id = Get<int>(d, "index_id", 0);
    mark.page_file = Get<int>(d, "page_file", 1);
    mark.page = Get<int64_t>(d, "page", 0);
    mark.error = Get<int>(d, "error", 8928);
    mark.repair = Upper(Get<std::string>(d, "repair", "REPAIR_REBUILD"));
    mark.text = Get<std::string>(d, "text", "");
    db.damage.push_back(mark);
  }
  return db;
}

json DatabaseToJsonValue(const Database& db) {
  json j = {{"name", db.name},       {"dbid", db.dbid},           {"status", db.status},
            {"status2", db.status2}, {"crdate", DateTimeText(db.crdate)},
            {"version", db.version}, {"cmptlevel", db.cmptlevel}, {"owner", db.owner_login},
            {"options", OptionsToJson(db)}};
  if (!db.collation.empty()) j["collation"] = db.collation;
  json files = json::array();
  for (const DbFile& f : db.files) {
    json jf = {{"fileid", f.fileid}, {"name", f.name},     {"filename", f.filename},
               {"size", f.size},     {"maxsize", f.maxsize}, {"growth", f.growth},
               {"growth_percent", f.growth_percent}};
    if (f.log_file) jf["log"] = true;
    if (f.used >= 0) jf["used"] = f.used;
    files.push_back(jf);
  }
  j["files"] = files;
  json users = json::array();
  for (const DbUser& u : db.users) {
    if (u.is_role) continue;
    json ju = {{"name", u.name}, {"uid", u.uid}, {"roles", u.roles}};
    if (!u.login.empty()) ju["login"] = u.login;
    if (!u.sid.empty()) ju["sid"] = HexText(u.sid);
    users.push_back(ju);
  }
  j["users"] = users;
  json tables = json::array();
  for (const Table& t : db.tables) {
    json columns = json::array();
    for (const ColumnInfo& c : t.columns) columns.push_back(ColumnToJson(c));
    const size_t listed = t.rows.size() - (GeneratedRowsIntact(t) ? static_cast<size_t>(t.generated) : 0);
    json rows = json::array();
    for (size_t r = 0; r < listed; ++r) {
      json row = json::array();
      for (const Value& v : t.rows[r]) row.push_back(CellToJson(v));
      rows.push_back(row);
    }
    json table = {{"owner", t.owner}, {"name", t.name}, {"id", t.id},
                  {"created", DateTimeText(t.created)}, {"columns", columns}, {"rows", rows}};
    if (listed < t.rows.size()) table["generate"] = t.generated;
    if (!t.primary_key.empty()) {
      json key = json::array();
      for (int k : t.primary_key) key.push_back(t.columns[static_cast<size_t>(k)].name);
      table["primary_key"] = key;
      table["primary_key_name"] = t.primary_key_name;
    }
    tables.push_back(table);
  }
  j["tables"] = tables;
  // Written only where there are some, so that a database without any is written as before.
  if (!db.procedures.empty()) {
    json procedures = json::array();
    for (const StoredProcedure& p : db.procedures)
      procedures.push_back({{"owner", p.owner}, {"name", p.name}, {"id", p.id}, {"created", DateTimeText(p.crdate)},
                            {"parameters", p.parameters}, {"body", p.body}});
    j["procedures"] = procedures;
  }
  json damage = json::array();
  for (const DamageMark& d : db.damage) {
    json jd = {{"object_id", d.object_id}, {"index_id", d.index_id}, {"page_file", d.page_file},
               {"page", d.page}, {"error", d.error}, {"repair", d.repair}};
    if (!d.text.empty()) jd["text"] = d.text;
    damage.push_back(jd);
  }
  j["damage"] = damage;
  return j;
}

json ParseText(const std::string& text, const std::string& where) {
  try {
    return json::parse(text);
  } catch (const json::exception& e) {
    Bad(where, e.what());
  }
}

// What a SQL Server 2005 Express instance reports of itself (SP2).
ServerInfo Express2005() {
  ServerInfo s;
  s.instance = "SQLEXPRESS";
  s.product_version = "9.00.3042.00";
  s.product_level = "SP2";
  s.edition = "Express Edition";
  s.engine_edition = 4;
  s.version_text =
      "Microsoft SQL Server 2005 - 9.00.3042.00 (Intel X86) \n\tFeb  9 2007 22:47:07 \n\tCopyright (c) "
      "1988-2005 Microsoft Corporation\n\tExpress Edition on Windows NT 5.1 (Build 2600: Service Pack 3)\n";
  s.data_root = "C:\\Program Files\\Microsoft SQL Server\\MSSQL.1\\MSSQL";
  return s;
}

// The options SQL Server 2005 has beyond 2000's, as Express installs them: a 2005 data set
// that does not list them still answers sp_configure as 2005 does.
void Add2005Options(std::vector<ConfigOption>& options) {
  const ConfigOption kOptions2005[] = {
      // name, minimum, maximum, config value, run value, advanced, dynamic
      {"Agent XPs", 0, 1, 0, 0, true, true},
      {"blocked process threshold", 0, 86400, 0, 0, true, true},
      {"clr enabled", 0, 1, 0, 0, false, true},
      {"common criteria compliance enabled", 0, 1, 0, 0, true, false},
      {"Database Mail XPs", 0, 1, 0, 0, true, true},
      {"default trace enabled", 0, 1, 1, 1, true, true},
      {"disallow results from triggers", 0, 1, 0, 0, true, true},
      {"in-doubt xact resolution", 0, 2, 0, 0, true, true},
      {"Ole Automation Procedures", 0, 1, 0, 0, true, true},
      {"remote admin connections", 0, 1, 0, 0, false, true},
      {"server trigger recursion", 0, 1, 1, 1, false, true},
      {"SMO and DMO XPs", 0, 1, 1, 1, true, true},
      {"user instance timeout", 5, 65535, 60, 60, true, true},
      {"user instances enabled", 0, 1, 1, 1, false, true},
      {"xp_cmdshell", 0, 1, 0, 0, true, true},
  };
  for (ConfigOption& o : options)
    if (EqualNoCase(o.name, "Cross DB Ownership Chaining")) o.name = "cross db ownership chaining";
  for (const ConfigOption& extra : kOptions2005)
    if (std::none_of(options.begin(), options.end(), [&](const ConfigOption& o) { return EqualNoCase(o.name, extra.name); }))
      options.push_back(extra);
}

BackupRecord BackupFromJson(Model& model, const json& j, const std::string& where) {
  BackupRecord b;
  b.database = j.at("database").get<std::string>();
  const std::string at = where + " backup of " + b.database;
  const Database* db = model.FindDatabase(b.database);
  if (db == nullptr) Bad(at, "no such database");
  b.type = Get<std::string>(j, "type", "D").front();
  b.name = Get<std::string>(j, "name", "");
  b.description = Get<std::string>(j, "description", "");
  b.user = Get<std::string>(j, "user", "sa");
  b.finished = DateOf(j, "finished", at);
  b.started = j.contains("started") ? DateOf(j, "started", at) : b.finished;
  b.database_created = db->crdate;
  b.position = Get<int>(j, "position", 1);
  b.size_bytes = Get<int64_t>(j, "size_bytes", 0);
  b.device = Get<std::string>(j, "device", "");
  b.compatibility = db->cmptlevel;
  b.database_version = db->version;
  return b;
}

json BackupToJson(const BackupRecord& b) {
  return {{"database", b.database}, {"type", std::string(1, b.type)}, {"name", b.name},
          {"description", b.description}, {"user", b.user}, {"started", DateTimeText(b.started)},
          {"finished", DateTimeText(b.finished)}, {"position", b.position},
          {"size_bytes", b.size_bytes}, {"device", b.device}};
}

void AddSystemProcesses(Model& model) {
  static const std::pair<int, const char*> kProcesses[] = {
      {1, "LAZY WRITER"},  {2, "LOG WRITER"},   {3, "LOCK MONITOR"}, {4, "SIGNAL HANDLER"},
      {5, "TASK MANAGER"}, {6, "TASK MANAGER"}, {7, "CHECKPOINT SLEEP"}, {8, "TASK MANAGER"}};
  for (const auto& [spid, command] : kProcesses) {
    SystemProcess p;
    p.spid = spid;
    p.command = command;
    p.status = spid == 4 || spid == 7 ? "sleeping" : "background";
    model.system_processes.push_back(p);
  }
}

}  // namespace

Model LoadModel(const std::string& DataFile) {
  std::ifstream in(DataFile, std::ios::binary);
  if (!in) throw std::runtime_error(DataFile + ": cannot be opened");
  std::stringstream text;
  text << in.rdbuf();
  const json root = ParseText(text.str(), DataFile);
  Model model;
  try {
    const json server = root.value("server", json::object());
    ServerInfo& s = model.server;
    const std::string version = Get<std::string>(root, "version", "2000");
    if (version == "2005") s = Express2005();
    else if (version != "2000") Bad(DataFile, "version " + version + " is neither 2000 nor 2005");
    s.name = Get<std::string>(server, "name", s.name);
    s.instance = Get<std::string>(server, "instance", s.instance);
    s.machine = Get<std::string>(server, "machine", s.machine);
    s.product_version = Get<std::string>(server, "product_version", s.product_version);
    s.product_level = Get<std::string>(server, "product_level", s.product_level);
    s.edition = Get<std::string>(server, "edition", s.edition);
    s.engine_edition = Get<int>(server, "engine_edition", s.engine_edition);
    s.version_text = Get<std::string>(server, "version_text", s.version_text);
    s.collation = Get<std::string>(server, "collation", s.collation);
    s.collation_seq = Get<std::string>(server, "collation_seq", s.collation_seq);
    s.physical_memory_mb = Get<int64_t>(server, "physical_memory_mb", s.physical_memory_mb);
    s.processor_count = Get<int64_t>(server, "processor_count", s.processor_count);
    s.data_root = Get<std::string>(server, "data_root", s.data_root);
    s.backup_page_microseconds =
        Get<int64_t>(server, "backup_page_microseconds", s.backup_page_microseconds);
    s.lock_wait_head_start_seconds =
        Get<int64_t>(server, "lock_wait_head_start_seconds", s.lock_wait_head_start_seconds);
    s.kill_rollback_seconds = Get<int64_t>(server, "kill_rollback_seconds", s.kill_rollback_seconds);
    s.start_time = server.contains("start_time") ? DateOf(server, "start_time", DataFile)
                                                 : NowDateTime();
    for (const json& o : root.value("configuration", json::array())) {
      ConfigOption option;
      option.name = o.at("name").get<std::string>();
      option.minimum = Get<int64_t>(o, "minimum", 0);
      option.maximum = Get<int64_t>(o, "maximum", 0);
      option.config_value = Get<int64_t>(o, "config_value", 0);
      option.run_value = Get<int64_t>(o, "run_value", option.config_value);
      option.advanced = Get<bool>(o, "advanced", false);
      option.dynamic = Get<bool>(o, "dynamic", true);
      model.configuration.push_back(option);
    }
    if (s.Is2005()) Add2005Options(model.configuration);
    for (const json& l : root.value("logins", json::array())) {
      Login login;
      login.name = l.at("name").get<std::string>();
      if (model.FindLogin(login.name)) Bad(DataFile, "login '" + login.name + "' twice");
      login.password = Get<std::string>(l, "password", "");
      if (l.contains("password_hash"))
        login.password_hash = HexToBytes(l.at("password_hash").get<std::string>(), DataFile);
      login.default_database = Get<std::string>(l, "default_database", "master");
      login.language = Get<std::string>(l, "language", "us_english");
      login.sysadmin = Get<bool>(l, "sysadmin", false);
      login.is_nt_name = Get<bool>(l, "nt_name", false);
      login.created = DateOf(l, "created", DataFile + " login " + login.name);
      login.sid = l.contains("sid") ? HexToBytes(l.at("sid").get<std::string>(), DataFile)
                                    : DerivedSid(login.name);
      model.logins.push_back(login);
    }
    auto sid_of = [&model](const std::string& login) {
      const Login* l = model.FindLogin(login);
      return l ? l->sid : DerivedSid(login);
    };
    for (const json& d : root.value("databases", json::array())) {
      Database db = DatabaseFromJsonValue(d, DataFile + " database", sid_of);
      if (!d.contains("version")) db.version = s.DatabaseVersion();  // the server's own
      if (model.FindDatabase(db.name)) Bad(DataFile, "database '" + db.name + "' twice");
      if (db.dbid == 0) db.dbid = model.NextDbid();
      if (model.FindDatabase(db.dbid)) Bad(DataFile, "dbid " + std::to_string(db.dbid) + " twice");
      model.AddDatabase(std::move(db));
    }
  } catch (const json::exception& e) {
    Bad(DataFile, e.what());
  }
  try {
    for (const json& b : root.value("backups", json::array())) model.backups.push_back(BackupFromJson(model, b, DataFile));
    for (const json& e : root.value("errorlog", json::array()))
      model.error_log.lines.push_back({DateOf(e, "date", DataFile + " errorlog"), Get<std::string>(e, "source", "server"),
                                       e.at("text").get<std::string>()});
  } catch (const json::exception& e) {
    Bad(DataFile, e.what());
  }
  if (!model.FindDatabase("master")) Bad(DataFile, "the data set has no master database");
  if (model.logins.empty()) Bad(DataFile, "the data set has no logins");
  AddSystemProcesses(model);
  return model;
}

Database DatabaseFromJson(const std::string& text) {
  const json j = ParseText(text, "database file");
  try {
    return DatabaseFromJsonValue(j, "database file", DerivedSid);
  } catch (const json::exception& e) {
    Bad("database file", e.what());
  }
}

std::string DatabaseToJson(const Database& db) { return DatabaseToJsonValue(db).dump(1); }

std::string ModelToJson(const Model& model) {
  json root;
  const ServerInfo& s = model.server;
  root["version"] = s.Is2005() ? "2005" : "2000";
  root["server"] = {{"name", s.name},
                    {"instance", s.instance},
                    {"machine", s.machine},
                    {"product_version", s.product_version},
                    {"product_level", s.product_level},
                    {"edition", s.edition},
                    {"engine_edition", s.engine_edition},
                    {"version_text", s.version_text},
                    {"collation", s.collation},
                    {"collation_seq", s.collation_seq},
                    {"physical_memory_mb", s.physical_memory_mb},
                    {"processor_count", s.processor_count},
                    {"start_time", DateTimeText(s.start_time)},
                    {"data_root", s.data_root},
                    {"backup_page_microseconds", s.backup_page_microseconds},
                    {"lock_wait_head_start_seconds", s.lock_wait_head_start_seconds},
                    {"kill_rollback_seconds", s.kill_rollback_seconds}};
  json configuration = json::array();
  for (const ConfigOption& o : model.configuration)
    configuration.push_back({{"name", o.name}, {"minimum", o.minimum}, {"maximum", o.maximum},
                             {"config_value", o.config_value}, {"run_value", o.run_value},
                             {"advanced", o.advanced}, {"dynamic", o.dynamic}});
  root["configuration"] = configuration;
  json logins = json::array();
  for (const Login& l : model.logins) {
    logins.push_back({{"name", l.name}, {"password", l.password},
                      {"default_database", l.default_database}, {"language", l.language},
                      {"sysadmin", l.sysadmin}, {"nt_name", l.is_nt_name},
                      {"created", DateTimeText(l.created)},
                      {"sid", HexText(l.sid)}});
    if (!l.password_hash.empty()) logins.back()["password_hash"] = HexText(l.password_hash);
  }
  root["logins"] = logins;
  json databases = json::array();
  for (const Database& d : model.databases) databases.push_back(DatabaseToJsonValue(d));
  root["databases"] = databases;
  json backups = json::array();
  for (const BackupRecord& b : model.backups) backups.push_back(BackupToJson(b));
  root["backups"] = backups;
  return root.dump(1);
}

}  // namespace msde
