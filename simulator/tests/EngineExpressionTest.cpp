// Expressions and clauses of SELECT: conversions, NULL logic, functions, ordering and
// aggregates, with the errors SQL Server gives for each misuse.
#include "EngineTestSupport.h"

namespace msde::engine_test {
namespace {

using ::testing::ElementsAre;

TEST_F(EngineTest, ConversionsFollowTheTargetType) {
  EXPECT_EQ(Run("select CONVERT(char(5), 'ab') + '|'").Text(0, 0), "ab   |");
  EXPECT_EQ(Run("select CONVERT(varchar(3), 'abcdef')").Text(0, 0), "abc");
  EXPECT_EQ(Run("select CONVERT(varchar(2), 12345)").Text(0, 0), "*");
  EXPECT_EQ(Run("select CONVERT(int, 12.7), CAST(-12.7 AS int)").Text(0, 1), "-12");
  EXPECT_EQ(Run("select CONVERT(numeric(5,1), '12.345')").Text(0, 0), "12.3");
  EXPECT_EQ(Run("select CONVERT(varchar(10), 1.5E0)").Text(0, 0), "1.5");
  EXPECT_EQ(Run("select CONVERT(varchar(30), CONVERT(datetime, '2007-03-14 09:05:00'), 120)").Text(0, 0),
            "2007-03-14 09:05:00");
  EXPECT_EQ(Run("select CONVERT(varchar(8), CONVERT(datetime, '20070314') + 1, 112)").Text(0, 0), "20070315");
  const Answer cast = Run("select CAST('x' AS sysname), CAST(1 AS varchar)");
  EXPECT_EQ(cast.Result().columns[0].type, SqlType::NVarChar);
  EXPECT_EQ(cast.Result().columns[0].length, 128);
  EXPECT_EQ(cast.Result().columns[1].length, 30);
}

// Binary constants, parameters and system columns (sids) are bytes, not numbers or text.
TEST_F(EngineTest, BinaryValuesAreBytes) {
  const Answer constant = Run("select 0x0102FF, 0xABC, DATALENGTH(0x0102FF)");
  EXPECT_EQ(constant.Result().columns[0].type, SqlType::VarBinary);
  EXPECT_EQ(constant.Result().columns[0].length, 3);
  EXPECT_EQ(constant.Text(0, 0), std::string("\x01\x02\xFF", 3));
  EXPECT_EQ(HexText(constant.Text(0, 1)), "0x0ABC");
  EXPECT_EQ(constant.Text(0, 2), "3");
  EXPECT_EQ(HexText(Run("select 0x01 + 0x0203").Text(0, 0)), "0x010203");
  EXPECT_EQ(Run("select CONVERT(int, 0x0102FF), CONVERT(smallint, 0xFFFF)").Text(0, 1), "-1");
  EXPECT_EQ(Run("select CONVERT(int, 0x0102FF)").Text(0, 0), "66303");
  EXPECT_EQ(HexText(Run("select CONVERT(varbinary(8), 258), CAST('AB' AS binary(3))").Text(0, 1)), "0x414200");
  EXPECT_EQ(HexText(Run("select CONVERT(varbinary(8), 258)").Text(0, 0)), "0x00000102");
  EXPECT_EQ(Run("select 1 where 0x0A = 0x0a and 0x0A < 0xFF and 0x0A = 10").Result().rows.size(), 1u);
  EXPECT_EQ(Run("select 1 where 0x41 = 'a'").Result().rows.size(), 0u);  // bytes, not collated text

  const Answer logins = Run("select sid from master..syslogins where name = 'sa'");
  EXPECT_EQ(logins.Result().columns[0].type, SqlType::VarBinary);
  EXPECT_EQ(logins.Result().columns[0].length, 85);
  const Answer processes = Run("select sid, waittype from master..sysprocesses where spid = @@SPID");
  EXPECT_EQ(processes.Result().columns[0].type, SqlType::Binary);
  EXPECT_EQ(processes.Text(0, 0), logins.Text(0, 0));  // the same bytes
  EXPECT_EQ(Run("select name from master..syslogins where sid = 0x01").Text(0, 0), "sa");
}

TEST_F(EngineTest, ConversionFailuresCarryServerMessages) {
  const Answer text = Run("select CONVERT(int, '12x')");
  EXPECT_EQ(text.ErrorNumber(), 245);
  EXPECT_EQ(text.ErrorText(), "Syntax error converting the varchar value '12x' to a column of data type int.");
  EXPECT_EQ(Run("select CONVERT(tinyint, 300)").ErrorNumber(), 8115);
  EXPECT_EQ(Run("select CONVERT(datetime, '2007-02-30')").ErrorNumber(), 241);
  EXPECT_EQ(Run("select CONVERT(varchar(8), GETDATE(), 99)").ErrorNumber(), 281);
  EXPECT_EQ(Run("select CONVERT(numeric(5,2), 'abc')").ErrorNumber(), 8114);
  EXPECT_EQ(Run("select CAST(1 AS blob)").ErrorNumber(), 243);
}

TEST_F(EngineTest, NullsFollowThreeValuedLogic) {
  auto rows = [&](const std::string& condition) { return Run("select 1 where " + condition).Result().rows.size(); };
  EXPECT_EQ(rows("NULL = NULL"), 0u);
  EXPECT_EQ(rows("NOT (NULL = 1)"), 0u);
  EXPECT_EQ(rows("1 NOT IN (2, NULL)"), 0u);
  EXPECT_EQ(rows("1 IN (1, NULL)"), 1u);
  EXPECT_EQ(rows("NULL IS NULL AND 1 IS NOT NULL"), 1u);
  EXPECT_EQ(rows("NULL = 1 OR 1 = 1"), 1u);
  EXPECT_EQ(rows("2 BETWEEN 1 AND 3"), 1u);
  EXPECT_EQ(rows("'b' NOT BETWEEN 'a' AND 'c'"), 0u);
  EXPECT_EQ(rows("'abc' NOT LIKE 'a%'"), 0u);
  EXPECT_EQ(rows("1 <> 2 AND 2 !< 2 AND 1 != 1"), 0u);
  EXPECT_TRUE(Run("select 'a' + NULL, NULL + 1").IsNullAt(0, 0));
  EXPECT_EQ(Run("select COALESCE(NULL, NULL, 'c'), NULLIF(1, 1)").Text(0, 0), "c");
  EXPECT_TRUE(Run("select NULLIF(1, 1)").IsNullAt(0, 0));
}

TEST_F(EngineTest, StringFunctionsCountCharactersNotBytes) {
  const Answer a = Run(
      "select SUBSTRING(N'Żółw', 2, 2), LEFT('Łódź', 2), RIGHT('Łódź', 2), LEN('ab  '), "
      "REPLACE('Ala ma kota', 'A', 'E'), CHARINDEX('ó', 'Łódź'), UPPER(N'żółw'), LOWER('ABC'), "
      "LTRIM('  x'), RTRIM('x  ') + '|', REPLICATE('ab', 3), DATALENGTH('abc')");
  EXPECT_EQ(a.Text(0, 0), "ół");
  EXPECT_EQ(a.Text(0, 1), "Łó");
  EXPECT_EQ(a.Text(0, 2), "dź");
  EXPECT_EQ(a.Text(0, 3), "2");
  EXPECT_EQ(a.Text(0, 4), "ElE mE kotE");  // a case-insensitive collation replaces both
  EXPECT_EQ(a.Text(0, 5), "2");
  EXPECT_EQ(a.Text(0, 6), "ŻÓŁW");
  EXPECT_EQ(a.Text(0, 7), "abc");
  EXPECT_EQ(a.Text(0, 8), "x");
  EXPECT_EQ(a.Text(0, 9), "x|");
  EXPECT_EQ(a.Text(0, 10), "ababab");
  EXPECT_EQ(a.Text(0, 11), "3");
  // Polish letters change case both ways; DATALENGTH counts bytes: two a character of
  // Unicode text, one of text in the server's single-byte code page.
  const Answer polish = Run("select LOWER(N'ŻÓŁW ĄĆĘŃŚŹ'), UPPER('gęślą jaźń'), DATALENGTH(N'Łódź'), "
                            "DATALENGTH('Łódź'), DATALENGTH(Nazwa), DATALENGTH(IdKontrahenta) "
                            "from Sklep.dbo.Kontrahenci where IdKontrahenta = 2");
  EXPECT_EQ(polish.Text(0, 0), "żółw ąćęńśź");
  EXPECT_EQ(polish.Text(0, 1), "GĘŚLĄ JAŹŃ");
  EXPECT_EQ(polish.Text(0, 2), "8");
  EXPECT_EQ(polish.Text(0, 3), "4");
  EXPECT_EQ(polish.Text(0, 4), "38");  // N'Piekarnia Kłos s.c.', nineteen characters
  EXPECT_EQ(polish.Text(0, 5), "4");
  EXPECT_EQ(Run("select SUBSTRING('abc', 1, -1)").ErrorNumber(), 536);
  EXPECT_EQ(Run("select DB_NAME(1, 2)").ErrorNumber(), 174);
}

TEST_F(EngineTest, NamesLongerThan128CharactersFailTheBatch) {
  const std::string name(129, 'n');
  const Answer a = Run("select 1 select * from [" + name + "]");
  EXPECT_TRUE(a.results.empty());
  EXPECT_EQ(a.ErrorNumber(), 103);
  EXPECT_EQ(a.errors.at(0).severity, 15);
  EXPECT_EQ(a.ErrorText(), "The identifier that starts with '" + name.substr(0, 128) + "' is too long. Maximum length is 128.");
  EXPECT_EQ(Run("select 1 as [" + name.substr(0, 128) + "]").Text(0, 0), "1");
}

TEST_F(EngineTest, SessionAndServerFunctions) {
  const Answer a = Run("select @@SPID, @@VERSION, @@SERVICENAME, USER_NAME(), SUSER_SNAME(), HOST_NAME(), APP_NAME()");
  EXPECT_EQ(a.Text(0, 0), std::to_string(sa_->spid));
  EXPECT_NE(a.Text(0, 1).find("Desktop Engine"), std::string::npos);
  EXPECT_EQ(a.Text(0, 2), "MSSQLSERVER");
  EXPECT_EQ(a.Text(0, 3), "dbo");
  EXPECT_EQ(a.Text(0, 4), "sa");
  EXPECT_EQ(a.Text(0, 5), "KASA1");
  EXPECT_EQ(a.Text(0, 6), "Vandrel");
  EXPECT_EQ(Run("select @@nieznana").ErrorNumber(), 137);
  auto cashier = Connect("kasa1", "kasa1");
  const Answer c = Run(*cashier, "select USER_NAME(), IS_SRVROLEMEMBER('sysadmin'), DB_NAME()");
  EXPECT_EQ(c.Text(0, 0), "kasa1");
  EXPECT_EQ(c.Text(0, 1), "0");
  EXPECT_EQ(c.Text(0, 2), "Sklep");
  EXPECT_EQ(Run("select IS_SRVROLEMEMBER('sysadmin'), IS_SRVROLEMEMBER('nic')").Text(0, 0), "1");
  EXPECT_EQ(Run("select DATABASEPROPERTY('Archiwum2006', 'IsOffline')").Text(0, 0), "1");
  EXPECT_EQ(Run("select OBJECT_ID('Sklep.dbo.Towary'), OBJECT_ID('[Sklep]..[Towary]')").Text(0, 1), "21575115");
  EXPECT_TRUE(Run("select OBJECT_ID('nic')").IsNullAt(0, 0));
}

TEST_F(EngineTest, AliasesOrderingTopAndDistinct) {
  EXPECT_THAT(Run("select x = 1, 2 AS 'y', 3 z, 4 [w v]").ColumnNames(), ElementsAre("x", "y", "z", "w v"));
  Run("use Sklep");
  const Answer phones = Run("select IdKontrahenta k, Telefon from Kontrahenci order by Telefon, k");
  ASSERT_EQ(phones.Result().rows.size(), 15u);
  EXPECT_EQ(phones.Text(0, 0), "4");  // NULLs sort first
  EXPECT_EQ(phones.Text(1, 0), "8");
  EXPECT_EQ(phones.Text(2, 0), "12");
  const Answer ordinal = Run("select Nazwa, IdTowaru from Towary order by 2 desc");
  EXPECT_EQ(ordinal.Text(0, 1), "40");
  EXPECT_EQ(Run("select name from master..sysdatabases order by 3").ErrorNumber(), 108);
  const Answer none = Run("select top 0 * from Towary");
  EXPECT_EQ(none.Result().columns.size(), 10u);
  EXPECT_TRUE(none.Result().rows.empty());
  EXPECT_EQ(Run("select top (2) Nazwa from Towary order by Nazwa").Text(1, 0), "Chleb pszenny 500 g");
  EXPECT_EQ(Run("select distinct StawkaVat from Towary").Result().rows.size(), 3u);
  EXPECT_EQ(Run("select q.Nazwa from Towary t").ErrorNumber(), 107);
  EXPECT_EQ(Run("select t.* from Towary t where t.IdTowaru = 1").Result().columns.size(), 10u);
  EXPECT_EQ(Run("select count(*) from Towary (nolock)").Text(0, 0), "40");
  EXPECT_EQ(Run("select count(*) from Towary WITH (NOLOCK)").Text(0, 0), "40");
  EXPECT_EQ(Run("select *").ErrorNumber(), 263);
  EXPECT_EQ(Run("select * from INNY.Sklep.dbo.Towary").ErrorNumber(), 7202);
}

TEST_F(EngineTest, WholeTableAggregates) {
  Run("use Sklep");
  const Answer a = Run("select count(*), count(Telefon), min(t.Cena) from Towary t, Kontrahenci");
  EXPECT_EQ(a.Text(0, 0), "600");  // 40 goods by 15 customers
  const Answer b = Run("select count(*), min(Cena), max(Nazwa), avg(IdTowaru) from Towary where Aktywny = 1");
  EXPECT_EQ(b.Text(0, 0), "38");
  EXPECT_EQ(b.Text(0, 1), "0.35");
  EXPECT_EQ(b.Result().columns[1].type, SqlType::Numeric);
  EXPECT_EQ(b.Text(0, 2), "Żurek w butelce 0,5 l");
  EXPECT_EQ(b.Text(0, 3), "20");
  const Answer empty = Run("select count(*), max(Cena) from Towary where 1 = 0");
  EXPECT_EQ(empty.Text(0, 0), "0");
  EXPECT_TRUE(empty.IsNullAt(0, 1));
  EXPECT_EQ(Run("select Nazwa, count(*) from Towary").ErrorNumber(), 8118);
  EXPECT_EQ(Run("select sum(Nazwa) from Towary").ErrorNumber(), 409);
}

}  // namespace
}  // namespace msde::engine_test
