#include "engine/TypeNames.h"

#include "engine/Model.h"

namespace msde {
namespace {

struct TypeFacts {
  SqlType type;
  const char* name;
  int xtype;
  int odbc;
  int bytes;      // fixed size; 0 for sized types
  int precision;  // digits for number types
};

const TypeFacts kTypes[] = {
    {SqlType::Int, "int", 56, 4, 4, 10},
    {SqlType::SmallInt, "smallint", 52, 5, 2, 5},
    {SqlType::TinyInt, "tinyint", 48, -6, 1, 3},
    {SqlType::Bit, "bit", 104, -7, 1, 1},
    {SqlType::BigInt, "bigint", 127, -5, 8, 19},
    {SqlType::Float, "float", 62, 6, 8, 15},
    {SqlType::Real, "real", 59, 7, 4, 7},
    {SqlType::Numeric, "numeric", 108, 2, 0, 18},
    {SqlType::Decimal, "decimal", 106, 3, 0, 18},
    {SqlType::Money, "money", 60, 3, 8, 19},
    {SqlType::DateTime, "datetime", 61, 11, 8, 23},
    {SqlType::Char, "char", 175, 1, 0, 0},
    {SqlType::VarChar, "varchar", 167, 12, 0, 0},
    {SqlType::NChar, "nchar", 239, -8, 0, 0},
    {SqlType::NVarChar, "nvarchar", 231, -9, 0, 0},
    {SqlType::Text, "text", 35, -1, 16, 0},
    {SqlType::NText, "ntext", 99, -10, 16, 0},
    {SqlType::UniqueIdentifier, "uniqueidentifier", 36, -11, 16, 36},
    {SqlType::Variant, "sql_variant", 98, -150, 8016, 0},
    {SqlType::Binary, "binary", 173, -2, 0, 0},
    {SqlType::VarBinary, "varbinary", 165, -3, 0, 0},
    {SqlType::SmallDateTime, "smalldatetime", 58, 11, 4, 16},
};

const TypeFacts& Facts(SqlType type) {
  for (const TypeFacts& f : kTypes)
    if (f.type == type) return f;
  return kTypes[0];
}

}  // namespace

std::optional<SqlType> TypeFromName(const std::string& name) {
  const std::string n = Upper(name);
  if (n == "INTEGER") return SqlType::Int;
  if (n == "DEC") return SqlType::Decimal;
  if (n == "CHARACTER") return SqlType::Char;
  if (n == "DOUBLE PRECISION") return SqlType::Float;
  if (n == "SYSNAME") return SqlType::NVarChar;
  for (const TypeFacts& f : kTypes)
    if (Upper(f.name) == n) return f.type;
  return std::nullopt;
}

std::string TypeName(SqlType type) { return Facts(type).name; }

int DefaultLength(SqlType type) {
  const TypeFacts& f = Facts(type);
  return f.bytes != 0 ? f.bytes : (type == SqlType::Numeric || type == SqlType::Decimal ? 0 : 1);
}

int DefaultPrecision(SqlType type) {
  return type == SqlType::Numeric || type == SqlType::Decimal || type == SqlType::Money
             ? Facts(type).precision
             : 0;
}

bool IsCharacterType(SqlType type) {
  return type == SqlType::Char || type == SqlType::VarChar || type == SqlType::NChar ||
         type == SqlType::NVarChar || type == SqlType::Text || type == SqlType::NText;
}

bool IsUnicodeType(SqlType type) {
  return type == SqlType::NChar || type == SqlType::NVarChar || type == SqlType::NText;
}

int SystemTypeId(SqlType type) { return Facts(type).xtype; }
int OdbcTypeCode(SqlType type) { return Facts(type).odbc; }

int StorageLength(const ColumnInfo& c) {
  switch (c.type) {
    case SqlType::Char: case SqlType::VarChar: return c.length;
    case SqlType::NChar: case SqlType::NVarChar: return c.length * 2;
    case SqlType::Numeric: case SqlType::Decimal: {
      const int p = c.precision;
      return p <= 9 ? 5 : p <= 19 ? 9 : p <= 28 ? 13 : 17;
    }
    default: return Facts(c.type).bytes;
  }
}

int ColumnPrecision(const ColumnInfo& c) {
  switch (c.type) {
    case SqlType::Char: case SqlType::VarChar: case SqlType::NChar: case SqlType::NVarChar:
      return c.length;
    case SqlType::Text: return 2147483647;
    case SqlType::NText: return 1073741823;
    case SqlType::Numeric: case SqlType::Decimal: return c.precision;
    default: return Facts(c.type).precision;
  }
}

}  // namespace msde
