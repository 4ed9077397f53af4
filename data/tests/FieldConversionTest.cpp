// Conversions between the storage type and the requested type, under two regional
// settings, with the error codes of the failing converters.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "data/DataError.h"
#include "data/FieldConverters.h"
#include "data/tests/DataTestSupport.h"

namespace vandrel {
namespace {

// 2024-03-05 14:07:09
constexpr TDateTime March5 = 45356.0 + (14 * 3600 + 7 * 60 + 9) / 86400.0;

class FieldConversion : public ::testing::TestWithParam<char> {
 protected:
  void SetUp() override {
    test::AddFiveFields(DS);
    DS.Open();
    DS.Append();
  }
  TMField* F(const char* Name) { return DS.FieldByName(Name); }
  char Separator() const { return GetParam(); }

  platform::TRegionalSettingsGuard Regional{test::Settings(GetParam())};
  TMDataSet DS;
};

TEST_P(FieldConversion, StringToIntegerIsLenientAndReadsHex) {
  const std::pair<const char*, int> Cases[] = {
      {"12", 12},          {"  12", 12},   {"+12", 12},  {"-12", -12},
      {"12 ", 0},          {"abc", 0},     {"", 0},      {"1.5", 0},
      {"$1F", 31},         {"-$10", -16},  {"$", 0},     {"0x10", 0},
      {"2147483647", INT_MAX}, {"-2147483648", INT_MIN}, {"2147483648", 0}, {"$80000000", 0},
  };
  for (const auto& [Text, Expected] : Cases) {
    F("S")->SetAsString(Text);
    EXPECT_EQ(F("S")->GetAsInteger(), Expected) << "'" << Text << "'";
    // The same parsing stores text into an integer field.
    F("I")->SetAsString(Text);
    EXPECT_EQ(F("I")->GetAsInteger(), Expected) << "'" << Text << "'";
  }
}

TEST_P(FieldConversion, DecimalTextFollowsTheSeparatorButSqlUsesAPoint) {
  const std::string Expected = Separator() == ',' ? "3,5" : "3.5";
  // Either separator is accepted in input.
  for (const char* Input : {"3,5", "3.5", " 3,5 "}) {
    F("F")->SetAsString(Input);
    EXPECT_DOUBLE_EQ(F("F")->GetAsFloat(), 3.5);
    EXPECT_EQ(F("F")->GetAsString(), Expected);
    EXPECT_EQ(F("F")->ToFloatSQL(0, 2), "3.5");
    F("X")->SetAsString(Input);
    EXPECT_EQ(F("X")->GetAsExtended(), 3.5L);
    EXPECT_EQ(F("X")->GetAsString(), Expected);
    EXPECT_EQ(F("X")->ToExtendedSQL(2, 4), "3.50");
  }
  // A float kept as text is written with up to 12 decimals.
  F("S")->SetAsFloat(0.1 + 0.2);
  EXPECT_EQ(F("S")->GetAsString(), Separator() == ',' ? "0,3" : "0.3");
  EXPECT_DOUBLE_EQ(F("S")->GetAsFloat(), 0.3);
  F("S")->SetAsFloat(2.0);
  EXPECT_EQ(F("S")->GetAsString(), "2");
}

// A number read from a result column: with the column's scale, or the shortest text that
// reads back to it; a number computed in memory keeps the twelve-decimal display.
TEST_P(FieldConversion, ColumnNumbersShowTheirScaleOrTheirShortestText) {
  const auto Sep = [&](std::string Text) {
    for (char& C : Text)
      if (C == '.') C = Separator();
    return Text;
  };
  EXPECT_EQ(fieldconv::ColumnFloatToString(12345678.91, 2, "n"), Sep("12345678.91"));
  EXPECT_EQ(fieldconv::ColumnFloatToString(1.5, 4, "n"), Sep("1.5000"));
  EXPECT_EQ(fieldconv::ColumnFloatToString(12345678.91, -1, "n"), Sep("12345678.91"));
  EXPECT_EQ(fieldconv::ColumnFloatToString(0.1 + 0.2, -1, "n"), Sep("0.30000000000000004"));
  EXPECT_EQ(fieldconv::ColumnFloatToString(-0.0, -1, "n"), "0");
  EXPECT_EQ(fieldconv::ColumnFloatToString(1e-7, -1, "n"), Sep("0.0000001"));
  EXPECT_EQ(fieldconv::ColumnExtendedToString(12345678901234.5678L, 4, "w"), Sep("12345678901234.5678"));
  EXPECT_EQ(fieldconv::ColumnExtendedToString(18446744073709551615.0L, 0, "b"), "18446744073709551615");
  F("F")->SetAsFloat(0.1 + 0.2);
  EXPECT_EQ(F("F")->GetAsString(), Sep("0.3"));
}

TEST_P(FieldConversion, NumbersBecomeIntegersRoundedHalfUp) {
  F("I")->SetAsFloat(2.5);
  EXPECT_EQ(F("I")->GetAsInteger(), 3);
  F("I")->SetAsFloat(-2.5);
  EXPECT_EQ(F("I")->GetAsInteger(), -2);
  F("I")->SetAsExtended(7.49L);
  EXPECT_EQ(F("I")->GetAsInteger(), 7);
  F("I")->SetAsDateTime(March5);
  EXPECT_EQ(F("I")->GetAsInteger(), 45356);  // the day number
  EXPECT_EQ(F("I")->GetAsString(), "45356");
  F("F")->SetAsFloat(-7.5);
  EXPECT_EQ(F("F")->GetAsInteger(), -7);
  F("D")->SetAsDateTime(-2.75);
  EXPECT_EQ(F("D")->GetAsInteger(), -2);  // truncated toward zero
}

TEST_P(FieldConversion, NumbersBeyondThirtyTwoBitsAreRefusedNotWrapped) {
  F("I")->SetAsInteger(5);
  EXPECT_EQ(test::CodeOf([&] { F("I")->SetAsFloat(5e9); }), 310);
  EXPECT_EQ(test::CodeOf([&] { F("I")->SetAsFloat(NAN); }), 310);
  EXPECT_EQ(test::CodeOf([&] { F("I")->SetAsExtended(-3e9L); }), 314);
  EXPECT_EQ(test::CodeOf([&] { F("I")->SetAsDateTime(3e9); }), 318);
  EXPECT_EQ(F("I")->GetAsInteger(), 5);  // a failed write leaves the value
  F("F")->SetAsFloat(2147483647.4);
  EXPECT_EQ(F("F")->GetAsInteger(), INT_MAX);
  F("F")->SetAsFloat(2147483647.5);
  EXPECT_EQ(test::CodeOf([&] { F("F")->GetAsInteger(); }), 310);
}

TEST_P(FieldConversion, FailedConversionsRaiseTheirCodeWithTheFieldName) {
  F("F")->SetAsFloat(1.25);
  try {
    F("F")->SetAsString("abc");
    FAIL() << "no error";
  } catch (const EMDataError& E) {
    EXPECT_EQ(E.Code, 302);
    EXPECT_EQ(E.Text, "F");
  }
  EXPECT_DOUBLE_EQ(F("F")->GetAsFloat(), 1.25);
  EXPECT_EQ(test::CodeOf([&] { F("X")->SetAsString("1,2,3x"); }), 303);
  EXPECT_EQ(test::CodeOf([&] { F("D")->SetAsString("32.13.2024"); }), 304);
  F("S")->SetAsString("abc");
  EXPECT_EQ(test::CodeOf([&] { F("S")->GetAsFloat(); }), 302);
  EXPECT_EQ(test::CodeOf([&] { F("S")->GetAsExtended(); }), 303);
  EXPECT_EQ(test::CodeOf([&] { F("S")->GetAsDateTime(); }), 322);
  F("D")->SetAsFloat(1e9);  // no date of the calendar
  EXPECT_EQ(test::CodeOf([&] { F("D")->GetAsString(); }), 317);
  EXPECT_EQ(test::CodeOf([&] { F("S")->SetAsDateTime(1e9); }), 321);
}

TEST_P(FieldConversion, DateTimesReadAsUserTextAndAsCompressedText) {
  F("D")->SetAsDateTime(March5);
  EXPECT_EQ(F("D")->GetAsString(), "05.03.2024 14:07:09");
  F("D")->SetNull();
  F("D")->SetAsString("05.03.2024 14:07:09");
  EXPECT_NEAR(F("D")->GetAsDateTime(), March5, 1e-9);
  EXPECT_DOUBLE_EQ(F("D")->GetAsFloat(), F("D")->GetAsDateTime());

  // Kept in string storage, a date-time is the 17-digit compressed form.
  F("S")->SetAsDateTime(March5);
  EXPECT_EQ(F("S")->GetAsString(), "20240305140709000");
  EXPECT_NEAR(F("S")->GetAsDateTime(), March5, 1e-9);
}

TEST_P(FieldConversion, NullValuesOfEachType) {
  for (const char* Name : {"S", "I", "F", "X", "D"}) {
    TMField* Field = F(Name);
    EXPECT_TRUE(Field->GetIsNull()) << Name;
    EXPECT_EQ(Field->GetAsString(), "") << Name;
    EXPECT_EQ(Field->GetAsInteger(), 0) << Name;
    EXPECT_EQ(Field->GetAsFloat(), 0.0) << Name;
    EXPECT_EQ(Field->GetAsExtended(), 0.0L) << Name;
    EXPECT_EQ(Field->GetAsDateTime(), 25569.0) << Name;  // 1970-01-01
    EXPECT_EQ(Field->ToStringSQL(-1), "null");
    EXPECT_EQ(Field->ToIntegerSQL(), "null");
    EXPECT_EQ(Field->ToFloatSQL(0, 2), "null");
    EXPECT_EQ(Field->ToExtendedSQL(0, 2), "null");
    EXPECT_EQ(Field->ToDateTimeSQL(fmtDateLN), "null");
  }
  // An empty string is a value, not null.
  F("S")->SetAsString("");
  EXPECT_FALSE(F("S")->GetIsNull());
}

TEST_P(FieldConversion, SqlLiteralsOfValues) {
  F("S")->SetAsString("O'Brien");
  EXPECT_EQ(F("S")->ToStringSQL(-1), "'O''Brien'");
  EXPECT_EQ(F("S")->ToStringSQL(3), "'O''B'");  // cut before quoting
  F("I")->SetAsInteger(-42);
  EXPECT_EQ(F("I")->ToIntegerSQL(), "-42");
  F("F")->SetAsFloat(1234.5);
  EXPECT_EQ(F("F")->ToFloatSQL(2, 4), "1234.50");
  F("D")->SetAsDateTime(March5);
  EXPECT_EQ(F("D")->ToDateTimeSQL(fmtDateLN), "'2024-03-05'");
  EXPECT_EQ(F("D")->ToDateTimeSQL(fmtDateTimeCompressed), "'20240305140709000'");
  // Values kept in another type are converted first.
  EXPECT_EQ(F("I")->ToStringSQL(-1), "'-42'");
  EXPECT_EQ(F("S")->ToIntegerSQL(), "0");
}

INSTANTIATE_TEST_SUITE_P(Separators, FieldConversion, ::testing::Values(',', '.'),
                         [](const auto& Info) { return Info.param == ',' ? "Comma" : "Point"; });

}  // namespace
}  // namespace vandrel
