// KILL: ends another user connection. DBCC INPUTBUFFER: what a connection last sent.
#include "engine/Processes.h"

#include <string>

#include "engine/ErrorLog.h"
#include "engine/Transactions.h"
#include "engine/Values.h"

namespace msde {
namespace {

// User connections get spids from 51 up; KILL accepts numbers up to this one.
constexpr int64_t kHighestSpid = 2048;
constexpr int64_t kFirstUserSpid = 51;

void Kill(Context& ctx, Parser& p) {
  const int64_t spid = p.ExpectInteger();
  // WITH STATUSONLY asks how far the rollback of a killed session is (server setting
  // kill_rollback_seconds; without it every rollback ends at once).
  bool status_only = false;
  if (p.AcceptKeyword("WITH")) {
    p.ExpectKeyword("STATUSONLY");
    status_only = true;
  }
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
  ctx.model.EndFinishedRollbacks();
  // A session rolling back is asked how far it is, by either form of KILL.
  if (auto rolling = ctx.model.rollbacks.find(static_cast<int>(spid)); rolling != ctx.model.rollbacks.end()) {
    ctx.Info(0, "SPID " + std::to_string(spid) + ": transaction rollback in progress. Estimated rollback completion: " +
                    std::to_string(rolling->second.Percent()) + "%. Estimated time remaining: " +
                    std::to_string(rolling->second.SecondsLeft()) + " seconds.");
    return;
  }
  auto it = ctx.model.sessions.find(static_cast<int>(spid));
  if (it == ctx.model.sessions.end() || it->second->killed)
    ctx.Fail(6106, 16, 1, "Process ID " + std::to_string(spid) + " is not an active process ID.");
  if (status_only)
    ctx.Fail(6120, 16, 1,
             "Status report cannot be obtained. Rollback operation for Process ID " + std::to_string(spid) +
                 " is not in progress.");
  LogEvent(ctx.model, SpidSource(ctx.session.spid),
           "Process ID " + std::to_string(spid) + " was killed by hostname " + ctx.session.host +
               ", host process ID 0.");
  const Session& victim = *it->second;
  if (ctx.model.server.kill_rollback_seconds > 0 && victim.trancount > 0) {
    RollingBack& r = ctx.model.rollbacks[static_cast<int>(spid)];
    r = {victim.login, victim.host, victim.program, victim.database, "rollback", victim.login_time, victim.last_batch,
         std::chrono::steady_clock::now(), ctx.model.server.kill_rollback_seconds};
  }
  EndSession(ctx, *it->second);
}

const StatementRegistration kill_statement("KILL", Kill);

}  // namespace

void InputBuffer(Context& ctx, Parser& p) {
  p.ExpectSymbol("(");
  const int64_t spid = p.ExpectInteger();
  p.ExpectSymbol(")");
  if (p.AcceptKeyword("WITH")) p.ExpectKeyword("NO_INFOMSGS");
  p.ExpectEnd();
  auto it = ctx.model.sessions.find(static_cast<int>(spid));
  if (it == ctx.model.sessions.end() || it->second->killed)
    ctx.Fail(7940, 16, 1, "Invalid SPID " + std::to_string(spid) + " specified.");
  // Anyone sees their own session's; other sessions' need sysadmin.
  if (it->second.get() != &ctx.session && !ctx.IsSysadmin())
    ctx.Fail(7971, 16, 1, "User does not have permission to perform this action.");
  const Session& s = *it->second;
  // 2000 shows the first 255 characters of a batch, 2005 the first 4000.
  const size_t width = ctx.model.server.Is2005() ? 4000 : 255;
  ResultSet r;
  r.columns = {ColumnInfo{"EventType", SqlType::NVarChar, 30}, ColumnInfo{"Parameters", SqlType::Int},
               ColumnInfo{"EventInfo", SqlType::NVarChar, static_cast<int>(width)}};
  const std::string type = s.input_buffer.empty() ? "No Event" : s.input_rpc ? "RPC Event" : "Language Event";
  r.rows.push_back({type, int64_t{0}, Utf8Prefix(s.input_buffer, width)});
  ctx.SendResult(r);
  ctx.Info(2528, "DBCC execution completed. If DBCC printed error messages, contact your system administrator.");
}

void EndSession(Context& ctx, Session& victim) {
  RollbackSession(ctx.model, victim);
  victim.killed = true;
  victim.cancel_requested = true;
  victim.database.clear();
  if (victim.on_killed) ctx.Defer(victim.on_killed);
}

}  // namespace msde
