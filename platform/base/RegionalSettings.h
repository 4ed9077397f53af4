#pragma once
// The user's regional settings: how numbers and dates are shown and read back. One
// process-wide object, read from the user's locale on first use; nothing else in the
// program reads the locale. Tests replace it with SetRegionalSettings, best through
// TRegionalSettingsGuard, which restores it.
#include <array>
#include <string>

namespace vandrel::platform {

struct TRegionalSettings {
  char DecimalSeparator = '.';
  std::string ThousandSeparator;  // may be several bytes (a no-break space in UTF-8)
  char DateSeparator = '-';
  char TimeSeparator = ':';
  // Between the values of a row of delimited text (CSV): ";" where the decimal separator is
  // ",", so that numbers stay whole, else ",".
  char ListSeparator = ',';
  // Patterns in the date pattern language: d/dd day, M/MM month (m after h: minutes),
  // yy/yyyy year, h/hh hour, n/nn minute, s/ss second, z/zzz milliseconds, ampm,
  // '/' the date separator, ':' the time separator, '...' literal text.
  std::string ShortDateFormat = "yyyy-MM-dd";
  std::string ShortTimeFormat = "hh:nn";
  std::string LongTimeFormat = "hh:nn:ss";
  std::string TimeAMString = "AM";
  std::string TimePMString = "PM";
  std::array<std::string, 12> ShortMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::array<std::string, 12> LongMonthNames{"January", "February", "March",     "April",
                                              "May",     "June",     "July",      "August",
                                              "September", "October", "November", "December"};
  std::array<std::string, 7> ShortDayNames{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  std::array<std::string, 7> LongDayNames{"Sunday",   "Monday", "Tuesday", "Wednesday",
                                          "Thursday", "Friday", "Saturday"};

  // ISO-like settings used for the C and POSIX locales (the default-constructed values):
  // "." and "yyyy-MM-dd", 24 hours, English names.
  static TRegionalSettings Posix();
  // The usual Polish settings ("," and "dd.MM.yyyy", 24 hours, Polish names).
  static TRegionalSettings Polish();
  // Reads the named locales (numbers from NumericLocale, dates from TimeLocale); a C or
  // POSIX locale, or one that is not installed, gives the Posix() values for its part.
  static TRegionalSettings FromLocales(const std::string& NumericLocale,
                                       const std::string& TimeLocale);
  // Reads the user's locale as LC_ALL, LC_NUMERIC / LC_TIME and LANG name it.
  static TRegionalSettings FromEnvironment();
};

// Turns a strftime format (as the C library describes a locale's dates) into a pattern.
std::string StrftimeToPattern(const std::string& Format);

// The process-wide settings. The reference stays valid, but its contents change when the
// settings are set; callers that keep values across calls copy them.
const TRegionalSettings& RegionalSettings();
void SetRegionalSettings(const TRegionalSettings& Settings);

// Keeps the current settings and puts them back when it goes out of scope, also when an
// exception leaves the scope.
class TRegionalSettingsGuard {
 public:
  TRegionalSettingsGuard();
  explicit TRegionalSettingsGuard(const TRegionalSettings& Replacement);
  ~TRegionalSettingsGuard();
  TRegionalSettingsGuard(const TRegionalSettingsGuard&) = delete;
  TRegionalSettingsGuard& operator=(const TRegionalSettingsGuard&) = delete;

 private:
  TRegionalSettings FSaved;
};

}  // namespace vandrel::platform
