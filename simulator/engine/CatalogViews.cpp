// SQL Server 2005's catalogue views that a 2005 client asks for: sys.databases,
// sys.database_files and sys.server_principals (their leading columns, in 2005's order).
// They exist only on a 2005 server (OpenTable looks in the schema sys there).
#include "engine/SystemTables.h"
#include "engine/Values.h"

namespace msde {
namespace {

using T = SqlType;

Value Flag(bool on) { return int64_t{on ? 1 : 0}; }

void Databases(Context& ctx, Database&, RowSource& out) {
  out.columns = {Column("name", T::NVarChar, 128, false),     Column("database_id", T::Int, 0, false),
                 Column("source_database_id", T::Int),         BinaryColumn("owner_sid", 85),
                 Column("create_date", T::DateTime, 0, false), Column("compatibility_level", T::TinyInt, 0, false),
                 Column("collation_name", T::NVarChar, 128),   Column("user_access", T::TinyInt),
                 Column("user_access_desc", T::NVarChar, 60),  Column("is_read_only", T::Bit),
                 Column("is_auto_close_on", T::Bit, 0, false), Column("is_auto_shrink_on", T::Bit),
                 Column("state", T::TinyInt),                  Column("state_desc", T::NVarChar, 60),
                 Column("is_in_standby", T::Bit),              Column("is_cleanly_shutdown", T::Bit),
                 Column("recovery_model", T::TinyInt),         Column("recovery_model_desc", T::NVarChar, 60),
                 Column("page_verify_option", T::TinyInt),     Column("page_verify_option_desc", T::NVarChar, 60),
                 Column("is_auto_create_stats_on", T::Bit),    Column("is_auto_update_stats_on", T::Bit)};
  for (const Database& db : ctx.model.databases) {
    const Login* owner = ctx.model.FindLogin(db.owner_login);
    const std::string access = ValueText(db.PropertyEx("UserAccess").value_or(Value{}));
    const std::string state = ValueText(db.PropertyEx("Status").value_or(Value{}));
    const std::string recovery = ValueText(db.PropertyEx("Recovery").value_or(Value{}));
    const int64_t access_code = access == "SINGLE_USER" ? 1 : access == "RESTRICTED_USER" ? 2 : 0;
    const int64_t state_code = state == "RESTORING" ? 1 : state == "RECOVERING" ? 2 : state == "SUSPECT" ? 4
                             : state == "OFFLINE"   ? 6 : 0;
    const int64_t recovery_code = recovery == "FULL" ? 1 : recovery == "BULK_LOGGED" ? 2 : 3;
    const bool torn = db.Has(DbStatus::TornPageDetection);
    out.owned.push_back({db.name, int64_t{db.dbid}, Value{}, owner ? Value{owner->sid} : Value{}, db.crdate,
                         int64_t{db.cmptlevel}, db.collation.empty() ? ctx.model.server.collation : db.collation,
                         access_code, access, Flag(db.Has(DbStatus::ReadOnly)), Flag(db.Has(DbStatus::AutoClose)),
                         Flag(db.Has(DbStatus::AutoShrink)), state_code, state, Flag(false),
                         Flag(db.Has(DbStatus::CleanlyShutdown)), recovery_code, recovery, int64_t{torn ? 1 : 0},
                         std::string(torn ? "TORN_PAGE_DETECTION" : "NONE"), Flag(db.auto_create_statistics),
                         Flag(db.auto_update_statistics)});
  }
}

void DatabaseFiles(Context&, Database& db, RowSource& out) {
  out.columns = {Column("file_id", T::Int, 0, false),        Column("file_guid", T::UniqueIdentifier),
                 Column("type", T::TinyInt, 0, false),       Column("type_desc", T::NVarChar, 60),
                 Column("data_space_id", T::Int, 0, false),  Column("name", T::NVarChar, 128, false),
                 Column("physical_name", T::NVarChar, 260, false), Column("state", T::TinyInt),
                 Column("state_desc", T::NVarChar, 60),      Column("size", T::Int, 0, false),
                 Column("max_size", T::Int, 0, false),       Column("growth", T::Int, 0, false),
                 Column("is_media_read_only", T::Bit, 0, false), Column("is_read_only", T::Bit, 0, false),
                 Column("is_sparse", T::Bit, 0, false),      Column("is_percent_growth", T::Bit, 0, false)};
  for (const DbFile& f : db.files)
    out.owned.push_back({int64_t{f.fileid}, Value{}, int64_t{f.is_log() ? 1 : 0},
                         std::string(f.is_log() ? "LOG" : "ROWS"), int64_t{f.is_log() ? 0 : 1}, f.name, f.filename,
                         int64_t{0}, std::string("ONLINE"), f.size, f.maxsize, f.growth, Flag(false),
                         Flag(db.Has(DbStatus::ReadOnly)), Flag(false), Flag(f.growth_percent)});
}

void ServerPrincipals(Context& ctx, Database&, RowSource& out) {
  out.columns = {Column("name", T::NVarChar, 128, false),         Column("principal_id", T::Int, 0, false),
                 BinaryColumn("sid", 85),                          Column("type", T::Char, 1, false),
                 Column("type_desc", T::NVarChar, 60),             Column("is_disabled", T::Bit),
                 Column("create_date", T::DateTime, 0, false),     Column("modify_date", T::DateTime, 0, false),
                 Column("default_database_name", T::NVarChar, 128), Column("default_language_name", T::NVarChar, 128),
                 Column("credential_id", T::Int)};
  int64_t id = 1;
  for (const Login& l : ctx.model.logins) {
    const bool windows = l.is_nt_name;
    const bool group = windows && l.name.rfind("BUILTIN\\", 0) == 0;
    out.owned.push_back({l.name, id, l.sid, std::string(group ? "G" : windows ? "U" : "S"),
                         std::string(group ? "WINDOWS_GROUP" : windows ? "WINDOWS_LOGIN" : "SQL_LOGIN"), Flag(false),
                         l.created, l.created, l.default_database, l.language, Value{}});
    id = id == 1 ? 259 : id + 1;  // 2 to 10 are the fixed server roles
  }
  int64_t role_id = 2;
  for (const char* role : {"public", "sysadmin", "securityadmin", "serveradmin", "setupadmin", "processadmin",
                           "diskadmin", "dbcreator", "bulkadmin"})
    out.owned.push_back({std::string(role), role_id++, Value{}, std::string("R"), std::string("SERVER_ROLE"), Flag(false),
                         ctx.model.server.start_time, ctx.model.server.start_time, Value{}, Value{}, Value{}});
}

const SystemTableRegistration databases("sys.databases", false, Databases);
const SystemTableRegistration database_files("sys.database_files", false, DatabaseFiles);
const SystemTableRegistration server_principals("sys.server_principals", false, ServerPrincipals);

}  // namespace
}  // namespace msde
