// master..sysprocesses and KILL.
#include "engine/Processes.h"

#include <string>

#include "engine/SqlTime.h"

namespace msde {
namespace {

// User connections get spids from 51 up; KILL accepts numbers up to this one.
constexpr int64_t kHighestSpid = 2048;
constexpr int kFirstUserSpid = 51;

// nchar(n) columns come back blank-padded to n characters (UTF-8 letters count as one).
std::string Padded(const std::string& text, size_t width) {
  size_t characters = 0;
  for (unsigned char c : text) characters += (c & 0xC0) != 0x80 ? 1 : 0;
  return characters >= width ? text : text + std::string(width - characters, ' ');
}

ColumnInfo NChar(const char* name, int length) {
  return {name, SqlType::NChar, length, 0, 0, false};
}
ColumnInfo Small(const char* name) { return {name, SqlType::SmallInt, 0, 0, 0, false}; }
ColumnInfo Integer(const char* name) { return {name, SqlType::Int, 0, 0, 0, false}; }

std::vector<ColumnInfo> Columns() {
  return {Small("spid"),          Small("kpid"),
          Small("blocked"),       Integer("waittime"),
          NChar("lastwaittype", 32), NChar("waitresource", 256),
          Small("dbid"),          Small("uid"),
          Integer("cpu"),         {"physical_io", SqlType::BigInt, 0, 0, 0, false},
          Integer("memusage"),    {"login_time", SqlType::DateTime, 0, 0, 0, false},
          {"last_batch", SqlType::DateTime, 0, 0, 0, false}, Small("ecid"),
          Small("open_tran"),     NChar("status", 30),
          NChar("hostname", 128), NChar("program_name", 128),
          NChar("hostprocess", 8), NChar("cmd", 16),
          NChar("nt_domain", 128), NChar("nt_username", 128),
          NChar("net_address", 12), NChar("net_library", 12),
          NChar("loginame", 128)};
}

struct ProcessRow {
  int64_t spid = 0, kpid = 0, dbid = 1, uid = 1;
  SqlDateTime login_time, last_batch;
  std::string status, hostname, program, cmd, net_address, net_library, login;
};

Row ToRow(const ProcessRow& p) {
  return {p.spid,
          p.kpid,
          int64_t{0},
          int64_t{0},
          Padded("MISCELLANEOUS", 32),
          Padded("", 256),
          p.dbid,
          p.uid,
          int64_t{0},
          int64_t{0},
          int64_t{p.spid < kFirstUserSpid ? 0 : 2},
          p.login_time,
          p.last_batch,
          int64_t{0},
          int64_t{0},
          Padded(p.status, 30),
          Padded(p.hostname, 128),
          Padded(p.program, 128),
          Padded("", 8),
          Padded(p.cmd, 16),
          Padded("", 128),
          Padded("", 128),
          Padded(p.net_address, 12),
          Padded(p.net_library, 12),
          Padded(p.login, 128)};
}

// The user id of a login in a database: dbo for sysadmins and the owner, else its user.
int64_t UserId(Model& model, Database* db, const std::string& login) {
  if (db == nullptr) return 0;
  const Login* l = model.FindLogin(login);
  if ((l != nullptr && l->sysadmin) || EqualNoCase(db->owner_login, login)) return 1;
  const DbUser* u = db->FindUserByLogin(login);
  return u != nullptr ? u->uid : 0;
}

void Kill(Context& ctx, Parser& p) {
  const int64_t spid = p.ExpectInteger();
  p.ExpectEnd();
  if (!ctx.IsSysadmin())
    ctx.Fail(6102, 14, 1, "User does not have permission to use the KILL statement.");
  if (spid == ctx.session.spid) ctx.Fail(6104, 16, 1, "Cannot use KILL to kill your own process.");
  if (spid < 1 || spid > kHighestSpid)
    ctx.Fail(6101, 16, 1,
             "Process ID " + std::to_string(spid) +
                 " is not a valid process ID. Choose a number between 1 and " +
                 std::to_string(kHighestSpid) + ".");
  if (spid < kFirstUserSpid) {
    for (const SystemProcess& s : ctx.model.system_processes)
      if (s.spid == spid) ctx.Fail(6107, 14, 1, "Only user processes can be killed.");
  }
  auto it = ctx.model.sessions.find(static_cast<int>(spid));
  if (it == ctx.model.sessions.end() || it->second->killed)
    ctx.Fail(6106, 16, 1, "Process ID " + std::to_string(spid) + " is not an active process ID.");
  EndSession(ctx, *it->second);
}

const StatementRegistration kill_statement("KILL", Kill);

}  // namespace

ResultSet SysprocessesTable(Model& model, const Session& caller) {
  ResultSet result;
  result.columns = Columns();
  for (const SystemProcess& s : model.system_processes) {
    ProcessRow p;
    p.spid = s.spid;
    p.dbid = s.dbid;
    p.login_time = p.last_batch = model.server.start_time;
    p.status = s.status;
    p.cmd = s.command;
    p.login = "sa";
    result.rows.push_back(ToRow(p));
  }
  for (const auto& [spid, session] : model.sessions) {
    if (session->killed) continue;
    Database* db = model.FindDatabase(session->database);
    ProcessRow p;
    p.spid = spid;
    p.dbid = db != nullptr ? db->dbid : 1;
    p.uid = UserId(model, db, session->login);
    p.login_time = FromTimeT(session->login_time);
    p.last_batch = FromTimeT(session->last_batch != 0 ? session->last_batch : session->login_time);
    const bool running = session.get() == &caller;
    p.kpid = running ? 1000 + spid : 0;
    p.status = running ? "runnable" : session->status;
    p.cmd = running ? "SELECT" : session->command;
    p.hostname = session->host;
    p.program = session->program;
    p.net_address = "000C29A1B2C3";
    p.net_library = "TCP/IP";
    p.login = session->login;
    result.rows.push_back(ToRow(p));
  }
  return result;
}

void EndSession(Context& ctx, Session& victim) {
  victim.killed = true;
  victim.cancel_requested = true;
  victim.database.clear();
  if (victim.on_killed) ctx.Defer(victim.on_killed);
}

}  // namespace msde
