#pragma once
// The base type a sql_variant value carries, shared by the engine (SQL_VARIANT_PROPERTY) and
// the TDS front end (the variant's wire form).
#include <algorithm>

#include "Engine.h"

namespace msde {

// Whether a cell's form is the one the engine uses for values of the type.
inline bool HasFormOf(SqlType type, const Value& v) {
  switch (type) {
    case SqlType::Int: case SqlType::SmallInt: case SqlType::TinyInt: case SqlType::Bit:
    case SqlType::BigInt:
      return std::holds_alternative<int64_t>(v);
    case SqlType::Float: case SqlType::Real: return std::holds_alternative<double>(v);
    case SqlType::DateTime: case SqlType::SmallDateTime: return std::holds_alternative<SqlDateTime>(v);
    default: return std::holds_alternative<std::string>(v);
  }
}

// The type a value of a sql_variant column has: the column's base type when the value has
// its form (a UNION or CASE may mix bases), otherwise the type the value's form shows: whole
// numbers int or bigint, floats float, datetimes datetime, text nvarchar(128) or longer, as
// SERVERPROPERTY's answers are. A column of another type is its own base.
inline ColumnInfo VariantBaseOf(const ColumnInfo& column, const Value& v) {
  if (column.type != SqlType::Variant) return column;
  if (column.variant_base && HasFormOf(column.variant_base->type, v)) {
    ColumnInfo base = *column.variant_base;
    // No text or ntext inside a variant: the longest varchar or nvarchar holds it.
    if (base.type == SqlType::Text) base = ColumnInfo{base.name, SqlType::VarChar, 8000};
    if (base.type == SqlType::NText) base = ColumnInfo{base.name, SqlType::NVarChar, 4000};
    return base;
  }
  ColumnInfo base;
  if (const auto* n = std::get_if<int64_t>(&v)) {
    base.type = *n < INT32_MIN || *n > INT32_MAX ? SqlType::BigInt : SqlType::Int;
  } else if (std::holds_alternative<double>(v)) {
    base.type = SqlType::Float;
  } else if (std::holds_alternative<SqlDateTime>(v)) {
    base.type = SqlType::DateTime;
  } else {
    base.type = SqlType::NVarChar;
    const std::string* text = std::get_if<std::string>(&v);
    const size_t chars = text ? static_cast<size_t>(std::count_if(text->begin(), text->end(), [](char c) {
                                  return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
                                }))
                              : 0;
    base.length = static_cast<int>(std::clamp<size_t>(chars, 128, 4000));
  }
  return base;
}

}  // namespace msde
