#include "foundation/TxfTools.h"

#include "foundation/FloatText.h"
#include "foundation/TfTools.h"
#include "platform/base/RegionalSettings.h"

namespace vandrel {

namespace {
char DecimalSeparator() { return platform::RegionalSettings().DecimalSeparator; }
}  // namespace

TxfTools& TxfTools::FromString(const AnsiString& Text, int Decimals, bool AllowNegative) {
  Value = TfTools(0).FromString(Text, Decimals, AllowNegative).Value;
  return *this;
}

TxfTools& TxfTools::FromDBField(const AnsiString& Text) {
  Value = floattext::ParseLenient<long double>(Text, DecimalSeparator());
  return *this;
}

AnsiString TxfTools::ToString(int MinDecimals, int MaxDecimals) const {
  return floattext::Format(Value, MinDecimals, MaxDecimals, DecimalSeparator());
}

AnsiString TxfTools::ToDBField(int MinDecimals, int MaxDecimals) const {
  return floattext::Format(Value, MinDecimals, MaxDecimals, '.');
}

AnsiString TxfTools::ToShortString() const { return floattext::Shortest(Value, DecimalSeparator()); }

AnsiString TxfTools::ToShortDBField() const { return floattext::Shortest(Value, '.'); }

long double TxfTools::Round(int Decimals) const {
  return floattext::Round(Value, Decimals, floattext::TRounding::HalfUp);
}

long double TxfTools::RoundDown(int Decimals) const {
  return floattext::Round(Value, Decimals, floattext::TRounding::Down);
}

long double TxfTools::RoundUp(int Decimals) const {
  return floattext::Round(Value, Decimals, floattext::TRounding::Up);
}

}  // namespace vandrel
