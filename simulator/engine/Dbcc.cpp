// DBCC CHECKDB [('name' | name | dbid [, NOINDEX | REPAIR_FAST | REPAIR_REBUILD |
// REPAIR_ALLOW_DATA_LOSS])] [WITH ...]: reports the database's damage marks as consistency
// errors that name objects by "Object ID", and mends those whose repair level suffices.
// DBCC SHRINKDATABASE ('name' | name | dbid [, target_percent] [, NOTRUNCATE | TRUNCATEONLY])
// [WITH NO_INFOMSGS]: gives each file back its free pages, down to what it uses plus the
// free share asked for, and reports the files it shrank.
#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/AdminRights.h"
#include "engine/DatabaseSpace.h"
#include "engine/ErrorLog.h"
#include "engine/Processes.h"
#include "engine/SystemTables.h"
#include "engine/Statements.h"

namespace msde {
namespace {

// Repair levels in increasing strength; 0 = a check only.
int RepairLevel(const std::string& word) {
  const std::string w = Upper(word);
  if (w == "REPAIR_FAST") return 1;
  if (w == "REPAIR_REBUILD") return 2;
  if (w == "REPAIR_ALLOW_DATA_LOSS") return 3;
  return 0;
}

const char* LevelName(int level) {
  return level == 1 ? "repair_fast" : level == 2 ? "repair_rebuild" : "repair_allow_data_loss";
}

struct Request {
  std::optional<std::string> name;  // none: the current database
  std::optional<int64_t> dbid;
  int repair = 0;
  bool info = true;  // WITH NO_INFOMSGS clears it
};

// The database a DBCC command names: its id, a string or a name.
void ReadTarget(Parser& p, Request& r) {
  const TokenKind kind = p.Peek().kind;
  if (kind == TokenKind::Number)
    r.dbid = p.ExpectInteger();
  else if (kind == TokenKind::String || kind == TokenKind::NString)
    r.name = p.ExpectString();
  else
    r.name = p.ExpectName();
}

Request ReadRequest(Parser& p) {
  Request r;
  if (p.AcceptSymbol("(")) {
    ReadTarget(p, r);
    if (p.AcceptSymbol(",")) {
      if (p.AcceptKeyword("NOINDEX")) {
      } else if (p.Peek().kind == TokenKind::Word && RepairLevel(p.Peek().text) > 0) {
        r.repair = RepairLevel(p.Next().text);
      } else {
        p.FailHere();
      }
    }
    p.ExpectSymbol(")");
  }
  if (p.AcceptKeyword("WITH")) {
    do {
      if (p.AcceptKeyword("NO_INFOMSGS")) {
        r.info = false;
      } else if (!p.AcceptKeyword("ALL_ERRORMSGS") && !p.AcceptKeyword("TABLOCK") &&
                 !p.AcceptKeyword("ESTIMATEONLY") && !p.AcceptKeyword("PHYSICAL_ONLY")) {
        p.FailHere();
      }
    } while (p.AcceptSymbol(","));
  }
  p.ExpectEnd();
  return r;
}

std::string Page(int file, int64_t page) {
  return "(" + std::to_string(file) + ":" + std::to_string(page) + ")";
}

// The text of a damage mark's message: its own, or SQL Server 2000's for its number.
std::string DamageText(const DamageMark& d) {
  if (!d.text.empty()) return d.text;
  const std::string object =
      "Object ID " + std::to_string(d.object_id) + ", index ID " + std::to_string(d.index_id);
  const std::string page = Page(d.page_file, d.page);
  switch (d.error) {
    case 8928:
      return object + ": Page " + page + " could not be processed. See other errors for details.";
    case 8939:
      return "Table error: " + object + ", page " + page +
             ". Test (IS_ON (BUF_IOERR, bp->bstat) && bp->berrcode) failed. Values are 2057 "
             "and -1.";
    case 8976:
      return "Table error: " + object + ". Page " + page +
             " was not seen in the scan although its parent " + Page(d.page_file, d.page / 2) +
             " and previous " + Page(d.page_file, d.page - 1) +
             " refer to it. Check any previous errors.";
    case 8978:
      return "Table error: " + object + ". Page " + Page(d.page_file, d.page + 1) +
             " is missing a reference from previous page " + page +
             ". Possible chain linkage problem.";
    case 8941:
      return "Table error: " + object + ", page " + page +
             ". Test (sorted [i].offset >= PAGEHEADSIZE) failed. Slot 0, offset 0x1 is invalid.";
    case 8944:
      return "Table error: " + object + ", page " + page +
             ", row 0. Test (ColumnOffsets <= (nextRec - pRec)) failed. Values are 4 and 2.";
    default:
      return "Table error: " + object + ", page " + page +
             ". Test (m_headerVersion == HEADER_7_0) failed. Values are 0 and 1.";
  }
}

class Checker {
 public:
  Checker(Context& ctx, Database& db, const Request& r) : ctx_(ctx), db_(db), r_(r) {}

  // Sends the check's messages; true when consistency errors were reported.
  bool Run() {
    Note(2536, "DBCC results for '" + db_.name + "'.");
    std::vector<DamageMark> unowned;
    for (const DamageMark& d : db_.damage)
      if (db_.FindTableById(d.object_id) == nullptr) unowned.push_back(d);
    if (!unowned.empty()) {
      const int n = Report(unowned);
      Note(8954, "CHECKDB found 0 allocation errors and " + std::to_string(n) +
                     " consistency errors not associated with any single object.");
    }
    SystemTables();
    for (const Table& t : db_.tables) UserTable(t);
    Summary();
    return found_ > 0;
  }

 private:
  void Note(int number, const std::string& text) {
    if (r_.info) ctx_.Info(number, text, number == 0 ? 0 : 10);
  }

  // The errors of one object, each followed by what the repair did about it.
  int Report(const std::vector<DamageMark>& marks) {
    for (const DamageMark& d : marks) {
      ctx_.Error(d.error, 16, 1, DamageText(d));
      const int needed = std::max(1, RepairLevel(d.repair));
      if (r_.repair == 0) {
        lowest_ = std::max(lowest_, needed);
      } else if (r_.repair >= needed) {
        Note(0, "\tThe error has been repaired.");
        ++fixed_;
        mended_.push_back(d);
      } else {
        Note(0, "\tThe repair level on the DBCC statement caused this repair to be bypassed.");
        lowest_ = std::max(lowest_, needed);
      }
    }
    found_ += static_cast<int>(marks.size());
    return static_cast<int>(marks.size());
  }

  void Counts(const std::string& name, size_t rows) {
    Note(2536, "DBCC results for '" + name + "'.");
    Note(2593, "There are " + std::to_string(rows) + " rows in " +
                   std::to_string(std::max<size_t>(1, (rows + 39) / 40)) +
                   " pages for object '" + name + "'.");
  }

  void SystemTables() {
    size_t columns = 0;
    for (const Table& t : db_.tables) columns += t.columns.size();
    Counts("sysobjects", 21 + db_.tables.size());
    Counts("sysindexes", 44 + db_.tables.size());
    Counts("syscolumns", 283 + columns);
    Counts("systypes", 26);
    Counts("syscomments", 0);
    Counts("sysfiles1", db_.files.size());
    Counts("syspermissions", 0);
    Counts("sysusers", db_.users.size());
    Counts("sysdepends", 0);
    Counts("sysfilegroups", 1);
  }

  void UserTable(const Table& t) {
    std::vector<DamageMark> marks;
    for (const DamageMark& d : db_.damage)
      if (d.object_id == t.id) marks.push_back(d);
    const size_t before = fixed_;
    const int n = marks.empty() ? 0 : Report(marks);
    Counts(t.name, t.rows.size());
    if (n == 0) return;
    const std::string tail = " in table '" + t.name + "' (object ID " + std::to_string(t.id) + ").";
    Note(8990, "CHECKDB found 0 allocation errors and " + std::to_string(n) + " consistency errors" +
                   tail);
    if (fixed_ > before)
      Note(0, "CHECKDB fixed 0 allocation errors and " + std::to_string(fixed_ - before) +
                  " consistency errors" + tail);
  }

  void Summary() {
    std::erase_if(db_.damage, [&](const DamageMark& d) {
      return std::any_of(mended_.begin(), mended_.end(), [&](const DamageMark& m) {
        return d.object_id == m.object_id && d.index_id == m.index_id && d.page == m.page &&
               d.page_file == m.page_file && d.error == m.error;
      });
    });
    const std::string tail = " consistency errors in database '" + db_.name + "'.";
    Note(8989, "CHECKDB found 0 allocation errors and " + std::to_string(found_) + tail);
    if (fixed_ > 0)
      Note(0, "CHECKDB fixed 0 allocation errors and " + std::to_string(fixed_) + tail);
    LogEvent(ctx_.model, SpidSource(ctx_.session.spid),
             "DBCC CHECKDB (" + db_.name + ") executed by " + ctx_.session.login + " found " + std::to_string(found_) +
                 " errors and repaired " + std::to_string(fixed_) + " errors." +
                 (ctx_.model.server.Is2005() ? " Elapsed time: 0 hours 0 minutes 0 seconds." : ""));
    if (lowest_ > 0)
      Note(8958, std::string(LevelName(lowest_)) +
                     " is the minimum repair level for the errors found by DBCC CHECKDB (" +
                     db_.name + " ).");
    ctx_.Info(2528,
              "DBCC execution completed. If DBCC printed error messages, contact your system "
              "administrator.");
  }

  Context& ctx_;
  Database& db_;
  const Request& r_;
  int found_ = 0;
  size_t fixed_ = 0;
  int lowest_ = 0;
  std::vector<DamageMark> mended_;
};

Database& Target(Context& ctx, const Request& r) {
  if (r.dbid && *r.dbid != 0) {
    Database* db = ctx.model.FindDatabase(static_cast<int>(*r.dbid));
    if (db == nullptr)
      ctx.Fail(2520, 16, 1,
               "Could not find database ID " + std::to_string(*r.dbid) + ". Check sysdatabases.");
    return *db;
  }
  if (!r.name) return ctx.CurrentDatabase();
  Database* db = ctx.model.FindDatabase(*r.name);
  if (db == nullptr)
    ctx.Fail(2520, 16, 1, "Could not find database '" + *r.name + "'. Check sysdatabases.");
  return *db;
}

void CheckDb(Context& ctx, Parser& p) {
  const Request r = ReadRequest(p);
  Database& db = Target(ctx, r);
  if (!IsDbOwner(ctx, db))
    ctx.Fail(2571, 14, 1,
             "User '" + ctx.session.login + "' does not have permission to run DBCC CHECKDB.");
  ctx.CheckCanEnter(db);
  if (r.repair > 0) {
    if (!db.Has(DbStatus::SingleUser) || !ctx.model.SessionsIn(db.name, &ctx.session).empty())
      ctx.Fail(7919, 16, 1,
               "Repair statement not processed. Database needs to be in single user mode.");
    ctx.CheckWritable(db);
  }
  Checker checker(ctx, db, r);
  checker.Run();
}

// DBCC SQLPERF(LOGSPACE): each database's log size and the share of it in use.
void SqlPerf(Context& ctx, Parser& p) {
  p.ExpectSymbol("(");
  p.ExpectKeyword("LOGSPACE");
  p.ExpectSymbol(")");
  p.ExpectEnd();
  ResultSet r;
  r.columns = {Column("Database Name", SqlType::NVarChar, 128), Column("Log Size (MB)", SqlType::Real),
               Column("Log Space Used (%)", SqlType::Real), Column("Status", SqlType::Int)};
  for (const Database& db : ctx.model.databases) {
    if (db.Has(DbStatus::Offline) || db.Has(DbStatus::NotRecovered)) continue;
    const int64_t pages = LogFilePages(db);
    const double mb = static_cast<double>(pages) * 8192.0 / 1048576.0;
    const double used = pages > 0 ? 100.0 * static_cast<double>(UsedLogPages(db)) / static_cast<double>(pages) : 0.0;
    r.rows.push_back({db.name, mb, used, int64_t{0}});
  }
  ctx.SendResult(r);
  ctx.Info(2528, "DBCC execution completed. If DBCC printed error messages, contact your system administrator.");
}

// Pages a file uses: its own figure, else the database's use for the first data file and the
// first log file, and the header pages for any other.
int64_t FileUsedPages(const Database& db, const DbFile& f) {
  constexpr int64_t kHeaderPages = 8;
  if (f.used >= 0) return std::min(f.used, f.size);
  const auto first = std::find_if(db.files.begin(), db.files.end(),
                                  [&f](const DbFile& other) { return other.is_log() == f.is_log(); });
  if (&*first != &f) return std::min(kHeaderPages, f.size);
  return std::min(f.is_log() ? UsedLogPages(db) : UsedDataPages(db), f.size);
}

void ShrinkDatabase(Context& ctx, Parser& p) {
  p.ExpectSymbol("(");
  Request target;
  ReadTarget(p, target);
  int64_t percent = 0;
  bool truncate = true, onlyFree = false;
  while (p.AcceptSymbol(",")) {
    if (p.Peek().kind == TokenKind::Number) {
      percent = p.ExpectInteger();
      if (percent < 0 || percent > 99) ctx.Fail(2560, 16, 1, "Parameter 2 is incorrect for this DBCC statement.");
    } else if (p.AcceptKeyword("NOTRUNCATE")) {
      truncate = false;
    } else if (p.AcceptKeyword("TRUNCATEONLY")) {
      onlyFree = true;
    } else {
      p.FailHere();
    }
  }
  p.ExpectSymbol(")");
  bool info = true;
  if (p.AcceptKeyword("WITH")) {
    p.ExpectKeyword("NO_INFOMSGS");
    info = false;
  }
  p.ExpectEnd();
  Database& db = Target(ctx, target);
  if (!IsDbOwner(ctx, db))
    ctx.Fail(2571, 14, 1, "User '" + ctx.session.login + "' does not have permission to run DBCC SHRINKDATABASE.");
  ctx.CheckCanEnter(db);
  ctx.CheckWritable(db);
  ResultSet r;
  r.columns = {Column("DbId", SqlType::SmallInt),     Column("FileId", SqlType::Int),
               Column("CurrentSize", SqlType::Int),   Column("MinimumSize", SqlType::Int),
               Column("UsedPages", SqlType::Int),     Column("EstimatedPages", SqlType::Int)};
  for (DbFile& f : db.files) {
    const int64_t used = FileUsedPages(db, f);
    // The free share asked for stays free: used pages are (100 - percent) % of the new size.
    const int64_t wanted = onlyFree ? used : (used * 100 + (99 - percent)) / (100 - percent);
    const int64_t size = truncate ? std::max<int64_t>(std::min(f.size, wanted), 1) : f.size;
    if (size == f.size && truncate) continue;
    if (f.is_log()) f.used = used;  // the log keeps what it holds; its use is no longer a share of its size
    f.size = size;
    r.rows.push_back({int64_t{db.dbid}, int64_t{f.fileid}, f.size, used, used, used});
  }
  ctx.SendResult(r);
  if (info)
    ctx.Info(2528, "DBCC execution completed. If DBCC printed error messages, contact your system administrator.");
}

void Dbcc(Context& ctx, Parser& p) {
  if (p.AcceptKeyword("CHECKDB")) return CheckDb(ctx, p);
  if (p.AcceptKeyword("SHRINKDATABASE")) return ShrinkDatabase(ctx, p);
  if (p.AcceptKeyword("SQLPERF")) return SqlPerf(ctx, p);
  if (p.AcceptKeyword("INPUTBUFFER")) return InputBuffer(ctx, p);
  ctx.Fail(2526, 16, 3,
           "Incorrect DBCC statement. Check the documentation for the correct DBCC syntax and "
           "options.");
}

const StatementRegistration dbcc_statement("DBCC", Dbcc);

}  // namespace
}  // namespace msde
