#include "data/ImportedValue.h"

#include <cmath>
#include <string>

#include "data/DataError.h"
#include "data/RuntimeInteger.h"
#include "foundation/TdtTools.h"
#include "foundation/TfTools.h"
#include "foundation/Trim.h"
#include "foundation/TxfTools.h"

namespace vandrel::importing {

namespace {

// The single conversions of the import table.

int TextToInteger(const AnsiString& Value) { return StrToIntDef(AnsiString(Trim(Value)), 0); }

double TextToFloat(const AnsiString& Value) {
  try {
    return TfTools(0.0).FromDBField(Value).Value;
  } catch (...) {
    return 0.0;
  }
}

Extended TextToExtended(const AnsiString& Value) {
  try {
    return TxfTools(0.0L).FromDBField(Value).Value;
  } catch (...) {
    return 0.0L;
  }
}

TDateTime TextToDateTime(const AnsiString& Value) {
  try {
    return TdtTools(0.0).FromString(Value, fmtDateTimeCompressed).Value;
  } catch (...) {
    return 0.0;
  }
}

// A whole number as a signed 32-bit integer; Code when it does not fit (never wrapped).
template <class T>
int WholeToInteger(T Whole, int Code, const AnsiString& FieldName) {
  if (!(Whole >= static_cast<T>(-2147483648.0) && Whole <= static_cast<T>(2147483647.0)))
    throw EMDataError(Code, FieldName);
  return static_cast<int>(Whole);
}

int FloatToInteger(double Value, const AnsiString& FieldName) {
  return WholeToInteger(std::trunc(TfTools(Value).Round(0)), 310, FieldName);
}

int ExtendedToInteger(Extended Value, const AnsiString& FieldName) {
  return WholeToInteger(std::trunc(TxfTools(Value).Round(0)), 314, FieldName);
}

int DateTimeToInteger(TDateTime Value, const AnsiString& FieldName) {
  return WholeToInteger(std::trunc(Value), 318, FieldName);
}

AnsiString DateTimeToText(TDateTime Value, const AnsiString& FieldName) {
  try {
    return TdtTools(Value).ToString(fmtDateTimeCompressed);
  } catch (...) {
    throw EMDataError(321, FieldName);
  }
}

}  // namespace

void StoreString(TMValueCell& Cell, TMFieldType To, const AnsiString& Value,
                 const AnsiString&) {
  switch (To) {
    case mftString: cell::SetString(Cell, Value); break;
    case mftInteger: cell::SetInteger(Cell, TextToInteger(Value)); break;
    case mftFloat: cell::SetFloat(Cell, TextToFloat(Value)); break;
    case mftExtended: cell::SetExtended(Cell, TextToExtended(Value)); break;
    case mftDateTime: cell::SetDateTime(Cell, TextToDateTime(Value)); break;
  }
}

void StoreInteger(TMValueCell& Cell, TMFieldType To, int Value, const AnsiString&) {
  switch (To) {
    case mftString: cell::SetString(Cell, std::to_string(Value)); break;
    case mftInteger: cell::SetInteger(Cell, Value); break;
    case mftFloat: cell::SetFloat(Cell, Value); break;
    case mftExtended: cell::SetExtended(Cell, Value); break;
    case mftDateTime: cell::SetDateTime(Cell, Value); break;
  }
}

void StoreFloat(TMValueCell& Cell, TMFieldType To, double Value, const AnsiString& FieldName) {
  switch (To) {
    case mftString: cell::SetString(Cell, TfTools(Value).ToString(1, 6)); break;
    case mftInteger: cell::SetInteger(Cell, FloatToInteger(Value, FieldName)); break;
    case mftFloat: cell::SetFloat(Cell, Value); break;
    case mftExtended: cell::SetExtended(Cell, Value); break;
    case mftDateTime: cell::SetDateTime(Cell, Value); break;
  }
}

void StoreExtended(TMValueCell& Cell, TMFieldType To, Extended Value,
                   const AnsiString& FieldName) {
  switch (To) {
    case mftString: cell::SetString(Cell, TxfTools(Value).ToString(1, 10)); break;
    case mftInteger: cell::SetInteger(Cell, ExtendedToInteger(Value, FieldName)); break;
    case mftFloat: cell::SetFloat(Cell, static_cast<double>(Value)); break;
    case mftExtended: cell::SetExtended(Cell, Value); break;
    case mftDateTime: cell::SetDateTime(Cell, static_cast<TDateTime>(Value)); break;
  }
}

void StoreDateTime(TMValueCell& Cell, TMFieldType To, TDateTime Value,
                   const AnsiString& FieldName) {
  switch (To) {
    case mftString: cell::SetString(Cell, DateTimeToText(Value, FieldName)); break;
    case mftInteger: cell::SetInteger(Cell, DateTimeToInteger(Value, FieldName)); break;
    case mftFloat: cell::SetFloat(Cell, Value); break;
    case mftExtended: cell::SetExtended(Cell, Value); break;
    case mftDateTime: cell::SetDateTime(Cell, Value); break;
  }
}

AnsiString ReadString(TMValueCell Cell, TMFieldType From, const AnsiString& FieldName) {
  if (cell::IsNull(Cell)) return AnsiString();
  switch (From) {
    case mftInteger: return std::to_string(cell::GetInteger(Cell));
    case mftFloat: return TfTools(cell::GetFloat(Cell)).ToString(1, 6);
    case mftExtended: return TxfTools(cell::GetExtended(Cell)).ToString(1, 10);
    case mftDateTime: return DateTimeToText(cell::GetDateTime(Cell), FieldName);
    default: return cell::GetString(Cell);
  }
}

int ReadInteger(TMValueCell Cell, TMFieldType From, const AnsiString& FieldName) {
  if (cell::IsNull(Cell)) return 0;
  switch (From) {
    case mftString: return TextToInteger(cell::GetString(Cell));
    case mftFloat: return FloatToInteger(cell::GetFloat(Cell), FieldName);
    case mftExtended: return ExtendedToInteger(cell::GetExtended(Cell), FieldName);
    case mftDateTime: return DateTimeToInteger(cell::GetDateTime(Cell), FieldName);
    default: return cell::GetInteger(Cell);
  }
}

double ReadFloat(TMValueCell Cell, TMFieldType From, const AnsiString&) {
  if (cell::IsNull(Cell)) return 0.0;
  switch (From) {
    case mftString: return TextToFloat(cell::GetString(Cell));
    case mftInteger: return cell::GetInteger(Cell);
    case mftExtended: return static_cast<double>(cell::GetExtended(Cell));
    case mftDateTime: return cell::GetDateTime(Cell);
    default: return cell::GetFloat(Cell);
  }
}

Extended ReadExtended(TMValueCell Cell, TMFieldType From, const AnsiString&) {
  if (cell::IsNull(Cell)) return 0.0L;
  switch (From) {
    case mftString: return TextToExtended(cell::GetString(Cell));
    case mftInteger: return cell::GetInteger(Cell);
    case mftFloat: return cell::GetFloat(Cell);
    case mftDateTime: return cell::GetDateTime(Cell);
    default: return cell::GetExtended(Cell);
  }
}

TDateTime ReadDateTime(TMValueCell Cell, TMFieldType From, const AnsiString&) {
  if (cell::IsNull(Cell)) return 0.0;
  switch (From) {
    case mftString: return TextToDateTime(cell::GetString(Cell));
    case mftInteger: return cell::GetInteger(Cell);
    case mftFloat: return cell::GetFloat(Cell);
    case mftExtended: return static_cast<TDateTime>(cell::GetExtended(Cell));
    default: return cell::GetDateTime(Cell);
  }
}

}  // namespace vandrel::importing
