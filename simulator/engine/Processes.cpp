// KILL: ends another user connection.
#include "engine/Processes.h"

#include <string>

#include "engine/ErrorLog.h"
#include "engine/Transactions.h"

namespace msde {
namespace {

// User connections get spids from 51 up; KILL accepts numbers up to this one.
constexpr int64_t kHighestSpid = 2048;
constexpr int64_t kFirstUserSpid = 51;

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
  LogEvent(ctx.model, SpidSource(ctx.session.spid),
           "Process ID " + std::to_string(spid) + " was killed by hostname " + ctx.session.host +
               ", host process ID 0.");
  EndSession(ctx, *it->second);
}

const StatementRegistration kill_statement("KILL", Kill);

}  // namespace

void EndSession(Context& ctx, Session& victim) {
  RollbackSession(ctx.model, victim);
  victim.killed = true;
  victim.cancel_requested = true;
  victim.database.clear();
  if (victim.on_killed) ctx.Defer(victim.on_killed);
}

}  // namespace msde
