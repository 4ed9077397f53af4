#include "app/NumberColumns.h"

#include <algorithm>

#include "data/Field.h"
#include "data/OdbcResultSet.h"
#include "data/Query.h"
#include "foundation/TfTools.h"
#include "foundation/TxfTools.h"

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
  if (Field.GetDataType() == mftExtended) return TxfTools(Field.GetAsExtended()).ToString(decimals, decimals);
  return TfTools(Field.GetAsFloat()).ToString(decimals, decimals);
}

}  // namespace vandrel::app
