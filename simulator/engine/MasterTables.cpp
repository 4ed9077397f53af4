// The system tables that only master holds: sysdatabases, sysaltfiles, syslogins and
// sysprocesses, with SQL Server 2000's columns in its order.
#include "engine/Locks.h"
#include "engine/PasswordHash.h"
#include "engine/SqlTime.h"
#include "engine/SystemTables.h"
#include "engine/Values.h"

namespace msde {
namespace {

using T = SqlType;
const SqlDateTime kNever = *ParseDateTime("1900-01-01");

void SysDatabases(Context& ctx, Database&, RowSource& out) {
  out.columns = {Column("name", T::NVarChar, 128, false), Column("dbid", T::SmallInt, 0, false),
                 BinaryColumn("sid", 85),                 Column("mode", T::SmallInt),
                 Column("status", T::Int),                Column("status2", T::Int),
                 Column("crdate", T::DateTime),           Column("reserved", T::DateTime),
                 Column("category", T::Int),              Column("cmptlevel", T::TinyInt),
                 Column("filename", T::NVarChar, 260),    Column("version", T::SmallInt)};
  for (const Database& d : ctx.model.databases) {
    const Login* owner = ctx.model.FindLogin(d.owner_login);
    out.owned.push_back({d.name, int64_t{d.dbid},
                         owner ? Value{owner->sid} : Value{}, int64_t{0}, d.status,
                         d.status2, d.crdate, kNever, int64_t{0}, int64_t{d.cmptlevel},
                         d.PrimaryFile(), int64_t{d.version}});
  }
}

void SysAltFiles(Context& ctx, Database&, RowSource& out) {
  out.columns = {Column("fileid", T::SmallInt),  Column("groupid", T::SmallInt),
                 Column("size", T::Int),         Column("maxsize", T::Int),
                 Column("growth", T::Int),       Column("status", T::Int),
                 Column("perf", T::Int),         Column("dbid", T::SmallInt),
                 Column("name", T::NChar, 128),  Column("filename", T::NChar, 260),
                 BinaryColumn("createlsn", 10, true), BinaryColumn("droplsn", 10, true)};
  for (const Database& d : ctx.model.databases)
    for (const DbFile& f : d.files)
      out.owned.push_back({int64_t{f.fileid}, int64_t{f.is_log() ? 0 : 1}, f.size, f.maxsize,
                           f.growth, FileStatus(f), int64_t{0}, int64_t{d.dbid},
                           Padded(f.name, 128), Padded(f.filename, 260), Value{}, Value{}});
}

void SysLogins(Context& ctx, Database&, RowSource& out) {
  out.columns = {BinaryColumn("sid", 85),            Column("status", T::SmallInt),
                 Column("createdate", T::DateTime),  Column("updatedate", T::DateTime),
                 Column("accdate", T::DateTime),     Column("totcpu", T::Int),
                 Column("totio", T::Int),            Column("spacelimit", T::Int),
                 Column("timelimit", T::Int),        Column("resultlimit", T::Int),
                 Column("name", T::NVarChar, 128),   Column("dbname", T::NVarChar, 128),
                 Column("password", T::NVarChar, 128), Column("language", T::NVarChar, 128),
                 Column("denylogin", T::Int),        Column("hasaccess", T::Int),
                 Column("isntname", T::Int),         Column("isntgroup", T::Int),
                 Column("isntuser", T::Int),         Column("sysadmin", T::Int),
                 Column("securityadmin", T::Int),    Column("serveradmin", T::Int),
                 Column("setupadmin", T::Int),       Column("processadmin", T::Int),
                 Column("diskadmin", T::Int),        Column("dbcreator", T::Int),
                 Column("bulkadmin", T::Int),        Column("loginname", T::NVarChar, 128)};
  for (const Login& l : ctx.model.logins) {
    const int64_t nt = l.is_nt_name ? 1 : 0;
    out.owned.push_back({l.sid, int64_t{l.is_nt_name ? 10 : 9}, l.created, l.created,
                         l.created, int64_t{0}, int64_t{0}, int64_t{0}, int64_t{0}, int64_t{0},
                         l.name, l.default_database,
                         // The stored hash as its "0x..." text: the bytes in a character column.
                         l.password.empty() && l.password_hash.empty()
                             ? Value{}
                             : Value{HexText(StoredPasswordHash(l, ctx.model.server.Is2005()))},
                         l.language,
                         int64_t{0}, int64_t{1}, nt, int64_t{0}, nt, int64_t{l.sysadmin ? 1 : 0},
                         int64_t{0}, int64_t{0}, int64_t{0}, int64_t{0}, int64_t{0}, int64_t{0},
                         int64_t{0}, l.name});
  }
}

void SysProcesses(Context& ctx, Database&, RowSource& out) {
  out.columns = {Column("spid", T::SmallInt),          Column("kpid", T::SmallInt),
                 Column("blocked", T::SmallInt),       BinaryColumn("waittype", 2, true),
                 Column("waittime", T::Int),           Column("lastwaittype", T::NChar, 32),
                 Column("waitresource", T::NChar, 256), Column("dbid", T::SmallInt),
                 Column("uid", T::SmallInt),           Column("cpu", T::Int),
                 Column("physical_io", T::BigInt),     Column("memusage", T::Int),
                 Column("login_time", T::DateTime),    Column("last_batch", T::DateTime),
                 Column("ecid", T::SmallInt),          Column("open_tran", T::SmallInt),
                 Column("status", T::NChar, 30),       BinaryColumn("sid", 86, true),
                 Column("hostname", T::NChar, 128),    Column("program_name", T::NChar, 128),
                 Column("hostprocess", T::NChar, 8),   Column("cmd", T::NChar, 16),
                 Column("nt_domain", T::NChar, 128),   Column("nt_username", T::NChar, 128),
                 Column("net_address", T::NChar, 12),  Column("net_library", T::NChar, 12),
                 Column("loginame", T::NChar, 128),    BinaryColumn("context_info", 128, true),
                 BinaryColumn("sql_handle", 20, true),       Column("stmt_start", T::Int),
                 Column("stmt_end", T::Int)};
  const SqlDateTime started = ctx.model.server.start_time;
  const Login* sa = ctx.model.FindLogin("sa");
  const std::string sa_sid = sa ? sa->sid : std::string(1, '\x01');
  for (const SystemProcess& p : ctx.model.system_processes)
    out.owned.push_back({int64_t{p.spid}, int64_t{0}, int64_t{0}, std::string(2, '\0'), int64_t{0},
                         Padded("MISCELLANEOUS", 32), Padded("", 256), int64_t{p.dbid},
                         int64_t{1}, int64_t{0}, int64_t{0}, int64_t{0}, started, started,
                         int64_t{0}, int64_t{0}, Padded(p.status, 30), sa_sid, Padded("", 128),
                         Padded("", 128), Padded("", 8), Padded(p.command, 16), Padded("", 128),
                         Padded("", 128), Padded("", 12), Padded("", 12), Padded("sa", 128),
                         std::string(1, '\0'), std::string(1, '\0'), int64_t{0}, int64_t{0}});
  for (const auto& [spid, s] : ctx.model.sessions) {
    // A killed session is gone at once, although its connection closes a moment later.
    if (s->killed) continue;
    Database* db = ctx.model.FindDatabase(s->database);
    const Login* login = ctx.model.FindLogin(s->login);
    const bool self = s.get() == &ctx.session;
    int64_t uid = 1;
    if (db != nullptr && login != nullptr && !login->sysadmin) {
      const DbUser* user = db->FindUserByLogin(login->name);
      uid = user ? user->uid : 2;
    }
    // A lock wait: its holder, LCK_M_* as its code, how long so far and on which row.
    const WaitInfo wait = SessionWait(ctx.model, spid);
    std::string last_wait = self ? "MISCELLANEOUS" : "NETWORKIO";
    if (!s->last_wait_type.empty()) last_wait = s->last_wait_type;
    out.owned.push_back({int64_t{spid}, int64_t{0}, int64_t{wait.blocked},
                         std::string{'\0', static_cast<char>(wait.code)}, wait.milliseconds,
                         Padded(last_wait, 32), Padded(wait.resource, 256),
                         db ? Value{int64_t{db->dbid}} : Value{int64_t{0}}, uid, int64_t{0},
                         int64_t{0}, int64_t{2}, FromTimeT(s->login_time), FromTimeT(s->last_batch),
                         int64_t{0}, int64_t{s->trancount}, Padded(s->status, 30),
                         login ? login->sid : std::string(1, '\0'), Padded(s->host, 128),
                         Padded(s->program, 128), Padded("", 8), Padded(s->command, 16),
                         Padded("", 128), Padded("", 128), Padded("7F000001", 12),
                         Padded("TCP/IP", 12), Padded(s->login, 128), std::string(1, '\0'),
                         std::string(1, '\0'), int64_t{0}, int64_t{0}});
  }
  // A killed session rolling back is listed as such until the rollback ends.
  ctx.model.EndFinishedRollbacks();
  for (const auto& [spid, r] : ctx.model.rollbacks) {
    Database* db = ctx.model.FindDatabase(r.database);
    const Login* login = ctx.model.FindLogin(r.login);
    out.owned.push_back({int64_t{spid}, int64_t{0}, int64_t{0}, std::string(2, '\0'), int64_t{0},
                         Padded("MISCELLANEOUS", 32), Padded("", 256),
                         db ? Value{int64_t{db->dbid}} : Value{int64_t{0}}, int64_t{1}, int64_t{0}, int64_t{0},
                         int64_t{2}, FromTimeT(r.login_time), FromTimeT(r.last_batch), int64_t{0}, int64_t{1},
                         Padded(r.status, 30), login ? login->sid : std::string(1, '\0'), Padded(r.host, 128),
                         Padded(r.program, 128), Padded("", 8), Padded("KILLED/ROLLBACK", 16), Padded("", 128),
                         Padded("", 128), Padded("7F000001", 12), Padded("TCP/IP", 12), Padded(r.login, 128),
                         std::string(1, '\0'), std::string(1, '\0'), int64_t{0}, int64_t{0}});
  }
}

const SystemTableRegistration sysdatabases("sysdatabases", true, SysDatabases);
const SystemTableRegistration sysaltfiles("sysaltfiles", true, SysAltFiles);
const SystemTableRegistration syslogins("syslogins", true, SysLogins);
const SystemTableRegistration sysprocesses("sysprocesses", true, SysProcesses);

}  // namespace
}  // namespace msde
