#include "foundation/TfTools.h"

#include <algorithm>

#include "foundation/FloatText.h"
#include "foundation/Trim.h"
#include "platform/base/RegionalSettings.h"

namespace vandrel {

namespace {
char DecimalSeparator() { return platform::RegionalSettings().DecimalSeparator; }
}  // namespace

TfTools& TfTools::FromString(const AnsiString& Text, int Decimals, bool AllowNegative) {
  double Parsed = 0;
  if (!floattext::ParseDouble(Trim(Text), DecimalSeparator(), Parsed))
    throw Exception("[TfTools] Błąd wprowadzania wartości liczbowej");
  if (!AllowNegative && !(Parsed >= 0))
    throw Exception("[TfTools] Wprowadzona wartość liczbowa jest ujemna");
  Value = floattext::Round(Parsed, std::clamp(Decimals, 0, 12), floattext::TRounding::HalfUp);
  return *this;
}

TfTools& TfTools::FromDBField(const AnsiString& Text) {
  Value = floattext::ParseLenient<double>(Text, DecimalSeparator());
  return *this;
}

AnsiString TfTools::ToString(int MinDecimals, int MaxDecimals) const {
  return floattext::Format(Value, MinDecimals, MaxDecimals, DecimalSeparator());
}

AnsiString TfTools::ToDBField(int MinDecimals, int MaxDecimals) const {
  return floattext::Format(Value, MinDecimals, MaxDecimals, '.');
}

AnsiString TfTools::ToShortString() const { return floattext::Shortest(Value, DecimalSeparator()); }

AnsiString TfTools::ToShortDBField() const { return floattext::Shortest(Value, '.'); }

double TfTools::Round(int Decimals) const {
  return floattext::Round(Value, Decimals, floattext::TRounding::HalfUp);
}

double TfTools::RoundDown(int Decimals) const {
  return floattext::Round(Value, Decimals, floattext::TRounding::Down);
}

double TfTools::RoundUp(int Decimals) const {
  return floattext::Round(Value, Decimals, floattext::TRounding::Up);
}

}  // namespace vandrel
