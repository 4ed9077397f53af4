// sp_attach_db, sp_attach_single_file_db and sp_detach_db: databases come from and go back
// to JSON files in the files directory, found by their server paths (Model::LocalPath).
#include <algorithm>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/DatabaseFiles.h"
#include "engine/Statements.h"

namespace msde {
namespace {

std::string LogFileText(const std::string& database) {
  return nlohmann::json{{"log_of", database}}.dump() + "\n";
}

[[noreturn]] void AttachFails(Context& ctx, const std::string& name, int number, int state,
                              const std::string& text) {
  ctx.Error(number, 16, state, text);
  ctx.Fail(1813, 16, 2, "Could not open new database '" + name + "'. CREATE DATABASE is aborted.");
}

bool InUse(Context& ctx, const std::string& local) {
  return DatabaseUsingFile(ctx.model, local) != nullptr;
}

// The text of a file named by the client, or the refusal SQL Server gives for it.
std::string OpenFile(Context& ctx, const std::string& name, const std::string& path) {
  const std::string local = ctx.model.LocalPath(path);
  std::optional<std::string> text = ReadWholeFile(local);
  if (!text)
    AttachFails(ctx, name, 5105, 4,
                "Device activation error. The physical file name '" + path +
                    "' may be incorrect.");
  if (InUse(ctx, local))
    AttachFails(ctx, name, 5120, 1,
                "Unable to open the physical file '" + path +
                    "'. Operating system error 32: \"32(The process cannot access the file "
                    "because it is being used by another process.)\".");
  return *text;
}

bool NamesDatabase(const Database& db, const std::string& text) {
  if (EqualNoCase(db.name, text)) return true;
  for (const DbFile& f : db.files)
    if (EqualNoCase(f.name, text)) return true;
  return false;
}

// A log file must belong to the database it is attached with.
void CheckLog(Context& ctx, const std::string& name, const Database& db, const std::string& path,
              const std::string& text) {
  std::string owner;
  try {
    owner = nlohmann::json::parse(text).value("log_of", "");
  } catch (const nlohmann::json::exception&) {
    AttachFails(ctx, name, 5172, 15,
                "The header for file '" + path +
                    "' is not a valid database file header. The PageAudit property is incorrect.");
  }
  if (!owner.empty() && !NamesDatabase(db, owner))
    AttachFails(ctx, name, 5173, 1, "Cannot associate files with different databases.");
}

std::string Directory(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Attaches the database in `paths[0]` under `name`; the other paths are its further files
// in file id order. With `single`, the log recorded in the data file is used when it is
// there, and a new one is made beside the data file when it is not.
void Attach(Context& ctx, const std::string& name, const std::vector<std::string>& paths,
            bool single) {
  if (!ctx.IsSysadmin())
    ctx.Fail(15247, 16, 1, "User does not have permission to perform this action.");
  if (name.empty() || paths.empty() || paths.front().empty())
    ctx.Fail(15600, 15, 1,
             "An invalid parameter or option was specified for procedure '" + ctx.procedure + "'.");
  if (ctx.model.FindDatabase(name) != nullptr)
    ctx.Fail(1801, 16, 3, "Database '" + name + "' already exists.");
  const std::string text = OpenFile(ctx, name, paths.front());
  Database db;
  try {
    db = DatabaseFromJson(text);
  } catch (const std::exception&) {
    AttachFails(ctx, name, 5172, 15,
                "The header for file '" + paths.front() +
                    "' is not a valid database file header. The PageAudit property is incorrect.");
  }
  std::sort(db.files.begin(), db.files.end(),
            [](const DbFile& a, const DbFile& b) { return a.fileid < b.fileid; });
  for (size_t i = 1; i < paths.size() && i < db.files.size(); ++i)
    CheckLog(ctx, name, db, paths[i], OpenFile(ctx, name, paths[i]));
  for (size_t i = 0; i < paths.size() && i < db.files.size(); ++i) db.files[i].filename = paths[i];
  if (single) {
    for (DbFile& f : db.files) {
      if (!f.is_log()) continue;
      const std::string local = ctx.model.LocalPath(f.filename);
      if (ReadWholeFile(local) && !InUse(ctx, local)) continue;
      ctx.Info(5105, "Device activation error. The physical file name '" + f.filename +
                         "' may be incorrect.");
      f.filename = Directory(paths.front()) + name + "_log.LDF";
      WriteFileAtomically(ctx.model.LocalPath(f.filename), LogFileText(name));
      ctx.Info(5025, "New log file '" + f.filename + "' was created.");
    }
  }
  db.name = name;
  db.dbid = ctx.model.NextDbid();
  db.owner_login = ctx.session.login;
  db.Set(DbStatus::Offline, false);
  MapUsers(ctx.model, db);
  ctx.model.AddDatabase(std::move(db));
}

void AttachDb(Context& ctx, const ProcArgs& args) {
  std::vector<std::string> paths;
  for (int i = 1; i <= 16; ++i) {
    const std::string parameter = "@filename" + std::to_string(i);
    if (!args.Has(parameter)) break;
    paths.push_back(args.Text(parameter));
  }
  Attach(ctx, args.Text("@dbname"), paths, false);
}

void AttachSingleFileDb(Context& ctx, const ProcArgs& args) {
  Attach(ctx, args.Text("@dbname"), {args.Text("@physname")}, true);
}

void DetachDb(Context& ctx, const ProcArgs& args) {
  if (!ctx.IsSysadmin())
    ctx.Fail(15247, 16, 1, "User does not have permission to perform this action.");
  const std::string name = args.Text("@dbname");
  Database* db = ctx.model.FindDatabase(name);
  if (db == nullptr)
    ctx.Fail(3701, 11, 1,
             "Cannot drop the database '" + name + "', because it does not exist in the system "
             "catalog.");
  for (const char* system : {"master", "model", "msdb", "tempdb"})
    if (EqualNoCase(db->name, system))
      ctx.Fail(7940, 16, 1, "System databases master, model, msdb, and tempdb cannot be detached.");
  if (!ctx.model.SessionsIn(db->name).empty())
    ctx.Fail(3703, 16, 2,
             "Cannot detach the database '" + db->name + "' because it is currently in use.");
  // The files are written before the database leaves the server, so nothing is lost when
  // the files directory refuses them.
  for (const DbFile& f : db->files) {
    if (!f.is_log() && f.fileid != 1) continue;
    const std::string text = f.is_log() ? LogFileText(db->name) : DatabaseToJson(*db);
    const std::string local = ctx.model.LocalPath(f.filename);
    if (local.empty())
      ctx.Fail(5120, 16, 1,
               "Unable to open the physical file '" + f.filename +
                   "'. Operating system error 3: \"3(The system cannot find the path specified.)\".");
    if (!WriteFileAtomically(local, text))
      ctx.Fail(5120, 16, 1,
               "Unable to open the physical file '" + f.filename +
                   "'. Operating system error 5: \"5(Access is denied.)\".");
  }
  std::erase_if(ctx.model.databases, [&](const Database& d) { return &d == db; });
}

const ProcedureRegistration attach_db(
    "sp_attach_db",
    {{"@dbname", true}, {"@filename1", true}, {"@filename2"}, {"@filename3"}, {"@filename4"},
     {"@filename5"}, {"@filename6"}, {"@filename7"}, {"@filename8"}, {"@filename9"},
     {"@filename10"}, {"@filename11"}, {"@filename12"}, {"@filename13"}, {"@filename14"},
     {"@filename15"}, {"@filename16"}},
    AttachDb);
const ProcedureRegistration attach_single_file_db("sp_attach_single_file_db",
                                                  {{"@dbname", true}, {"@physname", true}},
                                                  AttachSingleFileDb);
const ProcedureRegistration detach_db("sp_detach_db",
                                      {{"@dbname", true}, {"@skipchecks"}}, DetachDb);

}  // namespace
}  // namespace msde
