#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/base/RegionalSettings.h"
#include "platform/base/tests/EnvironmentVariable.h"
#include "platform/base/tests/PolishLocale.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
// glibc's newlocale keeps the list it makes of LOCPATH (44 bytes a call); only the tests set it.
using TLocPathLeakIgnored = __lsan::ScopedDisabler;
#else
struct TLocPathLeakIgnored {};
#endif

using namespace vandrel::platform;
using TEnvironmentGuard = vandrel::platform::test::TEnvironmentVariable;

namespace {

void ExpectPosix(const TRegionalSettings& S) {
  EXPECT_EQ(S.DecimalSeparator, '.');
  EXPECT_EQ(S.DateSeparator, '-');
  EXPECT_EQ(S.ShortDateFormat, "yyyy-MM-dd");
  EXPECT_EQ(S.LongTimeFormat, "hh:nn:ss");
}

}  // namespace

TEST(RegionalSettings, StrftimeFormatsBecomePatterns) {
  EXPECT_EQ(StrftimeToPattern("%d.%m.%Y"), "dd.MM.yyyy");
  EXPECT_EQ(StrftimeToPattern("%m/%d/%y"), "MM/dd/yy");
  EXPECT_EQ(StrftimeToPattern("%-d.%-m.%Y"), "d.M.yyyy");
  EXPECT_EQ(StrftimeToPattern("%e %b %Y"), "d MMM yyyy");
  EXPECT_EQ(StrftimeToPattern("%F"), "yyyy-MM-dd");
  EXPECT_EQ(StrftimeToPattern("%T"), "hh:nn:ss");
  EXPECT_EQ(StrftimeToPattern("%r"), "hh:nn:ss ampm");
  EXPECT_EQ(StrftimeToPattern("%I:%M:%S %p"), "hh:nn:ss ampm");
  EXPECT_EQ(StrftimeToPattern("%H h %M"), "hh 'h' nn");
  EXPECT_EQ(StrftimeToPattern("%Y년 %m월"), "yyyy'년' MM'월'");
  EXPECT_EQ(StrftimeToPattern("%d'%m"), "dd\"'\"MM");
  EXPECT_EQ(StrftimeToPattern("100%% %Z%Ey"), "100% yy");
}

TEST(RegionalSettings, PosixAndMissingLocalesGiveIsoLikeSettings) {
  ExpectPosix(TRegionalSettings::FromLocales("C", "POSIX"));
  ExpectPosix(TRegionalSettings::FromLocales("C.UTF-8", ""));
  ExpectPosix(TRegionalSettings::FromLocales("xx_NOWHERE.UTF-8", "xx_NOWHERE.UTF-8"));
  TEnvironmentGuard All("LC_ALL", "C");
  ExpectPosix(TRegionalSettings::FromEnvironment());
}

TEST(RegionalSettings, PolishLocaleIsReadPerCategory) {
  std::string Path = vandrel::platform::test::PolishLocalePath();
  if (Path.empty()) GTEST_SKIP() << "no Polish locale can be compiled here";
  TEnvironmentGuard LocPath("LOCPATH", Path.c_str());
  [[maybe_unused]] TLocPathLeakIgnored Ignored;
  TRegionalSettings S = TRegionalSettings::FromLocales("pl_PL.UTF-8", "pl_PL.UTF-8");
  EXPECT_EQ(S.DecimalSeparator, ',');
  EXPECT_EQ(S.ListSeparator, ';');  // a decimal comma never splits a number of a CSV row
  EXPECT_EQ(S.DateSeparator, '.');
  EXPECT_EQ(S.ShortDateFormat, "dd.MM.yyyy");
  EXPECT_EQ(S.LongTimeFormat, "hh:nn:ss");
  EXPECT_EQ(S.ShortTimeFormat, "hh:nn");
  EXPECT_EQ(S.LongDayNames[0], "niedziela");

  {  // LC_ALL outranks the category variables, which outrank LANG.
    TEnvironmentGuard All("LC_ALL", nullptr), Numeric("LC_NUMERIC", "pl_PL.UTF-8"),
        Time("LC_TIME", nullptr), Lang("LANG", "C");
    TRegionalSettings Mixed = TRegionalSettings::FromEnvironment();
    EXPECT_EQ(Mixed.DecimalSeparator, ',');
    EXPECT_EQ(Mixed.ShortDateFormat, "yyyy-MM-dd");
    TEnvironmentGuard Everything("LC_ALL", "C");
    ExpectPosix(TRegionalSettings::FromEnvironment());
  }
}

TEST(RegionalSettings, GuardPutsTheSettingsBackAlsoOnFailure) {
  TRegionalSettings Before = RegionalSettings();
  try {
    TRegionalSettingsGuard Keep(TRegionalSettings::Polish());
    EXPECT_EQ(RegionalSettings().DecimalSeparator, ',');
    TRegionalSettings Other = TRegionalSettings::Polish();
    Other.ShortDateFormat = "yy/MM/dd";
    SetRegionalSettings(Other);
    throw std::runtime_error("failed");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(RegionalSettings().ShortDateFormat, Before.ShortDateFormat);
  EXPECT_EQ(RegionalSettings().DecimalSeparator, Before.DecimalSeparator);
}
