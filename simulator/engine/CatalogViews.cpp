// SQL Server 2005's catalogue views that a 2005 client asks for: sys.databases,
// sys.database_files, sys.server_principals, sys.database_principals and sys.partitions, in
// 2005's layouts.
// They exist only on a 2005 server (OpenTable looks in the schema sys there).
#include "engine/Locks.h"
#include "engine/SystemTables.h"
#include "engine/Values.h"

namespace msde {
namespace {

using T = SqlType;

Value Flag(bool on) { return int64_t{on ? 1 : 0}; }

// sys.databases' columns in 2005's order; the options the model does not keep (snapshot
// isolation, cursors, publishing, the service broker, ...) are as a new database has them.
void Databases(Context& ctx, Database&, RowSource& out) {
  const char* const kFlags[] = {
      "is_auto_update_stats_async_on", "is_ansi_null_default_on", "is_ansi_nulls_on",
      "is_ansi_padding_on", "is_ansi_warnings_on", "is_arithabort_on",
      "is_concat_null_yields_null_on", "is_numeric_roundabort_on", "is_quoted_identifier_on",
      "is_recursive_triggers_on", "is_cursor_close_on_commit_on", "is_local_cursor_default",
      "is_fulltext_enabled", "is_trustworthy_on", "is_db_chaining_on", "is_parameterization_forced",
      "is_master_key_encrypted_by_server", "is_published", "is_subscribed", "is_merge_published",
      "is_distributor", "is_sync_with_backup"};
  out.columns = {Column("name", T::NVarChar, 128, false),     Column("database_id", T::Int, 0, false),
                 Column("source_database_id", T::Int),         BinaryColumn("owner_sid", 85),
                 Column("create_date", T::DateTime, 0, false), Column("compatibility_level", T::TinyInt, 0, false),
                 Column("collation_name", T::NVarChar, 128),   Column("user_access", T::TinyInt),
                 Column("user_access_desc", T::NVarChar, 60),  Column("is_read_only", T::Bit),
                 Column("is_auto_close_on", T::Bit, 0, false), Column("is_auto_shrink_on", T::Bit),
                 Column("state", T::TinyInt),                  Column("state_desc", T::NVarChar, 60),
                 Column("is_in_standby", T::Bit),              Column("is_cleanly_shutdown", T::Bit),
                 Column("is_supplemental_logging_enabled", T::Bit), Column("snapshot_isolation_state", T::TinyInt),
                 Column("snapshot_isolation_state_desc", T::NVarChar, 60),
                 Column("is_read_committed_snapshot_on", T::Bit),
                 Column("recovery_model", T::TinyInt),         Column("recovery_model_desc", T::NVarChar, 60),
                 Column("page_verify_option", T::TinyInt),     Column("page_verify_option_desc", T::NVarChar, 60),
                 Column("is_auto_create_stats_on", T::Bit),    Column("is_auto_update_stats_on", T::Bit)};
  for (const char* flag : kFlags) out.columns.push_back(Column(flag, T::Bit));
  for (ColumnInfo c : {Column("service_broker_guid", T::UniqueIdentifier), Column("is_broker_enabled", T::Bit),
                       Column("log_reuse_wait", T::TinyInt), Column("log_reuse_wait_desc", T::NVarChar, 60),
                       Column("is_date_correlation_on", T::Bit)})
    out.columns.push_back(c);
  for (const Database& db : ctx.model.databases) {
    const Login* owner = ctx.model.FindLogin(db.owner_login);
    auto property = [&](const char* name) { return db.PropertyEx(name, true).value_or(Value{}); };
    const std::string access = ValueText(property("UserAccess"));
    const std::string state = ValueText(property("Status"));
    const std::string recovery = ValueText(property("Recovery"));
    const int64_t access_code = access == "SINGLE_USER" ? 1 : access == "RESTRICTED_USER" ? 2 : 0;
    const int64_t state_code = state == "RESTORING" ? 1 : state == "RECOVERING" ? 2 : state == "SUSPECT" ? 4
                             : state == "EMERGENCY" ? 5 : state == "OFFLINE" ? 6 : 0;
    const int64_t recovery_code = recovery == "FULL" ? 1 : recovery == "BULK_LOGGED" ? 2 : 3;
    const bool torn = db.Has(DbStatus::TornPageDetection);
    Row row = {db.name, int64_t{db.dbid}, Value{}, owner ? Value{owner->sid} : Value{}, db.crdate,
               int64_t{db.cmptlevel}, db.collation.empty() ? ctx.model.server.collation : db.collation,
               access_code, access, Flag(ValueText(property("Updateability")) == "READ_ONLY"), Flag(db.Has(DbStatus::AutoClose)),
               Flag(db.Has(DbStatus::AutoShrink)), state_code, state, Flag(false),
               Flag(db.Has(DbStatus::CleanlyShutdown)), Flag(false), int64_t{0}, std::string("OFF"), Flag(false),
               recovery_code, recovery, int64_t{torn ? 1 : 0}, std::string(torn ? "TORN_PAGE_DETECTION" : "NONE"),
               Flag(db.auto_create_statistics), Flag(db.auto_update_statistics)};
    // The options DATABASEPROPERTYEX knows, by the name of their flag column.
    const std::pair<const char*, const char*> kKnown[] = {
        {"is_ansi_null_default_on", "IsAnsiNullDefault"}, {"is_ansi_nulls_on", "IsAnsiNullsEnabled"},
        {"is_ansi_warnings_on", "IsAnsiWarningsEnabled"}, {"is_concat_null_yields_null_on", "IsNullConcat"},
        {"is_quoted_identifier_on", "IsQuotedIdentifiersEnabled"},
        {"is_recursive_triggers_on", "IsRecursiveTriggersEnabled"}, {"is_fulltext_enabled", "IsFulltextEnabled"}};
    for (const char* flag : kFlags) {
      Value v = Flag(false);
      for (const auto& [column, name] : kKnown)
        if (std::string(column) == flag) v = property(name);
      row.push_back(v);
    }
    row.insert(row.end(), {Value{}, Flag(false), int64_t{0}, std::string("NOTHING"), Flag(false)});
    out.owned.push_back(std::move(row));
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
                 Column("is_sparse", T::Bit, 0, false),      Column("is_percent_growth", T::Bit, 0, false),
                 Column("is_name_reserved", T::Bit, 0, false)};
  // The log sequence numbers and backup bases the model does not keep: NULL, as for a
  // file never backed up.
  auto lsn = [](const char* name) {
    ColumnInfo c = Column(name, T::Numeric);
    c.precision = 25;
    return c;
  };
  for (const char* name : {"create_lsn", "drop_lsn", "read_only_lsn", "read_write_lsn", "differential_base_lsn"})
    out.columns.push_back(lsn(name));
  for (ColumnInfo c : {Column("differential_base_guid", T::UniqueIdentifier), Column("differential_base_time", T::DateTime),
                       lsn("redo_start_lsn"), Column("redo_start_fork_guid", T::UniqueIdentifier), lsn("redo_target_lsn"),
                       Column("redo_target_fork_guid", T::UniqueIdentifier), lsn("backup_lsn")})
    out.columns.push_back(c);
  for (const DbFile& f : db.files) {
    Row row = {int64_t{f.fileid}, Value{}, int64_t{f.is_log() ? 1 : 0},
               std::string(f.is_log() ? "LOG" : "ROWS"), int64_t{f.is_log() ? 0 : 1}, f.name, f.filename,
               int64_t{0}, std::string("ONLINE"), f.size, f.maxsize, f.growth, Flag(false),
               Flag(db.Has(DbStatus::ReadOnly)), Flag(false), Flag(f.growth_percent), Flag(false)};
    row.resize(out.columns.size());
    out.owned.push_back(std::move(row));
  }
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

// The users and roles of the current database, and the two users every 2005 database has.
void DatabasePrincipals(Context& ctx, Database& db, RowSource& out) {
  out.columns = {Column("name", T::NVarChar, 128, false),     Column("principal_id", T::Int, 0, false),
                 Column("type", T::Char, 1, false),           Column("type_desc", T::NVarChar, 60),
                 Column("default_schema_name", T::NVarChar, 128), Column("create_date", T::DateTime, 0, false),
                 Column("modify_date", T::DateTime, 0, false), Column("owning_principal_id", T::Int),
                 BinaryColumn("sid", 85),                     Column("is_fixed_role", T::Bit, 0, false)};
  auto add = [&](const std::string& name, int id, const char* type, const char* desc, Value sid, bool role) {
    out.owned.push_back({name, int64_t{id}, std::string(type), std::string(desc),
                         role ? Value{} : Value{std::string("dbo")}, db.crdate, db.crdate,
                         role ? Value{int64_t{1}} : Value{}, std::move(sid), Flag(role && id >= 16384)});
  };
  for (const DbUser& u : db.users) {
    if (u.is_role) {
      add(u.name, u.uid, "R", "DATABASE_ROLE", Value{}, true);
      continue;
    }
    const Login* login = u.login.empty() ? nullptr : ctx.model.FindLogin(u.login);
    const bool windows = login != nullptr && login->is_nt_name;
    const bool group = windows && login->name.rfind("BUILTIN\\", 0) == 0;
    const std::string sid = !u.sid.empty() ? u.sid : login ? login->sid : std::string();
    add(u.name, u.uid, group ? "G" : windows ? "U" : "S", group ? "WINDOWS_GROUP" : windows ? "WINDOWS_USER" : "SQL_USER",
        sid.empty() ? Value{} : Value{sid}, false);
  }
  for (const auto& [name, id] : {std::pair<const char*, int>{"INFORMATION_SCHEMA", 3}, {"sys", 4}})
    if (db.FindUser(name) == nullptr) add(name, id, "S", "SQL_USER", Value{}, false);
}

// One partition per user table: its clustered index when it has a primary key, else its heap,
// under the id the lock views name its rows by.
void Partitions(Context&, Database& db, RowSource& out) {
  out.columns = {Column("partition_id", T::BigInt, 0, false), Column("object_id", T::Int, 0, false),
                 Column("index_id", T::Int, 0, false),        Column("partition_number", T::Int, 0, false),
                 Column("hobt_id", T::BigInt, 0, false),      Column("rows", T::BigInt)};
  for (const Table& t : db.tables) {
    const int index = t.primary_key.empty() ? 0 : 1;
    const int64_t hobt = HobtId(t.id, index);
    out.owned.push_back({hobt, int64_t{t.id}, int64_t{index}, int64_t{1}, hobt, static_cast<int64_t>(t.rows.size())});
  }
}

const SystemTableRegistration databases("sys.databases", false, Databases);
const SystemTableRegistration partitions("sys.partitions", false, Partitions);
const SystemTableRegistration database_principals("sys.database_principals", false, DatabasePrincipals);
const SystemTableRegistration database_files("sys.database_files", false, DatabaseFiles);
const SystemTableRegistration server_principals("sys.server_principals", false, ServerPrincipals);

}  // namespace
}  // namespace msde
