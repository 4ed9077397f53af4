// The query window's text rules without a server: batches split on GO lines, the encodings
// of script files read and written back, the history kept without passwords, the program
// name of the window's session, the messages as the pane lists them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "app/query/BatchSplitter.h"
#include "app/query/ProgramName.h"
#include "app/query/QueryHistory.h"
#include "app/query/ScriptEncoding.h"
#include "app/query/ServerMessages.h"
#include "testkit/TempDir.h"

namespace vandrel::app {
namespace {

TEST(BatchSplitterTest, GoLinesEndBatchesAndCountRepeats) {
  const auto batches = SplitBatches("select 1\nGO\n\nselect 2\n  go 3  \nprint 'x'\ngo -- koniec\n");
  ASSERT_EQ(batches.size(), 3u);
  EXPECT_EQ(batches[0].Text, "select 1");
  EXPECT_EQ(batches[0].FirstLine, 0);
  EXPECT_EQ(batches[1].Text, "\nselect 2");
  EXPECT_EQ(batches[1].FirstLine, 2);  // the blank line is the batch's first: the server counts it
  EXPECT_EQ(batches[1].Repeat, 3);
  EXPECT_EQ(batches[2].Text, "print 'x'");
  EXPECT_EQ(batches[2].FirstLine, 5);
  EXPECT_EQ(batches[2].Repeat, 1);
}

TEST(BatchSplitterTest, OnlyAWholeGoLineOutsideCommentsSplits) {
  // GOTO, "GO x", GO inside a block comment and a text without GO stay one batch.
  const auto batches = SplitBatches("GOTO etykieta\nGO x\n/* komentarz\nGO\n*/ select '/*'\nGO\n  \nGO\n");
  ASSERT_EQ(batches.size(), 1u);
  EXPECT_EQ(batches[0].Text, "GOTO etykieta\nGO x\n/* komentarz\nGO\n*/ select '/*'");
  EXPECT_TRUE(SplitBatches("GO\n\nGO").empty());
  const auto one = SplitBatches("select 1");
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0].Repeat, 1);
  // "GO 0" is no count: the line is text of the batch, as the server then says.
  EXPECT_EQ(SplitBatches("select 1\nGO 0").size(), 1u);
}

TEST(ScriptEncodingTest, Windows1250FileComesBackByteForByte) {
  // "Zażółć gęślą jaźń" and "Łódź" in Windows-1250 with CRLF ends: not valid UTF-8.
  const std::string bytes = "-- Za\xBF\xF3\xB3\xE6 g\xEA\x9Cl\xB9 ja\x9F\xF1\r\nselect '\xA3\xF3\x64\x9F'\r\n";
  const TScriptText script = DecodeScript(bytes);
  EXPECT_EQ(script.Encoding, TScriptEncoding::Windows1250);
  EXPECT_TRUE(script.CrLf);
  EXPECT_EQ(script.Text, "-- Zażółć gęślą jaźń\nselect 'Łódź'\n");
  EXPECT_EQ(EncodeScript(script), bytes);
  // The bytes the code page leaves undefined come back as they were.
  EXPECT_EQ(EncodeScript(DecodeScript("a\x81\x98\xE6")), "a\x81\x98\xE6");
}

TEST(ScriptEncodingTest, UnicodeFilesKeepTheirMarkAndLineEnds) {
  const std::string withBom = "\xEF\xBB\xBFselect 'żółw'\n";
  EXPECT_EQ(DecodeScript(withBom).Encoding, TScriptEncoding::Utf8Bom);
  EXPECT_EQ(DecodeScript(withBom).Text, "select 'żółw'\n");
  EXPECT_EQ(EncodeScript(DecodeScript(withBom)), withBom);

  const std::string plain = "select 'ą'\r\nselect 2\n";  // mixed ends stay as they are
  EXPECT_EQ(DecodeScript(plain).Encoding, TScriptEncoding::Utf8);
  EXPECT_FALSE(DecodeScript(plain).CrLf);
  EXPECT_EQ(EncodeScript(DecodeScript(plain)), plain);

  const std::string utf16(
      "\xFF\xFE"
      "s\0e\0l\0 \0\x05\x01\r\0\n\0"  // "sel ą\r\n"
      "\x3D\xD8\x00\xDE",             // a character beyond the 16-bit plane
      20);
  const TScriptText wide = DecodeScript(utf16);
  EXPECT_EQ(wide.Encoding, TScriptEncoding::Utf16LE);
  EXPECT_EQ(wide.Text, "sel ą\n\xF0\x9F\x98\x80");
  EXPECT_EQ(EncodeScript(wide), utf16);
  TScriptText big{"ą", TScriptEncoding::Utf16BE, false};
  EXPECT_EQ(EncodeScript(big), std::string("\xFE\xFF\x01\x05", 4));
  EXPECT_EQ(DecodeScript(EncodeScript(big)).Text, "ą");
}

class QueryHistoryTest : public ::testing::Test {
 protected:
  void SetUp() override { setenv("VANDREL_REGISTRY_DIR", Dir.Path().c_str(), 1); }
  void TearDown() override { unsetenv("VANDREL_REGISTRY_DIR"); }
  msde::testkit::TempDir Dir{"query-history"};
};

TEST_F(QueryHistoryTest, KeepsTheLastTwentyPerServerNewestFirst) {
  for (int i = 1; i <= 22; ++i) RememberQuery("SKLEP\\SQL", "select " + std::to_string(i));
  RememberQuery("SKLEP\\SQL", "select 5");  // run again: to the top, once
  RememberQuery("INNY", "select\n'dwa wiersze' \\ ukośnik");
  const auto queries = ReadQueryHistory("SKLEP\\SQL");
  ASSERT_EQ(queries.size(), 20u);
  EXPECT_EQ(queries[0], "select 5");
  EXPECT_EQ(queries[1], "select 22");
  EXPECT_EQ(std::count(queries.begin(), queries.end(), "select 5"), 1);
  EXPECT_EQ(ReadQueryHistory("INNY"), std::vector<std::string>{"select\n'dwa wiersze' \\ ukośnik"});
}

TEST_F(QueryHistoryTest, NeverKeepsAPassword) {
  for (const char* query : {"sp_addlogin 'kasa', 'tajne'", "EXEC sp_password NULL, 'nowe', 'kasa'",
                            "CREATE LOGIN kasa WITH PASSWORD = 'x'", "-- PWD=tajne\nselect 1", "   \n"})
    RememberQuery("SKLEP", query);
  EXPECT_TRUE(ReadQueryHistory("SKLEP").empty());
}

TEST(ProgramNameTest, ReplacesTheProgramOfAConnectionString) {
  EXPECT_EQ(WithProgramName("DRIVER={SQL Server};SERVER=127.0.0.1;PWD={a;app=b};APP={Vandrel};WSID=K1", "Vandrel - zapytanie"),
            "DRIVER={SQL Server};SERVER=127.0.0.1;PWD={a;app=b};WSID=K1;APP=Vandrel - zapytanie");
  EXPECT_EQ(WithProgramName("DSN=Sklep; app = X", "Q"), "DSN=Sklep;APP=Q");
}

TEST(ServerMessagesTest, ErrorsNameNumberSeverityStateAndLine) {
  TServerMessage error{true, 208, 16, 1, 2, "42S02", "Invalid object name 'brak'."};
  EXPECT_EQ(MessageLine(error, 7), "Błąd 208, poziom 16, stan 1, wiersz 7: Invalid object name 'brak'.");
  EXPECT_EQ(MessageLine(error, 0), "Błąd 208, poziom 16, stan 1: Invalid object name 'brak'.");
  error.State = -1;  // a driver that does not tell it (FreeTDS)
  EXPECT_EQ(MessageLine(error, 7), "Błąd 208, poziom 16, wiersz 7: Invalid object name 'brak'.");
  TServerMessage print{false, 0, 0, 1, 3, "01000", "tekst"};
  EXPECT_EQ(MessageLine(print, 3), "tekst");
  EXPECT_EQ(ChangedDatabase({false, 5701, 10, 1, 1, "01000", "Changed database context to 'Sklep_Łódź'."}),
            "Sklep_Łódź");
  EXPECT_EQ(ChangedDatabase(print), "");
}

}  // namespace
}  // namespace vandrel::app
