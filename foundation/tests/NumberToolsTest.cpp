#include <gtest/gtest.h>

#include "foundation/tests/MessageOf.h"

#include <cmath>
#include <limits>

#include "foundation/TfTools.h"
#include "foundation/TxfTools.h"
#include "platform/base/RegionalSettings.h"

using namespace vandrel;
using platform::TRegionalSettings;
using platform::TRegionalSettingsGuard;

namespace {

class NumberTools : public ::testing::Test {
 protected:
  TRegionalSettingsGuard Polish{TRegionalSettings::Polish()};
};

using testing_support::MessageOf;

}  // namespace

TEST_F(NumberTools, DisplayTextDropsTrailingZerosDownToMinDecimals) {
  EXPECT_EQ(TfTools(0.1 + 0.2).ToString(0, 12), "0,3");
  EXPECT_EQ(TfTools(3.5).ToString(0, 12), "3,5");
  EXPECT_EQ(TfTools(2.0).ToString(0, 12), "2");
  EXPECT_EQ(TfTools(3.0).ToString(1, 6), "3,0");
  EXPECT_EQ(TfTools(1.005).ToString(2, 2), "1,00");  // printed, not rounded half up
  EXPECT_EQ(TfTools(1234.5678).ToString(0, 2), "1234,57");
  EXPECT_EQ(TfTools(7.26).ToString(5, 1), "7,3");   // MinDecimals above MaxDecimals
  EXPECT_EQ(TfTools(7.25).ToString(-3, 40), "7,25");  // both clamped to 0..12
  EXPECT_EQ(TfTools(-0.001).ToString(0, 2), "0");    // no "-0"
  EXPECT_EQ(TfTools(-1.5).ToString(0, 2), "-1,5");
}

TEST_F(NumberTools, SqlTextAlwaysUsesAPoint) {
  EXPECT_EQ(TfTools(1234.5).ToDBField(0, 12), "1234.5");
  EXPECT_EQ(TfTools(-2.0).ToDBField(2, 4), "-2.00");
  EXPECT_EQ(TxfTools(1.25L).ToDBField(0, 12), "1.25");
}

TEST_F(NumberTools, LargeNumbersAreNeverCutShort) {
  std::string Text = TfTools(1e60).ToDBField(0, 2);
  EXPECT_EQ(Text.size(), 60u);  // all the digits of 1e60 as a double, 9.99...e59
  EXPECT_EQ(TfTools(0).FromDBField(Text).Value, 1e60);
}

TEST_F(NumberTools, UserTextIsReadWithEitherPointAndRounded) {
  EXPECT_DOUBLE_EQ(TfTools(0).FromString("1.23456", 2, true).Value, 1.23);
  EXPECT_DOUBLE_EQ(TfTools(0).FromString("  1,235 ", 2, true).Value, 1.24);
  EXPECT_DOUBLE_EQ(TfTools(0).FromString("-2,5", 0, true).Value, -2.0);
  EXPECT_DOUBLE_EQ(TfTools(0).FromString("1e3", 0, true).Value, 1000.0);
  EXPECT_DOUBLE_EQ(TfTools(0).FromString(".5", 20, true).Value, 0.5);
  EXPECT_EQ(TxfTools(0).FromString("2,75", 1, false).Value, static_cast<long double>(2.8));
}

TEST_F(NumberTools, BadUserTextRaisesAndKeepsTheValue) {
  const std::string Input = "[TfTools] Błąd wprowadzania wartości liczbowej";
  for (const char* Text : {"", "   ", "abc", "1.2.3", "1,234.5", "12a", "1e", "-", "inf", "nan", "1e999"}) {
    TfTools Number(7);
    EXPECT_EQ(MessageOf([&] { Number.FromString(Text, 2, true); }), Input) << Text;
    EXPECT_EQ(Number.Value, 7) << Text;
  }
  EXPECT_EQ(MessageOf([] { TfTools(0).FromString("-1", 2, false); }),
            "[TfTools] Wprowadzona wartość liczbowa jest ujemna");
  EXPECT_EQ(MessageOf([] { TxfTools(0).FromString("x", 2, false); }), Input);
  EXPECT_EQ(TfTools(0).FromString("-0", 2, false).Value, 0.0);
}

TEST_F(NumberTools, DatabaseTextIsReadLeniently) {
  EXPECT_EQ(TfTools(9).FromDBField(" -12.50").Value, -12.5);
  EXPECT_EQ(TfTools(9).FromDBField("+3,25x").Value, 3.25);
  EXPECT_EQ(TfTools(9).FromDBField("abc").Value, 0.0);
  EXPECT_EQ(TfTools(9).FromDBField("12-3").Value, 12.0);
  EXPECT_EQ(TfTools(9).FromDBField("1.5.7").Value, 1.5);
  EXPECT_EQ(TfTools(9).FromDBField("\t- 4").Value, -4.0);
  EXPECT_EQ(TfTools(9).FromDBField("--4").Value, 0.0);
  EXPECT_EQ(TfTools(9).FromDBField("").Value, 0.0);
  EXPECT_FALSE(std::signbit(TfTools(9).FromDBField("-0.0").Value));
  EXPECT_TRUE(std::isinf(TfTools(9).FromDBField(std::string(400, '9')).Value));
  EXPECT_EQ(TxfTools(9).FromDBField("-0.1").Value, -0.1L);
}

TEST_F(NumberTools, DatabaseTextRoundTripsExactly) {
  for (double V : {0.1, 0.07, 1.23, -98765.4321, 123456789.123, 2.5e-7}) {
    EXPECT_EQ(TfTools(0).FromDBField(TfTools(V).ToDBField(0, 12)).Value, TfTools(V).Round(12)) << V;
  }
  EXPECT_EQ(TfTools(0).FromDBField("1.23").Value, 1.23);
}

TEST_F(NumberTools, RoundingHalfUpWithTolerance) {
  EXPECT_EQ(TfTools(2.5).Round(0), 3.0);
  EXPECT_EQ(TfTools(-2.5).Round(0), -2.0);
  EXPECT_EQ(TfTools(1.005).Round(2), 1.01);
  EXPECT_EQ(TfTools(1234.0).Round(-2), 1200.0);
  EXPECT_EQ(TfTools(1250.0).Round(-2), 1300.0);
  EXPECT_EQ(TfTools(1.23456789).Round(99), TfTools(1.23456789).Round(12));
  EXPECT_FALSE(std::signbit(TfTools(-0.2).Round(0)));
  EXPECT_EQ(TxfTools(2.5L).Round(0), 3.0L);
  EXPECT_EQ(TxfTools(-2.5L).Round(0), -2.0L);
}

TEST_F(NumberTools, RoundingDownAndUp) {
  EXPECT_EQ(TfTools(1.29).RoundDown(1), 1.2);
  EXPECT_EQ(TfTools(-1.21).RoundDown(1), -1.3);
  EXPECT_EQ(TfTools(1.21).RoundUp(1), 1.3);
  EXPECT_EQ(TfTools(-1.29).RoundUp(1), -1.2);
  // Decimal values whose binary form lies just beside the scaled whole number.
  EXPECT_EQ(TfTools(1.1).RoundUp(2), 1.1);
  EXPECT_EQ(TfTools(0.29).RoundDown(2), 0.29);
  EXPECT_EQ(TxfTools(1.1L).RoundUp(2), TxfTools(1.1L).Round(2));
  EXPECT_FALSE(std::signbit(TfTools(-0.3).RoundUp(0)));
}

TEST_F(NumberTools, RoundingLeavesHugeAndNonFiniteValues) {
  EXPECT_EQ(TfTools(1e300).Round(12), 1e300);
  EXPECT_EQ(TfTools(-1e300).RoundUp(5), -1e300);
  EXPECT_EQ(TxfTools(1e4000L).Round(12), 1e4000L);
  EXPECT_TRUE(std::isinf(TfTools(std::numeric_limits<double>::infinity()).Round(2)));
  EXPECT_TRUE(std::isnan(TfTools(std::nan("")).Round(2)));
}

TEST(NumberToolsSettings, DisplayFollowsTheCurrentSeparator) {
  TRegionalSettingsGuard Keep{TRegionalSettings::Posix()};
  EXPECT_EQ(TfTools(3.5).ToString(0, 2), "3.5");
  EXPECT_DOUBLE_EQ(TfTools(0).FromString("3,5", 1, true).Value, 3.5);
  TRegionalSettings Odd = TRegionalSettings::Posix();
  Odd.DecimalSeparator = '\'';
  platform::SetRegionalSettings(Odd);
  EXPECT_EQ(TfTools(3.5).ToString(0, 2), "3'5");
  EXPECT_EQ(TfTools(3.5).ToDBField(0, 2), "3.5");
  EXPECT_DOUBLE_EQ(TfTools(0).FromString("3'25", 2, true).Value, 3.25);
  EXPECT_EQ(TfTools(0).FromDBField("3'25").Value, 3.25);
}
