#pragma once
// The value converters of fields: between the five field types, each raising its own
// EMDataError code (301 + 4 x source type + position of the target among the other four
// types; 321 and 322 for date-times kept as text) with the field name as text. Those whose
// conversion cannot fail (a plain change of the number's type) raise nothing; a number that
// does not fit a 32-bit integer is refused rather than wrapped.
#include "data/FieldTypes.h"
#include "foundation/Exception.h"

namespace vandrel::fieldconv {

// The runtime's integer parsing with a default of 0; never raises.
int StringToInteger(const AnsiString& Value, const AnsiString& FieldName);
// User text through the float tools (12 decimals, negatives allowed): 302 / 303.
double StringToFloat(const AnsiString& Value, const AnsiString& FieldName);
Extended StringToExtended(const AnsiString& Value, const AnsiString& FieldName);
// User text as date and time (the four-digit-year date format): 304.
TDateTime StringToDateTime(const AnsiString& Value, const AnsiString& FieldName);
// A date-time kept in string storage, "YYYYMMDDHHNNSSmmm": 322.
TDateTime StringFieldToDateTime(const AnsiString& Value, const AnsiString& FieldName);

AnsiString IntegerToString(int Value);
inline double IntegerToFloat(int Value) { return Value; }
inline Extended IntegerToExtended(int Value) { return Value; }
// The integer as a day count (midnight of that day).
inline TDateTime IntegerToDateTime(int Value) { return Value; }

// Display text with up to 12 decimals and the user's decimal separator: 309 / 313.
AnsiString FloatToString(double Value, const AnsiString& FieldName);
AnsiString ExtendedToString(Extended Value, const AnsiString& FieldName);
// A number read from a result column: with Scale decimals when the column declares a scale
// (0 to 12), else the shortest text that reads back to the same number (309 / 313).
AnsiString ColumnFloatToString(double Value, int Scale, const AnsiString& FieldName);
AnsiString ColumnExtendedToString(Extended Value, int Scale, const AnsiString& FieldName);
// Rounded half up, then a signed 32-bit integer: 310 / 314 when it does not fit.
int FloatToInteger(double Value, const AnsiString& FieldName);
int ExtendedToInteger(Extended Value, const AnsiString& FieldName);
inline Extended FloatToExtended(double Value) { return Value; }
inline double ExtendedToFloat(Extended Value) { return static_cast<double>(Value); }
// The same number as a date-time.
inline TDateTime FloatToDateTime(double Value) { return Value; }
inline TDateTime ExtendedToDateTime(Extended Value) { return static_cast<TDateTime>(Value); }

// Date and time in the four-digit-year date format and the long time format: 317.
AnsiString DateTimeToString(TDateTime Value, const AnsiString& FieldName);
// A date-time for string storage, "YYYYMMDDHHNNSSmmm": 321.
AnsiString DateTimeToStringField(TDateTime Value, const AnsiString& FieldName);
// The day number (truncated toward zero): 318 when it does not fit.
int DateTimeToInteger(TDateTime Value, const AnsiString& FieldName);
// The same number.
inline double DateTimeToFloat(TDateTime Value) { return Value; }
inline Extended DateTimeToExtended(TDateTime Value) { return Value; }

}  // namespace vandrel::fieldconv
