#include "foundation/DateTimeCodec.h"

#include <time.h>

#include <cmath>

namespace vandrel::datetime {

namespace {

// Days from 1970-01-01 to 1899-12-30.
constexpr std::int64_t kEpochShift = -25569;
constexpr std::int64_t kFirstDay = -693593;  // 0001-01-01
constexpr std::int64_t kLastDay = 2958465;   // 9999-12-31
// Days from 0000-03-01 to 1970-01-01.
constexpr std::int64_t kMarchShift = 719468;

// Days since 1970-01-01 of a proleptic Gregorian date (the civil-calendar count).
std::int64_t DaysFromCivil(std::int64_t Y, unsigned M, unsigned D) {
  Y -= M <= 2;
  const std::int64_t Era = (Y >= 0 ? Y : Y - 399) / 400;
  const unsigned YearOfEra = static_cast<unsigned>(Y - Era * 400);
  const unsigned DayOfYear = (153 * (M > 2 ? M - 3 : M + 9) + 2) / 5 + D - 1;
  const unsigned DayOfEra = YearOfEra * 365 + YearOfEra / 4 - YearOfEra / 100 + DayOfYear;
  return Era * 146097 + static_cast<std::int64_t>(DayOfEra) - kMarchShift;
}

// The date of day Z counted from 0000-03-01 (day 0); every calendar day is positive and
// small there, so the arithmetic is unsigned and 32 bits wide.
void CivilFromDays(std::uint32_t Z, int& Year, int& Month, int& Day) {
  const std::uint32_t Era = Z / 146097;
  const std::uint32_t DayOfEra = Z - Era * 146097;
  const std::uint32_t YearOfEra = (DayOfEra - DayOfEra / 1460 + DayOfEra / 36524 - DayOfEra / 146096) / 365;
  const std::uint32_t DayOfYear = DayOfEra - (365 * YearOfEra + YearOfEra / 4 - YearOfEra / 100);
  const std::uint32_t MP = (5 * DayOfYear + 2) / 153;
  Day = static_cast<int>(DayOfYear - (153 * MP + 2) / 5 + 1);
  Month = static_cast<int>(MP < 10 ? MP + 3 : MP - 9);
  Year = static_cast<int>(YearOfEra + Era * 400 + (Month <= 2));
}

}  // namespace

bool IsLeapYear(int Year) { return Year % 4 == 0 && (Year % 100 != 0 || Year % 400 == 0); }

int DaysInMonth(int Year, int Month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (Month < 1 || Month > 12) return 0;
  return kDays[Month - 1] + (Month == 2 && IsLeapYear(Year) ? 1 : 0);
}

bool TryEncodeDate(int Year, int Month, int Day, TDateTime& Result) {
  if (Year < 1 || Year > 9999 || Day < 1 || Day > DaysInMonth(Year, Month)) return false;
  Result = static_cast<TDateTime>(DaysFromCivil(Year, static_cast<unsigned>(Month),
                                                static_cast<unsigned>(Day)) -
                                  kEpochShift);
  return true;
}

bool TryDecode(TDateTime Value, TDateTimeParts& Parts) {
  // Checked before the conversion to a whole number, which must not overflow.
  if (!std::isfinite(Value) || Value < static_cast<double>(kFirstDay - 1) ||
      Value > static_cast<double>(kLastDay + 1))
    return false;
  double Whole = std::trunc(Value);
  std::int64_t Day = static_cast<std::int64_t>(Whole);
  // Rounded half away from zero, as llround would, without the call: the part below the
  // whole milliseconds is exact (a value and its truncation lie within a factor of two).
  const double Exact = std::fabs(Value - Whole) * static_cast<double>(kMSecsPerDay);
  std::int64_t MSecs = static_cast<std::int64_t>(Exact);
  if (Exact - static_cast<double>(MSecs) >= 0.5) ++MSecs;
  if (MSecs >= kMSecsPerDay) {  // rounded up to the next midnight
    MSecs -= kMSecsPerDay;
    ++Day;
  }
  if (Day < kFirstDay || Day > kLastDay) return false;
  Parts.DayNumber = Day;
  const auto FromMarch = static_cast<std::uint32_t>(Day + kEpochShift + kMarchShift);
  CivilFromDays(FromMarch, Parts.Year, Parts.Month, Parts.Day);
  const auto Ms = static_cast<std::uint32_t>(MSecs);
  Parts.Hour = static_cast<int>(Ms / 3600000);
  Parts.Minute = static_cast<int>(Ms / 60000 % 60);
  Parts.Second = static_cast<int>(Ms / 1000 % 60);
  Parts.MSec = static_cast<int>(Ms % 1000);
  // 0000-03-01 was a Wednesday.
  Parts.DayOfWeek = static_cast<int>((FromMarch + 2) % 7) + 1;
  return true;
}

TDateTime Now() {
  timespec Clock{};
  clock_gettime(CLOCK_REALTIME, &Clock);
  tm Local{};
  localtime_r(&Clock.tv_sec, &Local);
  TDateTime Date = 0, Time = 0;
  TryEncodeDate(Local.tm_year + 1900, Local.tm_mon + 1, Local.tm_mday, Date);
  // A leap second shows as the last second of its minute.
  TryEncodeTime(Local.tm_hour, Local.tm_min, Local.tm_sec > 59 ? 59 : Local.tm_sec,
                static_cast<int>(Clock.tv_nsec / 1000000), Time);
  return CombineDateTime(Date, Time);
}

}  // namespace vandrel::datetime
