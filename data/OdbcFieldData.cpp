#include "data/OdbcFieldData.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "data/OdbcError.h"
#include "data/RuntimeInteger.h"
#include "foundation/DateTimeCodec.h"
#include "foundation/TfTools.h"
#include "foundation/TxfTools.h"
#include "foundation/Utf8.h"

namespace vandrel {

namespace {

// Character columns hold at most this many characters per value.
constexpr int kMaxColumnSize = 255;
// Text is UTF-8 here: one character of a column takes up to four bytes in the buffer.
constexpr int kBytesPerChar = 4;
// SQL Server's sql_variant (SERVERPROPERTY, DATABASEPROPERTYEX), as its drivers describe it;
// the driver converts each value to text from its own base type.
constexpr SQLSMALLINT kSqlSsVariant = -150;

// A described size of 0 (unknown, as for unlimited text) or beyond the limit binds the
// largest element; the size is in characters.
int LimitColumnSize(SQLULEN Size) {
  return Size == 0 || Size > kMaxColumnSize ? kMaxColumnSize : static_cast<int>(Size);
}

int ClampToInt(long double v) {
  if (!(v == v)) return 0;
  if (v >= static_cast<long double>(std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
  if (v <= static_cast<long double>(std::numeric_limits<int>::min())) return std::numeric_limits<int>::min();
  return static_cast<int>(v);
}

}  // namespace

TMOdbcFieldData::TMOdbcFieldData(const AnsiString& Name, SQLSMALLINT DecimalDigits, SQLULEN ColumnSize,
                                 SQLSMALLINT SqlType, bool GuidAsText, bool Unsigned)
    : FName(Name), FSqlType(SqlType), FColumnSize(LimitColumnSize(ColumnSize)), FDecimalDigits(DecimalDigits) {
  switch (SqlType) {
    case SQL_CHAR:
    case SQL_VARCHAR:
    case SQL_LONGVARCHAR:
    case SQL_WCHAR:
    case SQL_WVARCHAR:
    case SQL_WLONGVARCHAR:
    case kSqlSsVariant:
      FElementSize = FColumnSize * kBytesPerChar + 1;
      FMaxChars = static_cast<size_t>(FColumnSize);
      break;
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY:
      FElementSize = FColumnSize * 2 + 2;  // hexadecimal digits
      break;
    case SQL_BIGINT:
      // A 64-bit integer travels as decimal text, as a numeric of 19 digits (20 unsigned)
      // does.
      FColumnSize = Unsigned ? 20 : 19;
      FDecimalDigits = 0;
      [[fallthrough]];
    case SQL_NUMERIC:
    case SQL_DECIMAL:
      FDecimalText = true;
      FElementSize = FColumnSize + 3;
      FFieldType = FDecimalDigits < 1 && FColumnSize < 10 ? mftInteger : FColumnSize > 15 ? mftExtended : mftFloat;
      break;
    case SQL_INTEGER:
      if (Unsigned) {
        // Up to 4294967295: ten digits of decimal text, read as a number of that size.
        FColumnSize = 10;
        FDecimalDigits = 0;
        FDecimalText = true;
        FElementSize = FColumnSize + 3;
        FFieldType = mftFloat;
        break;
      }
      [[fallthrough]];
    case SQL_SMALLINT:
    case SQL_TINYINT:
    case SQL_BIT:
      FFieldType = mftInteger;
      FCType = SQL_C_SLONG;
      FStride = sizeof(SQLINTEGER);
      break;
    case SQL_FLOAT:
    case SQL_REAL:
    case SQL_DOUBLE:
      FFieldType = mftFloat;
      FCType = SQL_C_DOUBLE;
      FStride = sizeof(SQLDOUBLE);
      break;
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIME:
    case SQL_TYPE_TIMESTAMP:
      FFieldType = mftDateTime;
      FCType = SQL_C_TIMESTAMP;
      FStride = sizeof(SQL_TIMESTAMP_STRUCT);
      break;
    case SQL_GUID:
      if (!GuidAsText) EMOdbcError::Raise(413);
      FColumnSize = 36;  // XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX
      FElementSize = FColumnSize + 1;
      FMaxChars = static_cast<size_t>(FColumnSize);
      break;
    default:
      EMOdbcError::Raise(413);
  }
  if (FElementSize > 0) FStride = FElementSize;
  FDataSize = static_cast<size_t>(FStride) * kOdbcRowsetSize;
  FData = std::make_unique<unsigned char[]>(FDataSize);
}

size_t TMOdbcFieldData::TextBytes(const unsigned char* E, SQLLEN Ind) const {
  const size_t limit = static_cast<size_t>(FElementSize - 1);
  const size_t bytes = Ind >= 0 && static_cast<size_t>(Ind) < limit ? static_cast<size_t>(Ind) : limit;
  return strnlen(reinterpret_cast<const char*>(E), bytes);
}

AnsiString TMOdbcFieldData::ElementText(const unsigned char* E, SQLLEN Ind) const {
  const char* e = reinterpret_cast<const char*>(E);
  return AnsiString(e, utf8::WholePrefix(std::string_view(e, TextBytes(E, Ind)), FMaxChars));
}

AnsiString TMOdbcFieldData::GetString(const unsigned char* E, SQLLEN Ind) const {
  if (IsNull(E, Ind)) return {};
  switch (FCType) {
    case SQL_C_CHAR: return ElementText(E, Ind);
    case SQL_C_SLONG: return std::to_string(LoadElement<SQLINTEGER>(E));
    case SQL_C_DOUBLE: return TfTools(LoadElement<SQLDOUBLE>(E)).ToShortDBField();
    default: return TfTools(GetDateTime(E, Ind)).ToDBField(0, 12);
  }
}

int TMOdbcFieldData::ConvertedInteger(const unsigned char* E, SQLLEN Ind) const {
  if (IsNull(E, Ind)) return 0;
  switch (FCType) {
    case SQL_C_CHAR: return StrToIntDef(ElementText(E, Ind), 0);
    case SQL_C_SLONG: return LoadElement<SQLINTEGER>(E);
    case SQL_C_DOUBLE: return ClampToInt(LoadElement<SQLDOUBLE>(E));
    default: return ClampToInt(GetDateTime(E, Ind));
  }
}

double TMOdbcFieldData::ConvertedFloat(const unsigned char* E, SQLLEN Ind) const {
  if (IsNull(E, Ind)) return 0.0;
  switch (FCType) {
    case SQL_C_CHAR: return TfTools(0.0).FromDBField(ElementText(E, Ind)).Value;
    case SQL_C_SLONG: return LoadElement<SQLINTEGER>(E);
    case SQL_C_DOUBLE: return LoadElement<SQLDOUBLE>(E);
    default: return GetDateTime(E, Ind);
  }
}

Extended TMOdbcFieldData::GetExtended(const unsigned char* E, SQLLEN Ind) const {
  if (FCType == SQL_C_CHAR && !IsNull(E, Ind)) return TxfTools(0.0L).FromDBField(ElementText(E, Ind)).Value;
  return GetFloat(E, Ind);
}

TDateTime TMOdbcFieldData::GetDateTime(const unsigned char* E, SQLLEN Ind) const {
  if (IsNull(E, Ind)) return 0.0;
  if (FCType != SQL_C_TIMESTAMP) return FCType == SQL_C_CHAR ? 0.0 : GetFloat(E, Ind);
  SQL_TIMESTAMP_STRUCT ts;
  std::memcpy(&ts, E, sizeof ts);
  TDateTime date = 0.0, time = 0.0;
  if (FSqlType != SQL_TYPE_TIME && ts.year > 0 && ts.month >= 1 && ts.month <= 12 && ts.day >= 1 && ts.day <= 31)
    datetime::TryEncodeDate(ts.year, ts.month, ts.day, date);
  if (FSqlType != SQL_TYPE_DATE && ts.hour <= 23 && ts.minute < 60 && ts.second < 60 && ts.fraction <= 999999999)
    datetime::TryEncodeTime(ts.hour, ts.minute, ts.second, static_cast<int>(ts.fraction / 1000000), time);
  return datetime::CombineDateTime(date, time);
}

void TMOdbcFieldData::StoreText(int Row, const AnsiString& Text, SQLLEN Indicator) {
  char* e = reinterpret_cast<char*>(FData.get() + Row * FStride);
  size_t n = utf8::WholePrefix(std::string_view(Text.data(), std::min(Text.size(), static_cast<size_t>(FElementSize - 1))),
                               FMaxChars);
  std::memcpy(e, Text.data(), n);
  e[n] = 0;
  FIndicators[Row] = Indicator == SQL_NTS ? SQL_NTS : static_cast<SQLLEN>(n);
}

int TMOdbcFieldData::DbDecimals() const { return std::clamp(FDecimalDigits, 0, 12); }

void TMOdbcFieldData::StoreString(int Row, const AnsiString& Value) {
  if (FCType == SQL_C_CHAR) {
    StoreText(Row, Value, SQL_NTS);
  } else {
    StoreExtended(Row, TxfTools(0.0L).FromDBField(Value).Value);
  }
}

void TMOdbcFieldData::StoreInteger(int Row, int Value) {
  if (FCType == SQL_C_SLONG) {
    std::memcpy(FData.get() + Row * FStride, &Value, sizeof Value);
    FIndicators[Row] = 0;
  } else if (FCType == SQL_C_CHAR) {
    StoreText(Row, std::to_string(Value), 0);
  } else {
    StoreFloat(Row, Value);
  }
}

void TMOdbcFieldData::StoreFloat(int Row, double Value) {
  if (FCType == SQL_C_DOUBLE) {
    std::memcpy(FData.get() + Row * FStride, &Value, sizeof Value);
    FIndicators[Row] = 0;
  } else if (FCType == SQL_C_CHAR) {
    int d = DbDecimals();
    StoreText(Row, TfTools(Value).ToDBField(d > 0 ? 1 : 0, d), 0);
  } else if (FCType == SQL_C_SLONG) {
    StoreInteger(Row, ClampToInt(TfTools(Value).Round(0)));
  } else {
    StoreDateTime(Row, Value);
  }
}

void TMOdbcFieldData::StoreExtended(int Row, Extended Value) {
  if (FCType == SQL_C_CHAR) {
    int d = DbDecimals();
    StoreText(Row, TxfTools(Value).ToDBField(d > 0 ? 1 : 0, d), 0);
  } else {
    StoreFloat(Row, static_cast<double>(Value));
  }
}

void TMOdbcFieldData::StoreDateTime(int Row, TDateTime Value) {
  if (FCType != SQL_C_TIMESTAMP) {
    StoreFloat(Row, Value);
    return;
  }
  datetime::TDateTimeParts p;
  SQL_TIMESTAMP_STRUCT ts = {};
  if (datetime::TryDecode(Value, p)) {
    ts.year = static_cast<SQLSMALLINT>(p.Year);
    ts.month = static_cast<SQLUSMALLINT>(p.Month);
    ts.day = static_cast<SQLUSMALLINT>(p.Day);
    ts.hour = static_cast<SQLUSMALLINT>(p.Hour);
    ts.minute = static_cast<SQLUSMALLINT>(p.Minute);
    ts.second = static_cast<SQLUSMALLINT>(p.Second);
    ts.fraction = static_cast<SQLUINTEGER>(p.MSec) * 1000000u;
  }
  std::memcpy(FData.get() + Row * FStride, &ts, sizeof ts);
  FIndicators[Row] = 0;
}

}  // namespace vandrel
