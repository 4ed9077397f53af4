// smalldatetime (a datetime to the minute, 1900-01-01 to 2079-06-06) and what
// SQL_VARIANT_PROPERTY says of a value, as Books Online describes them.
#include "EngineTestSupport.h"

namespace msde::engine_test {
namespace {


TEST_F(EngineTest, SmallDateTimeRoundsToTheMinuteWithinItsRange) {
  const Answer a = Run("select cast('2000-05-08 12:35:29.998' as smalldatetime), "
                       "cast('2000-05-08 12:35:29.999' as smalldatetime), "
                       "convert(varchar(16), cast('2026-12-10 10:15:29' as smalldatetime), 120), "
                       "convert(varchar(16), cast('2026-12-10 10:15:30' as smalldatetime), 120)");
  ASSERT_TRUE(a.errors.empty()) << a.ErrorText();
  EXPECT_EQ(a.Result().columns[0].type, SqlType::SmallDateTime);
  EXPECT_EQ(std::get<SqlDateTime>(a.Result().rows[0][0]).ticks, (12 * 60 + 35) * 60 * 300u);
  EXPECT_EQ(std::get<SqlDateTime>(a.Result().rows[0][1]).ticks, (12 * 60 + 36) * 60 * 300u);
  EXPECT_EQ(a.Text(0, 2), "2026-12-10 10:15");
  EXPECT_EQ(a.Text(0, 3), "2026-12-10 10:16");

  // A variable of the type: the last minute of a day rounds into the next one.
  const Answer v = Run("declare @d smalldatetime set @d = '2026-12-10 23:59:45' select convert(varchar(19), @d, 120)");
  EXPECT_EQ(v.Text(0, 0), "2026-12-11 00:00:00");

  EXPECT_TRUE(Run("select cast('2079-06-06 23:59' as smalldatetime)").errors.empty());
  for (const char* outside : {"2079-06-07", "1899-12-31"}) {
    const Answer out = Run(std::string("select cast('") + outside + "' as smalldatetime)");
    EXPECT_EQ(out.ErrorNumber(), 296) << outside;
  }
  EXPECT_EQ(Run("select cast(cast('1753-01-01' as datetime) as smalldatetime)").ErrorNumber(), 298);
  EXPECT_EQ(Run("select cast('jutro' as smalldatetime)").ErrorNumber(), 295);
}

TEST_F(EngineTest, VariantPropertiesDescribeTheBaseType) {
  const Answer a = Run("select SQL_VARIANT_PROPERTY(cast(5 as sql_variant), 'BaseType'), "
                       "SQL_VARIANT_PROPERTY(cast(5 as sql_variant), 'Precision'), "
                       "SQL_VARIANT_PROPERTY(cast(5 as sql_variant), 'MaxLength'), "
                       "SQL_VARIANT_PROPERTY(cast('abc' as varchar(10)), 'BaseType'), "
                       "SQL_VARIANT_PROPERTY(cast('abc' as varchar(10)), 'MaxLength'), "
                       "SQL_VARIANT_PROPERTY(cast('abc' as varchar(10)), 'Collation'), "
                       "SQL_VARIANT_PROPERTY(cast(12.345 as numeric(8,3)), 'Precision'), "
                       "SQL_VARIANT_PROPERTY(cast(12.345 as numeric(8,3)), 'Scale'), "
                       "SQL_VARIANT_PROPERTY(getdate(), 'Scale'), "
                       "SQL_VARIANT_PROPERTY(5, 'Collation'), "
                       "SQL_VARIANT_PROPERTY(cast('2026-12-10' as smalldatetime), 'BaseType')");
  ASSERT_TRUE(a.errors.empty()) << a.ErrorText();
  const std::vector<std::string> want{"int", "10", "4", "varchar", "10", "Polish_CI_AS", "8", "3", "3", "", "smalldatetime"};
  for (size_t i = 0; i < want.size(); ++i) EXPECT_EQ(a.Text(0, i), want[i]) << "column " << i;
  EXPECT_TRUE(a.IsNullAt(0, 9));
  EXPECT_EQ(Run("declare @v sql_variant set @v = 7 select SQL_VARIANT_PROPERTY(@v, 'BaseType')").Text(0, 0), "int");
}

}  // namespace
}  // namespace msde::engine_test
