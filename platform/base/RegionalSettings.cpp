#include "platform/base/RegionalSettings.h"

#include <langinfo.h>
#include <locale.h>

#include <cstdlib>
#include <cstring>

namespace vandrel::platform {

namespace {

bool IsAsciiLetter(char C) { return (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z'); }

// Appends literal text to a pattern: letters (and quote characters) are quoted so that
// they are not read as fields.
void AppendLiteral(std::string& Pattern, const std::string& Text) {
  std::string Quoted;
  for (char C : Text) {
    if (IsAsciiLetter(C) || (static_cast<unsigned char>(C) >= 0x80)) {
      Quoted += C;
      continue;
    }
    if (!Quoted.empty()) {
      Pattern += "'" + Quoted + "'";
      Quoted.clear();
    }
    if (C == '\'')
      Pattern += "\"'\"";
    else if (C == '"')
      Pattern += "'\"'";
    else
      Pattern += C;
  }
  if (!Quoted.empty()) Pattern += "'" + Quoted + "'";
}

const char* PatternOfConversion(char Conversion, bool NoPadding) {
  switch (Conversion) {
    case 'a': return "ddd";
    case 'A': return "dddd";
    case 'b':
    case 'h': return "MMM";
    case 'B': return "MMMM";
    case 'd': return NoPadding ? "d" : "dd";
    case 'e': return "d";
    case 'm': return NoPadding ? "M" : "MM";
    case 'y': return "yy";
    case 'Y': return "yyyy";
    case 'D': return "MM/dd/yy";
    case 'F': return "yyyy-MM-dd";
    case 'H':
    case 'I': return NoPadding ? "h" : "hh";
    case 'k':
    case 'l': return "h";
    case 'M': return NoPadding ? "n" : "nn";
    case 'S': return NoPadding ? "s" : "ss";
    case 'p':
    case 'P': return "ampm";
    case 'T': return "hh:nn:ss";
    case 'R': return "hh:nn";
    case 'r': return "hh:nn:ss ampm";
    case 'n':
    case 't': return " ";
    default: return "";  // time zones, week numbers and the like have no field here
  }
}

// The fields of a date pattern in order (d, M, y) and the one separator between them;
// false when the pattern is not a plain numeric day-month-year pattern.
bool NumericDateSeparator(const std::string& Pattern, char& Separator) {
  std::string Fields;
  std::string Between;
  bool InField = false;
  Separator = 0;
  for (std::size_t I = 0; I < Pattern.size(); ++I) {
    char C = Pattern[I];
    char Lower = static_cast<char>(C | 0x20);
    if (Lower == 'd' || Lower == 'm' || Lower == 'y') {
      std::size_t End = I;
      while (End < Pattern.size() && Pattern[End] == C) ++End;
      std::size_t Run = End - I;
      if ((Lower != 'y' && Run > 2) || (Lower == 'y' && Run != 2 && Run != 4)) return false;
      if (InField) {
        if (Between.size() != 1) return false;
        if (Separator != 0 && Separator != Between[0]) return false;
        Separator = Between[0];
      }
      Fields += Lower;
      Between.clear();
      InField = true;
      I = End - 1;
    } else if (IsAsciiLetter(C) || C == '\'' || C == '"' || C == ' ' ||
               static_cast<unsigned char>(C) >= 0x80) {
      return false;
    } else if (InField) {
      Between += C;
    }
  }
  if (!Between.empty() || Fields.size() != 3) return false;
  return Fields.find('d') != std::string::npos && Fields.find('m') != std::string::npos &&
         Fields.find('y') != std::string::npos && (Separator < '0' || Separator > '9');
}

// The character between the hour and the minute fields of a time pattern.
char TimeSeparatorOf(const std::string& Pattern) {
  std::size_t Hour = Pattern.find_first_of("hH");
  if (Hour == std::string::npos) return 0;
  std::size_t AfterHour = Pattern.find_first_not_of("hH", Hour);
  if (AfterHour == std::string::npos || AfterHour + 1 >= Pattern.size()) return 0;
  char C = Pattern[AfterHour];
  char Next = static_cast<char>(Pattern[AfterHour + 1] | 0x20);
  if (IsAsciiLetter(C) || (Next != 'n' && Next != 'm')) return 0;
  return C;
}

// The long time pattern without its seconds (and the separator before them).
std::string WithoutSeconds(const std::string& Pattern) {
  std::size_t Seconds = Pattern.find_first_of("sS");
  if (Seconds == std::string::npos || Seconds == 0) return Pattern;
  std::size_t End = Pattern.find_first_not_of("sS", Seconds);
  if (End == std::string::npos) End = Pattern.size();
  std::size_t Start = Seconds - 1;  // the separator before the seconds
  return Pattern.substr(0, Start) + Pattern.substr(End);
}

bool IsPosixName(const std::string& Name) {
  return Name.empty() || Name == "C" || Name == "POSIX" || Name.rfind("C.", 0) == 0;
}

std::string EnvironmentName(const char* Category) {
  for (const char* Variable : {"LC_ALL", Category, "LANG"}) {
    const char* Value = std::getenv(Variable);
    if (Value != nullptr && *Value != '\0') return Value;
  }
  return "C";
}

// A locale object for one category; null for C/POSIX or a locale that is not installed.
locale_t OpenLocale(int Mask, const std::string& Name) {
  if (IsPosixName(Name)) return static_cast<locale_t>(nullptr);
  return newlocale(Mask, Name.c_str(), static_cast<locale_t>(nullptr));
}

void ReadNumbers(TRegionalSettings& S, locale_t Locale) {
  const char* Radix = nl_langinfo_l(RADIXCHAR, Locale);
  if (Radix != nullptr && std::strlen(Radix) == 1) S.DecimalSeparator = Radix[0];
  S.ListSeparator = S.DecimalSeparator == ',' ? ';' : ',';
  const char* Thousands = nl_langinfo_l(THOUSEP, Locale);
  S.ThousandSeparator = Thousands != nullptr ? Thousands : "";
}

void ReadDates(TRegionalSettings& S, locale_t Locale) {
  std::string Date = StrftimeToPattern(nl_langinfo_l(D_FMT, Locale));
  char Separator = 0;
  if (NumericDateSeparator(Date, Separator)) {
    S.ShortDateFormat = Date;
    S.DateSeparator = Separator;
  }
  std::string Time = StrftimeToPattern(nl_langinfo_l(T_FMT, Locale));
  if (Time.empty()) Time = StrftimeToPattern(nl_langinfo_l(T_FMT_AMPM, Locale));
  char TimeSeparator = TimeSeparatorOf(Time);
  if (TimeSeparator != 0) {
    S.LongTimeFormat = Time;
    S.ShortTimeFormat = WithoutSeconds(Time);
    S.TimeSeparator = TimeSeparator;
    S.TimeAMString = nl_langinfo_l(AM_STR, Locale);
    S.TimePMString = nl_langinfo_l(PM_STR, Locale);
  }
  for (int I = 0; I < 12; ++I) {
    S.ShortMonthNames[I] = nl_langinfo_l(static_cast<nl_item>(ABMON_1 + I), Locale);
    S.LongMonthNames[I] = nl_langinfo_l(static_cast<nl_item>(MON_1 + I), Locale);
  }
  for (int I = 0; I < 7; ++I) {
    S.ShortDayNames[I] = nl_langinfo_l(static_cast<nl_item>(ABDAY_1 + I), Locale);
    S.LongDayNames[I] = nl_langinfo_l(static_cast<nl_item>(DAY_1 + I), Locale);
  }
}

TRegionalSettings& Current() {
  static TRegionalSettings Settings = TRegionalSettings::FromEnvironment();
  return Settings;
}

}  // namespace

std::string StrftimeToPattern(const std::string& Format) {
  std::string Pattern;
  std::string Literal;
  for (std::size_t I = 0; I < Format.size(); ++I) {
    if (Format[I] != '%' || I + 1 >= Format.size()) {
      Literal += Format[I];
      continue;
    }
    ++I;
    bool NoPadding = false;
    // glibc flags, field widths and the E/O modifiers change nothing a pattern can say,
    // except "-", which drops the leading zero.
    while (I < Format.size() && std::strchr("-_0^#EO123456789", Format[I]) != nullptr) {
      if (Format[I] == '-') NoPadding = true;
      ++I;
    }
    if (I >= Format.size()) break;
    if (Format[I] == '%') {
      Literal += '%';
      continue;
    }
    AppendLiteral(Pattern, Literal);
    Literal.clear();
    Pattern += PatternOfConversion(Format[I], NoPadding);
  }
  AppendLiteral(Pattern, Literal);
  return Pattern;
}

TRegionalSettings TRegionalSettings::Posix() { return TRegionalSettings{}; }

TRegionalSettings TRegionalSettings::Polish() {
  TRegionalSettings S;
  S.DecimalSeparator = ',';
  S.ListSeparator = ';';
  S.ThousandSeparator = "\u00A0";
  S.DateSeparator = '.';
  S.TimeSeparator = ':';
  S.ShortDateFormat = "dd.MM.yyyy";
  S.ShortTimeFormat = "hh:nn";
  S.LongTimeFormat = "hh:nn:ss";
  S.TimeAMString = "";
  S.TimePMString = "";
  S.ShortMonthNames = {"sty", "lut", "mar", "kwi", "maj", "cze",
                       "lip", "sie", "wrz", "paź", "lis", "gru"};
  S.LongMonthNames = {"stycznia", "lutego",   "marca",    "kwietnia",
                      "maja",     "czerwca",  "lipca",    "sierpnia",
                      "września", "października", "listopada", "grudnia"};
  S.ShortDayNames = {"nie", "pon", "wto", "śro", "czw", "pią", "sob"};
  S.LongDayNames = {"niedziela", "poniedziałek", "wtorek", "środa",
                    "czwartek",  "piątek",       "sobota"};
  return S;
}

TRegionalSettings TRegionalSettings::FromLocales(const std::string& NumericLocale,
                                                 const std::string& TimeLocale) {
  TRegionalSettings S;
  if (locale_t Numbers = OpenLocale(LC_NUMERIC_MASK, NumericLocale)) {
    ReadNumbers(S, Numbers);
    freelocale(Numbers);
  }
  if (locale_t Dates = OpenLocale(LC_TIME_MASK, TimeLocale)) {
    ReadDates(S, Dates);
    freelocale(Dates);
  }
  return S;
}

TRegionalSettings TRegionalSettings::FromEnvironment() {
  return FromLocales(EnvironmentName("LC_NUMERIC"), EnvironmentName("LC_TIME"));
}

const TRegionalSettings& RegionalSettings() { return Current(); }

void SetRegionalSettings(const TRegionalSettings& Settings) { Current() = Settings; }

TRegionalSettingsGuard::TRegionalSettingsGuard() : FSaved(Current()) {}

TRegionalSettingsGuard::TRegionalSettingsGuard(const TRegionalSettings& Replacement)
    : FSaved(Current()) {
  Current() = Replacement;
}

TRegionalSettingsGuard::~TRegionalSettingsGuard() { Current() = FSaved; }

}  // namespace vandrel::platform
