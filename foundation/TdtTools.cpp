#include "foundation/TdtTools.h"

#include <cmath>

#include "foundation/DatePattern.h"
#include "foundation/DateTimeCodec.h"
#include "foundation/TdtToolsErrors.h"
#include "foundation/TxTools.h"
#include "platform/base/RegionalSettings.h"

namespace vandrel {

namespace {

using datetime::TDateTimeParts;

constexpr const char* kDayNames[7] = {"poniedziałek", "wtorek", "środa", "czwartek",
                                      "piątek",       "sobota", "niedziela"};
constexpr const char* kShortDayNames[7] = {"pn", "wt", "śr", "cz", "pt", "sb", "nd"};
constexpr const char* kMonthNames[12] = {"styczeń", "luty",     "marzec",   "kwiecień",
                                         "maj",     "czerwiec", "lipiec",   "sierpień",
                                         "wrzesień", "październik", "listopad", "grudzień"};
constexpr const char* kShortMonthNames[12] = {"sty", "lut", "mar", "kwi", "maj", "cze",
                                              "lip", "sie", "wrz", "paź", "lis", "gru"};
constexpr const char* kEnglishMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool IsYearLetter(char C) { return C == 'y' || C == 'Y' || C == 'r' || C == 'R'; }

// Value (below 10^Width, not negative: a decoded date's parts) in exactly Width digits,
// padded with zeros on the left.
void AppendDigits(std::string& Out, int Value, int Width) {
  char Buffer[8];
  for (int I = Width - 1; I >= 0; --I, Value /= 10) Buffer[I] = static_cast<char>('0' + Value % 10);
  Out.append(Buffer, static_cast<std::size_t>(Width));
}

// "YYYYMMDDHHNNSSmmm".
void AppendCompressedParts(std::string& Out, const TDateTimeParts& P) {
  const int Parts[7][2] = {{P.Year, 4}, {P.Month, 2}, {P.Day, 2}, {P.Hour, 2}, {P.Minute, 2}, {P.Second, 2}, {P.MSec, 3}};
  for (const auto& [Part, Width] : Parts) AppendDigits(Out, Part, Width);
}

std::string ClockText(const TDateTimeParts& P, bool Seconds, bool MSecs) {
  std::string Text;
  AppendDigits(Text, P.Hour, 2);
  Text += ':';
  AppendDigits(Text, P.Minute, 2);
  if (Seconds) {
    Text += ':';
    AppendDigits(Text, P.Second, 2);
  }
  if (MSecs) {
    Text += '.';
    AppendDigits(Text, P.MSec, 3);
  }
  return Text;
}

std::string DateText(const TDateTimeParts& P, const char* Separator) {
  std::string Text;
  AppendDigits(Text, P.Year, 4);
  Text += Separator;
  AppendDigits(Text, P.Month, 2);
  Text += Separator;
  AppendDigits(Text, P.Day, 2);
  return Text;
}

using TSettings = platform::TRegionalSettings;

// Value formatted by one of the patterns of Settings.
std::string ByPattern(TDateTime Value, std::string TSettings::*Pattern, const TSettings& Settings) {
  std::string Text;
  if (!datetime::TryFormatDateTime(Settings.*Pattern, Value, Settings, Text))
    throw tdt::FormatCreateError();
  return Text;
}

// A copy of the user's settings whose short date pattern has a four-digit year. The
// process-wide settings stay as they are, so that other threads formatting dates meanwhile
// keep the user's own pattern.
TSettings FourDigitYearSettings() {
  TSettings Widened = platform::RegionalSettings();
  try {
    Widened.ShortDateFormat = TdtTools::Short4YFormat(Widened.ShortDateFormat);
  } catch (const std::exception&) {
    throw tdt::FormatCreateError();
  }
  return Widened;
}

}  // namespace

TdtTools::TdtTools() : Value(datetime::Now()) {}

AnsiString TdtTools::ToString(TdtFormat Format) const {
  if (Format > fmtDateTimeCompressed)
    throw Exception("[TdtTools] Format wyświetlania " + std::to_string(Format) +
                    " nie jest obsługiwany");
  TDateTimeParts P;
  if (!datetime::TryDecode(Value, P)) throw tdt::FormatCreateError();
  using S = TSettings;
  const TSettings Settings = Format == fmt4YDate || Format == fmt4YDateTime
                                 ? FourDigitYearSettings()
                                 : platform::RegionalSettings();
  switch (Format) {
    case fmtDate:
    case fmt4YDate: return ByPattern(Value, &S::ShortDateFormat, Settings);
    case fmtTime: return ByPattern(Value, &S::LongTimeFormat, Settings);
    case fmtTimeHM: return ClockText(P, false, false);
    case fmtTimeHMS: return ClockText(P, true, false);
    case fmtTimeHMSms: return ClockText(P, true, true);
    case fmtDateTime: {
      std::string Text = ByPattern(Value, &S::ShortDateFormat, Settings);
      if (P.Hour == 0 && P.Minute == 0 && P.Second == 0 && P.MSec == 0) return Text;
      return Text + " " + ByPattern(Value, &S::LongTimeFormat, Settings);
    }
    case fmt4YDateTime:
      return ByPattern(Value, &S::ShortDateFormat, Settings) + " " +
             ByPattern(Value, &S::LongTimeFormat, Settings);
    case fmtASE11:
    case fmtSQLAnyDateTime: return DateText(P, "/") + " " + ClockText(P, true, false);
    case fmtSQLAnyDate: return DateText(P, "/");
    case fmtCompileDate:
      return std::string(kEnglishMonths[P.Month - 1]) + " " + std::to_string(P.Day) + " " +
             std::to_string(P.Year);
    case fmtDateLN: return DateText(P, "-");
    case fmtDateTimeCompressed: {
      AnsiString Text;
      AppendCompressedParts(Text, P);
      return Text;
    }
  }
  return "";
}

void TdtTools::AppendCompressed(AnsiString& Out) const {
  TDateTimeParts P;
  if (!datetime::TryDecode(Value, P)) throw tdt::FormatCreateError();
  AppendCompressedParts(Out, P);
}

AnsiString TdtTools::ToDBField(TdtFormat Format) const {
  return TxTools(ToString(Format)).ToDBField(-1);
}

TDateTime TdtTools::Date() const {
  TDateTimeParts P;
  if (datetime::TryDecode(Value, P)) return static_cast<TDateTime>(P.DayNumber);
  return std::trunc(Value);
}

TDateTime TdtTools::Time() const {
  TDateTimeParts P;
  if (!datetime::TryDecode(Value, P)) return std::fabs(Value - std::trunc(Value));
  TDateTime Result = 0;
  datetime::TryEncodeTime(P.Hour, P.Minute, P.Second, P.MSec, Result);
  return Result;
}

int TdtTools::DateCompare(TDateTime Other) const {
  TDateTime Mine = Date(), Theirs = TdtTools(Other).Date();
  return (Mine > Theirs) - (Mine < Theirs);
}

int TdtTools::DayOfWeekPl() const {
  TDateTimeParts P;
  return datetime::TryDecode(Value, P) ? P.DayOfWeek : 0;
}

int TdtTools::WeekOfYearPl(bool& PreviousYear) const {
  PreviousYear = false;
  TDateTimeParts P;
  if (!datetime::TryDecode(Value, P)) return 0;
  TDateTime Day = static_cast<TDateTime>(P.DayNumber);
  TDateTime Monday = FirstMondayOfYear(P.Year);
  if (Monday > Day) {
    PreviousYear = true;
    Monday = FirstMondayOfYear(P.Year - 1);  // 0001-01-01 was a Monday: never year 0
  }
  return static_cast<int>(Day - Monday) / 7 + 1;
}

TDateTime TdtTools::FirstMondayOfYear(int Year) {
  TDateTime First = 0;
  if (!datetime::TryEncodeDate(Year, 1, 1, First)) throw tdt::DateEncodeError();
  int DayOfWeek = TdtTools(First).DayOfWeekPl();
  return First + (8 - DayOfWeek) % 7;
}

AnsiString TdtTools::DayOfWeekNamePl(int Day, bool Short) {
  if (Day < 1 || Day > 7) return "";
  return Short ? kShortDayNames[Day - 1] : kDayNames[Day - 1];
}

AnsiString TdtTools::ToDayOfWeekNamePl(bool Short) const {
  return DayOfWeekNamePl(DayOfWeekPl(), Short);
}

AnsiString TdtTools::MonthNamePl(int Month, bool Short) {
  if (Month < 1 || Month > 12) return "";
  return Short ? kShortMonthNames[Month - 1] : kMonthNames[Month - 1];
}

AnsiString TdtTools::ToMonthNamePl(bool Short) const {
  TDateTimeParts P;
  return datetime::TryDecode(Value, P) ? MonthNamePl(P.Month, Short) : "";
}

// The first run of year letters becomes four of its first letter and later year letters
// are dropped; quoted literal text is kept as it is ("'r.'" stays).
AnsiString TdtTools::Short4YFormat() {
  return Short4YFormat(platform::RegionalSettings().ShortDateFormat);
}

AnsiString TdtTools::Short4YFormat(const AnsiString& Pattern) {
  std::string Result;
  bool Widened = false;
  char Quote = 0;
  for (std::size_t I = 0; I < Pattern.size(); ++I) {
    char C = Pattern[I];
    if (Quote != 0 || C == '\'' || C == '"') {
      Quote = Quote == 0 ? C : (C == Quote ? 0 : Quote);
      Result += C;
    } else if (!IsYearLetter(C)) {
      Result += C;
    } else if (!Widened) {
      Result.append(4, C);
      while (I + 1 < Pattern.size() && IsYearLetter(Pattern[I + 1])) ++I;
      Widened = true;
    }
  }
  return Result;
}

}  // namespace vandrel
