// SQL_VARIANT_PROPERTY(value, 'BaseType' | 'Precision' | 'Scale' | 'TotalBytes' |
// 'Collation' | 'MaxLength'): what a sql_variant value says of itself. A value of a type of
// its own is taken with that type; one held as sql_variant has the base type put into it.
#include "engine/Functions.h"
#include "engine/TypeNames.h"
#include "engine/Values.h"
#include "VariantBase.h"

namespace msde {
namespace {

int Precision(const ColumnInfo& t) {
  switch (t.type) {
    case SqlType::Float: return 53;
    case SqlType::Real: return 24;
    case SqlType::Numeric: case SqlType::Decimal: return t.precision;
    case SqlType::Money: return 19;
    default: return IsCharacterType(t.type) || t.type == SqlType::Binary || t.type == SqlType::VarBinary ||
                            t.type == SqlType::UniqueIdentifier
                        ? 0
                        : ColumnPrecision(t);
  }
}

int Scale(const ColumnInfo& t) {
  switch (t.type) {
    case SqlType::Numeric: case SqlType::Decimal: return t.scale;
    case SqlType::Money: return 4;
    case SqlType::DateTime: return 3;
    default: return 0;
  }
}

// The bytes of the value's base type as a variant carries it: the two-byte header, the
// type's properties (precision and scale; a collation and a maximum length), the data.
int64_t TotalBytes(const Value& v, const ColumnInfo& t) {
  if (t.type == SqlType::Numeric || t.type == SqlType::Decimal) return 2 + 2 + StorageLength(t);
  if (IsCharacterType(t.type)) {
    const int64_t chars = static_cast<int64_t>(Utf8Length(ValueText(v)));
    return 2 + 7 + (IsUnicodeType(t.type) ? 2 * chars : chars);
  }
  if (t.type == SqlType::Binary || t.type == SqlType::VarBinary)
    return 2 + 2 + static_cast<int64_t>(ValueText(v).size());
  return 2 + StorageLength(t);
}

}  // namespace

Value VariantProperty(EvalEnv& env, const std::vector<Value>& args, const std::vector<ColumnInfo>& types) {
  if (IsNull(args[0]) || IsNull(args[1])) return std::monostate{};
  const ColumnInfo base = VariantBaseOf(types[0], args[0]);
  const std::string property = Upper(ValueText(args[1]));
  if (property == "BASETYPE") return TypeName(base.type);
  if (property == "PRECISION") return int64_t{Precision(base)};
  if (property == "SCALE") return int64_t{Scale(base)};
  if (property == "MAXLENGTH")
    return int64_t{base.type == SqlType::Binary || base.type == SqlType::VarBinary ? base.length
                                                                                   : StorageLength(base)};
  if (property == "TOTALBYTES") return TotalBytes(args[0], base);
  if (property == "COLLATION")
    return IsCharacterType(base.type) ? Value{env.ctx.model.server.collation} : Value{};
  return std::monostate{};
}

}  // namespace msde
