// The readers of the files an administrator or another program may have edited (the ".reg"
// stores, unixODBC's data source files, freetds.conf) given damaged text: bytes changed,
// dropped, repeated and cut, with fixed seeds so that a failure repeats. Whatever they read
// they either refuse in their own way or read consistently: what they write back reads the
// same again, and a change they make reads back. Run under the sanitizers, this is where a
// reader's out-of-bounds step would show.
#include <gtest/gtest.h>

#include <random>

#include "platform/FreeTdsConf.h"
#include "platform/IniText.h"
#include "platform/RegText.h"
#include "platform/tests/TempConfigDir.h"

namespace vandrel::platform {
namespace {

const std::string kRegStore =
    "Windows Registry Editor Version 5.00\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\QUORVEL\\TovinexWin\\Bazy\\Sklep]\r\n"
    "\"OdbcDsn\"=\"Sklep\"\r\n; note\r\n\"Log\"=\"C:\\\\Logi\\\\Sklep.log\"\r\n@=\"x\"\r\n"
    "\"Flags\"=dword:0000000a\r\n\"Blob\"=hex:01,02,\\\r\n  03\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\MSSQLServer\\Client\\ConnectTo]\r\n"
    "\"Sklep\"=\"DBMSSOCN,KASA1\"\r\n";

const std::string kDataSources =
    "# machine's sources\n[ODBC Data Sources]\nSklep = SQL Server\n\n[Sklep]\nDriver=/usr/lib/libtdsodbc.so\n"
    "Servername = Sklep\n; x\nDatabase=Sklep\n";

const std::string kFreeTdsConf =
    "[global]\n\ttds version = auto\n; comment\n[Sklep]\n\thost = KASA1\n\tport = 1433\n\n[KASA2]\n\thost=10.0.0.2\n";

// Characters the formats give a meaning to, and a few that they do not expect.
const std::string kSpecial("[]\"=\\;#@:,\r\n\t {}\x00\xff\xc5\x82", 20);

// Text with a few random damages of the kinds above.
std::string Mutate(std::string Text, std::mt19937& Random) {
  std::uniform_int_distribution<int> Kind(0, 4), Count(1, 4);
  const int Damages = Count(Random);
  for (int I = 0; I < Damages && !Text.empty(); ++I) {
    std::uniform_int_distribution<size_t> At(0, Text.size() - 1);
    const size_t Where = At(Random);
    const char Special = kSpecial[std::uniform_int_distribution<size_t>(0, kSpecial.size() - 1)(Random)];
    switch (Kind(Random)) {
      case 0: Text[Where] = Special; break;
      case 1: Text.insert(Where, 1, Special); break;
      case 2: Text.erase(Where, std::uniform_int_distribution<size_t>(1, 8)(Random)); break;
      case 3: Text.insert(Where, Text.substr(Where, std::uniform_int_distribution<size_t>(1, 20)(Random))); break;
      default: Text.resize(Where); break;
    }
  }
  return Text;
}

constexpr int kRounds = 1500;

TEST(ParserMutation, RegistryTextIsRefusedByLineOrReadsTheSameAfterWriting) {
  std::mt19937 Random(281);
  const std::vector<std::string> Sklep = {"SOFTWARE", "QUORVEL", "TovinexWin", "Bazy", "Sklep"};
  int Read = 0;
  for (int Round = 0; Round < kRounds; ++Round) {
    const std::string Text = Mutate(kRegStore, Random);
    try {
      TRegDocument Doc = TRegDocument::Parse(Text, "HKEY_LOCAL_MACHINE");
      ++Read;
      const std::string Written = Doc.Serialise();
      EXPECT_EQ(TRegDocument::Parse(Written, "HKEY_LOCAL_MACHINE").Serialise(), Written) << "round " << Round;
      Doc.SetString(Sklep, "UserId", "Sklep \"1\" \\ ż");
      Doc.DeleteValue(Sklep, "Log");
      const TRegDocument Again = TRegDocument::Parse(Doc.Serialise(), "HKEY_LOCAL_MACHINE");
      const TRegLine* Value = Again.FindValue(Sklep, "UserId");
      ASSERT_NE(Value, nullptr) << "round " << Round << ":\n" << Text;
      EXPECT_EQ(Value->Text, "Sklep \"1\" \\ ż");
      EXPECT_EQ(Again.FindValue(Sklep, "Log"), nullptr) << "round " << Round;
    } catch (const TRegParseError& E) {
      EXPECT_GE(E.Line, 1) << "round " << Round;
    }
  }
  EXPECT_GT(Read, kRounds / 20) << "the damages should leave some stores readable";
}

TEST(ParserMutation, DataSourceTextAlwaysReadsAndKeepsEveryLineItDoesNotChange) {
  std::mt19937 Random(282);
  for (int Round = 0; Round < kRounds; ++Round) {
    std::string Text = Mutate(kDataSources, Random);
    if (!Text.empty() && Text.back() != '\n') Text += '\n';
    TIniDocument Doc = TIniDocument::Parse(Text);
    ASSERT_EQ(Doc.Serialise(), Text) << "round " << Round;
    for (const std::string& Section : Doc.Sections()) {
      for (const std::string& Key : Doc.Keys(Section)) EXPECT_TRUE(Doc.Value(Section, Key).has_value());
    }
    Doc.Set("Sklep", "LastUser", "sa");
    Doc.DeleteKey("Sklep", "Database");
    const TIniDocument Again = TIniDocument::Parse(Doc.Serialise());
    EXPECT_EQ(Again.Value("Sklep", "LastUser"), "sa") << "round " << Round << ":\n" << Text;
    EXPECT_FALSE(Again.Value("Sklep", "Database").has_value()) << "round " << Round;
    Doc.DeleteSection("Sklep");
    EXPECT_FALSE(TIniDocument::Parse(Doc.Serialise()).HasSection("Sklep")) << "round " << Round;
  }
}

class FreeTdsConfMutation : public test::TTempConfigDir {};

TEST_F(FreeTdsConfMutation, AnyFileReadsAndASectionSetReadsBack) {
  std::mt19937 Random(283);
  const std::string File = Dir + "/freetds.conf";
  for (int Round = 0; Round < kRounds / 15; ++Round) {
    const std::string Text = Mutate(kFreeTdsConf, Random);
    WriteFile(File, Text);
    TFreeTdsConf Conf(File);
    Conf.HasSection("Sklep");
    Conf.Value("KASA2", "host");
    Conf.SetServer("Sklep", {"10.1.1.1", "1500", ""});
    EXPECT_EQ(Conf.Value("Sklep", "host"), "10.1.1.1") << "round " << Round << ":\n" << Text;
    EXPECT_EQ(Conf.Value("Sklep", "port"), "1500") << "round " << Round;
    // Applied again, the change changes nothing.
    const std::string Once = ReadFile(File);
    Conf.SetServer("Sklep", {"10.1.1.1", "1500", ""});
    EXPECT_EQ(ReadFile(File), Once) << "round " << Round;
  }
}

}  // namespace
}  // namespace vandrel::platform
