// The system catalogs as queries read and join them, the styles of CONVERT, and LIKE under
// the server's Polish_CI_AS collation.
#include "EngineTestSupport.h"

namespace msde::engine_test {
namespace {

class EngineCatalogQueryTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    Run("use Sklep");
  }
};

TEST_F(EngineCatalogQueryTest, SystemTablesJoinAndDescribeThemselves) {
  // The eight tables of the shop have 51 columns.
  const Answer a = Run("select o.name, c.name from sysobjects o join syscolumns c on c.id = o.id where o.type = 'U'");
  EXPECT_EQ(a.Result().rows.size(), 51u);
  const Answer own = Run("select c.name from syscolumns c join sysobjects o on o.id = c.id "
                         "where o.name = 'sysobjects' order by c.colid");
  ASSERT_EQ(own.Result().rows.size(), 25u);  // sysobjects' own columns
  EXPECT_EQ(own.Text(0, 0), "name");
  EXPECT_EQ(own.Text(24, 0), "cache");
  EXPECT_EQ(Run("select name from systypes where xtype = 56").Text(0, 0), "int");
  EXPECT_EQ(Run("select count(*) from systypes").Text(0, 0), "26");
  const Answer types = Run("select c.name, t.name from syscolumns c join systypes t on t.xusertype = c.xusertype "
                           "where c.id = object_id('Kasjerzy') order by c.colid");
  EXPECT_EQ(types.Text(0, 1), "smallint");
  EXPECT_EQ(types.Text(1, 1), "nvarchar");
  EXPECT_EQ(Run("select rows, name from sysindexes where id = object_id('Towary') and indid < 2").Text(0, 0), "40");
  // master describes its own tables too.
  EXPECT_EQ(Run("select count(*) from master..syscolumns c join master..sysobjects o on o.id = c.id "
                "where o.name = 'sysdatabases' and c.name = 'cmptlevel'").Text(0, 0), "1");
}

TEST_F(EngineCatalogQueryTest, NullIfOfConstantsIsANullableColumn) {
  // A client reads a NULL of a column marked NOT NULL as 0.
  const Answer a = Run("select nullif(1, 1), nullif(1, 2)");
  EXPECT_TRUE(a.Result().columns[0].nullable);
  EXPECT_TRUE(a.IsNullAt(0, 0));
  EXPECT_EQ(a.Text(0, 1), "1");
}

TEST_F(EngineCatalogQueryTest, DateStylesOfConvert) {
  auto styled = [&](int style) {
    return Run("select convert(varchar(30), cast('2006-09-04 10:12:33.500' as datetime), " + std::to_string(style) +
               ")").Text(0, 0);
  };
  EXPECT_EQ(styled(6), "04 Sep 06");
  EXPECT_EQ(styled(106), "04 Sep 2006");
  EXPECT_EQ(styled(7), "Sep 04, 06");
  EXPECT_EQ(styled(107), "Sep 04, 2006");
  EXPECT_EQ(styled(9), "Sep  4 2006 10:12:33:500AM");
  EXPECT_EQ(styled(109), "Sep  4 2006 10:12:33:500AM");
  EXPECT_EQ(styled(13), "04 Sep 2006 10:12:33:500");
  EXPECT_EQ(styled(114), "10:12:33:500");
  EXPECT_EQ(styled(126), "2006-09-04T10:12:33.500");
  EXPECT_EQ(Run("select convert(varchar(30), cast('2006-09-04 22:00' as datetime), 126)").Text(0, 0),
            "2006-09-04T22:00:00");
  EXPECT_EQ(Run("select convert(varchar(30), getdate(), 15)").ErrorNumber(), 281);
}

TEST_F(EngineCatalogQueryTest, LikeFollowsTheCollation) {
  auto holds = [&](const std::string& condition) {
    return Run("select count(*) where " + condition).Text(0, 0) == "1";
  };
  EXPECT_TRUE(holds("N'Łódź' like N'łÓDŹ'"));     // case-insensitive
  EXPECT_FALSE(holds("N'Łódź' like 'Lodz'"));      // accent-sensitive
  EXPECT_TRUE(holds("N'Łódź' like N'[K-M]%'"));    // Ł sorts between L and M
  EXPECT_FALSE(holds("N'Łódź' like N'[A-L]%'"));
  EXPECT_TRUE(holds("'10%' like '10!%' escape '!'"));
  EXPECT_FALSE(holds("'100' like '10!%' escape '!'"));
  EXPECT_TRUE(holds("'a_b' like '%[_]%'"));
  EXPECT_EQ(Run("select count(*) where 'x' like 'x' escape 'ab'").ErrorNumber(), 506);
  EXPECT_EQ(Run("select count(*) from Towary where Nazwa like N'ż%'").Text(0, 0), "1");
  LikeRules accents;
  accents.accent_insensitive = true;
  EXPECT_TRUE(LikeMatch("Łódź", "LODZ", accents));
  EXPECT_TRUE(LikeMatch("Zażółć", "zazolc", accents));
}

}  // namespace
}  // namespace msde::engine_test
