// sp_helpdb, sp_databases and sp_spaceused: the server's databases, their files and the
// space they take, in SQL Server 2000's layouts.
#include <algorithm>

#include "engine/DatabaseSpace.h"
#include "engine/SqlTime.h"
#include "engine/SystemTables.h"
#include "engine/Values.h"

namespace msde {
namespace {

using T = SqlType;

// str(value, 10, 2) + ' MB': the size right-aligned, as sp_helpdb writes db_size.
std::string HelpDbSize(int64_t pages) {
  const std::string mb = MegabytesText(pages);
  const std::string number = mb.substr(0, mb.size() - 3);
  return std::string(number.size() < 10 ? 10 - number.size() : 0, ' ') + number + " MB";
}

// "Status=ONLINE, Updateability=READ_WRITE, ..., IsAutoShrink, ...": the properties of
// DATABASEPROPERTYEX, the switched-on flags by name.
std::string StatusText(const Database& db, const std::string& server_collation) {
  std::string text;
  for (const char* p : {"Status", "Updateability", "UserAccess", "Recovery", "Version"}) {
    const auto v = db.PropertyEx(p);
    text += std::string(text.empty() ? "" : ", ") + p + "=" + (v ? ValueText(*v) : "");
  }
  text += ", Collation=" + (db.collation.empty() ? server_collation : db.collation) + ", SQLSortOrder=0";
  for (const char* flag : {"IsAutoClose", "IsAutoShrink", "IsInStandBy", "IsTornPageDetectionEnabled",
                           "IsAnsiNullDefault", "IsAnsiNullsEnabled", "IsAnsiWarningsEnabled",
                           "IsAutoCreateStatistics", "IsAutoUpdateStatistics", "IsFullTextEnabled",
                           "IsNullConcat", "IsQuotedIdentifiersEnabled", "IsRecursiveTriggersEnabled"}) {
    const auto v = db.PropertyEx(flag);
    if (v && ToInteger(*v).value_or(0) == 1) text += std::string(", ") + flag;
  }
  return text;
}

Row HelpDbRow(Context& ctx, const Database& db) {
  const std::string created = FormatDateTime(db.crdate, 0).value_or("").substr(0, 11);
  return {db.name, HelpDbSize(DataFilePages(db) + LogFilePages(db)), Value{db.owner_login}, int64_t{db.dbid},
          created, StatusText(db, ctx.model.server.collation), int64_t{db.cmptlevel}};
}

std::string FileSizeText(int64_t pages) { return std::to_string(pages * 8) + " KB"; }

void FilesOf(Context& ctx, const Database& db) {
  ResultSet r;
  r.columns = {Column("name", T::NChar, 128),      Column("fileid", T::SmallInt),
               Column("filename", T::NChar, 260),  Column("filegroup", T::NVarChar, 128),
               Column("size", T::NVarChar, 18),    Column("maxsize", T::NVarChar, 18),
               Column("growth", T::NVarChar, 18),  Column("usage", T::VarChar, 9)};
  for (const DbFile& f : db.files)
    r.rows.push_back({Padded(f.name, 128), int64_t{f.fileid}, Padded(f.filename, 260),
                      f.is_log() ? Value{} : Value{std::string("PRIMARY")}, FileSizeText(f.size),
                      f.maxsize < 0 ? std::string("Unlimited") : FileSizeText(f.maxsize),
                      f.growth_percent ? std::to_string(f.growth) + "%" : FileSizeText(f.growth),
                      std::string(f.is_log() ? "log only" : "data only")});
  ctx.SendResult(r);
}

void SpHelpDb(Context& ctx, const ProcArgs& args) {
  ResultSet r;
  r.columns = {Column("name", T::NVarChar, 128),   Column("db_size", T::NVarChar, 13),
               Column("owner", T::NVarChar, 128),  Column("dbid", T::SmallInt),
               Column("created", T::NVarChar, 11), Column("status", T::NVarChar, 600),
               Column("compatibility_level", T::TinyInt)};
  if (!args.Has("@dbname")) {
    for (const Database& db : ctx.model.databases) r.rows.push_back(HelpDbRow(ctx, db));
    std::sort(r.rows.begin(), r.rows.end(), [](const Row& a, const Row& b) { return CompareValues(a[0], b[0]) < 0; });
    ctx.SendResult(r);
    return;
  }
  const std::string name = args.Text("@dbname");
  Database* db = ctx.model.FindDatabase(name);
  if (db == nullptr)
    ctx.Fail(15010, 16, 1, "The database '" + name + "' does not exist. Use sp_helpdb to show available databases.");
  r.rows.push_back(HelpDbRow(ctx, *db));
  ctx.SendResult(r);
  FilesOf(ctx, *db);
}

bool CanEnter(Context& ctx, const Database& db) {
  try {
    ctx.CheckCanEnter(db);
    return true;
  } catch (const SqlError&) {
    return false;
  }
}

// The databases the caller may enter, with their size in KB.
void SpDatabases(Context& ctx, const ProcArgs&) {
  ResultSet r;
  r.columns = {Column("DATABASE_NAME", T::NVarChar, 128), Column("DATABASE_SIZE", T::Int),
               Column("REMARKS", T::VarChar, 254)};
  for (const Database& db : ctx.model.databases)
    if (CanEnter(ctx, db)) r.rows.push_back({db.name, (DataFilePages(db) + LogFilePages(db)) * 8, Value{}});
  std::sort(r.rows.begin(), r.rows.end(), [](const Row& a, const Row& b) { return CompareValues(a[0], b[0]) < 0; });
  ctx.SendResult(r);
}

// The current database's size and unallocated space, then its reserved, data, index and
// unused space; or, for @objname, those of one table.
void SpSpaceUsed(Context& ctx, const ProcArgs& args) {
  Database& db = ctx.CurrentDatabase();
  const std::vector<ColumnInfo> usage = {Column("reserved", T::VarChar, 18), Column("data", T::VarChar, 18),
                                         Column("index_size", T::VarChar, 18), Column("unused", T::VarChar, 18)};
  if (args.Has("@objname")) {
    const std::string name = args.Text("@objname");
    const size_t dot = name.rfind('.');
    const Table* t = db.FindTable(dot == std::string::npos ? "" : name.substr(0, dot),
                                  dot == std::string::npos ? name : name.substr(dot + 1));
    if (t == nullptr)
      ctx.Fail(15009, 16, 1, "The object '" + name + "' does not exist in database '" + db.name + "'.");
    const int64_t data = TableDataPages(*t), index = TableIndexPages(*t);
    const int64_t reserved = (data + index + 7) / 8 * 8;
    ResultSet r;
    r.columns = {Column("name", T::NVarChar, 128), Column("rows", T::Char, 11)};
    r.columns.insert(r.columns.end(), usage.begin(), usage.end());
    r.rows.push_back({t->name, Padded(std::to_string(t->rows.size()), 11), KilobytesText(reserved),
                      KilobytesText(data), KilobytesText(index), KilobytesText(reserved - data - index)});
    ctx.SendResult(r);
    return;
  }
  int64_t data = 0, index = 0;
  for (const Table& t : db.tables) {
    data += TableDataPages(t);
    index += TableIndexPages(t);
  }
  const int64_t used = UsedDataPages(db);
  const int64_t system = std::max<int64_t>(used - data - index, 0);  // the system tables' pages
  ResultSet size;
  size.columns = {Column("database_name", T::NVarChar, 128), Column("database_size", T::VarChar, 18),
                  Column("unallocated space", T::VarChar, 18)};
  size.rows.push_back({db.name, MegabytesText(DataFilePages(db) + LogFilePages(db)),
                       MegabytesText(std::max<int64_t>(DataFilePages(db) - used, 0))});
  ctx.SendResult(size);
  ResultSet space;
  space.columns = usage;
  space.rows.push_back({KilobytesText(used), KilobytesText(data + system), KilobytesText(index), KilobytesText(0)});
  ctx.SendResult(space);
}

const ProcedureRegistration sp_helpdb("sp_helpdb", {{"@dbname"}}, SpHelpDb);
const ProcedureRegistration sp_databases("sp_databases", {}, SpDatabases);
const ProcedureRegistration sp_spaceused("sp_spaceused", {{"@objname"}, {"@updateusage"}}, SpSpaceUsed);

}  // namespace
}  // namespace msde
