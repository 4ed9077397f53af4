#include "engine/SqlTime.h"

#include <cstdio>
#include <cstdlib>

namespace msde {
namespace {

// Days between 1970-01-01 and the given civil date (proleptic Gregorian calendar).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(static_cast<int64_t>(yoe) + era * 400 + (m <= 2));
}

const int64_t kEpoch1900 = DaysFromCivil(1900, 1, 1);

struct Parts {
  int year, month, day, hour, minute, second, millis;
};

Parts Split(SqlDateTime v) {
  Parts p{};
  CivilFromDays(v.days + kEpoch1900, p.year, p.month, p.day);
  // Ticks are 1/300 s; SQL Server shows them rounded to milliseconds.
  const int64_t ms = (static_cast<int64_t>(v.ticks) * 10 + 1) / 3;
  p.hour = static_cast<int>(ms / 3600000);
  p.minute = static_cast<int>(ms / 60000 % 60);
  p.second = static_cast<int>(ms / 1000 % 60);
  p.millis = static_cast<int>(ms % 1000);
  return p;
}

bool Digits(const std::string& s, size_t at, size_t count, int& out) {
  if (at + count > s.size()) return false;
  out = 0;
  for (size_t i = at; i < at + count; ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    out = out * 10 + (s[i] - '0');
  }
  return true;
}

std::string Fmt(const char* format, int a, int b, int c, int d = 0, int e = 0, int f = 0,
                int g = 0) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, a, b, c, d, e, f, g);
  return buffer;
}

// A text printed with any arguments (names of months among the numbers).
template <typename... Args>
std::string Printed(const char* format, Args... args) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, args...);
  return buffer;
}

}  // namespace

std::optional<SqlDateTime> ParseDateTime(const std::string& raw) {
  std::string s = raw;
  while (!s.empty() && s.back() == ' ') s.pop_back();
  while (!s.empty() && s.front() == ' ') s.erase(0, 1);
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0, ms = 0;
  size_t at = 0;
  if (Digits(s, 0, 4, y) && s.size() >= 10 && s[4] == '-' && s[7] == '-' && Digits(s, 5, 2, mo) &&
      Digits(s, 8, 2, d)) {
    at = 10;
  } else if (Digits(s, 0, 4, y) && Digits(s, 4, 2, mo) && Digits(s, 6, 2, d) &&
             (s.size() == 8 || s[8] == ' ')) {
    at = 8;
  } else {
    return std::nullopt;
  }
  if (at < s.size()) {
    if (s[at] != ' ' && s[at] != 'T') return std::nullopt;
    ++at;
    if (!Digits(s, at, 2, h) || at + 2 >= s.size() || s[at + 2] != ':' ||
        !Digits(s, at + 3, 2, mi))
      return std::nullopt;
    at += 5;
    if (at < s.size()) {
      if (s[at] != ':' || !Digits(s, at + 1, 2, sec)) return std::nullopt;
      at += 3;
      if (at < s.size()) {
        if (s[at] != '.') return std::nullopt;
        int scale = 100;
        for (++at; at < s.size(); ++at) {
          if (s[at] < '0' || s[at] > '9') return std::nullopt;
          ms += (s[at] - '0') * scale;
          scale /= 10;
        }
      }
    }
  }
  static const int kMonthDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (y < 1753 || mo < 1 || mo > 12 || d < 1 || d > kMonthDays[mo - 1] || h > 23 || mi > 59 ||
      sec > 59)
    return std::nullopt;
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  if (mo == 2 && d == 29 && !leap) return std::nullopt;
  SqlDateTime v;
  v.days = static_cast<int32_t>(DaysFromCivil(y, static_cast<unsigned>(mo),
                                              static_cast<unsigned>(d)) - kEpoch1900);
  const int64_t millis = ((h * 60 + mi) * 60 + sec) * 1000LL + ms;
  v.ticks = static_cast<uint32_t>((millis * 3 + 5) / 10);
  return v;
}

std::string DateTimeText(SqlDateTime value) {
  const Parts p = Split(value);
  return Fmt("%04d-%02d-%02d %02d:%02d:%02d.%03d", p.year, p.month, p.day, p.hour, p.minute,
             p.second, p.millis);
}

std::optional<std::string> FormatDateTime(SqlDateTime value, int style) {
  const Parts p = Split(value);
  const int yy = p.year % 100;
  static const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                  "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const int hour12 = p.hour % 12 == 0 ? 12 : p.hour % 12;
  const char* ampm = p.hour < 12 ? "AM" : "PM";
  switch (style) {
    case 0:
    case 100: {
      char buffer[40];
      std::snprintf(buffer, sizeof buffer, "%s %2d %04d %2d:%02d%s", kMonths[p.month - 1], p.day,
                    p.year, hour12, p.minute, ampm);
      return std::string(buffer);
    }
    case 1: return Fmt("%02d/%02d/%02d", p.month, p.day, yy);
    case 101: return Fmt("%02d/%02d/%04d", p.month, p.day, p.year);
    case 2: return Fmt("%02d.%02d.%02d", yy, p.month, p.day);
    case 102: return Fmt("%04d.%02d.%02d", p.year, p.month, p.day);
    case 3: return Fmt("%02d/%02d/%02d", p.day, p.month, yy);
    case 103: return Fmt("%02d/%02d/%04d", p.day, p.month, p.year);
    case 4: return Fmt("%02d.%02d.%02d", p.day, p.month, yy);
    case 104: return Fmt("%02d.%02d.%04d", p.day, p.month, p.year);
    case 5: return Fmt("%02d-%02d-%02d", p.day, p.month, yy);
    case 105: return Fmt("%02d-%02d-%04d", p.day, p.month, p.year);
    case 6: return Printed("%02d %s %02d", p.day, kMonths[p.month - 1], yy);
    case 106: return Printed("%02d %s %04d", p.day, kMonths[p.month - 1], p.year);
    case 7: return Printed("%s %02d, %02d", kMonths[p.month - 1], p.day, yy);
    case 107: return Printed("%s %02d, %04d", kMonths[p.month - 1], p.day, p.year);
    case 8:
    case 108: return Fmt("%02d:%02d:%02d", p.hour, p.minute, p.second);
    case 9:
    case 109:
      return Printed("%s %2d %04d %2d:%02d:%02d:%03d%s", kMonths[p.month - 1], p.day, p.year, hour12, p.minute,
                     p.second, p.millis, ampm);
    case 13:
    case 113:
      return Printed("%02d %s %04d %02d:%02d:%02d:%03d", p.day, kMonths[p.month - 1], p.year, p.hour, p.minute,
                 p.second, p.millis);
    case 14:
    case 114: return Fmt("%02d:%02d:%02d:%03d", p.hour, p.minute, p.second, p.millis);
    case 126:
      // ISO 8601 without blanks; milliseconds only when there are some.
      return p.millis == 0 ? Fmt("%04d-%02d-%02dT%02d:%02d:%02d", p.year, p.month, p.day, p.hour, p.minute, p.second)
                           : Fmt("%04d-%02d-%02dT%02d:%02d:%02d.%03d", p.year, p.month, p.day, p.hour, p.minute,
                                 p.second, p.millis);
    case 10: return Fmt("%02d-%02d-%02d", p.month, p.day, yy);
    case 110: return Fmt("%02d-%02d-%04d", p.month, p.day, p.year);
    case 11: return Fmt("%02d/%02d/%02d", yy, p.month, p.day);
    case 111: return Fmt("%04d/%02d/%02d", p.year, p.month, p.day);
    case 12: return Fmt("%02d%02d%02d", yy, p.month, p.day);
    case 112: return Fmt("%04d%02d%02d", p.year, p.month, p.day);
    case 20:
    case 120:
      return Fmt("%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day, p.hour, p.minute,
                 p.second);
    case 21:
    case 121: return DateTimeText(value);
    default: return std::nullopt;
  }
}

SqlDateTime FromTimeT(std::time_t when) {
  std::tm local{};
  localtime_r(&when, &local);
  SqlDateTime v;
  v.days = static_cast<int32_t>(DaysFromCivil(local.tm_year + 1900,
                                              static_cast<unsigned>(local.tm_mon + 1),
                                              static_cast<unsigned>(local.tm_mday)) -
                                kEpoch1900);
  v.ticks = static_cast<uint32_t>(((local.tm_hour * 60 + local.tm_min) * 60 + local.tm_sec) * 300);
  return v;
}

SqlDateTime NowDateTime() { return FromTimeT(std::time(nullptr)); }

std::optional<SqlDateTime> ToSmallDateTime(SqlDateTime value) {
  constexpr uint32_t kTicksPerMinute = 60 * 300;
  constexpr int32_t kLastDay = 65535;  // 2079-06-06
  uint32_t minutes = (value.ticks + kTicksPerMinute / 2) / kTicksPerMinute;
  if (minutes == 24 * 60) {
    minutes = 0;
    ++value.days;
  }
  if (value.days < 0 || value.days > kLastDay) return std::nullopt;
  return SqlDateTime{value.days, minutes * kTicksPerMinute};
}

}  // namespace msde
