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

// The day of a date of years 1 to 9999 counted from 0000-03-01, the inverse of CivilFromDays
// below, by the same functions.
std::uint32_t DaysFromMarch(std::uint32_t Year, std::uint32_t Month, std::uint32_t Day) {
  const bool January = Month <= 2;  // January and February close the year begun the March before
  const std::uint32_t Y = Year - January;
  const std::uint32_t M = January ? Month + 12 : Month;
  const std::uint32_t Century = Y / 100;
  return 1461 * Y / 4 - Century + Century / 4 + (979 * M - 2919) / 32 + Day - 1;
}

// The date of day Z counted from 0000-03-01 (day 0), in the computational calendar whose
// years start in March: centuries, years and months by multiplications and shifts (Neri and
// Schneider's Euclidean affine functions). Every calendar day is positive and small there, so
// the arithmetic is unsigned and 32 bits wide.
void CivilFromDays(std::uint32_t Z, int& Year, int& Month, int& Day) {
  const std::uint32_t N1 = 4 * Z + 3;
  const std::uint32_t Century = N1 / 146097;
  const std::uint32_t DayOfCentury = N1 % 146097 / 4;
  const std::uint64_t P2 = std::uint64_t{2939745} * (4 * DayOfCentury + 3);
  const auto YearOfCentury = static_cast<std::uint32_t>(P2 >> 32);
  const std::uint32_t DayOfYear = static_cast<std::uint32_t>(P2) / 2939745 / 4;
  const std::uint32_t N3 = 2141 * DayOfYear + 197913;
  const bool January = DayOfYear >= 306;  // January or February: the next civil year
  const std::uint32_t M = N3 >> 16;  // 3 (March) to 14 (February)
  Year = static_cast<int>(100 * Century + YearOfCentury + January);
  Month = static_cast<int>(January ? M - 12 : M);
  Day = static_cast<int>((N3 & 0xFFFF) / 2141 + 1);
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
  const std::uint32_t FromMarch = DaysFromMarch(static_cast<std::uint32_t>(Year), static_cast<std::uint32_t>(Month),
                                                static_cast<std::uint32_t>(Day));
  Result = static_cast<TDateTime>(static_cast<std::int64_t>(FromMarch) - kMarchShift - kEpochShift);
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
