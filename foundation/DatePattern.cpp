#include "foundation/DatePattern.h"

#include <cstdio>

#include "foundation/DateTimeCodec.h"

namespace vandrel::datetime {

namespace {

char Lower(char C) { return (C >= 'A' && C <= 'Z') ? static_cast<char>(C + 0x20) : C; }
bool IsLetter(char C) { return Lower(C) >= 'a' && Lower(C) <= 'z'; }

bool StartsWithNoCase(std::string_view Text, std::size_t At, std::string_view Prefix) {
  if (Text.size() - At < Prefix.size()) return false;
  for (std::size_t I = 0; I < Prefix.size(); ++I)
    if (Lower(Text[At + I]) != Prefix[I]) return false;
  return true;
}

void AppendNumber(std::string& Out, int Value, int Digits) {
  char Buffer[16];
  std::snprintf(Buffer, sizeof Buffer, "%0*d", Digits, Value);
  Out += Buffer;
}

// Skips a quoted literal starting at Pattern[I]; returns the index after its closing quote.
std::size_t EndOfQuote(std::string_view Pattern, std::size_t I) {
  std::size_t Close = Pattern.find(Pattern[I], I + 1);
  return Close == std::string_view::npos ? Pattern.size() : Close + 1;
}

// The length of an AM/PM marker at Pattern[I] ("am/pm", "a/p" or "ampm"), 0 when none.
std::size_t AmPmLength(std::string_view Pattern, std::size_t I) {
  for (std::string_view Marker : {"am/pm", "ampm", "a/p"})
    if (StartsWithNoCase(Pattern, I, Marker)) return Marker.size();
  return 0;
}

bool HasAmPm(std::string_view Pattern) {
  for (std::size_t I = 0; I < Pattern.size();) {
    if (Pattern[I] == '\'' || Pattern[I] == '"') {
      I = EndOfQuote(Pattern, I);
      continue;
    }
    if (AmPmLength(Pattern, I) > 0) return true;
    ++I;
  }
  return false;
}

// The first letter of the next field after Pattern[I], skipping literals.
char NextLetter(std::string_view Pattern, std::size_t I) {
  while (I < Pattern.size()) {
    if (Pattern[I] == '\'' || Pattern[I] == '"') {
      I = EndOfQuote(Pattern, I);
      continue;
    }
    if (IsLetter(Pattern[I])) return Lower(Pattern[I]);
    ++I;
  }
  return 0;
}

class TFormatter {
 public:
  TFormatter(const TDateTimeParts& Parts, const platform::TRegionalSettings& Settings)
      : FParts(Parts), FSettings(Settings) {}

  void Format(std::string_view Pattern, std::string& Out, int Depth) {
    // A pattern that names itself (a short date pattern containing "ddddd") stops here.
    if (Depth > 2) return;
    const bool Twelve = HasAmPm(Pattern);
    char Previous = 0;
    for (std::size_t I = 0; I < Pattern.size();) {
      char C = Pattern[I];
      if (C == '\'' || C == '"') {
        std::size_t Close = Pattern.find(C, I + 1);  // an unclosed quote runs to the end
        Out.append(Pattern.substr(I + 1, Close == std::string_view::npos ? Close : Close - I - 1));
        I = EndOfQuote(Pattern, I);
        continue;
      }
      if (!IsLetter(C)) {
        Out += C == '/' ? FSettings.DateSeparator : C == ':' ? FSettings.TimeSeparator : C;
        ++I;
        continue;
      }
      if (std::size_t Marker = AmPmLength(Pattern, I)) {
        AppendAmPm(Pattern.substr(I, Marker), Out);
        I += Marker;
        continue;
      }
      std::size_t Count = 1;
      while (I + Count < Pattern.size() && Lower(Pattern[I + Count]) == Lower(C)) ++Count;
      char Letter = Lower(C);
      if (Letter == 'm' && Count <= 2 && (Previous == 'h' || NextLetter(Pattern, I + Count) == 's'))
        Letter = 'n';
      AppendField(Letter, Count, Twelve, Pattern.substr(I, Count), Out, Depth);
      Previous = Lower(C);
      I += Count;
    }
  }

 private:
  void AppendField(char Letter, std::size_t Count, bool Twelve, std::string_view Text,
                   std::string& Out, int Depth) {
    const int Pad = Count >= 2 ? 2 : 1;
    switch (Letter) {
      case 'y':
        if (Count <= 2)
          AppendNumber(Out, FParts.Year % 100, 2);
        else
          AppendNumber(Out, FParts.Year, 4);
        break;
      case 'm':
        if (Count >= 4)
          Out += FSettings.LongMonthNames[FParts.Month - 1];
        else if (Count == 3)
          Out += FSettings.ShortMonthNames[FParts.Month - 1];
        else
          AppendNumber(Out, FParts.Month, Pad);
        break;
      case 'd':
        if (Count <= 2)
          AppendNumber(Out, FParts.Day, Pad);
        else if (Count == 3)
          Out += FSettings.ShortDayNames[FParts.DayOfWeek % 7];
        else if (Count == 4)
          Out += FSettings.LongDayNames[FParts.DayOfWeek % 7];
        else
          Format(FSettings.ShortDateFormat, Out, Depth + 1);
        break;
      case 'h': {
        int Hour = FParts.Hour;
        if (Twelve) Hour = Hour % 12 == 0 ? 12 : Hour % 12;
        AppendNumber(Out, Hour, Pad);
        break;
      }
      case 'n': AppendNumber(Out, FParts.Minute, Pad); break;
      case 's': AppendNumber(Out, FParts.Second, Pad); break;
      case 'z': AppendNumber(Out, FParts.MSec, Count >= 2 ? 3 : 1); break;
      case 't':
        Format(Count >= 2 ? FSettings.LongTimeFormat : FSettings.ShortTimeFormat, Out, Depth + 1);
        break;
      case 'c':
        Format(FSettings.ShortDateFormat, Out, Depth + 1);
        if (FParts.Hour != 0 || FParts.Minute != 0 || FParts.Second != 0 || FParts.MSec != 0) {
          Out += ' ';
          Format(FSettings.LongTimeFormat, Out, Depth + 1);
        }
        break;
      default: Out.append(Text); break;  // not a field: the letters stand as they are
    }
  }

  // "am/pm" and "a/p" give their own first or second half; "ampm" the settings' texts.
  void AppendAmPm(std::string_view Marker, std::string& Out) {
    bool Afternoon = FParts.Hour >= 12;
    if (Marker.size() == 4) {
      Out += Afternoon ? FSettings.TimePMString : FSettings.TimeAMString;
      return;
    }
    std::size_t Slash = Marker.find('/');
    Out.append(Afternoon ? Marker.substr(Slash + 1) : Marker.substr(0, Slash));
  }

  const TDateTimeParts& FParts;
  const platform::TRegionalSettings& FSettings;
};

enum class TDateOrder { DMY, MDY, YMD };

TDateOrder DateOrderOf(std::string_view Pattern) {
  for (std::size_t I = 0; I < Pattern.size();) {
    if (Pattern[I] == '\'' || Pattern[I] == '"') {
      I = EndOfQuote(Pattern, I);
      continue;
    }
    switch (Lower(Pattern[I])) {
      case 'd': return TDateOrder::DMY;
      case 'm': return TDateOrder::MDY;
      case 'y': return TDateOrder::YMD;
      default: ++I;
    }
  }
  return TDateOrder::MDY;
}

void SkipBlanks(std::string_view Text, std::size_t& I) {
  while (I < Text.size() && (Text[I] == ' ' || Text[I] == '\t')) ++I;
}

// One to four digits; Digits receives how many there were.
bool ScanNumber(std::string_view Text, std::size_t& I, int& Value, int& Digits) {
  Value = 0;
  Digits = 0;
  while (I < Text.size() && Text[I] >= '0' && Text[I] <= '9') {
    if (++Digits > 4) return false;
    Value = Value * 10 + (Text[I++] - '0');
  }
  return Digits > 0;
}

bool ScanSeparator(std::string_view Text, std::size_t& I, char Separator) {
  SkipBlanks(Text, I);
  if (I >= Text.size() || Text[I] != Separator) return false;
  ++I;
  SkipBlanks(Text, I);
  return true;
}

}  // namespace

bool TryFormatDateTime(std::string_view Pattern, TDateTime Value,
                       const platform::TRegionalSettings& Settings, std::string& Result) {
  TDateTimeParts Parts;
  if (!TryDecode(Value, Parts)) return false;
  Result.clear();
  TFormatter(Parts, Settings).Format(Pattern, Result, 0);
  return true;
}

bool TryScanDate(std::string_view Text, const platform::TRegionalSettings& Settings,
                 int CurrentYear, TDateTime& Result) {
  std::size_t I = 0;
  int N[3] = {0, 0, 0};
  int Digits[3] = {0, 0, 0};
  SkipBlanks(Text, I);
  if (!ScanNumber(Text, I, N[0], Digits[0]) || !ScanSeparator(Text, I, Settings.DateSeparator) ||
      !ScanNumber(Text, I, N[1], Digits[1]))
    return false;
  std::size_t Mark = I;
  bool ThreeParts = ScanSeparator(Text, I, Settings.DateSeparator) &&
                    ScanNumber(Text, I, N[2], Digits[2]);
  if (!ThreeParts) I = Mark;
  SkipBlanks(Text, I);
  if (I != Text.size()) return false;

  int Year = 0, Month = 0, Day = 0, YearDigits = 4;
  TDateOrder Order = DateOrderOf(Settings.ShortDateFormat);
  if (!ThreeParts) {
    Year = CurrentYear;
    if (Order == TDateOrder::DMY) {
      Day = N[0];
      Month = N[1];
    } else {
      Month = N[0];
      Day = N[1];
    }
  } else if (Order == TDateOrder::DMY) {
    Day = N[0], Month = N[1], Year = N[2], YearDigits = Digits[2];
  } else if (Order == TDateOrder::MDY) {
    Month = N[0], Day = N[1], Year = N[2], YearDigits = Digits[2];
  } else {
    Year = N[0], YearDigits = Digits[0], Month = N[1], Day = N[2];
  }
  if (YearDigits <= 2) {
    int CenturyBase = CurrentYear - 50;
    Year += CenturyBase / 100 * 100;
    if (Year < CenturyBase) Year += 100;
  }
  return TryEncodeDate(Year, Month, Day, Result);
}

}  // namespace vandrel::datetime
