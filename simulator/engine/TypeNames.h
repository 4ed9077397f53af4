#pragma once
// Facts about SQL Server 2000's column types: names, default sizes, and what sp_columns and
// syscolumns report for them.
#include <optional>
#include <string>

#include "Engine.h"

namespace msde {

std::optional<SqlType> TypeFromName(const std::string& name);  // "varchar", "INT", ...
std::string TypeName(SqlType type);                             // lower case, as systypes
// The length a column of the type has when the data set names none: bytes for fixed types
// (int 4, datetime 8, uniqueidentifier 16, ...), 1 character for char types, 16 for text.
int DefaultLength(SqlType type);
int DefaultPrecision(SqlType type);  // 18 for numeric/decimal, 19 money, 0 otherwise
bool IsCharacterType(SqlType type);
bool IsUnicodeType(SqlType type);
// systypes.xtype.
int SystemTypeId(SqlType type);
// ODBC SQL data type code (sp_columns DATA_TYPE).
int OdbcTypeCode(SqlType type);
// Bytes the column takes (syscolumns.length, sp_columns LENGTH).
int StorageLength(const ColumnInfo& column);
// Digits or characters (syscolumns.prec, sp_columns PRECISION).
int ColumnPrecision(const ColumnInfo& column);

}  // namespace msde
