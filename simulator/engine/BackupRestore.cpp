// BACKUP DATABASE and RESTORE (DATABASE, HEADERONLY, FILELISTONLY, VERIFYONLY) to and from
// backup files on the server's disk (engine/BackupFile.h), found by the file name of the
// Windows path sent, as attach finds its files. Both take time in proportion to the pages
// they process and wait without holding the engine, so another connection is served, the
// progress messages of STATS come out as the work goes on, and an attention ends the
// statement with nothing written and nothing changed.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/AdminRights.h"
#include "engine/BackupFile.h"
#include "engine/BackupListing.h"
#include "engine/BackupLog.h"
#include "engine/DatabaseFiles.h"
#include "engine/SqlTime.h"
#include "engine/Statements.h"

namespace msde {
namespace {

// --- Reading the statements -------------------------------------------------------------

struct Options {
  bool init = false;
  std::optional<std::string> name, description;
  std::optional<int64_t> stats;  // percent between progress messages
  std::optional<int> file;       // FILE = n: the backup set to read (the first if none)
  bool replace = false;
  bool norecovery = false;
  std::vector<std::pair<std::string, std::string>> moves;  // logical name, new physical path
};

// DISK = N'path' (after TO or FROM).
std::string ReadDevice(Parser& p) {
  p.ExpectKeyword("DISK");
  p.ExpectSymbol("=");
  return p.ExpectString();
}

// WITH option [, option ...]; `restoring` admits the options of RESTORE, else those of BACKUP.
Options ReadOptions(Parser& p, bool restoring) {
  Options o;
  if (!p.AcceptKeyword("WITH")) {
    p.ExpectEnd();
    return o;
  }
  do {
    if (p.AcceptKeyword("STATS")) {
      o.stats = 10;
      if (p.AcceptSymbol("=")) o.stats = p.ExpectInteger();
      if (*o.stats < 1 || *o.stats > 100) p.FailHere();
    } else if (p.AcceptKeyword("NOUNLOAD") || p.AcceptKeyword("UNLOAD") ||
               p.AcceptKeyword("RESTART") || p.AcceptKeyword("REWIND") ||
               p.AcceptKeyword("NOREWIND")) {
    } else if (restoring && p.AcceptKeyword("FILE")) {
      p.ExpectSymbol("=");
      const int64_t file = p.ExpectInteger();
      if (file < 1 || file > 32767) p.FailHere();
      o.file = static_cast<int>(file);
    } else if (restoring && p.AcceptKeyword("REPLACE")) {
      o.replace = true;
    } else if (restoring && p.AcceptKeyword("RECOVERY")) {
      o.norecovery = false;
    } else if (restoring && p.AcceptKeyword("NORECOVERY")) {
      o.norecovery = true;
    } else if (restoring && p.AcceptKeyword("MOVE")) {
      const std::string logical = p.ExpectString();
      p.ExpectKeyword("TO");
      o.moves.emplace_back(logical, p.ExpectString());
    } else if (!restoring && (p.AcceptKeyword("INIT") || p.AcceptKeyword("FORMAT"))) {
      o.init = true;
    } else if (!restoring && p.AcceptKeyword("NOINIT")) {
      o.init = false;
    } else if (!restoring && (p.AcceptKeyword("NOFORMAT") || p.AcceptKeyword("SKIP") ||
                              p.AcceptKeyword("NOSKIP"))) {
    } else if (!restoring && p.AcceptKeyword("NAME")) {
      p.ExpectSymbol("=");
      o.name = p.ExpectString();
    } else if (!restoring && p.AcceptKeyword("DESCRIPTION")) {
      p.ExpectSymbol("=");
      o.description = p.ExpectString();
    } else if (!restoring && (p.AcceptKeyword("RETAINDAYS") || p.AcceptKeyword("EXPIREDATE"))) {
      p.ExpectSymbol("=");
      p.Next();
    } else {
      p.FailHere();
    }
  } while (p.AcceptSymbol(","));
  p.ExpectEnd();
  return o;
}

// --- Failing as SQL Server does: the cause, then 3013 --------------------------------------

[[noreturn]] void Terminate(Context& ctx, const std::string& statement) {
  ctx.Fail(3013, 16, 1, statement + " is terminating abnormally.");
}

[[noreturn]] void FailWith(Context& ctx, const std::string& statement, int number, int severity,
                           int state, const std::string& text) {
  ctx.Error(number, severity, state, text);
  Terminate(ctx, statement);
}

// Operating system errors behind a device that cannot be opened.
constexpr int kNoFile = 2, kNoPath = 3, kDenied = 5, kInUse = 32;

// 3201: SQL Server 2000 says only that the device failed, 2005 names the system's error.
[[noreturn]] void DeviceFails(Context& ctx, const std::string& statement, const std::string& path, int os_error) {
  const char* reason = os_error == kNoFile   ? "The system cannot find the file specified."
                       : os_error == kNoPath ? "The system cannot find the path specified."
                       : os_error == kInUse  ? "The process cannot access the file because it is being used by another process."
                                             : "Access is denied.";
  if (ctx.model.server.Is2005())
    FailWith(ctx, statement, 3201, 16, 2,
             "Cannot open backup device '" + path + "'. Operating system error " + std::to_string(os_error) + "(" +
                 reason + ").");
  FailWith(ctx, statement, 3201, 16, 2,
           "Cannot open backup device '" + path +
               "'. Device error or device off line. See the SQL Server error log for more details.");
}

// The device at `local` is missing its directory or in use by another statement or database.
void CheckDevice(Context& ctx, const std::string& statement, const std::string& path, const std::string& local) {
  if (local.empty()) DeviceFails(ctx, statement, path, kNoPath);
  if (ctx.model.busy_files.count(local) != 0 || DatabaseUsingFile(ctx.model, local) != nullptr)
    DeviceFails(ctx, statement, path, kInUse);
}

void RefuseInTransaction(Context& ctx, const std::string& statement) {
  if (ctx.session.trancount > 0)
    FailWith(ctx, statement, 3021, 16, 1, "Cannot perform a backup or restore operation within a transaction.");
}

// The sets of the backup file at `path`, or the refusal: a missing file or one another
// statement has open (3201), a damaged one (3241, 3203).
std::vector<BackupSet> ReadBackupSets(Context& ctx, const std::string& statement,
                                      const std::string& path) {
  const std::string local = ctx.model.LocalPath(path);
  CheckDevice(ctx, statement, path, local);
  const std::optional<std::string> bytes = ReadWholeFile(local);
  if (!bytes) DeviceFails(ctx, statement, path, kNoFile);
  BackupFileContents contents = ParseBackupFile(*bytes);
  if (contents.fault == BackupFileFault::Malformed)
    FailWith(ctx, statement, 3241, 16, 37,
             "The media family on device '" + path +
                 "' is incorrectly formed. SQL Server cannot process this media family.");
  if (contents.fault == BackupFileFault::Checksum)
    FailWith(ctx, statement, 3203, 16, 1,
             "Read on '" + path + "' failed, status = 23. See the SQL Server error log for more "
             "details.");
  return std::move(contents.sets);
}

const BackupSet& ChosenSet(Context& ctx, const std::string& statement, const std::string& path,
                           const std::vector<BackupSet>& sets, std::optional<int> chosen) {
  const int file = chosen.value_or(1);
  if (file > static_cast<int>(sets.size()))
    FailWith(ctx, statement, 4038, 16, 1,
             "Cannot find file ID " + std::to_string(file) + " on device '" + path + "'.");
  return sets[file - 1];
}

// --- Pages, pace and progress -----------------------------------------------------------

// Pages a backup of the set processes for each of its files: the data file holds the
// database's system pages and its rows; every further file and the log one extent or page.
std::vector<int64_t> PagesPerFile(const BackupSet& set) {
  std::vector<int64_t> pages;
  bool first_data = true;
  for (const BackupFileEntry& f : set.files) {
    if (f.log) {
      pages.push_back(1);
    } else if (first_data) {
      pages.push_back(72 + static_cast<int64_t>((set.image.size() + 8191) / 8192));
      first_data = false;
    } else {
      pages.push_back(8);
    }
  }
  return pages;
}

int64_t DataPages(const BackupSet& set, const std::vector<int64_t>& pages) {
  int64_t total = 0;
  for (size_t i = 0; i < pages.size(); ++i)
    if (!set.files[i].log) total += pages[i];
  return total;
}

// Spends the time `pages` take, reporting "n percent backed up." (or "restored.") at each
// STATS step below 100; false when the client cancelled or the session was killed.
bool Pace(Context& ctx, int64_t pages, const Options& o, const char* done_word) {
  const auto total = std::chrono::microseconds(pages * ctx.model.server.backup_page_microseconds);
  const int64_t step = o.stats.value_or(100);
  for (int64_t percent = step; percent < 100 + step; percent += step) {
    const int64_t upto = std::min<int64_t>(percent, 100);
    const auto slice = std::chrono::duration_cast<std::chrono::milliseconds>(total * step / 100);
    if (!ctx.WaitUnlocked(std::max(slice, std::chrono::milliseconds(upto == 100 ? 0 : 1))))
      return false;
    if (o.stats && upto < 100)
      ctx.InfoNow(3211, std::to_string(upto) + " percent " + done_word + ".");
  }
  return true;
}

void ReportProcessed(Context& ctx, const std::string& database, const BackupSet& set,
                     const std::vector<int64_t>& pages, bool log, int position) {
  for (size_t i = 0; i < set.files.size(); ++i)
    if (set.files[i].log == log)
      ctx.Info(4035, "Processed " + std::to_string(pages[i]) + " pages for database '" + database +
                         "', file '" + set.files[i].logical + "' on file " +
                         std::to_string(position) + ".");
}

// "BACKUP DATABASE successfully processed 153 pages in 0.312 seconds (4.017 MB/sec)."
void ReportSuccess(Context& ctx, const std::string& statement, int64_t pages,
                   std::chrono::steady_clock::time_point started) {
  const double seconds = std::max(
      0.001, std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
  char text[160];
  std::snprintf(text, sizeof text, "%s successfully processed %lld pages in %.3f seconds (%.3f MB/sec).",
                statement.c_str(), static_cast<long long>(pages), seconds,
                static_cast<double>(pages) * 8192.0 / 1048576.0 / seconds);
  ctx.Info(3014, text);
}

// Marks a backup file open for the length of a statement, so no other BACKUP or RESTORE
// uses it meanwhile.
class BusyFile {
 public:
  BusyFile(Model& model, std::string local) : model_(model), local_(std::move(local)) {
    model_.busy_files.insert(local_);
  }
  ~BusyFile() { model_.busy_files.erase(local_); }
  BusyFile(const BusyFile&) = delete;
  BusyFile& operator=(const BusyFile&) = delete;

 private:
  Model& model_;
  std::string local_;
};

// Restores the session's command when the statement ends, however it ends.
class CommandShown {
 public:
  CommandShown(Session& session, const char* command) : session_(session), saved_(session.command) {
    session_.command = command;
  }
  ~CommandShown() { session_.command = saved_; }
  CommandShown(const CommandShown&) = delete;
  CommandShown& operator=(const CommandShown&) = delete;

 private:
  Session& session_;
  std::string saved_;
};

std::string ServerName(const Model& model) {
  const ServerInfo& s = model.server;
  return s.instance.empty() ? s.name : s.name + "\\" + s.instance;
}

// --- BACKUP DATABASE ----------------------------------------------------------------------

// What msdb keeps of a backup written to `device`.
BackupRecord HistoryOf(const BackupSet& set, const std::string& device) {
  BackupRecord r;
  r.database = set.database;
  r.name = set.name.value_or("");
  r.description = set.description.value_or("");
  r.user = set.user;
  r.started = set.started;
  r.finished = set.finished;
  r.database_created = set.database_created;
  r.position = set.position;
  r.size_bytes = set.pages * 8192 + 1536;
  r.first_lsn = set.first_lsn;
  r.last_lsn = set.last_lsn;
  r.compatibility = set.compatibility;
  r.database_version = set.database_version;
  r.device = device;
  return r;
}

void Backup(Context& ctx, Parser& p) {
  const std::string statement = "BACKUP DATABASE";
  if (p.Peek().IsWord("LOG") || p.Peek().IsWord("TRANSACTION"))
    ctx.Fail(4208, 16, 1, "The statement BACKUP LOG is not allowed while the recovery model is "
                          "SIMPLE. Use BACKUP DATABASE or change the recovery model using ALTER "
                          "DATABASE.");
  p.ExpectKeyword("DATABASE");
  const std::string name = p.ExpectName();
  p.ExpectKeyword("TO");
  const std::string path = ReadDevice(p);
  const Options o = ReadOptions(p, false);
  RefuseInTransaction(ctx, statement);

  Database* db = ctx.model.FindDatabase(name);
  if (db == nullptr)
    FailWith(ctx, statement, 911, 16, 11,
             "Could not locate entry in sysdatabases for database '" + name +
                 "'. No entry found with that name. Make sure that the name is entered correctly.");
  if (EqualNoCase(db->name, "tempdb"))
    FailWith(ctx, statement, 3147, 16, 1,
             "Backup and restore operations are not allowed on database tempdb.");
  if (!IsDbOwner(ctx, *db))
    FailWith(ctx, statement, 262, 14, 1,
             "BACKUP DATABASE permission denied in database '" + db->name + "'.");
  if (db->Has(DbStatus::Offline))
    FailWith(ctx, statement, 942, 14, 4,
             "Database '" + db->name + "' cannot be opened because it is offline.");
  if (db->Has(DbStatus::Loading))
    FailWith(ctx, statement, 927, 14, 2,
             "Database '" + db->name + "' cannot be opened. It is in the middle of a restore.");

  const std::string local = ctx.model.LocalPath(path);
  CheckDevice(ctx, statement, path, local);
  std::vector<BackupSet> sets;
  if (!o.init && std::filesystem::exists(local)) sets = ReadBackupSets(ctx, statement, path);

  const auto started = std::chrono::steady_clock::now();
  BackupSet set = SnapshotOf(*db, ctx.model.server.collation);
  set.position = static_cast<int>(sets.size()) + 1;
  set.name = o.name;
  set.description = o.description;
  set.user = ctx.session.login;
  set.server = ServerName(ctx.model);
  set.machine = ctx.model.server.machine.empty() ? ctx.model.server.name : ctx.model.server.machine;
  set.software_version = ctx.model.server.product_version;
  set.started = NowDateTime();
  const std::vector<int64_t> pages = PagesPerFile(set);
  for (int64_t n : pages) set.pages += n;
  const int64_t stamp = static_cast<int64_t>(std::time(nullptr));
  set.first_lsn = stamp * 100000 + 1;
  set.last_lsn = set.first_lsn + set.pages;
  const std::string database = db->name;
  db = nullptr;  // the model may change while the backup waits

  BusyFile busy(ctx.model, local);
  CommandShown shown(ctx.session, "BACKUP DATABASE");
  if (!Pace(ctx, DataPages(set, pages), o, "backed up")) throw BatchCancelled{};
  set.finished = NowDateTime();
  sets.push_back(std::move(set));
  if (!WriteFileAtomically(local, BackupFileText(sets))) DeviceFails(ctx, statement, path, kDenied);
  const BackupSet& written = sets.back();
  ctx.model.backups.push_back(HistoryOf(written, path));
  LogBackup(ctx.model, written, path);
  ReportProcessed(ctx, database, written, pages, false, written.position);
  if (o.stats) ctx.InfoNow(3211, "100 percent backed up.");
  ReportProcessed(ctx, database, written, pages, true, written.position);
  ReportSuccess(ctx, statement, written.pages, started);
}

// --- RESTORE HEADERONLY, FILELISTONLY, VERIFYONLY --------------------------------------------

// Every set read holds a database image that loads; a set whose image does not is damaged.
void CheckImage(Context& ctx, const std::string& statement, const std::string& path,
                const BackupSet& set, Database* into = nullptr) {
  try {
    Database db = DatabaseFromJson(set.image);
    if (into != nullptr) *into = std::move(db);
  } catch (const std::exception&) {
    FailWith(ctx, statement, 3241, 16, 37,
             "The media family on device '" + path +
                 "' is incorrectly formed. SQL Server cannot process this media family.");
  }
}

// --- RESTORE DATABASE ---------------------------------------------------------------------

struct PlannedFile {
  std::string logical, physical;
};

// Where each file of the set goes (its own path unless MOVEd), or SQL Server's refusals:
// an unknown logical name (3234), a file another database uses (1834), an existing file
// without REPLACE (3142).
std::vector<PlannedFile> PlanFiles(Context& ctx, const std::string& statement,
                                   const std::string& target, const BackupSet& set,
                                   const Options& o) {
  for (const auto& [logical, path] : o.moves) {
    const bool known = std::any_of(set.files.begin(), set.files.end(), [&](const BackupFileEntry& f) {
      return EqualNoCase(f.logical, logical);
    });
    if (!known)
      FailWith(ctx, statement, 3234, 16, 2,
               "Logical file '" + logical + "' is not part of database '" + target +
                   "'. Use RESTORE FILELISTONLY to list the logical file names.");
  }
  std::vector<PlannedFile> plan;
  bool problems = false;
  for (const BackupFileEntry& f : set.files) {
    PlannedFile planned{f.logical, f.physical};
    for (const auto& [logical, path] : o.moves)
      if (EqualNoCase(logical, f.logical)) planned.physical = path;
    const std::string local = ctx.model.LocalPath(planned.physical);
    const Database* user = DatabaseUsingFile(ctx.model, local);
    if (local.empty()) {
      ctx.Error(5123, 16, 1, "CREATE FILE encountered operating system error 3(The system cannot find the path "
                             "specified.) while attempting to open or create the physical file '" +
                                 planned.physical + "'.");
      ctx.Error(3156, 16, 1, "File '" + f.logical + "' cannot be restored to '" + planned.physical +
                                 "'. Use WITH MOVE to identify a valid location for the file.");
      problems = true;
    } else if (user != nullptr && !EqualNoCase(user->name, target)) {
      ctx.Error(1834, 16, 1, "The file '" + planned.physical + "' cannot be overwritten.  It is "
                             "being used by database '" + user->name + "'.");
      ctx.Error(3156, 16, 1, "File '" + f.logical + "' cannot be restored to '" + planned.physical +
                                 "'. Use WITH MOVE to identify a valid location for the file.");
      problems = true;
    } else if (user == nullptr && !o.replace && std::filesystem::exists(local)) {
      ctx.Error(3142, 16, 1, "File '" + f.logical + "' cannot be restored over the existing '" +
                                 planned.physical + "'. Reissue the RESTORE statement using WITH "
                                 "REPLACE to overwrite pre-existing files, or WITH MOVE to "
                                 "identify an alternate location.");
      problems = true;
    }
    plan.push_back(planned);
  }
  if (problems)
    FailWith(ctx, statement, 3119, 16, 1,
             "Problems were identified while planning for the RESTORE statement. Previous "
             "messages provide details.");
  return plan;
}

// SQL Server 2005's upgrade steps of a SQL Server 2000 database, as RESTORE reports them.
void ReportUpgrade(Context& ctx, const std::string& database, int from, int to) {
  ctx.Info(0, "Converting database '" + database + "' from version " + std::to_string(from) +
                  " to the current version " + std::to_string(to) + ".", 0);
  static const int kSteps[] = {539, 551, 552, 553, 554, 589, 590, 593, 597, 604, 605, 606, 607, 608, 609, 610, 611};
  for (size_t i = 0; i + 1 < std::size(kSteps); ++i)
    if (kSteps[i] >= from && kSteps[i + 1] <= to)
      ctx.Info(0, "Database '" + database + "' running the upgrade step from version " + std::to_string(kSteps[i]) +
                      " to version " + std::to_string(kSteps[i + 1]) + ".", 0);
}

void RestoreDatabase(Context& ctx, Parser& p) {
  const std::string statement = "RESTORE DATABASE";
  const std::string target = p.ExpectName();
  p.ExpectKeyword("FROM");
  const std::string path = ReadDevice(p);
  const Options o = ReadOptions(p, true);
  RefuseInTransaction(ctx, statement);

  if (EqualNoCase(target, "tempdb"))
    FailWith(ctx, statement, 3147, 16, 1,
             "Backup and restore operations are not allowed on database tempdb.");
  if (EqualNoCase(target, "master"))
    FailWith(ctx, statement, 3108, 16, 1,
             "RESTORE DATABASE must be used in single user mode when trying to restore the master "
             "database.");
  Database* existing = ctx.model.FindDatabase(target);
  if (!(ctx.IsSysadmin() || (existing != nullptr && IsDbOwner(ctx, *existing))))
    FailWith(ctx, statement, 3110, 14, 1,
             "User does not have permission to RESTORE database '" + target + "'.");
  const std::vector<BackupSet> sets = ReadBackupSets(ctx, statement, path);
  const BackupSet& set = ChosenSet(ctx, statement, path, sets, o.file);
  Database restored;
  CheckImage(ctx, statement, path, set, &restored);
  const int version = ctx.model.server.DatabaseVersion();
  if (set.database_version > version)
    FailWith(ctx, statement, 3169, 16, 1,
             "The backed-up database has on-disk structure version " + std::to_string(set.database_version) +
                 ". The server supports version " + std::to_string(version) +
                 " and cannot restore or upgrade this database.");
  if (existing != nullptr && !o.replace && !EqualNoCase(set.database, existing->name))
    FailWith(ctx, statement, 3154, 16, 1,
             "The backup set holds a backup of a database other than the existing '" +
                 existing->name + "' database.");
  if (existing != nullptr && !ctx.model.SessionsIn(existing->name).empty())
    FailWith(ctx, statement, 3101, 16, 1,
             "Exclusive access could not be obtained because the database is in use.");
  const std::vector<PlannedFile> plan = PlanFiles(ctx, statement, target, set, o);

  // While the pages are copied the database is loading: nobody may enter it, and a new
  // name is taken in sysdatabases so no attach takes it meanwhile.
  const auto started = std::chrono::steady_clock::now();
  const std::string name = existing != nullptr ? existing->name : target;
  std::optional<int64_t> saved_status;
  if (existing != nullptr) {
    saved_status = existing->status;
    existing->Set(DbStatus::Loading, true);
  } else {
    Database placeholder;
    placeholder.name = name;
    placeholder.dbid = ctx.model.NextDbid();
    placeholder.crdate = NowDateTime();
    placeholder.Set(DbStatus::Loading, true);
    for (size_t i = 0; i < plan.size(); ++i) {
      DbFile f;
      f.fileid = static_cast<int>(i) + 1;
      f.name = plan[i].logical;
      f.filename = plan[i].physical;
      f.log_file = set.files[i].log;
      placeholder.files.push_back(f);
    }
    ctx.model.AddDatabase(std::move(placeholder));
  }
  existing = nullptr;
  const std::string local = ctx.model.LocalPath(path);
  BusyFile busy(ctx.model, local);
  CommandShown shown(ctx.session, "RESTORE DATABASE");
  const std::vector<int64_t> pages = PagesPerFile(set);
  int64_t total = 0;
  for (int64_t n : pages) total += n;
  const bool finished = Pace(ctx, total, o, "restored");

  Database* now = ctx.model.FindDatabase(name);
  if (!finished) {
    // Cancelled: the database is as it was, or the new name is free again.
    if (now != nullptr && saved_status) now->status = *saved_status;
    else if (now != nullptr) std::erase_if(ctx.model.databases, [&](const Database& d) { return &d == now; });
    throw BatchCancelled{};
  }
  restored.name = name;
  restored.dbid = now != nullptr ? now->dbid : ctx.model.NextDbid();
  for (DbFile& f : restored.files)
    for (const PlannedFile& planned : plan)
      if (EqualNoCase(planned.logical, f.name)) f.filename = planned.physical;
  restored.Set(DbStatus::Offline, false);
  restored.Set(DbStatus::NotRecovered, false);
  restored.Set(DbStatus::Loading, o.norecovery);
  if (ctx.model.FindLogin(restored.owner_login) == nullptr) restored.owner_login = ctx.session.login;
  // A database of an older server is upgraded to this one's version; it keeps its
  // compatibility level.
  if (restored.version < version) ReportUpgrade(ctx, name, restored.version, version);
  restored.version = version;
  MapUsers(ctx.model, restored);
  if (now != nullptr) *now = std::move(restored);
  else ctx.model.AddDatabase(std::move(restored));

  LogRestore(ctx.model, set, name, path);
  if (o.stats) ctx.InfoNow(3211, "100 percent restored.");
  ReportProcessed(ctx, name, set, pages, false, set.position);
  ReportProcessed(ctx, name, set, pages, true, set.position);
  ReportSuccess(ctx, statement, total, started);
}

void Restore(Context& ctx, Parser& p) {
  if (p.AcceptKeyword("DATABASE")) return RestoreDatabase(ctx, p);
  std::string statement;
  if (p.AcceptKeyword("HEADERONLY")) statement = "RESTORE HEADERONLY";
  else if (p.AcceptKeyword("FILELISTONLY")) statement = "RESTORE FILELISTONLY";
  else if (p.AcceptKeyword("VERIFYONLY")) statement = "VERIFY DATABASE";
  else p.FailHere();
  p.ExpectKeyword("FROM");
  const std::string path = ReadDevice(p);
  const Options o = ReadOptions(p, true);
  if (!o.moves.empty() || o.replace) p.FailHere();
  const std::vector<BackupSet> sets = ReadBackupSets(ctx, statement, path);
  if (statement == "RESTORE HEADERONLY") {
    // FILE = n lists that set alone.
    if (!o.file) return SendBackupHeaders(ctx, sets);
    return SendBackupHeaders(ctx, {ChosenSet(ctx, statement, path, sets, o.file)});
  }
  const BackupSet& set = ChosenSet(ctx, statement, path, sets, o.file);
  if (statement == "RESTORE FILELISTONLY") return SendBackupFileList(ctx, set);
  CheckImage(ctx, statement, path, set);
  if (ctx.model.server.Is2005())
    ctx.Info(3262, "The backup set on file " + std::to_string(set.position) + " is valid.");
  else
    ctx.Info(3262, "The backup set is valid.");
}

const StatementRegistration backup_statement("BACKUP", Backup);
const StatementRegistration restore_statement("RESTORE", Restore);

}  // namespace
}  // namespace msde
