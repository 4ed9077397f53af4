#pragma once
// TfTools: one double and the rules by which numbers become display text and SQL literal
// text, are read back from user and database text, and are rounded.
#include "foundation/Exception.h"

namespace vandrel {

class TfTools {
 public:
  explicit TfTools(double AValue) : Value(AValue) {}
  TfTools(const TfTools&) = default;
  TfTools& operator=(const TfTools&) = default;

  // Reads user text ("." and "," both serve as the decimal point), rounded to Decimals
  // (0..12) decimals. Raises Exception "[TfTools] ..." for text that is not a number or,
  // unless AllowNegative, for a negative number; the value is then left as it was.
  TfTools& FromString(const AnsiString& Text, int Decimals, bool AllowNegative);
  // Reads the number at the front of database text; never raises (0 when there is none).
  TfTools& FromDBField(const AnsiString& Text);

  // Display text with the user's decimal separator: MaxDecimals decimals, trailing zeros
  // dropped down to MinDecimals (both 0..12).
  AnsiString ToString(int MinDecimals, int MaxDecimals) const;
  // The same with "." as the decimal point, for SQL.
  AnsiString ToDBField(int MinDecimals, int MaxDecimals) const;
  // The shortest text that reads back to exactly Value, with the user's decimal separator
  // or with "." for SQL.
  AnsiString ToShortString() const;
  AnsiString ToShortDBField() const;

  double Round(int Decimals) const;      // half up (-2.5 gives -2)
  double RoundDown(int Decimals) const;  // towards minus infinity
  double RoundUp(int Decimals) const;    // towards plus infinity

  double Value;
};

}  // namespace vandrel
