// The system tables every database holds: sysobjects, sysusers, syscolumns and sysfiles
// (the columns the tool and its peers read, in SQL Server 2000's order).
#include "engine/SqlTime.h"
#include "engine/SystemObjects.h"
#include "engine/SystemTables.h"
#include "engine/Values.h"
#include "engine/TypeNames.h"
#include "engine/UserProcedures.h"

namespace msde {
namespace {

using T = SqlType;

int OwnerUid(Database& db, const std::string& owner) {
  const DbUser* u = db.FindUser(owner);
  return u ? u->uid : 1;
}

void SysObjects(Context&, Database& db, RowSource& out) {
  out.columns = {Column("name", T::NVarChar, 128, false), Column("id", T::Int, 0, false),
                 Column("xtype", T::Char, 2),  Column("uid", T::SmallInt),
                 Column("info", T::SmallInt),  Column("status", T::Int),
                 Column("base_schema_ver", T::Int), Column("replinfo", T::Int),
                 Column("parent_obj", T::Int), Column("crdate", T::DateTime),
                 Column("ftcatid", T::SmallInt), Column("schema_ver", T::Int),
                 Column("stats_schema_ver", T::Int), Column("type", T::Char, 2),
                 Column("userstat", T::SmallInt), Column("sysstat", T::SmallInt),
                 Column("indexdel", T::SmallInt), Column("refdate", T::DateTime),
                 Column("version", T::Int),    Column("deltrig", T::Int),
                 Column("instrig", T::Int),    Column("updtrig", T::Int),
                 Column("seltrig", T::Int),    Column("category", T::Int),
                 Column("cache", T::SmallInt)};
  auto add = [&](const std::string& name, int64_t id, const char* type, int64_t uid,
                 SqlDateTime created, int64_t sysstat) {
    out.owned.push_back({name, id, std::string(type), uid, int64_t{0}, int64_t{0}, int64_t{0},
                         int64_t{0}, int64_t{0}, created, int64_t{0}, int64_t{0}, int64_t{0},
                         std::string(type), int64_t{0}, sysstat, int64_t{0}, created, int64_t{0},
                         int64_t{0}, int64_t{0}, int64_t{0}, int64_t{0}, int64_t{0}, int64_t{0}});
  };
  for (const SystemObject& o : SystemObjectsOf(db)) add(o.name, o.id, "S ", 1, db.crdate, 113);
  for (const Table& t : db.tables) add(t.name, t.id, "U ", OwnerUid(db, t.owner), t.created, 115);
  for (const StoredProcedure& p : db.procedures) add(p.name, p.id, "P ", OwnerUid(db, p.owner), p.crdate, 4);
}

void SysUsers(Context&, Database& db, RowSource& out) {
  out.columns = {Column("uid", T::SmallInt),  Column("status", T::SmallInt),
                 Column("name", T::NVarChar, 128, false), BinaryColumn("sid", 85),
                 BinaryColumn("roles", 2048), Column("createdate", T::DateTime),
                 Column("updatedate", T::DateTime), Column("altuid", T::SmallInt),
                 BinaryColumn("password", 256), Column("gid", T::SmallInt),
                 Column("environ", T::VarChar, 255), Column("hasdbaccess", T::Int),
                 Column("islogin", T::Int),   Column("isntname", T::Int),
                 Column("isntgroup", T::Int), Column("isntuser", T::Int),
                 Column("issqluser", T::Int), Column("isaliased", T::Int),
                 Column("issqlrole", T::Int), Column("isapprole", T::Int)};
  for (const DbUser& u : db.users) {
    const bool user = !u.is_role;
    const bool access = user && (u.uid == 1 || !u.sid.empty());
    out.owned.push_back({int64_t{u.uid}, int64_t{u.is_role ? 0 : 2}, u.name,
                         u.sid.empty() ? Value{} : Value{u.sid}, Value{}, db.crdate,
                         db.crdate, int64_t{u.is_role ? 1 : 0}, Value{}, int64_t{u.is_role ? u.uid : 0},
                         Value{}, int64_t{access ? 1 : 0}, int64_t{user ? 1 : 0}, int64_t{0},
                         int64_t{0}, int64_t{0}, int64_t{user ? 1 : 0}, int64_t{0},
                         int64_t{u.is_role ? 1 : 0}, int64_t{0}});
  }
}

std::vector<ColumnInfo> SysColumnsLayout() {
  return {Column("name", T::NVarChar, 128), Column("id", T::Int),
          Column("xtype", T::TinyInt),      Column("typestat", T::TinyInt),
          Column("xusertype", T::SmallInt), Column("length", T::SmallInt),
          Column("xprec", T::TinyInt),      Column("xscale", T::TinyInt),
          Column("colid", T::SmallInt),     Column("colorder", T::SmallInt),
          Column("prec", T::SmallInt),      Column("scale", T::Int),
          Column("iscomputed", T::Int),     Column("isoutparam", T::Int),
          Column("isnullable", T::Int),     Column("collation", T::NVarChar, 128)};
}

void AddColumns(RowSource& out, int64_t id, const std::vector<ColumnInfo>& columns, const std::string& collation) {
  int64_t colid = 0;
  for (const ColumnInfo& c : columns) {
    ++colid;
    const int xtype = SystemTypeId(c.type);
    const bool text = IsCharacterType(c.type);
    const int precision = ColumnPrecision(c);
    out.owned.push_back({c.name, id, int64_t{xtype}, int64_t{0}, int64_t{xtype},
                         int64_t{StorageLength(c)},
                         int64_t{text ? 0 : std::min(precision, 255)}, int64_t{c.scale}, colid,
                         colid, int64_t{std::min(precision, 32767)},
                         text ? Value{} : Value{int64_t{c.scale}}, int64_t{0}, int64_t{0},
                         int64_t{c.nullable ? 1 : 0}, text ? Value{collation} : Value{}});
  }
}

// The columns of the user tables, and those of the system tables themselves, as a real
// database lists them.
void SysColumns(Context& ctx, Database& db, RowSource& out) {
  out.columns = SysColumnsLayout();
  const std::string collation = db.collation.empty() ? ctx.model.server.collation : db.collation;
  for (const SystemObject& o : SystemObjectsOf(db)) {
    if (EqualNoCase(o.name, "syscolumns")) AddColumns(out, o.id, out.columns, collation);
    else if (IsSystemTableName(o.name)) AddColumns(out, o.id, OpenTable(ctx, {db.name, "", o.name}).columns, collation);
  }
  for (const Table& t : db.tables) AddColumns(out, t.id, t.columns, collation);
  // A procedure's parameters are its columns, the output ones marked.
  for (const StoredProcedure& p : db.procedures) {
    const size_t first = out.owned.size();
    std::vector<ColumnInfo> columns;
    std::vector<bool> output;
    for (const ProcedureParameter& param : ParameterList(ctx, p)) {
      columns.push_back(param.type);
      output.push_back(param.output);
    }
    AddColumns(out, p.id, columns, collation);
    for (size_t i = 0; i < output.size(); ++i) out.owned[first + i][13] = int64_t{output[i] ? 1 : 0};
  }
}

void SysFiles(Context&, Database& db, RowSource& out) {
  out.columns = {Column("fileid", T::SmallInt), Column("groupid", T::SmallInt),
                 Column("size", T::Int),        Column("maxsize", T::Int),
                 Column("growth", T::Int),      Column("status", T::Int),
                 Column("perf", T::Int),        Column("name", T::NChar, 128),
                 Column("filename", T::NChar, 260)};
  for (const DbFile& f : db.files) {
    out.owned.push_back({int64_t{f.fileid}, int64_t{f.is_log() ? 0 : 1}, f.size, f.maxsize,
                         f.growth, FileStatus(f), int64_t{0}, Padded(f.name, 128), Padded(f.filename, 260)});
  }
}

const SystemTableRegistration sysobjects("sysobjects", false, SysObjects);
const SystemTableRegistration sysusers("sysusers", false, SysUsers);
const SystemTableRegistration syscolumns("syscolumns", false, SysColumns);
const SystemTableRegistration sysfiles("sysfiles", false, SysFiles);

}  // namespace
}  // namespace msde
