// The engine's text handling: tokens and statement splitting, value conversions, datetime
// styles, and the data set files.
#include <set>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "engine/BatchTree.h"
#include "engine/Lexer.h"
#include "engine/Model.h"
#include "engine/SqlTime.h"
#include "engine/Values.h"

namespace msde {
namespace {

TEST(EngineLexer, ReadsEveryFormOfNameAndLiteral) {
  const auto tokens = Tokenize(
      "select [Sklep ]]Wschód], \"a\"\"b\", 'it''s', N'żółw', 12.50, 0x1F, @@SPID -- comment\n"
      "/* outer /* inner */ still comment */ from x");
  ASSERT_EQ(tokens.size(), 16u);
  EXPECT_EQ(tokens[1].kind, TokenKind::Bracketed);
  EXPECT_EQ(tokens[1].text, "Sklep ]Wschód");
  EXPECT_EQ(tokens[3].kind, TokenKind::Quoted);
  EXPECT_EQ(tokens[3].text, "a\"b");
  EXPECT_EQ(tokens[5].text, "it's");
  EXPECT_EQ(tokens[7].kind, TokenKind::NString);
  EXPECT_EQ(tokens[7].text, "żółw");
  EXPECT_EQ(tokens[9].text, "12.50");
  EXPECT_EQ(tokens[11].text, "0x1F");
  EXPECT_EQ(tokens[13].kind, TokenKind::Variable);
  EXPECT_EQ(tokens[14].line, 2);
  EXPECT_TRUE(tokens[15].IsWord("X"));
}

TEST(EngineLexer, UnclosedQuoteAndCommentAreReported) {
  try {
    Tokenize("select 'abc");
    FAIL();
  } catch (const LexError& e) {
    EXPECT_TRUE(e.unclosed_quote);
    EXPECT_EQ(e.near, "abc");
  }
  EXPECT_THROW(Tokenize("select [abc"), LexError);
  EXPECT_THROW(Tokenize("select 1 /* open"), LexError);
}

TEST(EngineLexer, SplitsStatementsAsTheServerDoes) {
  auto count = [](const std::string& sql) { return SplitStatements(Tokenize(sql)).size(); };
  EXPECT_EQ(count("use master select 1"), 2u);
  EXPECT_EQ(count("use master; select 1;"), 2u);
  EXPECT_EQ(count("ALTER DATABASE Sklep SET SINGLE_USER WITH ROLLBACK IMMEDIATE"), 1u);
  EXPECT_EQ(count("ALTER DATABASE Sklep SET OFFLINE SET NOCOUNT ON"), 2u);
  EXPECT_EQ(count("select dbid from sysprocesses where dbid in (select 5) select 2"), 2u);
  EXPECT_EQ(count("sp_helpuser exec sp_helplogins"), 2u);
  // Transactions, and IF with one statement a branch, as drivers send them.
  EXPECT_EQ(count("begin tran insert t values (1) commit"), 3u);
  EXPECT_EQ(count("insert t select a from u select @@rowcount"), 2u);
  EXPECT_EQ(count("insert t values (1) select @@error"), 2u);
  EXPECT_EQ(count("IF @@TRANCOUNT > 0 COMMIT BEGIN TRANSACTION"), 2u);
  EXPECT_EQ(count("if (select 1) = 0 update t set a = 1 else delete t select 1"), 2u);
  EXPECT_EQ(count("ALTER DATABASE Sklep SET OFFLINE WITH ROLLBACK IMMEDIATE rollback"), 2u);
  EXPECT_EQ(count("  -- nothing\n"), 0u);
}

TEST(EngineValues, DecimalsRoundHalfAwayFromZero) {
  EXPECT_EQ(NormalizeDecimal("12.345", 2), "12.35");
  EXPECT_EQ(NormalizeDecimal("-12.345", 2), "-12.35");
  EXPECT_EQ(NormalizeDecimal("9.999", 2), "10.00");
  EXPECT_EQ(NormalizeDecimal(".5", 0), "1");
  EXPECT_EQ(NormalizeDecimal("-0.001", 2), "0.00");
  EXPECT_EQ(NormalizeDecimal("1e3", 1), "1000.0");
  EXPECT_FALSE(NormalizeDecimal("12,5", 2));
  EXPECT_FALSE(NormalizeDecimal("", 2));
}

TEST(EngineValues, ComparisonAndLikeIgnoreCaseAndTrailingBlanks) {
  EXPECT_EQ(CompareValues(std::string("Łódź  "), std::string("łÓDŹ")), 0);
  EXPECT_LT(CompareValues(std::string("abc"), std::string("abd")), 0);
  EXPECT_EQ(CompareValues(int64_t{5}, std::string("5")), 0);
  // Polish letters sort right after their base letters.
  EXPECT_LT(CompareValues(std::string("Lublin"), std::string("Łódź")), 0);
  EXPECT_LT(CompareValues(std::string("Łódź"), std::string("Mława")), 0);
  EXPECT_LT(CompareValues(std::string("Zebra"), std::string("żaba")), 0);
  EXPECT_LT(CompareValues(std::string("A-1"), std::string("a1")), 0);
  EXPECT_TRUE(LikeMatch("Sklep Wschód", "sklep%ÓD"));
  EXPECT_TRUE(LikeMatch("Towary", "T_war[xyz]"));
  EXPECT_TRUE(LikeMatch("Towary", "[^a]owary"));
  EXPECT_FALSE(LikeMatch("Towary", "Towar"));
  EXPECT_TRUE(LikeMatch("Kod   ", "Kod"));
  EXPECT_EQ(UpperText("zażółć gęślą jaźń"), "ZAŻÓŁĆ GĘŚLĄ JAŹŃ");
}

TEST(EngineDates, ParseAndConvertStyles) {
  const auto d = ParseDateTime("2006-09-04 10:12:33.500");
  ASSERT_TRUE(d);
  EXPECT_EQ(DateTimeText(*d), "2006-09-04 10:12:33.500");
  EXPECT_EQ(FormatDateTime(*d, 2), "06.09.04");
  EXPECT_EQ(FormatDateTime(*d, 0), "Sep  4 2006 10:12AM");
  EXPECT_EQ(FormatDateTime(*d, 104), "04.09.2006");
  EXPECT_EQ(FormatDateTime(*d, 120), "2006-09-04 10:12:33");
  EXPECT_FALSE(FormatDateTime(*d, 99));
  EXPECT_EQ(ParseDateTime("1900-01-01")->days, 0);
  EXPECT_EQ(ParseDateTime("1899-12-31 00:00")->days, -1);
  EXPECT_FALSE(ParseDateTime("1752-12-31"));
  EXPECT_FALSE(ParseDateTime("2007-02-29"));
  EXPECT_FALSE(ParseDateTime("2007-13-01"));
  EXPECT_TRUE(ParseDateTime("20080229"));
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(EngineDataSet, DemoLoadsWithItsPromisedContents) {
  const Model model = LoadModel(std::string(MSDE_DATA_DIR) + "/demo.json");
  Model m = model;
  ASSERT_NE(m.FindDatabase("Sklep Wschód"), nullptr);
  EXPECT_TRUE(m.FindDatabase("Archiwum2006")->Has(DbStatus::Offline));
  EXPECT_FALSE(m.FindDatabase("SklepZachod")->damage.empty());
  Database& sklep = *m.FindDatabase("sklep");
  const Table* settings = sklep.FindTable("dbo", "Ustawienia");
  ASSERT_NE(settings, nullptr);
  bool long_value = false;
  for (const Row& r : settings->rows) long_value = long_value || Utf8Length(std::get<std::string>(r[1])) == 300;
  EXPECT_TRUE(long_value);
  EXPECT_EQ(sklep.FindTable("", "Zmiany")->owner, "kasa1");
  // char(13) values are held padded, as SQL Server keeps them.
  EXPECT_EQ(Utf8Length(std::get<std::string>(sklep.FindTable("dbo", "Towary")->rows[0][1])), 13u);
  EXPECT_EQ(std::get<std::string>(*sklep.PropertyEx("Recovery")), "SIMPLE");
  // What a look after the site's health should find.
  const Database& centre = *m.FindDatabase("SklepCentrum");
  const int64_t data_bytes = centre.files.at(0).size * 8192;
  EXPECT_GT(data_bytes, 1900LL * 1048576);
  EXPECT_LT(data_bytes, 2048LL * 1048576);
  Database& books = *m.FindDatabase("Ksiegowosc");
  EXPECT_EQ(std::get<std::string>(*books.PropertyEx("Recovery")), "FULL");
  EXPECT_GE(books.files.at(1).size, 4 * books.files.at(0).size);
  ASSERT_NE(books.FindUser("biuro"), nullptr);
  EXPECT_EQ(books.FindUser("biuro")->login, "") << "its login is gone";
  std::set<std::string> backed_up;
  for (const BackupRecord& b : m.backups) {
    EXPECT_EQ(b.type, 'D') << "no log backup anywhere";
    backed_up.insert(b.database);
  }
  EXPECT_TRUE(backed_up.count("Ksiegowosc"));
  EXPECT_FALSE(backed_up.count("Sklep Wschód"));
}

TEST(EngineDataSet, DatabaseFileRoundTrips) {
  Database original = DatabaseFromJson(ReadAll(std::string(MSDE_DATA_DIR) + "/files/Sklep2.mdf"));
  EXPECT_EQ(original.name, "Sklep2");
  Database copy = DatabaseFromJson(DatabaseToJson(original));
  ASSERT_EQ(copy.tables.size(), original.tables.size());
  for (size_t i = 0; i < copy.tables.size(); ++i) {
    EXPECT_EQ(copy.tables[i].id, original.tables[i].id);
    EXPECT_EQ(copy.tables[i].owner, "sklep2");
    EXPECT_EQ(copy.tables[i].rows, original.tables[i].rows);
  }
  EXPECT_EQ(copy.status, original.status);
  EXPECT_EQ(copy.users.size(), original.users.size());
  EXPECT_EQ(copy.FindUser("sklep2")->sid, original.FindUser("sklep2")->sid);
}

TEST(EngineDataSet, BadFilesNameThePlaceOfTheFault) {
  auto message = [](const std::string& text) {
    try {
      DatabaseFromJson(text);
    } catch (const std::runtime_error& e) {
      return std::string(e.what());
    }
    return std::string("<loaded>");
  };
  EXPECT_NE(message("{ nie json").find("database file"), std::string::npos);
  const std::string short_row = message(
      R"({"name":"X","tables":[{"name":"T","columns":[{"name":"a","type":"int"},{"name":"b","type":"int"}],"rows":[[1,2],[3]]}]})");
  EXPECT_NE(short_row.find("row 2"), std::string::npos) << short_row;
  const std::string bad_type = message(R"({"name":"X","tables":[{"name":"T","columns":[{"name":"a","type":"blob"}]}]})");
  EXPECT_NE(bad_type.find("blob"), std::string::npos);
  const std::string bad_date = message(
      R"({"name":"X","tables":[{"name":"T","columns":[{"name":"a","type":"datetime"}],"rows":[["2007-02-30"]]}]})");
  EXPECT_NE(bad_date.find("needs a date"), std::string::npos);
  EXPECT_THROW(LoadModel("/nonexistent/demo.json"), std::runtime_error);
}

}  // namespace
}  // namespace msde
