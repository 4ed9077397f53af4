// sp_tables and sp_columns: the catalogue of the current database as the ODBC catalogue
// procedures of SQL Server 2000 report it.
#include <algorithm>

#include "engine/SystemObjects.h"
#include "engine/SystemTables.h"
#include "engine/TypeNames.h"
#include "engine/Values.h"

namespace msde {
namespace {

using T = SqlType;

bool Matches(const ProcArgs& args, const char* param, const std::string& value) {
  return !args.Has(param) || LikeMatch(value, args.Text(param));
}

void SpTables(Context& ctx, const ProcArgs& args) {
  CheckTableQualifier(ctx, args);
  Database& db = ctx.CurrentDatabase();
  // The type list is written as quoted names: "'TABLE','VIEW'".
  const std::string types = Upper(args.Text("@table_type"));
  auto wanted = [&](const char* type) {
    return types.empty() || types.find(std::string("'") + type + "'") != std::string::npos;
  };
  ResultSet result;
  result.columns = {Column("TABLE_QUALIFIER", T::NVarChar, 128), Column("TABLE_OWNER", T::NVarChar, 128),
                    Column("TABLE_NAME", T::NVarChar, 128), Column("TABLE_TYPE", T::VarChar, 32),
                    Column("REMARKS", T::VarChar, 254)};
  auto add = [&](const std::string& owner, const std::string& name, const char* type) {
    if (!wanted(type) || !Matches(args, "@table_name", name) || !Matches(args, "@table_owner", owner))
      return;
    result.rows.push_back({db.name, owner, name, std::string(type), Value{}});
  };
  for (const SystemObject& o : SystemObjects()) add("dbo", o.name, "SYSTEM TABLE");
  for (const Table& t : db.tables) add(t.owner, t.name, "TABLE");
  add("dbo", "sysconstraints", "VIEW");
  add("dbo", "syssegments", "VIEW");
  std::stable_sort(result.rows.begin(), result.rows.end(), [](const Row& a, const Row& b) {
    for (size_t i : {3, 0, 1, 2}) {
      const int c = CompareValues(a[i], b[i]);
      if (c != 0) return c < 0;
    }
    return false;
  });
  ctx.SendResult(result);
}

// What sp_columns reports for one column.
Row ColumnRow(const std::string& db, const Table& t, const ColumnInfo& c, int ordinal, bool odbc3) {
  const bool text = IsCharacterType(c.type);
  const bool nchar = IsUnicodeType(c.type);
  int data_type = OdbcTypeCode(c.type);
  Value sql_data_type = int64_t{data_type}, datetime_sub;
  int length = StorageLength(c);
  Value scale, radix;
  // A smalldatetime is described as a datetime is, to the minute.
  const T kind = c.type == T::SmallDateTime ? T::DateTime : c.type;
  switch (kind) {
    case T::Numeric: case T::Decimal:
      length = c.precision + 2;
      scale = int64_t{c.scale};
      radix = int64_t{10};
      break;
    case T::Money: length = 21; scale = int64_t{4}; radix = int64_t{10}; break;
    case T::DateTime:
      length = 16;
      scale = int64_t{3};
      if (odbc3) {
        data_type = 93;
        sql_data_type = int64_t{9};
        datetime_sub = int64_t{3};
      }
      break;
    case T::Float: case T::Real: radix = int64_t{10}; break;
    case T::Text: length = 2147483647; break;
    case T::NText: length = 2147483646; break;
    case T::UniqueIdentifier: break;
    default:
      if (!text) {
        scale = int64_t{0};
        radix = int64_t{10};
      }
  }
  if (kind == T::DateTime && !odbc3) sql_data_type = int64_t{11};
  if (!odbc3 && kind == T::DateTime) data_type = 11;
  if (c.type == T::SmallDateTime) scale = int64_t{0};
  int ss_type = 0;
  switch (c.type) {
    case T::Int: case T::SmallInt: case T::TinyInt: case T::BigInt:
      ss_type = c.nullable ? 38 : SystemTypeId(c.type);
      break;
    case T::Bit: ss_type = 50; break;
    case T::Float: case T::Real: ss_type = c.nullable ? 109 : SystemTypeId(c.type); break;
    case T::Money: ss_type = c.nullable ? 110 : 60; break;
    case T::DateTime: case T::SmallDateTime: ss_type = c.nullable ? 111 : SystemTypeId(c.type); break;
    case T::Numeric: ss_type = 63; break;
    case T::Decimal: ss_type = 55; break;
    case T::Char: ss_type = 47; break;
    case T::VarChar: ss_type = 39; break;
    case T::Text: ss_type = 35; break;
    default: ss_type = 0;
  }
  Value octets;
  if (text) octets = int64_t{c.type == T::Text ? 2147483647 : c.type == T::NText ? 2147483646
                                                 : c.length * (nchar ? 2 : 1)};
  return {db,
          t.owner,
          t.name,
          c.name,
          int64_t{data_type},
          TypeName(c.type),
          int64_t{ColumnPrecision(c)},
          int64_t{length},
          scale,
          radix,
          int64_t{c.nullable ? 1 : 0},
          Value{},
          Value{},
          sql_data_type,
          datetime_sub,
          octets,
          int64_t{ordinal},
          std::string(c.nullable ? "YES" : "NO"),
          int64_t{ss_type}};
}

void SpColumns(Context& ctx, const ProcArgs& args) {
  CheckTableQualifier(ctx, args);
  Database& db = ctx.CurrentDatabase();
  const bool odbc3 = args.Int("@ODBCVer").value_or(2) >= 3;
  ResultSet result;
  result.columns = {Column("TABLE_QUALIFIER", T::NVarChar, 128), Column("TABLE_OWNER", T::NVarChar, 128),
                    Column("TABLE_NAME", T::NVarChar, 128),      Column("COLUMN_NAME", T::NVarChar, 128),
                    Column("DATA_TYPE", T::SmallInt),            Column("TYPE_NAME", T::NVarChar, 128),
                    Column("PRECISION", T::Int),                 Column("LENGTH", T::Int),
                    Column("SCALE", T::SmallInt),                Column("RADIX", T::SmallInt),
                    Column("NULLABLE", T::SmallInt),             Column("REMARKS", T::VarChar, 254),
                    Column("COLUMN_DEF", T::NVarChar, 4000),     Column("SQL_DATA_TYPE", T::SmallInt),
                    Column("SQL_DATETIME_SUB", T::SmallInt),     Column("CHAR_OCTET_LENGTH", T::Int),
                    Column("ORDINAL_POSITION", T::Int),          Column("IS_NULLABLE", T::VarChar, 254),
                    Column("SS_DATA_TYPE", T::TinyInt)};
  std::vector<const Table*> tables;
  for (const Table& t : db.tables)
    if (Matches(args, "@table_name", t.name) && Matches(args, "@table_owner", t.owner)) tables.push_back(&t);
  std::stable_sort(tables.begin(), tables.end(), [](const Table* a, const Table* b) {
    const int c = CompareValues(a->owner, b->owner);
    return c != 0 ? c < 0 : CompareValues(a->name, b->name) < 0;
  });
  for (const Table* t : tables) {
    int ordinal = 0;
    for (const ColumnInfo& c : t->columns) {
      ++ordinal;
      if (Matches(args, "@column_name", c.name)) result.rows.push_back(ColumnRow(db.name, *t, c, ordinal, odbc3));
    }
  }
  ctx.SendResult(result);
}

const ProcedureRegistration sp_tables("sp_tables",
                                      {{"@table_name"}, {"@table_owner"}, {"@table_qualifier"}, {"@table_type"}},
                                      SpTables);
const ProcedureRegistration sp_columns("sp_columns",
                                       {{"@table_name", true}, {"@table_owner"}, {"@table_qualifier"},
                                        {"@column_name"}, {"@ODBCVer"}},
                                       SpColumns);

}  // namespace
}  // namespace msde
