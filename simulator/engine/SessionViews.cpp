// SQL Server 2005's sys.dm_exec_sessions: one row per session, the server's own background
// sessions (is_user_process 0) and the connections of its clients (1).
#include "engine/SqlTime.h"
#include "engine/SystemTables.h"
#include "engine/Values.h"

namespace msde {
namespace {

using T = SqlType;

void ExecSessions(Context& ctx, Database&, RowSource& out) {
  out.columns = {Column("session_id", T::SmallInt, 0, false),   Column("login_time", T::DateTime, 0, false),
                 Column("host_name", T::NVarChar, 128),          Column("program_name", T::NVarChar, 128),
                 Column("host_process_id", T::Int),              Column("client_version", T::Int),
                 Column("client_interface_name", T::NVarChar, 32), BinaryColumn("security_id", 85),
                 Column("login_name", T::NVarChar, 128, false),  Column("nt_domain", T::NVarChar, 128),
                 Column("nt_user_name", T::NVarChar, 128),       Column("status", T::NVarChar, 30, false),
                 Column("cpu_time", T::Int, 0, false),           Column("memory_usage", T::Int, 0, false),
                 Column("total_scheduled_time", T::Int, 0, false), Column("total_elapsed_time", T::Int, 0, false),
                 Column("last_request_start_time", T::DateTime, 0, false),
                 Column("last_request_end_time", T::DateTime),   Column("reads", T::BigInt, 0, false),
                 Column("writes", T::BigInt, 0, false),          Column("logical_reads", T::BigInt, 0, false),
                 Column("is_user_process", T::Bit, 0, false),    Column("language", T::NVarChar, 128),
                 Column("transaction_isolation_level", T::SmallInt, 0, false),
                 Column("lock_timeout", T::Int, 0, false),       Column("row_count", T::BigInt, 0, false),
                 Column("prev_error", T::Int, 0, false)};
  const SqlDateTime started = ctx.model.server.start_time;
  for (const SystemProcess& p : ctx.model.system_processes)
    out.owned.push_back({int64_t{p.spid}, started, Value{}, Value{}, Value{}, Value{}, Value{}, std::string(1, '\x01'),
                         std::string("sa"), Value{}, Value{}, std::string("background"), int64_t{0}, int64_t{0},
                         int64_t{0}, int64_t{0}, started, Value{}, int64_t{0}, int64_t{0}, int64_t{0}, int64_t{0},
                         std::string("us_english"), int64_t{2}, int64_t{-1}, int64_t{0}, int64_t{0}});
  for (const auto& [spid, s] : ctx.model.sessions) {
    if (s->killed) continue;
    const Login* login = ctx.model.FindLogin(s->login);
    const bool busy = s.get() == &ctx.session || s->command != "AWAITING COMMAND";
    out.owned.push_back({int64_t{spid}, FromTimeT(s->login_time), s->host, s->program, Value{}, Value{},
                         std::string("ODBC"), login ? Value{login->sid} : Value{}, s->login, Value{}, Value{},
                         std::string(busy ? "running" : "sleeping"), int64_t{0}, int64_t{2}, int64_t{0}, int64_t{0},
                         FromTimeT(s->last_batch), FromTimeT(s->last_batch), int64_t{0}, int64_t{0}, int64_t{0},
                         int64_t{1}, s->language, int64_t{s->read_uncommitted ? 1 : 2}, s->lock_timeout,
                         s->rowcount, int64_t{s->error}});
  }
}

const SystemTableRegistration exec_sessions("sys.dm_exec_sessions", false, ExecSessions);

}  // namespace
}  // namespace msde
