#include "engine/Locks.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <set>
#include <tuple>

#include "engine/Transactions.h"
#include "engine/Values.h"

namespace msde {
namespace {

using Clock = std::chrono::steady_clock;

// How often a waiting session looks again, with the engine mutex released in between.
constexpr std::chrono::milliseconds kPollInterval{10};

// Every table's rows lie on one page of file 1, as a small table's do.
int64_t PageOf(int table_id) { return 80 + table_id % 4000; }

std::string KeyHash(const Table& table, const Row& row) {
  uint64_t h = 14695981039346656037ULL;
  for (int k : table.primary_key) {
    for (char c : ValueText(row[static_cast<size_t>(k)]) + '\x1f') h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
  }
  char text[16];
  std::snprintf(text, sizeof text, "%012llx", static_cast<unsigned long long>(h & 0xFFFFFFFFFFFFULL));
  return std::string("(") + text + ")";
}

// How sp_lock names a row: its key's hash in the primary key's index, or its slot on the page.
std::string RowResource(const Table& table, const Row& row, size_t position) {
  if (!table.primary_key.empty()) return KeyHash(table, row);
  return "1:" + std::to_string(PageOf(table.id)) + ":" + std::to_string(position);
}

std::string LockId(int spid, const std::string& database, int table_id, const std::string& resource) {
  char holder[8];
  std::snprintf(holder, sizeof holder, "%05d", spid);
  return std::string(holder) + '\x1f' + Upper(database) + '\x1f' + std::to_string(table_id) + '\x1f' + resource;
}

bool SameTable(const RowLock& lock, const std::string& database, int table_id) {
  return lock.table_id == table_id && EqualNoCase(lock.database, database);
}

// The first lock of another session that the statement runs into. The candidates are
// copied first: a test may run a subquery, which may itself wait.
std::optional<RowLock> FindConflict(const Model& model, int spid, const std::string& database, int table_id,
                                    const RowTest& touches) {
  std::vector<RowLock> candidates;
  for (const auto& [id, lock] : model.row_locks) {
    if (lock.spid == spid || !SameTable(lock, database, table_id)) continue;
    if (!touches) return lock;
    candidates.push_back(lock);
  }
  for (const RowLock& lock : candidates)
    for (const Row& image : lock.images)
      if (touches(image)) return lock;
  return std::nullopt;
}

// Whether waiting for `holder` would close a circle that leads back to `spid`.
bool WouldDeadlock(const Model& model, int holder, int spid) {
  for (size_t steps = 0; steps <= model.lock_waits.size(); ++steps) {
    if (holder == spid) return true;
    auto wait = model.lock_waits.find(holder);
    if (wait == model.lock_waits.end()) return false;
    holder = wait->second.holder;
  }
  return false;
}

}  // namespace

int64_t HobtId(int table_id, int index_id) {
  return 72057594038321152LL + static_cast<int64_t>(table_id) * 65536 + index_id;
}

namespace {

const char* WaitTypeName(char mode) { return mode == 'S' ? "LCK_M_S" : mode == 'U' ? "LCK_M_U" : "LCK_M_X"; }
int WaitTypeCode(char mode) { return mode == 'S' ? 3 : mode == 'U' ? 4 : 5; }

// Keeps `image` among a lock's forms of its row.
void AddImage(RowLock& lock, const Row& image) {
  if (std::find(lock.images.begin(), lock.images.end(), image) == lock.images.end()) lock.images.push_back(image);
}

RowLock& LockFor(Model& model, int spid, const std::string& database, const Table& table, const std::string& resource) {
  RowLock& lock = model.row_locks[LockId(spid, database, table.id, resource)];
  if (lock.spid == 0) lock = RowLock{spid, database, table.id, !table.primary_key.empty(), resource, {}};
  return lock;
}

}  // namespace

void WaitForRowLocks(Context& ctx, const std::string& database, int table_id, const RowTest& touches, char mode) {
  Model& model = ctx.model;
  const int spid = ctx.session.spid;
  std::optional<Clock::time_point> since;
  // The wait is gone however it ends (granted, failed, cancelled).
  struct Forget {
    Model& model;
    int spid;
    ~Forget() { model.lock_waits.erase(spid); }
  } forget{model, spid};
  for (;;) {
    const std::optional<RowLock> held = FindConflict(model, spid, database, table_id, touches);
    if (!held) return;
    const Clock::time_point now = Clock::now();
    if (!since) since = now;
    model.lock_waits[spid] = LockWait{held->spid, database, table_id, held->keyed, held->resource, mode, *since};
    ctx.session.last_wait_type = WaitTypeName(mode);
    if (WouldDeadlock(model, held->spid, spid)) {
      model.lock_waits.erase(spid);
      RollbackTransaction(ctx);
      ctx.Fail(1205, 13, 50,
               "Transaction (Process ID " + std::to_string(spid) +
                   ") was deadlocked on lock resources with another process and has been chosen "
                   "as the deadlock victim. Rerun the transaction.",
               true);
    }
    auto slice = kPollInterval;
    if (ctx.session.lock_timeout >= 0) {
      const auto left = std::chrono::milliseconds(ctx.session.lock_timeout) -
                        std::chrono::duration_cast<std::chrono::milliseconds>(now - *since);
      if (left <= std::chrono::milliseconds::zero())
        ctx.Fail(1222, 16, 51, "Lock request time out period exceeded.");
      slice = std::min(slice, left);
    }
    const std::string status = ctx.session.status;
    ctx.session.status = "sleeping";
    const bool waited = ctx.WaitUnlocked(slice);
    ctx.session.status = status;
    if (!waited) throw BatchCancelled{};
  }
}

Table* WaitForCommittedRows(Context& ctx, const std::string& database, int table_id) {
  if (!ctx.session.read_uncommitted) WaitForRowLocks(ctx, database, table_id, nullptr, 'S');
  Database* db = ctx.model.FindDatabase(database);
  return db ? db->FindTableById(table_id) : nullptr;
}

void LockChangedRow(Model& model, int spid, const std::string& database, const Table& table, const Row* before,
                    const Row* after, size_t position) {
  std::string held;
  if (before != nullptr) {
    held = RowResource(table, *before, position);
    RowLock& lock = LockFor(model, spid, database, table, held);
    AddImage(lock, *before);
    if (after != nullptr) AddImage(lock, *after);
  }
  // A new row, or a changed key: the row's new place is locked as well.
  if (after != nullptr) {
    const std::string resource = RowResource(table, *after, position);
    if (resource != held) AddImage(LockFor(model, spid, database, table, resource), *after);
  }
}

void ReleaseRowLocks(Model& model, int spid) {
  for (auto it = model.row_locks.begin(); it != model.row_locks.end();)
    it = it->second.spid == spid ? model.row_locks.erase(it) : std::next(it);
}

WaitInfo SessionWait(const Model& model, int spid) {
  auto it = model.lock_waits.find(spid);
  if (it == model.lock_waits.end()) return {};
  const LockWait& w = it->second;
  WaitInfo info;
  info.blocked = w.holder;
  info.code = WaitTypeCode(w.mode);
  info.type = WaitTypeName(w.mode);
  info.milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - w.since).count() +
                      model.server.lock_wait_head_start_seconds * 1000;
  // 2000 names a key by database, object and index; 2005 by database and the index's
  // partition (the hobt id that sys.dm_tran_locks gives).
  const Database* db = const_cast<Model&>(model).FindDatabase(w.database);
  const std::string dbid = std::to_string(db ? db->dbid : 0);
  if (!w.keyed)
    info.resource = "RID: " + dbid + ":" + w.resource;
  else if (model.server.Is2005())
    info.resource = "KEY: " + dbid + ":" + std::to_string(HobtId(w.table_id, 1)) + " " + w.resource;
  else
    info.resource = "KEY: " + dbid + ":" + std::to_string(w.table_id) + ":1 " + w.resource;
  return info;
}

std::vector<LockEntry> ListLocks(const Model& model) {
  Model& m = const_cast<Model&>(model);
  std::vector<LockEntry> list;
  // Each session's shared lock of its database, then for each table it holds rows of or
  // waits for: the intent locks of the table and its page, its row locks, the row it waits for.
  for (const auto& [spid, session] : model.sessions) {
    if (session->killed) continue;
    if (const Database* db = m.FindDatabase(session->database)) list.push_back({spid, db->dbid, 0, 0, "DB", "", "S", true});
    auto found = model.lock_waits.find(spid);
    const LockWait* wait = found == model.lock_waits.end() ? nullptr : &found->second;
    std::set<std::tuple<std::string, int>> tables;
    for (const auto& [id, lock] : model.row_locks)
      if (lock.spid == spid) tables.insert({Upper(lock.database), lock.table_id});
    if (wait != nullptr) tables.insert({Upper(wait->database), wait->table_id});
    for (const auto& [database, table_id] : tables) {
      const Database* db = m.FindDatabase(database);
      if (db == nullptr) continue;
      std::vector<const RowLock*> owned;
      for (const auto& [id, lock] : model.row_locks)
        if (lock.spid == spid && SameTable(lock, database, table_id)) owned.push_back(&lock);
      const bool waits_here = wait != nullptr && wait->table_id == table_id && EqualNoCase(wait->database, database);
      const std::string intent = !owned.empty() || (waits_here && wait->mode != 'S') ? "IX" : "IS";
      const bool keyed = owned.empty() ? wait->keyed : owned.front()->keyed;
      list.push_back({spid, db->dbid, table_id, 0, "TAB", "", intent, true});
      list.push_back({spid, db->dbid, table_id, keyed ? 1 : 0, "PAG", "1:" + std::to_string(PageOf(table_id)), intent, true});
      for (const RowLock* lock : owned)
        list.push_back({spid, db->dbid, table_id, keyed ? 1 : 0, keyed ? "KEY" : "RID", lock->resource, "X", true});
      if (waits_here)
        list.push_back({spid, db->dbid, table_id, keyed ? 1 : 0, wait->keyed ? "KEY" : "RID", wait->resource,
                        std::string(1, wait->mode), false});
    }
  }
  return list;
}

}  // namespace msde
