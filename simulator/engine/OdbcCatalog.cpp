// The ODBC catalogue procedures that drivers call for SQLGetTypeInfo, SQLPrimaryKeys,
// SQLStatistics and SQLSpecialColumns: sp_datatype_info, sp_pkeys, sp_statistics and
// sp_special_columns, in SQL Server 2000's layouts. A table's one index is its primary key.
#include <algorithm>

#include "engine/DatabaseSpace.h"
#include "engine/SystemTables.h"
#include "engine/TypeNames.h"
#include "engine/Values.h"

namespace msde {
namespace {

using T = SqlType;
constexpr int kNull = -1000;  // a NULL cell in the type table below

Value Maybe(int n) { return n == kNull ? Value{} : Value{int64_t{n}}; }
Value MaybeText(const char* text) { return text == nullptr ? Value{} : Value{std::string(text)}; }

struct TypeInfo {
  const char* name;
  int data_type;
  int precision;
  const char *prefix, *suffix, *create_params;
  int nullable, searchable, unsigned_attribute, money, auto_increment, minimum_scale, maximum_scale;
  int sql_data_type, datetime_sub, radix, usertype;
};

// SQLGetTypeInfo's rows as SQL Server 2000 answers them (ODBC 2 codes; datetime types are
// 93 under ODBC 3).
const TypeInfo kTypes[] = {
    {"sql_variant", -150, 8000, nullptr, nullptr, nullptr, 1, 2, kNull, 0, kNull, 0, 0, -150, kNull, 10, 0},
    {"uniqueidentifier", -11, 36, "'", "'", nullptr, 1, 2, kNull, 0, kNull, kNull, kNull, -11, kNull, kNull, 0},
    {"ntext", -10, 1073741823, "N'", "'", nullptr, 1, 1, kNull, 0, kNull, kNull, kNull, -10, kNull, kNull, 25},
    {"nvarchar", -9, 4000, "N'", "'", "max length", 1, 3, kNull, 0, kNull, kNull, kNull, -9, kNull, kNull, 0},
    {"nchar", -8, 4000, "N'", "'", "length", 1, 3, kNull, 0, kNull, kNull, kNull, -8, kNull, kNull, 0},
    {"bit", -7, 1, nullptr, nullptr, nullptr, 1, 2, kNull, 0, kNull, 0, 0, -7, kNull, kNull, 16},
    {"tinyint", -6, 3, nullptr, nullptr, nullptr, 1, 2, 1, 0, 0, 0, 0, -6, kNull, 10, 5},
    {"bigint", -5, 19, nullptr, nullptr, nullptr, 1, 2, 0, 0, 0, 0, 0, -5, kNull, 10, 0},
    {"image", -4, 2147483647, "0x", nullptr, nullptr, 1, 0, kNull, 0, kNull, kNull, kNull, -4, kNull, kNull, 20},
    {"varbinary", -3, 8000, "0x", nullptr, "max length", 1, 2, kNull, 0, kNull, kNull, kNull, -3, kNull, kNull, 4},
    {"binary", -2, 8000, "0x", nullptr, "length", 1, 2, kNull, 0, kNull, kNull, kNull, -2, kNull, kNull, 3},
    {"timestamp", -2, 8, "0x", nullptr, nullptr, 0, 2, kNull, 0, kNull, kNull, kNull, -2, kNull, kNull, 80},
    {"text", -1, 2147483647, "'", "'", nullptr, 1, 1, kNull, 0, kNull, kNull, kNull, -1, kNull, kNull, 19},
    {"char", 1, 8000, "'", "'", "length", 1, 3, kNull, 0, kNull, kNull, kNull, 1, kNull, kNull, 1},
    {"numeric", 2, 38, nullptr, nullptr, "precision,scale", 1, 2, 0, 0, 0, 0, 38, 2, kNull, 10, 10},
    {"decimal", 3, 38, nullptr, nullptr, "precision,scale", 1, 2, 0, 0, 0, 0, 38, 3, kNull, 10, 24},
    {"money", 3, 19, "$", nullptr, nullptr, 1, 2, 0, 1, 0, 4, 4, 3, kNull, 10, 11},
    {"smallmoney", 3, 10, "$", nullptr, nullptr, 1, 2, 0, 1, 0, 4, 4, 3, kNull, 10, 21},
    {"int", 4, 10, nullptr, nullptr, nullptr, 1, 2, 0, 0, 0, 0, 0, 4, kNull, 10, 7},
    {"smallint", 5, 5, nullptr, nullptr, nullptr, 1, 2, 0, 0, 0, 0, 0, 5, kNull, 10, 6},
    {"float", 6, 15, nullptr, nullptr, nullptr, 1, 2, 0, 0, 0, kNull, kNull, 6, kNull, 2, 8},
    {"real", 7, 7, nullptr, nullptr, nullptr, 1, 2, 0, 0, 0, kNull, kNull, 7, kNull, 2, 23},
    {"datetime", 11, 23, "'", "'", nullptr, 1, 3, kNull, 0, kNull, 3, 3, 9, 3, kNull, 12},
    {"smalldatetime", 11, 16, "'", "'", nullptr, 1, 3, kNull, 0, kNull, 0, 0, 9, 3, kNull, 22},
    {"varchar", 12, 8000, "'", "'", "max length", 1, 3, kNull, 0, kNull, kNull, kNull, 12, kNull, kNull, 2},
};

void SpDatatypeInfo(Context& ctx, const ProcArgs& args) {
  const bool odbc3 = args.Int("@ODBCVer").value_or(2) >= 3;
  const std::optional<int64_t> wanted = args.Int("@data_type");
  ResultSet r;
  r.columns = {Column("TYPE_NAME", T::NVarChar, 128),     Column("DATA_TYPE", T::SmallInt),
               Column("PRECISION", T::Int),               Column("LITERAL_PREFIX", T::VarChar, 32),
               Column("LITERAL_SUFFIX", T::VarChar, 32),  Column("CREATE_PARAMS", T::VarChar, 32),
               Column("NULLABLE", T::SmallInt),           Column("CASE_SENSITIVE", T::SmallInt),
               Column("SEARCHABLE", T::SmallInt),         Column("UNSIGNED_ATTRIBUTE", T::SmallInt),
               Column("MONEY", T::SmallInt),              Column("AUTO_INCREMENT", T::SmallInt),
               Column("LOCAL_TYPE_NAME", T::NVarChar, 128), Column("MINIMUM_SCALE", T::SmallInt),
               Column("MAXIMUM_SCALE", T::SmallInt),      Column("SQL_DATA_TYPE", T::SmallInt),
               Column("SQL_DATETIME_SUB", T::SmallInt),   Column("NUM_PREC_RADIX", T::Int),
               Column("INTERVAL_PRECISION", T::SmallInt), Column("USERTYPE", T::SmallInt)};
  for (const TypeInfo& t : kTypes) {
    const int data_type = odbc3 && t.data_type == 11 ? 93 : t.data_type;
    if (wanted && *wanted != data_type) continue;
    r.rows.push_back({std::string(t.name), int64_t{data_type}, int64_t{t.precision}, MaybeText(t.prefix),
                      MaybeText(t.suffix), MaybeText(t.create_params), int64_t{t.nullable}, int64_t{0},
                      int64_t{t.searchable}, Maybe(t.unsigned_attribute), int64_t{t.money},
                      Maybe(t.auto_increment), std::string(t.name), Maybe(t.minimum_scale),
                      Maybe(t.maximum_scale), int64_t{t.sql_data_type}, Maybe(t.datetime_sub), Maybe(t.radix),
                      Value{}, int64_t{t.usertype}});
  }
  std::stable_sort(r.rows.begin(), r.rows.end(), [](const Row& a, const Row& b) { return CompareValues(a[1], b[1]) < 0; });
  ctx.SendResult(r);
}

// The table the procedure names in the current database, or none (an empty answer).
const Table* NamedTable(Context& ctx, const ProcArgs& args) {
  CheckTableQualifier(ctx, args);
  return ctx.CurrentDatabase().FindTable(args.Text("@table_owner"), args.Text("@table_name"));
}

std::vector<ColumnInfo> TableColumns() {
  return {Column("TABLE_QUALIFIER", T::NVarChar, 128), Column("TABLE_OWNER", T::NVarChar, 128),
          Column("TABLE_NAME", T::NVarChar, 128)};
}

void SpPkeys(Context& ctx, const ProcArgs& args) {
  ResultSet r;
  r.columns = TableColumns();
  for (const ColumnInfo& c : {Column("COLUMN_NAME", T::NVarChar, 128), Column("KEY_SEQ", T::SmallInt),
                              Column("PK_NAME", T::NVarChar, 128)})
    r.columns.push_back(c);
  if (const Table* t = NamedTable(ctx, args)) {
    int64_t seq = 0;
    for (int k : t->primary_key)
      r.rows.push_back({ctx.CurrentDatabase().name, t->owner, t->name, t->columns[static_cast<size_t>(k)].name,
                        ++seq, t->primary_key_name});
  }
  ctx.SendResult(r);
}

// The table's statistics row (TYPE 0: rows and pages), then its primary key as a unique
// clustered index (TYPE 1), one row a key column.
void SpStatistics(Context& ctx, const ProcArgs& args) {
  ResultSet r;
  r.columns = TableColumns();
  for (const ColumnInfo& c : {Column("NON_UNIQUE", T::SmallInt), Column("INDEX_QUALIFIER", T::NVarChar, 128),
                              Column("INDEX_NAME", T::NVarChar, 128), Column("TYPE", T::SmallInt),
                              Column("SEQ_IN_INDEX", T::SmallInt), Column("COLUMN_NAME", T::NVarChar, 128),
                              Column("COLLATION", T::Char, 1), Column("CARDINALITY", T::Int),
                              Column("PAGES", T::Int), Column("FILTER_CONDITION", T::VarChar, 128)})
    r.columns.push_back(c);
  if (const Table* t = NamedTable(ctx, args)) {
    const std::string db = ctx.CurrentDatabase().name;
    const int64_t rows = static_cast<int64_t>(t->rows.size()), pages = TableDataPages(*t);
    r.rows.push_back({db, t->owner, t->name, Value{}, Value{}, Value{}, int64_t{0}, Value{}, Value{}, Value{},
                      rows, pages, Value{}});
    int64_t seq = 0;
    for (int k : t->primary_key)
      r.rows.push_back({db, t->owner, t->name, int64_t{0}, t->name, t->primary_key_name, int64_t{1}, ++seq,
                        t->columns[static_cast<size_t>(k)].name, std::string("A"), rows, pages, Value{}});
  }
  ctx.SendResult(r);
}

// @col_type 'R': the columns that identify a row best (the primary key); 'V': the columns
// the server changes by itself (timestamp), which the data set's tables have none of.
void SpSpecialColumns(Context& ctx, const ProcArgs& args) {
  const bool odbc3 = args.Int("@ODBCVer").value_or(2) >= 3;
  ResultSet r;
  r.columns = {Column("SCOPE", T::SmallInt),       Column("COLUMN_NAME", T::NVarChar, 128),
               Column("DATA_TYPE", T::SmallInt),   Column("TYPE_NAME", T::NVarChar, 128),
               Column("PRECISION", T::Int),        Column("LENGTH", T::Int),
               Column("SCALE", T::SmallInt),       Column("PSEUDO_COLUMN", T::SmallInt)};
  const Table* t = NamedTable(ctx, args);
  if (t != nullptr && Upper(args.Text("@col_type", "R")) == "R") {
    for (int k : t->primary_key) {
      const ColumnInfo& c = t->columns[static_cast<size_t>(k)];
      const int data_type = odbc3 && c.type == T::DateTime ? 93 : OdbcTypeCode(c.type);
      const bool scaled = c.type == T::Numeric || c.type == T::Decimal || c.type == T::Money;
      r.rows.push_back({int64_t{0}, c.name, int64_t{data_type}, TypeName(c.type), int64_t{ColumnPrecision(c)},
                        int64_t{StorageLength(c)}, scaled ? Value{int64_t{c.type == T::Money ? 4 : c.scale}} : Value{},
                        int64_t{1}});
    }
  }
  ctx.SendResult(r);
}

// SQL Server 2005's own variant, which drivers speaking TDS 7.2 ask to size their
// parameters: the same rows for the types this server has.
void SpDatatypeInfo90(Context& ctx, const ProcArgs& args) {
  if (!ctx.model.server.Is2005()) ctx.Fail(2812, 16, 62, "Could not find stored procedure 'sp_datatype_info_90'.");
  SpDatatypeInfo(ctx, args);
}

const ProcedureRegistration sp_datatype_info("sp_datatype_info", {{"@data_type"}, {"@ODBCVer"}}, SpDatatypeInfo);
const ProcedureRegistration sp_datatype_info_90("sp_datatype_info_90", {{"@data_type"}, {"@ODBCVer"}},
                                                SpDatatypeInfo90);
const ProcedureRegistration sp_pkeys("sp_pkeys", {{"@table_name", true}, {"@table_owner"}, {"@table_qualifier"}},
                                     SpPkeys);
const ProcedureRegistration sp_statistics("sp_statistics",
                                          {{"@table_name", true}, {"@table_owner"}, {"@table_qualifier"},
                                           {"@index_name"}, {"@is_unique"}, {"@accuracy"}},
                                          SpStatistics);
const ProcedureRegistration sp_special_columns("sp_special_columns",
                                               {{"@table_name", true}, {"@table_owner"}, {"@table_qualifier"},
                                                {"@col_type"}, {"@scope"}, {"@nullable"}, {"@ODBCVer"}},
                                               SpSpecialColumns);

}  // namespace
}  // namespace msde
