// What the server shows of its locks and of the sessions that wait for them: sp_lock,
// master..syslockinfo, and on SQL Server 2005 sys.dm_tran_locks and sys.dm_exec_requests.
#include <algorithm>

#include "engine/Locks.h"
#include "engine/SqlTime.h"
#include "engine/SystemTables.h"
#include "engine/Transactions.h"
#include "engine/Values.h"

namespace msde {
namespace {

using T = SqlType;

// sp_lock [[@spid1 =] spid1] [, [@spid2 =] spid2]: the locks of all sessions, of one, or of two.
void SpLock(Context& ctx, const ProcArgs& args) {
  const std::optional<int64_t> first = args.Int("@spid1"), second = args.Int("@spid2");
  const int width = ctx.model.server.Is2005() ? 32 : 16;
  ResultSet r;
  r.columns = {Column("spid", T::SmallInt),      Column("dbid", T::SmallInt),
               Column("ObjId", T::Int),          Column("IndId", T::SmallInt),
               Column("Type", T::NChar, 4),      Column("Resource", T::NChar, width),
               Column("Mode", T::NVarChar, 8),   Column("Status", T::NVarChar, 5)};
  for (const LockEntry& l : ListLocks(ctx.model)) {
    if ((first || second) && l.spid != first.value_or(-1) && l.spid != second.value_or(-1)) continue;
    r.rows.push_back({int64_t{l.spid}, int64_t{l.dbid}, l.object_id, int64_t{l.index_id}, Padded(l.type, 4),
                      Padded(l.resource, static_cast<size_t>(width)), l.mode, std::string(l.granted ? "GRANT" : "WAIT")});
  }
  ctx.SendResult(r);
}

// syslockinfo's numbers: rsc_type 2 database, 5 table, 6 page, 7 key, 9 RID; req_mode 3 S,
// 4 U, 5 X, 6 IS, 8 IX; req_status 1 granted, 3 waiting.
int64_t ResourceType(const std::string& type) {
  return type == "DB" ? 2 : type == "TAB" ? 5 : type == "PAG" ? 6 : type == "KEY" ? 7 : 9;
}
int64_t ModeNumber(const std::string& mode) {
  return mode == "S" ? 3 : mode == "U" ? 4 : mode == "X" ? 5 : mode == "IS" ? 6 : 8;
}

void SysLockInfo(Context& ctx, Database&, RowSource& out) {
  out.columns = {Column("rsc_text", T::NChar, 32),        BinaryColumn("rsc_bin", 16, true),
                 BinaryColumn("rsc_valblk", 16, true),     Column("rsc_dbid", T::SmallInt),
                 Column("rsc_indid", T::SmallInt),         Column("rsc_objid", T::Int),
                 Column("rsc_type", T::TinyInt),           Column("rsc_flag", T::TinyInt),
                 Column("req_mode", T::TinyInt),           Column("req_status", T::TinyInt),
                 Column("req_refcnt", T::SmallInt),        Column("req_cryrefcnt", T::SmallInt),
                 Column("req_lifetime", T::Int),           Column("req_spid", T::Int),
                 Column("req_ecid", T::Int),               Column("req_ownertype", T::SmallInt),
                 Column("req_transactionID", T::BigInt),   Column("req_transactionUOW", T::UniqueIdentifier)};
  const std::string zeros(16, '\0');
  for (const LockEntry& l : ListLocks(ctx.model)) {
    // Owned by the transaction (1), or by the session for its database lock (3).
    const int64_t owner = l.type == "DB" ? 3 : 1;
    out.owned.push_back({Padded(l.resource, 32), zeros, zeros, int64_t{l.dbid}, int64_t{l.index_id}, l.object_id,
                         ResourceType(l.type), int64_t{0}, ModeNumber(l.mode), int64_t{l.granted ? 1 : 3},
                         int64_t{1}, int64_t{0}, int64_t{0}, int64_t{l.spid}, int64_t{0}, owner,
                         int64_t{owner == 1 ? l.spid : 0},
                         std::string("00000000-0000-0000-0000-000000000000")});
  }
}

const char* ResourceTypeName(const std::string& type) {
  return type == "DB" ? "DATABASE" : type == "TAB" ? "OBJECT" : type == "PAG" ? "PAGE" : type == "KEY" ? "KEY" : "RID";
}

void TranLocks(Context& ctx, Database&, RowSource& out) {
  out.columns = {Column("resource_type", T::NVarChar, 60),           Column("resource_subtype", T::NVarChar, 60),
                 Column("resource_database_id", T::Int),             Column("resource_description", T::NVarChar, 256),
                 Column("resource_associated_entity_id", T::BigInt), Column("resource_lock_partition", T::Int),
                 Column("request_mode", T::NVarChar, 60),            Column("request_type", T::NVarChar, 60),
                 Column("request_status", T::NVarChar, 60),          Column("request_reference_count", T::SmallInt),
                 Column("request_lifetime", T::Int),                 Column("request_session_id", T::Int),
                 Column("request_exec_context_id", T::Int),          Column("request_request_id", T::Int),
                 Column("request_owner_type", T::NVarChar, 60),      Column("request_owner_id", T::BigInt),
                 Column("request_owner_guid", T::UniqueIdentifier),  Column("request_owner_lockspace_id", T::NVarChar, 32),
                 BinaryColumn("lock_owner_address", 8)};
  for (const LockEntry& l : ListLocks(ctx.model)) {
    // An object lock names the table; the locks of its pages and rows the index's rows.
    const int64_t entity = l.type == "DB" ? 0 : l.type == "TAB" ? l.object_id : HobtId(static_cast<int>(l.object_id), l.index_id);
    out.owned.push_back({std::string(ResourceTypeName(l.type)), std::string(), int64_t{l.dbid}, l.resource, entity,
                         int64_t{0}, l.mode, std::string("LOCK"), std::string(l.granted ? "GRANT" : "WAIT"),
                         int64_t{1}, int64_t{0}, int64_t{l.spid}, int64_t{0}, int64_t{0},
                         std::string(l.type == "DB" ? "SHARED_TRANSACTION_WORKSPACE" : "TRANSACTION"),
                         int64_t{l.spid}, std::string("00000000-0000-0000-0000-000000000000"),
                         std::string("0x0000000000000000:1"), std::string(8, '\0')});
  }
}

// The requests that run now: the session asking, and every session inside a batch (those
// waiting for a lock are suspended).
void ExecRequests(Context& ctx, Database&, RowSource& out) {
  out.columns = {Column("session_id", T::SmallInt, 0, false), Column("request_id", T::Int, 0, false),
                 Column("start_time", T::DateTime, 0, false), Column("status", T::NVarChar, 30, false),
                 Column("command", T::NVarChar, 16, false),   BinaryColumn("sql_handle", 64),
                 Column("statement_start_offset", T::Int),    Column("statement_end_offset", T::Int),
                 BinaryColumn("plan_handle", 64),             Column("database_id", T::SmallInt, 0, false),
                 Column("user_id", T::Int, 0, false),         Column("connection_id", T::UniqueIdentifier, 0, false),
                 Column("blocking_session_id", T::SmallInt),  Column("wait_type", T::NVarChar, 60),
                 Column("wait_time", T::Int, 0, false),       Column("last_wait_type", T::NVarChar, 60, false),
                 Column("wait_resource", T::NVarChar, 256, false), Column("open_transaction_count", T::Int, 0, false),
                 Column("open_resultset_count", T::Int, 0, false), Column("transaction_id", T::BigInt, 0, false),
                 Column("percent_complete", T::Real, 0, false), Column("cpu_time", T::Int, 0, false),
                 Column("total_elapsed_time", T::Int, 0, false), Column("reads", T::BigInt, 0, false),
                 Column("writes", T::BigInt, 0, false),       Column("logical_reads", T::BigInt, 0, false),
                 Column("language", T::NVarChar, 128),        Column("transaction_isolation_level", T::SmallInt, 0, false),
                 Column("lock_timeout", T::Int, 0, false),    Column("row_count", T::BigInt, 0, false),
                 Column("prev_error", T::Int, 0, false),      Column("nest_level", T::Int, 0, false)};
  for (const auto& [spid, s] : ctx.model.sessions) {
    const bool self = s.get() == &ctx.session;
    if (s->killed || (!self && s->command == "AWAITING COMMAND")) continue;
    const WaitInfo wait = SessionWait(ctx.model, spid);
    const Database* db = ctx.model.FindDatabase(s->database);
    const int64_t elapsed = std::max<int64_t>(0, (std::time(nullptr) - s->last_batch) * 1000);
    out.owned.push_back({int64_t{spid}, int64_t{0}, FromTimeT(s->last_batch),
                         std::string(wait.blocked ? "suspended" : "running"), s->command, Value{}, Value{}, Value{},
                         Value{}, int64_t{db ? db->dbid : 1}, int64_t{1},
                         std::string("00000000-0000-0000-0000-000000000000"), int64_t{wait.blocked},
                         wait.blocked ? Value{wait.type} : Value{}, wait.milliseconds,
                         s->last_wait_type.empty() ? std::string("MISCELLANEOUS") : s->last_wait_type, wait.resource,
                         int64_t{s->trancount}, int64_t{1}, int64_t{s->trancount > 0 ? spid : 0}, 0.0, int64_t{0},
                         elapsed, int64_t{0}, int64_t{0}, int64_t{0}, s->language,
                         int64_t{s->read_uncommitted ? 1 : 2}, s->lock_timeout, int64_t{0}, int64_t{0}, int64_t{1}});
  }
}

const ProcedureRegistration sp_lock("sp_lock", {{"@spid1"}, {"@spid2"}}, SpLock);
const SystemTableRegistration syslockinfo("syslockinfo", true, SysLockInfo);
const SystemTableRegistration tran_locks("sys.dm_tran_locks", false, TranLocks);
const SystemTableRegistration exec_requests("sys.dm_exec_requests", false, ExecRequests);

}  // namespace
}  // namespace msde
