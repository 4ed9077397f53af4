#include <gtest/gtest.h>

#include "foundation/tests/MessageOf.h"

#include <cmath>
#include <functional>

#include "foundation/DateTimeCodec.h"
#include "foundation/TdtTools.h"
#include "platform/base/RegionalSettings.h"

using namespace vandrel;
using platform::TRegionalSettings;
using platform::TRegionalSettingsGuard;

namespace {

TDateTime At(int Y, int M, int D, int H = 0, int N = 0, int S = 0, int MS = 0) {
  TDateTime Date = 0, Time = 0;
  EXPECT_TRUE(datetime::TryEncodeDate(Y, M, D, Date));
  EXPECT_TRUE(datetime::TryEncodeTime(H, N, S, MS, Time));
  return datetime::CombineDateTime(Date, Time);
}

using testing_support::MessageOf;

TDateTime Parsed(const std::string& Text, TdtFormat Format) {
  return TdtTools(0).FromString(Text, Format).Value;
}

TRegionalSettings Iso() {
  TRegionalSettings S = TRegionalSettings::Posix();
  S.ShortDateFormat = "yyyy-MM-dd";
  S.DateSeparator = '-';
  return S;
}

const TDateTime kSample = At(2024, 3, 5, 14, 7, 9, 45);

}  // namespace

TEST(TdtToolsText, EveryFormatUnderPolishSettings) {
  TRegionalSettingsGuard Keep{TRegionalSettings::Polish()};
  TdtTools T(kSample);
  EXPECT_EQ(T.ToString(fmtDate), "05.03.2024");
  EXPECT_EQ(T.ToString(fmt4YDate), "05.03.2024");
  EXPECT_EQ(T.ToString(fmtTime), "14:07:09");
  EXPECT_EQ(T.ToString(fmtTimeHM), "14:07");
  EXPECT_EQ(T.ToString(fmtTimeHMS), "14:07:09");
  EXPECT_EQ(T.ToString(fmtTimeHMSms), "14:07:09.045");
  EXPECT_EQ(T.ToString(fmtDateTime), "05.03.2024 14:07:09");
  EXPECT_EQ(T.ToString(fmt4YDateTime), "05.03.2024 14:07:09");
  EXPECT_EQ(T.ToString(fmtASE11), "2024/03/05 14:07:09");
  EXPECT_EQ(T.ToString(fmtSQLAnyDate), "2024/03/05");
  EXPECT_EQ(T.ToString(fmtSQLAnyDateTime), "2024/03/05 14:07:09");
  EXPECT_EQ(T.ToString(fmtCompileDate), "Mar 5 2024");
  EXPECT_EQ(T.ToString(fmtDateLN), "2024-03-05");
  EXPECT_EQ(T.ToString(fmtDateTimeCompressed), "20240305140709045");
  EXPECT_EQ(T.ToDBField(fmtDateLN), "'2024-03-05'");
  EXPECT_EQ(TdtTools(At(2024, 3, 5)).ToString(fmtDateTime), "05.03.2024");
  EXPECT_EQ(TdtTools(At(2024, 3, 5)).ToString(fmt4YDateTime), "05.03.2024 00:00:00");
}

TEST(TdtToolsText, ShortDatePatternsWithSeparatorsNamesAndTwelveHours) {
  TRegionalSettings S = TRegionalSettings::Polish();
  S.ShortDateFormat = "d/M/yy 'r.' ddd";
  S.DateSeparator = '-';
  S.LongTimeFormat = "h:mm:ss ampm";
  S.TimeAMString = "rano";
  S.TimePMString = "po południu";
  TRegionalSettingsGuard Keep{S};
  TdtTools T(kSample);
  EXPECT_EQ(T.ToString(fmtDate), "5-3-24 r. wto");
  EXPECT_EQ(T.ToString(fmt4YDate), "5-3-2024 r. wto");
  EXPECT_EQ(T.ToString(fmtTime), "2:07:09 po południu");
  EXPECT_EQ(platform::RegionalSettings().ShortDateFormat, "d/M/yy 'r.' ddd");
}

TEST(TdtToolsText, UnsupportedFormatsAndValuesOutsideTheCalendarRaise) {
  TRegionalSettingsGuard Keep{TRegionalSettings::Polish()};
  EXPECT_EQ(MessageOf([] { TdtTools(kSample).ToString(static_cast<TdtFormat>(14)); }),
            "[TdtTools] Format wyświetlania 14 nie jest obsługiwany");
  for (TDateTime Bad : {std::nan(""), 1e9, -1e9, HUGE_VAL}) {
    EXPECT_EQ(MessageOf([&] { TdtTools(Bad).ToString(fmt4YDate); }),
              "[TdtTools] Błąd tworzenia formatu daty");
    EXPECT_EQ(MessageOf([&] { TdtTools(Bad).ToString(fmtDateLN); }),
              "[TdtTools] Błąd tworzenia formatu daty");
  }
  // The four-digit-year pattern is put back also when the text cannot be made.
  EXPECT_EQ(platform::RegionalSettings().ShortDateFormat, "dd.MM.yyyy");
}

TEST(TdtToolsText, ValuesBeforeTheEpochKeepTheirTimeOfDay) {
  TDateTime Value = At(1899, 12, 29, 6);
  EXPECT_DOUBLE_EQ(Value, -1.25);
  EXPECT_EQ(TdtTools(Value).ToString(fmtDateTimeCompressed), "18991229060000000");
  EXPECT_EQ(Parsed("18991229060000000", fmtDateTimeCompressed), Value);
  EXPECT_EQ(TdtTools(Value).Date(), -1.0);
  EXPECT_EQ(TdtTools(Value).Time(), 0.25);
  EXPECT_EQ(TdtTools(At(1, 1, 1)).ToString(fmtDateLN), "0001-01-01");
  EXPECT_EQ(TdtTools(At(9999, 12, 31, 23, 59, 59, 999)).ToString(fmtDateTimeCompressed),
            "99991231235959999");
}

TEST(TdtToolsText, RoundsToTheMillisecondAcrossMidnight) {
  TDateTime AlmostMidnight = At(2024, 3, 5) + 0.9999999999;
  EXPECT_EQ(TdtTools(AlmostMidnight).ToString(fmtDateTimeCompressed), "20240306000000000");
  EXPECT_EQ(TdtTools(AlmostMidnight).DateCompare(At(2024, 3, 6)), 0);
}

// Half a millisecond rounds away from zero, as llround does, on either side of the epoch.
TEST(TdtToolsText, RoundsHalfMillisecondsAwayFromZero) {
  const double PerDay = static_cast<double>(datetime::kMSecsPerDay);
  for (double Day : {45000.0, 0.0, -700.0}) {
    for (int Ms : {0, 1, 499, 86399998}) {
      const double Half = (Ms + 0.5) / PerDay;
      for (double Fraction : {std::nextafter(Half, 0.0), Half, std::nextafter(Half, 1.0)}) {
        const double Value = Day < 0 ? Day - Fraction : Day + Fraction;
        const long long Expected = std::llround(std::fabs(Value - std::trunc(Value)) * PerDay);
        datetime::TDateTimeParts P;
        ASSERT_TRUE(datetime::TryDecode(Value, P));
        EXPECT_EQ(((P.Hour * 60LL + P.Minute) * 60 + P.Second) * 1000 + P.MSec, Expected % datetime::kMSecsPerDay)
            << Value;
      }
    }
  }
}

// Every day of the calendar decodes to the date that encodes back to it, a day of the week on.
TEST(TdtToolsCalendar, EveryDayDecodesToTheDateThatEncodesIt) {
  datetime::TDateTimeParts P;
  ASSERT_TRUE(datetime::TryDecode(At(1, 1, 1), P));
  EXPECT_EQ(P.DayOfWeek, 1);  // 0001-01-01 was a Monday
  int Weekday = P.DayOfWeek, Failures = 0;
  for (double Day = At(1, 1, 1); Day <= At(9999, 12, 31) && Failures < 5; ++Day) {
    TDateTime Encoded = -1;
    const bool Ok = datetime::TryDecode(datetime::CombineDateTime(Day, 0.25), P) &&
                    datetime::TryEncodeDate(P.Year, P.Month, P.Day, Encoded);
    if (!Ok || Encoded != Day || P.DayOfWeek != Weekday || P.Hour != 6) {
      ++Failures;
      ADD_FAILURE() << Day << " reads as " << P.Year << "-" << P.Month << "-" << P.Day << " weekday " << P.DayOfWeek;
    }
    Weekday = Weekday % 7 + 1;
  }
}

TEST(TdtToolsFourDigitYear, WidensTheFirstYearRun) {
  TRegionalSettings S = TRegionalSettings::Polish();
  TRegionalSettingsGuard Keep{S};
  auto Widened = [&](const std::string& Pattern) {
    S.ShortDateFormat = Pattern;
    platform::SetRegionalSettings(S);
    return TdtTools::Short4YFormat();
  };
  EXPECT_EQ(Widened("dd-MM-yy"), "dd-MM-yyyy");
  EXPECT_EQ(Widened("dd.MM.yyyy"), "dd.MM.yyyy");
  EXPECT_EQ(Widened("y/M/d"), "yyyy/M/d");
  EXPECT_EQ(Widened("Yy.MM.dd yy"), "YYYY.MM.dd ");
  EXPECT_EQ(Widened("rr-MM-dd"), "rrrr-MM-dd");
  EXPECT_EQ(Widened("dd.MM.yy 'r.'"), "dd.MM.yyyy 'r.'");
  EXPECT_EQ(Widened("dd.MM"), "dd.MM");
}

// Round trips under a Polish and an ISO-like regional setting, for every format that parses.
class TdtToolsRoundTrip : public ::testing::TestWithParam<TRegionalSettings> {
 protected:
  void SetUp() override { platform::SetRegionalSettings(GetParam()); }
  void TearDown() override { platform::SetRegionalSettings(FSaved); }
  TRegionalSettings FSaved = platform::RegionalSettings();
};

TEST_P(TdtToolsRoundTrip, EveryParsableFormat) {
  for (TDateTime Value : {kSample, At(1999, 12, 31, 23, 59, 58, 999), At(2000, 2, 29, 0, 0, 1),
                          At(1900, 1, 1, 12), At(2069, 7, 4, 7, 5, 3, 2)}) {
    TdtTools T(Value);
    SCOPED_TRACE(T.ToString(fmtDateTimeCompressed));
    // The text read back gives the same text, and the value holds what the text shows.
    for (TdtFormat Format : {fmtDate, fmt4YDate, fmtTimeHM, fmtTimeHMS, fmtTimeHMSms,
                             fmt4YDateTime, fmtCompileDate, fmtDateLN, fmtDateTimeCompressed}) {
      std::string Text = T.ToString(Format);
      TDateTime Back = Parsed(Text, Format);
      EXPECT_EQ(TdtTools(Back).ToString(Format), Text) << int(Format);
    }
    EXPECT_EQ(Parsed(T.ToString(fmtDate), fmtDate), T.Date());
    EXPECT_EQ(Parsed(T.ToString(fmt4YDate), fmt4YDate), T.Date());
    EXPECT_EQ(Parsed(TdtTools(T.Date()).ToString(fmtDateTime), fmtDateTime), T.Date());
    EXPECT_EQ(Parsed(T.ToString(fmtDateLN), fmtDateLN), T.Date());
    EXPECT_EQ(Parsed(T.ToString(fmtCompileDate), fmtCompileDate), T.Date());
    EXPECT_DOUBLE_EQ(Parsed(T.ToString(fmtTimeHMSms), fmtTimeHMSms), T.Time());
    EXPECT_DOUBLE_EQ(Parsed(T.ToString(fmtDateTimeCompressed), fmtDateTimeCompressed), Value);
  }
}

INSTANTIATE_TEST_SUITE_P(Settings, TdtToolsRoundTrip,
                         ::testing::Values(TRegionalSettings::Polish(), Iso()),
                         [](const auto& Info) { return Info.param.ShortDateFormat == "yyyy-MM-dd" ? "Iso" : "Polish"; });

TEST(TdtToolsParse, ShortDatesUnderTheUserPattern) {
  TRegionalSettingsGuard Keep{TRegionalSettings::Polish()};
  EXPECT_EQ(Parsed(" 5-3-2024 ", fmtDate), At(2024, 3, 5));
  EXPECT_EQ(Parsed("5,3,2024", fmtDate), At(2024, 3, 5));
  EXPECT_EQ(Parsed("05.03.24", fmtDate), At(2024, 3, 5));
  int ThisYear = std::stoi(TdtTools().ToString(fmtDateLN).substr(0, 4));
  EXPECT_EQ(Parsed("5.3", fmtDate), At(ThisYear, 3, 5));
  const std::string DateError = "[TdtTools] Błąd wprowadzania daty. Poprawny format: dd.MM.yyyy";
  for (const char* Bad : {"", "31.02.2024", "5.3.2024x", "5..3.2024", "5 3 2024", "1.2.3.4", "0.1.2024"})
    EXPECT_EQ(MessageOf([&] { Parsed(Bad, fmtDate); }), DateError) << Bad;
  EXPECT_EQ(MessageOf([] { Parsed("05.03.24", fmt4YDate); }), DateError);  // four digits needed
  TdtTools Kept(kSample);
  EXPECT_ANY_THROW(Kept.FromString("nonsense", fmtDate));
  EXPECT_EQ(Kept.Value, kSample);
}

TEST(TdtToolsParse, TwoDigitYearsFallWithinFiftyYears) {
  TRegionalSettingsGuard Keep{Iso()};
  int ThisYear = std::stoi(TdtTools().ToString(fmtDateLN).substr(0, 4));
  int Back = (ThisYear - 49) % 100, Ahead = (ThisYear + 49) % 100;
  auto YearOf = [](TDateTime V) { return std::stoi(TdtTools(V).ToString(fmtDateLN).substr(0, 4)); };
  EXPECT_EQ(YearOf(Parsed(std::to_string(Back) + "-01-01", fmtDate)), ThisYear - 49);
  EXPECT_EQ(YearOf(Parsed(std::to_string(Ahead) + "-01-01", fmtDate)), ThisYear + 49);
  EXPECT_EQ(MessageOf([] { Parsed("2024-13-01", fmtDate); }),
            "[TdtTools] Błąd wprowadzania daty. Poprawny format: yyyy-MM-dd");
}

TEST(TdtToolsParse, Times) {
  EXPECT_DOUBLE_EQ(Parsed("14:07", fmtTimeHM), At(1899, 12, 30, 14, 7));
  EXPECT_DOUBLE_EQ(Parsed(" 1.2.3 ", fmtTimeHMS), At(1899, 12, 30, 1, 2, 3));
  EXPECT_DOUBLE_EQ(Parsed("14;07|09\\5", fmtTimeHMSms), At(1899, 12, 30, 14, 7, 9, 5));
  EXPECT_DOUBLE_EQ(Parsed("14:07:09.045", fmtTimeHM), At(1899, 12, 30, 14, 7, 9, 45));
  const std::string TimeError = "[TdtTools] Błąd wprowadzania czasu. Poprawny format: HH:MM[:SS[.mmm]]";
  for (const char* Bad : {"", "14", "14:", "141:00", "14:07:09:1000", "14:07:09:045:1", "a:b", "14 :07", ":07"})
    EXPECT_EQ(MessageOf([&] { Parsed(Bad, fmtTimeHMS); }), TimeError) << Bad;
  EXPECT_EQ(MessageOf([] { Parsed("25:00", fmtTimeHM); }), "[TdtTools] Nieprawidłowy argument kodowania czasu");
  EXPECT_EQ(MessageOf([] { Parsed("12:60", fmtTimeHM); }), "[TdtTools] Nieprawidłowy argument kodowania czasu");
}

TEST(TdtToolsParse, DatesWithTimes) {
  TRegionalSettingsGuard Keep{TRegionalSettings::Polish()};
  EXPECT_DOUBLE_EQ(Parsed("05.03.2024\t14:07", fmt4YDateTime), At(2024, 3, 5, 14, 7));
  EXPECT_DOUBLE_EQ(Parsed("14:07", fmt4YDateTime), At(1899, 12, 30, 14, 7));
  EXPECT_EQ(Parsed("05.03.2024", fmt4YDateTime), At(2024, 3, 5));
  EXPECT_DOUBLE_EQ(Parsed("29.12.1899 06:00", fmt4YDateTime), -1.25);
  EXPECT_DOUBLE_EQ(Parsed("05.03.24", fmt4YDateTime), At(1899, 12, 30, 5, 3, 24));  // a time
  EXPECT_EQ(MessageOf([] { Parsed("05-03-24", fmt4YDateTime); }),
            "[TdtTools] Błąd wprowadzania daty. Poprawny format: dd.MM.yyyy");
  EXPECT_EQ(Parsed("05.03.24", fmtDateTime), At(2024, 3, 5));
  EXPECT_EQ(MessageOf([] { Parsed("05.03.2024 14:07", fmtDateTime); }),
            "[TdtTools] Konwersja według formatu 2 nie jest obsługiwana");
}

TEST(TdtToolsParse, CompileDates) {
  EXPECT_EQ(Parsed("Mar  5 2024", fmtCompileDate), At(2024, 3, 5));
  EXPECT_EQ(Parsed("june\r\n30\t1999", fmtCompileDate), At(1999, 6, 30));
  EXPECT_EQ(Parsed("Ja 1 1900", fmtCompileDate), At(1900, 1, 1));
  EXPECT_EQ(Parsed("Sty 1 2000", fmtCompileDate), At(2000, 9, 1));  // "S" is September
  const std::string FormatError = "[TdtTools] Błąd formatu daty";
  for (const char* Bad : {"", "Xyz 5 2024", "Mar x 2024", "Mar 0 2024", "Mar 5 1899", "Mar 5"})
    EXPECT_EQ(MessageOf([&] { Parsed(Bad, fmtCompileDate); }), FormatError) << Bad;
  EXPECT_EQ(MessageOf([] { Parsed("Feb 30 2024", fmtCompileDate); }),
            "[TdtTools] Nieprawidłowy argument kodowania daty");
}

TEST(TdtToolsParse, YearMonthDayDates) {
  EXPECT_EQ(Parsed("2024-3-5", fmtDateLN), At(2024, 3, 5));
  EXPECT_EQ(Parsed("24/03/05", fmtDateLN), At(2024, 3, 5));
  EXPECT_EQ(Parsed("75_12_01", fmtDateLN), At(1975, 12, 1));
  EXPECT_EQ(Parsed(" 2024 | 3 \\ 5 ", fmtDateLN), At(2024, 3, 5));
  const std::string Error = "[TdtTools] Błąd wprowadzania daty. Poprawny format: YYYY-MM-DD";
  for (const char* Bad : {"1899-01-01", "2024-02-30", "2024-13-01", "2024-01-32", "2024-01",
                          "x-01-01", "", "123-01-01", "99999-01-01"})
    EXPECT_EQ(MessageOf([&] { Parsed(Bad, fmtDateLN); }), Error) << Bad;
}

TEST(TdtToolsParse, CompressedDateTimes) {
  EXPECT_EQ(Parsed("2024030514", fmtDateTimeCompressed), At(2024, 3, 5));
  EXPECT_DOUBLE_EQ(Parsed("202403051407", fmtDateTimeCompressed), At(2024, 3, 5, 14, 7));
  EXPECT_DOUBLE_EQ(Parsed("log-20240305140709", fmtDateTimeCompressed), At(2024, 3, 5, 14, 7, 9));
  EXPECT_DOUBLE_EQ(Parsed("2024030514070904", fmtDateTimeCompressed), At(2024, 3, 5, 14, 7, 9));
  const std::string Error =
      "[TdtTools] Błąd wprowadzania daty i czasu. Poprawny format: YYYYMMDDHHNNSSmmm";
  for (const char* Bad : {"", "abc", "2024030", "20240230", "202403052500", "202403051460"})
    EXPECT_EQ(MessageOf([&] { Parsed(Bad, fmtDateTimeCompressed); }), Error) << Bad;
}

TEST(TdtToolsParse, FormatsThatCannotBeRead) {
  for (int Format : {2, 8, 9, 10, 14, 255})
    EXPECT_EQ(MessageOf([&] { Parsed("2024/03/05", static_cast<TdtFormat>(Format)); }),
              "[TdtTools] Konwersja według formatu " + std::to_string(Format) + " nie jest obsługiwana");
}

TEST(TdtToolsCalendar, DaysAndMonthsInPolish) {
  TdtTools Sunday(At(2024, 1, 7));
  EXPECT_EQ(Sunday.DayOfWeekPl(), 7);
  EXPECT_EQ(Sunday.ToDayOfWeekNamePl(true), "nd");
  EXPECT_EQ(Sunday.ToDayOfWeekNamePl(false), "niedziela");
  EXPECT_EQ(TdtTools(At(2024, 1, 1)).DayOfWeekPl(), 1);
  EXPECT_EQ(TdtTools::DayOfWeekNamePl(3, false), "środa");
  EXPECT_EQ(TdtTools::DayOfWeekNamePl(0, false), "");
  EXPECT_EQ(TdtTools::DayOfWeekNamePl(8, true), "");
  EXPECT_EQ(TdtTools::MonthNamePl(10, false), "październik");
  EXPECT_EQ(TdtTools::MonthNamePl(10, true), "paź");
  EXPECT_EQ(TdtTools::MonthNamePl(0, true), "");
  EXPECT_EQ(TdtTools::MonthNamePl(13, false), "");
  EXPECT_EQ(TdtTools(kSample).ToMonthNamePl(false), "marzec");
  EXPECT_EQ(TdtTools(std::nan("")).ToMonthNamePl(false), "");
  EXPECT_EQ(TdtTools(std::nan("")).ToDayOfWeekNamePl(false), "");
}

TEST(TdtToolsCalendar, WeeksCountFromTheFirstMonday) {
  EXPECT_EQ(TdtTools::FirstMondayOfYear(2024), At(2024, 1, 1));
  EXPECT_EQ(TdtTools::FirstMondayOfYear(2023), At(2023, 1, 2));
  bool Previous = true;
  EXPECT_EQ(TdtTools(At(2024, 1, 7, 23)).WeekOfYearPl(Previous), 1);
  EXPECT_FALSE(Previous);
  EXPECT_EQ(TdtTools(At(2024, 1, 8)).WeekOfYearPl(Previous), 2);
  EXPECT_EQ(TdtTools(At(2023, 1, 1)).WeekOfYearPl(Previous), 52);
  EXPECT_TRUE(Previous);
  EXPECT_EQ(TdtTools(At(2023, 1, 2)).WeekOfYearPl(Previous), 1);
  EXPECT_FALSE(Previous);
  EXPECT_EQ(TdtTools(At(1, 1, 1)).WeekOfYearPl(Previous), 1);
  EXPECT_EQ(MessageOf([] { TdtTools::FirstMondayOfYear(0); }),
            "[TdtTools] Nieprawidłowy argument kodowania daty");
}

TEST(TdtToolsCalendar, DatePartsAndComparison) {
  TdtTools T(kSample);
  EXPECT_EQ(T.Date(), At(2024, 3, 5));
  EXPECT_DOUBLE_EQ(T.Time(), At(1899, 12, 30, 14, 7, 9, 45));
  EXPECT_EQ(T.DateCompare(At(2024, 3, 5, 23, 59)), 0);
  EXPECT_EQ(T.DateCompare(At(2024, 3, 4, 23, 59)), 1);
  EXPECT_EQ(T.DateCompare(At(2024, 3, 6)), -1);
  EXPECT_EQ(TdtTools(-1.25).DateCompare(-1.75), 0);
}

TEST(TdtToolsCalendar, DefaultIsNow) {
  TDateTime Before = datetime::Now();
  TDateTime Value = TdtTools().Value;
  EXPECT_GE(Value, Before);
  EXPECT_LT(Value - Before, 1.0 / 24);
}
