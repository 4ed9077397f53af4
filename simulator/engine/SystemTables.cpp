#include "engine/SystemTables.h"

#include <map>

#include "engine/Locks.h"
#include "engine/ReadDamage.h"
#include "engine/TypeNames.h"
#include "engine/Values.h"

namespace msde {
namespace {

struct SystemTableEntry {
  std::string only_in;  // the one database that holds the table; empty: every database
  SystemTableBuilder builder;
};

std::map<std::string, SystemTableEntry>& SystemTableMap() {
  static std::map<std::string, SystemTableEntry> table;
  return table;
}

std::string JoinName(const std::vector<std::string>& parts) {
  std::string name;
  for (size_t i = 0; i < parts.size(); ++i) name += (i ? "." : "") + parts[i];
  return name;
}

}  // namespace

SystemTableRegistration::SystemTableRegistration(const char* name, bool master_only,
                                                 SystemTableBuilder builder)
    : SystemTableRegistration(name, master_only ? "master" : "", std::move(builder)) {}

SystemTableRegistration::SystemTableRegistration(const char* name, const char* only_in,
                                                 SystemTableBuilder builder) {
  SystemTableMap()[Upper(name)] = SystemTableEntry{only_in, std::move(builder)};
}

ColumnInfo Column(const char* name, SqlType type, int length, bool nullable) {
  ColumnInfo c;
  c.name = name;
  c.type = type;
  c.length = length != 0 ? length : DefaultLength(type);
  c.precision = DefaultPrecision(type);
  c.nullable = nullable;
  return c;
}

std::string Padded(const std::string& text, size_t chars) {
  const size_t length = Utf8Length(text);
  if (length >= chars) return Utf8Prefix(text, chars);
  return text + std::string(chars - length, ' ');
}

ColumnInfo BinaryColumn(const char* name, int bytes, bool fixed) {
  return Column(name, fixed ? SqlType::Binary : SqlType::VarBinary, bytes);
}

int64_t FileStatus(const DbFile& f) {
  int64_t status = 0x2;
  if (f.is_log()) status |= 0x40;
  if (f.growth_percent) status |= 0x100000;
  return status;
}

void CheckTableQualifier(Context& ctx, const ProcArgs& args) {
  if (args.Has("@table_qualifier") &&
      !EqualNoCase(args.Text("@table_qualifier"), ctx.CurrentDatabase().name))
    ctx.Fail(15250, 16, 1,
             "The database name component of the object qualifier must be the name of the current database.");
}

bool IsSystemTableName(const std::string& name) { return SystemTableMap().count(Upper(name)) > 0; }

RowSource OpenTable(Context& ctx, const std::vector<std::string>& parts) {
  const std::string& object = parts.back();
  const std::string owner = parts.size() >= 2 ? parts[parts.size() - 2] : "";
  std::string database = parts.size() >= 3 ? parts[parts.size() - 3] : "";
  if (parts.size() == 4 && !parts[0].empty() &&
      !EqualNoCase(parts[0], ctx.model.server.name))
    ctx.Fail(7202, 11, 2, "Could not find server '" + parts[0] +
                              "' in sysservers. Execute sp_addlinkedserver to add the server to sysservers.");
  Database* db = &ctx.CurrentDatabase();
  if (!database.empty()) {
    db = &ctx.RequireDatabase(database);
    if (!EqualNoCase(db->name, ctx.session.database)) ctx.CheckCanEnter(*db);
  }
  RowSource source;
  source.name = object;
  auto& map = SystemTableMap();
  // SQL Server 2005's catalogue views live in the schema sys.
  const bool view = EqualNoCase(owner, "sys") && ctx.model.server.Is2005();
  auto it = map.find(Upper(view ? "sys." + object : object));
  if (it != map.end() && (owner.empty() || EqualNoCase(owner, "dbo") || view) &&
      (it->second.only_in.empty() || EqualNoCase(db->name, it->second.only_in))) {
    it->second.builder(ctx, *db, source);
    return source;
  }
  if (Table* table = db->FindTable(owner, object)) {
    // Rows another transaction changed are read once it ends (read committed).
    const std::string name = db->name;
    table = WaitForCommittedRows(ctx, name, table->id);
    if (table == nullptr) ctx.Fail(208, 16, 1, "Invalid object name '" + JoinName(parts) + "'.", true);
    if (Database* now = ctx.model.FindDatabase(name)) CheckReadablePages(ctx, *now, *table);
    source.columns = table->columns;
    source.table = &table->rows;
    return source;
  }
  ctx.Fail(208, 16, 1, "Invalid object name '" + JoinName(parts) + "'.", true);
}

}  // namespace msde
