#pragma once
// TxfTools: TfTools over one extended value (long double, the x87 80-bit format here).
#include "foundation/Exception.h"

namespace vandrel {

class TxfTools {
 public:
  explicit TxfTools(long double AValue) : Value(AValue) {}
  TxfTools(const TxfTools&) = default;
  TxfTools& operator=(const TxfTools&) = default;

  // User text is read as a double (as TfTools reads it, with its messages) and widened.
  TxfTools& FromString(const AnsiString& Text, int Decimals, bool AllowNegative);
  TxfTools& FromDBField(const AnsiString& Text);

  AnsiString ToString(int MinDecimals, int MaxDecimals) const;
  AnsiString ToDBField(int MinDecimals, int MaxDecimals) const;
  AnsiString ToShortString() const;
  AnsiString ToShortDBField() const;

  long double Round(int Decimals) const;
  long double RoundDown(int Decimals) const;
  long double RoundUp(int Decimals) const;

  long double Value;
};

}  // namespace vandrel
