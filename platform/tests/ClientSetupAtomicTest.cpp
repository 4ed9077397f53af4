// The client set-up's files change together or not at all, also when the writer is killed.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <random>

#include "foundation/MacError.h"
#include "platform/ClientSetupFiles.h"
#include "platform/FileTransaction.h"
#include "platform/FreeTdsConf.h"
#include "platform/IniText.h"
#include "platform/RegKeyName.h"
#include "platform/RegStore.h"
#include "platform/Registry.h"
#include "platform/tests/TempConfigDir.h"

namespace vandrel::platform {
namespace {

const char* const kFreeTdsDriver = "/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so";
const char* const kTovinexKey = "SOFTWARE\\QUORVEL\\TovinexWin\\Bazy\\Sklep";

// One set-up as the tool's network command makes it, with the generation in every file.
void WriteSetup(int Generation) {
  const std::string G = std::to_string(Generation);
  TRegistry Tovinex(HKEY_LOCAL_MACHINE);
  Tovinex.OpenKey(kTovinexKey, true);
  Tovinex.WriteString("UserId", "gen" + G);
  for (HKEY Root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    TRegistry Reg(Root);
    if (Root == HKEY_LOCAL_MACHINE) {
      Reg.OpenKey(kClientAliasKey, true);
      Reg.WriteString("Sklep", "DBMSSOCN,host" + G);
    }
    Reg.OpenKey("SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources", true);
    Reg.WriteString("Sklep", "SQL Server");
    Reg.OpenKey("SOFTWARE\\ODBC\\ODBC.INI\\Sklep", true);
    Reg.WriteString("Driver", kFreeTdsDriver);
    Reg.WriteString("LastUser", "gen" + G);
    Reg.WriteString("Server", Root == HKEY_CURRENT_USER ? "KASA1" : "Sklep");
  }
}

void WriteSetupAtOnce(int Generation) {
  TFileTransaction Transaction(ClientSetupJournal());
  WriteSetup(Generation);
  Transaction.Commit();
}

class ClientSetupAtomicTest : public test::TTempConfigDir {
 protected:
  std::string Value(const std::string& File, const std::string& Section, const std::string& Key) {
    return TIniDocument::Parse(ReadFile(File)).Value(Section, Key).value_or("<brak>");
  }

  // The generation every file holds; fails the test when they differ or a file does not parse.
  int Generation() {
    TRegPath Tovinex, Alias;
    SplitRegPath(kTovinexKey, Tovinex);
    SplitRegPath(kClientAliasKey, Alias);
    TRegStore Machine(HKEY_LOCAL_MACHINE);
    const std::string G = Machine.ReadString(Tovinex, "UserId").value_or("<brak>").substr(3);
    EXPECT_EQ(Machine.ReadString(Alias, "Sklep"), "DBMSSOCN,host" + G);
    EXPECT_EQ(Value(Dir + "/user-odbc.ini", "Sklep", "LastUser"), "gen" + G);
    EXPECT_EQ(Value(Dir + "/user-odbc.ini", "Sklep", "Servername"), "KASA1");
    EXPECT_EQ(Value(Dir + "/odbc.ini", "Sklep", "LastUser"), "gen" + G);
    EXPECT_EQ(Value(Dir + "/odbc.ini", "ODBC Data Sources", "Sklep"), "SQL Server");
    EXPECT_EQ(TFreeTdsConf(FreeTdsConfFile(HKEY_LOCAL_MACHINE)).Value("Sklep", "host"), "host" + G);
    EXPECT_TRUE(TFreeTdsConf(FreeTdsConfFile(HKEY_CURRENT_USER)).HasSection("KASA1"));
    return std::atoi(G.c_str());
  }

  static std::string Output(const std::string& Command) {
    FILE* Pipe = popen((Command + " 2>&1").c_str(), "r");
    if (!Pipe) return "<" + Command + " did not start>";
    char Buffer[256];
    std::string Text;
    while (fgets(Buffer, sizeof Buffer, Pipe)) Text += Buffer;
    pclose(Pipe);
    return Text;
  }

  std::vector<std::string> Temporaries() {
    std::vector<std::string> Found;
    for (const auto& Entry : std::filesystem::recursive_directory_iterator(Dir)) {
      const std::string Name = Entry.path().filename().string();
      const bool Lock = Name.size() > 5 && Name.substr(Name.size() - 5) == ".lock";
      if (!Lock && (Name.find(".vandrel-") != std::string::npos || Name.find("journal") != std::string::npos)) {
        Found.push_back(Entry.path().string());
      }
    }
    return Found;
  }
};

TEST_F(ClientSetupAtomicTest, AWriterKilledAtAnyMomentLeavesAllOldOrAllNew) {
  WriteSetupAtOnce(0);
  ASSERT_EQ(Generation(), 0);
  std::mt19937 Random(28);  // fixed, so that a failure repeats
  std::uniform_int_distribution<int> Delay(0, 12000);
  int Last = 0;
  for (int Round = 0; Round < 30; ++Round) {
    const pid_t Child = fork();
    ASSERT_GE(Child, 0);
    if (Child == 0) {
      // The writer makes set-up after set-up until it is killed.
      try {
        for (int G = Last + 1;; ++G) WriteSetupAtOnce(G);
      } catch (...) {
      }
      _exit(1);
    }
    usleep(static_cast<useconds_t>(Delay(Random)));
    kill(Child, SIGKILL);
    int Status = 0;
    waitpid(Child, &Status, 0);
    RecoverClientSetup();  // what the next start does
    const int Now = Generation();
    ASSERT_FALSE(HasFailure()) << "round " << Round << ", generation " << Now;
    EXPECT_GE(Now, Last) << "a finished set-up was lost";
    EXPECT_EQ(Temporaries(), std::vector<std::string>{}) << "round " << Round;
    Last = Now;
  }
  // unixODBC's own programs read what was written: the user's and the machine's data source.
  EXPECT_EQ(Output("odbcinst -q -s -h"), "[Sklep]\n");
  EXPECT_EQ(Output("odbcinst -q -s -l"), "[Sklep]\n");
}

TEST_F(ClientSetupAtomicTest, NothingIsWrittenWithoutCommitAndAJournalIsFinishedAtStart) {
  WriteSetupAtOnce(1);
  const std::string Before = ReadFile(Dir + "/odbc.ini");
  {
    TFileTransaction Transaction(ClientSetupJournal());
    WriteSetup(2);
    // Within the transaction the new texts are read back, on disk nothing changed yet.
    TRegistry Reg(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(Reg.OpenKeyReadOnly("SOFTWARE\\ODBC\\ODBC.INI\\Sklep"));
    EXPECT_EQ(Reg.ReadString("LastUser"), "gen2");
    EXPECT_EQ(ReadFile(Dir + "/odbc.ini"), Before);
    EXPECT_THROW(TFileTransaction Second(ClientSetupJournal()), EMRegistryError);
  }
  EXPECT_EQ(Generation(), 1);

  // A journal whose renames never happened (the writer died right after it) is finished.
  const std::string NewText = std::string(ReadFile(Dir + "/odbc.ini")) + "[Hurt]\nDriver=x\n";
  WriteFile(Dir + "/odbc.ini.vandrel-new", NewText);
  WriteFile(ClientSetupJournal(), Dir + "/odbc.ini\n");
  WriteFile(Dir + "/user-odbc.ini.vandrel-XYZ123", "half a file");
  RecoverClientSetup();
  EXPECT_EQ(ReadFile(Dir + "/odbc.ini"), NewText);
  EXPECT_EQ(Temporaries(), std::vector<std::string>{});
}

TEST_F(ClientSetupAtomicTest, AFileThatCannotBeWrittenIsNamedWithTheReasonAndNothingChanges) {
  WriteSetupAtOnce(1);
  // The system freetds.conf lies under a plain file: even the superuser cannot write there.
  WriteFile(Dir + "/blocker", "x");
  SetEnv("FREETDS", Dir + "/blocker");
  try {
    TFileTransaction Transaction(ClientSetupJournal());
    WriteSetup(2);
    Transaction.Commit();
    FAIL() << "the set-up succeeded";
  } catch (const EMRegistryError& E) {
    const std::string Text = E.GetDescription();
    EXPECT_NE(Text.find(Dir + "/blocker/etc/freetds.conf"), std::string::npos) << Text;
    EXPECT_NE(Text.find("Not a directory"), std::string::npos) << Text;
  }
  SetEnv("FREETDS", Dir + "/freetds");
  EXPECT_EQ(Generation(), 1);
}

TEST(IniDocumentTest, AChangeTouchesOnlyItsLinesAndNamesIgnoreCase) {
  const std::string Text =
      "# machine's data sources\n[ODBC Data Sources]\nHurt = SQL Server\n\n[Hurt]\nDriver = tds\n"
      "; a note\nserver=KASA2\n\n[Sklep]\nDriver=tds\n";
  TIniDocument Doc = TIniDocument::Parse(Text);
  EXPECT_EQ(Doc.Sections(), (std::vector<std::string>{"ODBC Data Sources", "Hurt", "Sklep"}));
  EXPECT_EQ(Doc.Value("HURT", "Server"), "KASA2");
  EXPECT_EQ(Doc.Keys("hurt"), (std::vector<std::string>{"Driver", "server"}));
  EXPECT_FALSE(Doc.Set("Hurt", "SERVER", "KASA2")) << "the same value is no change";
  EXPECT_TRUE(Doc.Set("Hurt", "Database", "Hurt"));
  EXPECT_TRUE(Doc.Set("Nowa", "Driver", "tds"));
  EXPECT_TRUE(Doc.DeleteSection("Sklep"));
  EXPECT_FALSE(Doc.DeleteKey("Sklep", "Driver"));
  EXPECT_EQ(Doc.Serialise(),
            "# machine's data sources\n[ODBC Data Sources]\nHurt = SQL Server\n\n[Hurt]\nDriver = tds\n"
            "; a note\nserver=KASA2\nDatabase=Hurt\n\n[Nowa]\nDriver=tds\n");
  // Text that is no ini file at all still reads, and comes back as it was.
  const std::string Odd = "key without section=1\n[unclosed\n=\n]\n";
  EXPECT_EQ(TIniDocument::Parse(Odd).Serialise(), Odd);
}

}  // namespace
}  // namespace vandrel::platform
