#pragma once
// Date-time values (TDateTime): days since 1899-12-30, the fraction being the time of day.
// A value before that day counts its days negative and its time positive: -1.25 is
// 1899-12-29 06:00. Calendar dates run from year 1 to year 9999.
#include <cstdint>

#include "foundation/Exception.h"

namespace vandrel::datetime {

constexpr std::int64_t kMSecsPerDay = 86400000;

struct TDateTimeParts {
  int Year = 0, Month = 0, Day = 0;
  int Hour = 0, Minute = 0, Second = 0, MSec = 0;
  std::int64_t DayNumber = 0;  // the calendar day, counted from 1899-12-30
  int DayOfWeek = 0;           // 1 Monday ... 7 Sunday
};

bool IsLeapYear(int Year);
int DaysInMonth(int Year, int Month);
bool TryEncodeDate(int Year, int Month, int Day, TDateTime& Result);
// Hour 0..23, Minute and Second 0..59, MSec 0..999. Inline, as the next one: every
// date-time value read from a result set is made with them.
inline bool TryEncodeTime(int Hour, int Minute, int Second, int MSec, TDateTime& Result) {
  if (Hour < 0 || Hour > 23 || Minute < 0 || Minute > 59 || Second < 0 || Second > 59 || MSec < 0 || MSec > 999)
    return false;
  Result = static_cast<TDateTime>(((Hour * 60 + Minute) * 60 + Second) * 1000 + MSec) /
           static_cast<TDateTime>(kMSecsPerDay);
  return true;
}
// A date (whole days) and a time of day joined into one value, honouring the sign rule.
inline TDateTime CombineDateTime(TDateTime Date, TDateTime Time) { return Date < 0 ? Date - Time : Date + Time; }
// Splits Value to the millisecond (rounded); false when it is not a finite value inside
// the calendar.
bool TryDecode(TDateTime Value, TDateTimeParts& Parts);
// The local date and time, to the millisecond.
TDateTime Now();

}  // namespace vandrel::datetime
