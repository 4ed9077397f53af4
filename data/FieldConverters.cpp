#include "data/FieldConverters.h"

#include <cmath>
#include <string>

#include "data/DataError.h"
#include "data/RuntimeInteger.h"
#include "foundation/TdtTools.h"
#include "foundation/TfTools.h"
#include "foundation/TxfTools.h"

namespace vandrel::fieldconv {

namespace {

// Runs one conversion; whatever it raises becomes the converter's own error (the original
// exception is not kept).
template <class F>
auto Guarded(int Code, const AnsiString& FieldName, F Convert) -> decltype(Convert()) {
  try {
    return Convert();
  } catch (...) {
    throw EMDataError(Code, FieldName);
  }
}

// A rounded or truncated number as a signed 32-bit integer; Code when it does not fit.
template <class T>
int ToInt32(T Whole, int Code, const AnsiString& FieldName) {
  if (!(Whole >= static_cast<T>(-2147483648.0) && Whole <= static_cast<T>(2147483647.0)))
    throw EMDataError(Code, FieldName);
  return static_cast<int>(Whole);
}

}  // namespace

int StringToInteger(const AnsiString& Value, const AnsiString&) { return StrToIntDef(Value, 0); }

double StringToFloat(const AnsiString& Value, const AnsiString& FieldName) {
  return Guarded(302, FieldName, [&] { return TfTools(0.0).FromString(Value, 12, true).Value; });
}

Extended StringToExtended(const AnsiString& Value, const AnsiString& FieldName) {
  return Guarded(303, FieldName,
                 [&] { return TxfTools(0.0L).FromString(Value, 12, true).Value; });
}

TDateTime StringToDateTime(const AnsiString& Value, const AnsiString& FieldName) {
  return Guarded(304, FieldName,
                 [&] { return TdtTools(0.0).FromString(Value, fmt4YDateTime).Value; });
}

TDateTime StringFieldToDateTime(const AnsiString& Value, const AnsiString& FieldName) {
  return Guarded(322, FieldName,
                 [&] { return TdtTools(0.0).FromString(Value, fmtDateTimeCompressed).Value; });
}

AnsiString IntegerToString(int Value) { return std::to_string(Value); }

AnsiString FloatToString(double Value, const AnsiString& FieldName) {
  return Guarded(309, FieldName, [&] { return TfTools(Value).ToString(0, 12); });
}

AnsiString ExtendedToString(Extended Value, const AnsiString& FieldName) {
  return Guarded(313, FieldName, [&] { return TxfTools(Value).ToString(0, 12); });
}

AnsiString ColumnFloatToString(double Value, int Scale, const AnsiString& FieldName) {
  return Guarded(309, FieldName, [&] {
    return Scale >= 0 && Scale <= 12 ? TfTools(Value).ToString(Scale, Scale) : TfTools(Value).ToShortString();
  });
}

AnsiString ColumnExtendedToString(Extended Value, int Scale, const AnsiString& FieldName) {
  return Guarded(313, FieldName, [&] {
    return Scale >= 0 && Scale <= 12 ? TxfTools(Value).ToString(Scale, Scale) : TxfTools(Value).ToShortString();
  });
}

int FloatToInteger(double Value, const AnsiString& FieldName) {
  const double Rounded = Guarded(310, FieldName, [&] { return TfTools(Value).Round(0); });
  return ToInt32(std::trunc(Rounded), 310, FieldName);
}

int ExtendedToInteger(Extended Value, const AnsiString& FieldName) {
  const Extended Rounded = Guarded(314, FieldName, [&] { return TxfTools(Value).Round(0); });
  return ToInt32(std::trunc(Rounded), 314, FieldName);
}

AnsiString DateTimeToString(TDateTime Value, const AnsiString& FieldName) {
  return Guarded(317, FieldName, [&] { return TdtTools(Value).ToString(fmt4YDateTime); });
}

AnsiString DateTimeToStringField(TDateTime Value, const AnsiString& FieldName) {
  return Guarded(321, FieldName, [&] { return TdtTools(Value).ToString(fmtDateTimeCompressed); });
}

int DateTimeToInteger(TDateTime Value, const AnsiString& FieldName) {
  return ToInt32(std::trunc(Value), 318, FieldName);
}

}  // namespace vandrel::fieldconv
