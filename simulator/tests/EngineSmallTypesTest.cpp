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

// A sql_variant variable keeps the type of the value put into it, not a text of it.
TEST_F(EngineTest, VariantVariablesKeepTheBaseTypeOfTheirValue) {
  const Answer a = Run("declare @d sql_variant, @n sql_variant, @t sql_variant "
                       "set @d = cast(12.5 as decimal(5,2)) set @n = N'abc' "
                       "select @t = cast('2026-12-10 10:15' as smalldatetime) "
                       "select SQL_VARIANT_PROPERTY(@d, 'BaseType'), SQL_VARIANT_PROPERTY(@d, 'Precision'), "
                       "SQL_VARIANT_PROPERTY(@d, 'Scale'), SQL_VARIANT_PROPERTY(@d, 'MaxLength'), "
                       "SQL_VARIANT_PROPERTY(@n, 'BaseType'), SQL_VARIANT_PROPERTY(@n, 'MaxLength'), "
                       "SQL_VARIANT_PROPERTY(@t, 'BaseType'), cast(@d as decimal(6,3))");
  ASSERT_TRUE(a.errors.empty()) << a.ErrorText();
  const std::vector<std::string> want{"decimal", "5", "2", "5", "nvarchar", "6", "smalldatetime", "12.500"};
  for (size_t i = 0; i < want.size(); ++i) EXPECT_EQ(a.Text(0, i), want[i]) << "column " << i;
  EXPECT_TRUE(Run("declare @v sql_variant set @v = 1 set @v = null select @v").IsNullAt(0, 0));
}

// The value put into a variant decides its base type and properties.
TEST_F(EngineTest, VariantKeepsTheBaseTypeOfItsValue) {
  struct Case {
    const char* value;
    const char* base;
    const char* precision;
    const char* scale;
    const char* max_length;
  };
  const Case cases[] = {
      {"cast(5 as smallint)", "smallint", "5", "0", "2"},
      {"cast(5 as tinyint)", "tinyint", "3", "0", "1"},
      {"cast(5 as bigint)", "bigint", "19", "0", "8"},
      {"cast(1 as bit)", "bit", "1", "0", "1"},
      {"cast(2.5 as real)", "real", "24", "0", "4"},
      {"cast(2.5 as float)", "float", "53", "0", "8"},
      {"cast(2.5 as money)", "money", "19", "4", "8"},
      {"cast(12.345 as decimal(8,3))", "decimal", "8", "3", "5"},
      {"'abc'", "varchar", "0", "0", "3"},
      {"N'abc'", "nvarchar", "0", "0", "6"},
      {"cast('ab' as char(10))", "char", "0", "0", "10"},
      {"cast('ab' as nchar(10))", "nchar", "0", "0", "20"},
      {"cast(0x0102 as varbinary(20))", "varbinary", "0", "0", "20"},
      {"cast('2026-12-10' as datetime)", "datetime", "23", "3", "8"},
      {"cast('2026-12-10' as smalldatetime)", "smalldatetime", "16", "0", "4"},
      {"cast('6F9619FF-8B86-D011-B42D-00C04FC964FF' as uniqueidentifier)", "uniqueidentifier", "0", "0", "16"},
  };
  for (const Case& c : cases) {
    const std::string v = std::string("cast(") + c.value + " as sql_variant)";
    const Answer a = Run("select SQL_VARIANT_PROPERTY(" + v + ", 'BaseType'), SQL_VARIANT_PROPERTY(" + v +
                         ", 'Precision'), SQL_VARIANT_PROPERTY(" + v + ", 'Scale'), SQL_VARIANT_PROPERTY(" + v +
                         ", 'MaxLength')");
    ASSERT_TRUE(a.errors.empty()) << c.value << ": " << a.ErrorText();
    EXPECT_EQ(a.Text(0, 0), c.base) << c.value;
    EXPECT_EQ(a.Text(0, 1), c.precision) << c.value;
    EXPECT_EQ(a.Text(0, 2), c.scale) << c.value;
    EXPECT_EQ(a.Text(0, 3), c.max_length) << c.value;
  }
  // A variant of a variant keeps the first base; a value of another form than the column's
  // base (a UNION of bases) shows its own.
  EXPECT_EQ(Run("select SQL_VARIANT_PROPERTY(cast(cast(cast(5 as smallint) as sql_variant) as sql_variant), "
                "'BaseType')").Text(0, 0), "smallint");
  const Answer mixed = Run("select SQL_VARIANT_PROPERTY(v, 'BaseType') from (select cast(1 as sql_variant) v "
                           "union all select cast(N'x' as sql_variant)) d order by 1");
  ASSERT_TRUE(mixed.errors.empty()) << mixed.ErrorText();
  EXPECT_EQ(mixed.Text(0, 0), "int");
  EXPECT_EQ(mixed.Text(1, 0), "nvarchar");
}

}  // namespace
}  // namespace msde::engine_test
