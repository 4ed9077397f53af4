#include "app/NumberColumns.h"

#include <algorithm>

#include "data/Field.h"
#include "data/FieldConverters.h"
#include "data/OdbcResultSet.h"
#include "data/Query.h"

namespace vandrel::app {

int DeclaredScale(TKMQuery& Query, int Column) {
  auto* results = dynamic_cast<TMOdbcResultSet*>(Query.GetResultSet());
  if (results == nullptr || Column < 0 || Column >= results->GetFieldCount()) return -1;
  const TMOdbcFieldData* field = results->GetFieldData(Column);
  if (field == nullptr) return -1;
  const SQLSMALLINT type = field->GetSqlType();
  if ((type != SQL_DECIMAL && type != SQL_NUMERIC) || field->GetDecimalDigits() < 1) return -1;
  return field->GetDecimalDigits();
}

std::string ScaledText(const TMField& Field, int Scale) {
  if (Field.GetIsNull()) return {};
  const int decimals = std::clamp(Scale, 0, 12);
  // Wide columns are kept as extended values, so their digits are not cut to a double's.
  if (Field.GetDataType() == mftExtended)
    return fieldconv::ColumnExtendedToString(Field.GetAsExtended(), decimals, Field.GetFieldName());
  return fieldconv::ColumnFloatToString(Field.GetAsFloat(), decimals, Field.GetFieldName());
}

}  // namespace vandrel::app
