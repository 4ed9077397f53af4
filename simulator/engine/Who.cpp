// sp_who and sp_who2: the server's processes, the system ones and the connections, in SQL
// Server 2000's layouts (sp_who2 with 2005's REQUESTID column when the server is 2005).
#include <cstdio>

#include "engine/SqlTime.h"
#include "engine/SystemTables.h"
#include "engine/Transactions.h"
#include "engine/Values.h"

namespace msde {
namespace {

using T = SqlType;

struct Process {
  int spid = 0;
  std::string status, login, host, database, command, program;
  int blocked = 0;
  SqlDateTime last_batch;
};

std::vector<Process> Processes(Context& ctx) {
  std::vector<Process> list;
  const SqlDateTime started = ctx.model.server.start_time;
  for (const SystemProcess& p : ctx.model.system_processes) {
    const Database* db = ctx.model.FindDatabase(p.dbid);
    list.push_back({p.spid, p.status, "sa", "", db ? db->name : "master", p.command, "", 0, started});
  }
  for (const auto& [spid, s] : ctx.model.sessions)
    if (!s->killed)
      list.push_back({spid, s->status, s->login, s->host, s->database, s->command, s->program,
                      BlockingSpid(ctx.model, spid), FromTimeT(s->last_batch)});
  return list;
}

// @loginame: a login, a spid, or 'active' (all but the idle connections); 15007 for a
// login that does not exist.
bool Wanted(Context& ctx, const ProcArgs& args, const Process& p) {
  if (!args.Has("@loginame")) return true;
  const std::string filter = Trim(args.Text("@loginame"));
  if (EqualNoCase(filter, "active")) return !(p.status == "sleeping" && p.command == "AWAITING COMMAND");
  if (auto spid = ToInteger(Value{filter})) return p.spid == *spid;
  if (ctx.model.FindLogin(filter) == nullptr) ctx.Fail(15007, 16, 1, "The login '" + filter + "' does not exist.");
  return EqualNoCase(p.login, filter);
}

void SpWho(Context& ctx, const ProcArgs& args) {
  ResultSet r;
  r.columns = {Column("spid", T::SmallInt),         Column("ecid", T::SmallInt),
               Column("status", T::NChar, 30),      Column("loginame", T::NChar, 128),
               Column("hostname", T::NChar, 128),   Column("blk", T::Char, 5),
               Column("dbname", T::NVarChar, 128),  Column("cmd", T::NChar, 16)};
  // SQL Server 2005 adds the request of the session (always 0 here: one request a session).
  const bool is2005 = ctx.model.server.Is2005();
  if (is2005) r.columns.push_back(Column("request_id", T::Int));
  for (const Process& p : Processes(ctx)) {
    if (!Wanted(ctx, args, p)) continue;
    r.rows.push_back({int64_t{p.spid}, int64_t{0}, Padded(p.status, 30), Padded(p.login, 128),
                      Padded(p.host, 128), Padded(std::to_string(p.blocked), 5), p.database,
                      Padded(p.command, 16)});
    if (is2005) r.rows.back().emplace_back(int64_t{0});
  }
  ctx.SendResult(r);
}

std::string RightAligned(const std::string& text, size_t width) {
  return std::string(text.size() < width ? width - text.size() : 0, ' ') + text;
}

void SpWho2(Context& ctx, const ProcArgs& args) {
  const bool is2005 = ctx.model.server.Is2005();
  ResultSet r;
  r.columns = {Column("SPID", T::Char, 5),          Column("Status", T::VarChar, 30),
               Column("Login", T::VarChar, 128),    Column("HostName", T::VarChar, 128),
               Column("BlkBy", T::Char, 5),         Column("DBName", T::VarChar, 128),
               Column("Command", T::VarChar, 16),   Column("CPUTime", T::Int),
               Column("DiskIO", T::Int),            Column("LastBatch", T::VarChar, 14),
               Column("ProgramName", T::VarChar, 128), Column("SPID", T::Char, 5)};
  if (is2005) r.columns.push_back(Column("REQUESTID", T::Int));
  for (const Process& p : Processes(ctx)) {
    if (!Wanted(ctx, args, p)) continue;
    const std::string spid = RightAligned(std::to_string(p.spid), 5);
    // "MM/DD hh:mm:ss"
    const std::string stamp = DateTimeText(p.last_batch);
    const std::string last = stamp.substr(5, 2) + "/" + stamp.substr(8, 2) + " " + stamp.substr(11, 8);
    const bool shouted = p.status == "background" || p.status == "runnable";
    const std::string status = shouted ? Upper(p.status) : p.status;
    const std::string host = p.host.empty() ? "  ." : p.host;
    const std::string blocked = p.blocked ? RightAligned(std::to_string(p.blocked), 5) : "  .  ";
    Row row;
    for (const std::string& text : {spid, status, p.login, host, blocked, p.database, p.command}) row.emplace_back(text);
    row.emplace_back(int64_t{0});  // CPUTime
    row.emplace_back(int64_t{0});  // DiskIO
    for (const std::string& text : {last, p.program, spid}) row.emplace_back(text);
    if (is2005) row.emplace_back(int64_t{0});
    r.rows.push_back(std::move(row));
  }
  ctx.SendResult(r);
}

const ProcedureRegistration sp_who("sp_who", {{"@loginame"}}, SpWho);
const ProcedureRegistration sp_who2("sp_who2", {{"@loginame"}}, SpWho2);

}  // namespace
}  // namespace msde
