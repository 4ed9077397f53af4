#pragma once
// TdtTools: one date-time value and the rules by which dates and times become text (for
// the user and for SQL) and are read back, with the Polish calendar names and weeks.
#include "foundation/Exception.h"

namespace vandrel {

// The text formats of dates and times.
enum TdtFormat : unsigned char {
  fmtDate = 0,            // the short date of the regional settings
  fmt4YDate,              // the same with a four-digit year
  fmtTime,                // the long time of the regional settings
  fmtTimeHM,              // 14:07
  fmtTimeHMS,             // 14:07:09
  fmtTimeHMSms,           // 14:07:09.045
  fmtDateTime,            // short date, and the long time unless it is midnight
  fmt4YDateTime,          // four-digit-year date and the long time
  fmtASE11,               // 2024/03/05 14:07:09
  fmtSQLAnyDate,          // 2024/03/05
  fmtSQLAnyDateTime,      // 2024/03/05 14:07:09
  fmtCompileDate,         // Mar 5 2024
  fmtDateLN,              // 2024-03-05
  fmtDateTimeCompressed,  // 20240305140709045
};

class TdtTools {
 public:
  TdtTools();  // the current local date and time
  explicit TdtTools(TDateTime AValue) : Value(AValue) {}
  TdtTools(const TdtTools&) = default;
  TdtTools& operator=(const TdtTools&) = default;

  // Reads Text in Format; raises Exception "[TdtTools] ..." (the value unchanged) when the
  // text does not match or names no date or time.
  TdtTools& FromString(const AnsiString& Text, TdtFormat Format);
  // Raises Exception "[TdtTools] ..." for a format above 13 and for a value that is no
  // date of the calendar (years 1 to 9999).
  AnsiString ToString(TdtFormat Format) const;
  // Appends ToString(fmtDateTimeCompressed) to Out, with its failure, and without the
  // temporary texts (the backup archive writes one for every date of every record).
  void AppendCompressed(AnsiString& Out) const;
  // ToString as an SQL string literal.
  AnsiString ToDBField(TdtFormat Format) const;

  TDateTime Date() const;  // midnight of the value's day
  TDateTime Time() const;  // the time of day
  // 1 when this value's day is later than Other's, -1 when earlier, 0 on the same day.
  int DateCompare(TDateTime Other) const;

  int DayOfWeekPl() const;  // 1 Monday ... 7 Sunday
  // Weeks run Monday to Sunday from the year's first Monday; days before it belong to
  // the last week of the previous year, and PreviousYear tells so.
  int WeekOfYearPl(bool& PreviousYear) const;
  static TDateTime FirstMondayOfYear(int Year);

  // Polish names; "" for a day outside 1..7 or a month outside 1..12.
  static AnsiString DayOfWeekNamePl(int Day, bool Short);
  AnsiString ToDayOfWeekNamePl(bool Short) const;
  static AnsiString MonthNamePl(int Month, bool Short);
  AnsiString ToMonthNamePl(bool Short) const;

  // The user's short date pattern with its year widened to four digits.
  static AnsiString Short4YFormat();
  // Pattern with its year widened the same way.
  static AnsiString Short4YFormat(const AnsiString& Pattern);

  TDateTime Value;
};

}  // namespace vandrel
