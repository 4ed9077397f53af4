#include "platform/FreeTdsConf.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "foundation/MacError.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "platform/tests/TempConfigDir.h"

namespace vandrel::platform {
namespace {

const char* const kFreeTds = "/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so";

TEST(FreeTdsServerNames, ClientNamesAndAliasesBecomeHostPortAndInstance) {
  struct Case {
    std::string Name, Host, Port, Instance;
  };
  for (const Case& C : std::vector<Case>{{"(local)", "127.0.0.1", "", ""},
                                         {"(LOCAL)\\SQLEXPRESS", "127.0.0.1", "", "SQLEXPRESS"},
                                         {".", "127.0.0.1", "", ""},
                                         {"KASA1", "KASA1", "", ""},
                                         {"127.0.0.1,14331", "127.0.0.1", "14331", ""},
                                         {"SKLEP-SERWER\\TOVINEX", "SKLEP-SERWER", "", "TOVINEX"}}) {
    const TFreeTdsServer S = FreeTdsServerFromName(C.Name);
    EXPECT_EQ(S.Host, C.Host) << C.Name;
    EXPECT_EQ(S.Port, C.Port) << C.Name;
    EXPECT_EQ(S.Instance, C.Instance) << C.Name;
  }
  auto Tcp = FreeTdsServerFromAlias("DBMSSOCN,10.0.0.5,1500");
  ASSERT_TRUE(Tcp);
  EXPECT_EQ(Tcp->Host, "10.0.0.5");
  EXPECT_EQ(Tcp->Port, "1500");
  auto Pipe = FreeTdsServerFromAlias("DBNMPNTW,\\\\KASA1\\pipe\\sql\\query");
  ASSERT_TRUE(Pipe);
  EXPECT_EQ(Pipe->Host, "KASA1");
  EXPECT_EQ(Pipe->Instance, "");
  auto NamedPipe = FreeTdsServerFromAlias("DBNMPNTW,\\\\KASA1\\pipe\\MSSQL$TOVINEX\\sql\\query");
  ASSERT_TRUE(NamedPipe);
  EXPECT_EQ(NamedPipe->Instance, "TOVINEX");
  EXPECT_FALSE(FreeTdsServerFromAlias("KASA1"));
  EXPECT_FALSE(FreeTdsServerFromAlias("DBMSSOCN,"));
}

// odbcinst keeps what it read for the life of the process: one case per process (ctest).
class FreeTdsMappingTest : public test::TTempConfigDir {
 protected:
  void SetUp() override {
    static int Runs = 0;
    if (++Runs > 1) GTEST_SKIP() << "needs a process of its own (run it through ctest or --gtest_filter)";
    TTempConfigDir::SetUp();
    WriteFile(Dir + "/odbcinst.ini", std::string("[SQL Server]\nDriver=") + kFreeTds +
                                         "\n\n[SQLite3]\nDriver=/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so\n");
  }

  static void WriteSource(HKEY Root, const std::string& Name, const std::string& Driver, const std::string& Server) {
    TRegistry Reg(Root);
    ASSERT_TRUE(Reg.OpenKey("SOFTWARE\\ODBC\\ODBC.INI\\" + Name, true));
    Reg.WriteString("Driver", Driver);
    Reg.WriteString("Server", Server);
  }

  static void WriteAlias(const std::string& Name, const std::string& Value) {
    TRegistry Reg(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(Reg.OpenKey(kClientAliasKey, true));
    Reg.WriteString(Name, Value);
  }

  std::string UserConf() const { return Dir + "/user-freetds.conf"; }
  std::string SystemConf() const { return Dir + "/freetds/etc/freetds.conf"; }
};

TEST_F(FreeTdsMappingTest, ServerOfAFreeTdsSourceIsKeptAsServernameAndReadBack) {
  WriteSource(HKEY_CURRENT_USER, "Sklep", kFreeTds, "(local)");
  const std::string Ini = ReadFile(Dir + "/user-odbc.ini");
  EXPECT_NE(Ini.find("Servername=(local)"), std::string::npos) << Ini;
  EXPECT_EQ(Ini.find("Server="), std::string::npos) << Ini;

  TRegistry Reg(HKEY_CURRENT_USER);
  ASSERT_TRUE(Reg.OpenKey("SOFTWARE\\ODBC\\ODBC.INI\\Sklep", false));
  EXPECT_EQ(Reg.ReadString("Server"), "(local)");
  EXPECT_TRUE(Reg.ValueExists("server"));
  std::vector<AnsiString> Names;
  Reg.GetValueNames(Names);
  EXPECT_EQ(Names, (std::vector<AnsiString>{"Driver", "Server"}));

  TFreeTdsConf Conf(UserConf());
  EXPECT_EQ(Conf.Value("(local)", "host"), "127.0.0.1");
  EXPECT_EQ(Conf.Value("(local)", "tds_version"), "7.1");
  EXPECT_EQ(Conf.Value("(local)", "client charset"), "UTF-8");
  EXPECT_FALSE(FileExists(SystemConf()));

  // A second write replaces the name; deleting Server takes Servername away.
  Reg.WriteString("Server", "KASA1");
  EXPECT_EQ(Reg.ReadString("Server"), "KASA1");
  EXPECT_EQ(Conf.Value("KASA1", "host"), "KASA1");
  EXPECT_TRUE(Reg.DeleteValue("Server"));
  EXPECT_EQ(ReadFile(Dir + "/user-odbc.ini").find("Servername"), std::string::npos);
  EXPECT_FALSE(Reg.ValueExists("Server"));
}

TEST_F(FreeTdsMappingTest, AnAliasBecomesTheHostOfTheMachineWideSection) {
  WriteAlias("Sklep", "DBMSSOCN,10.0.0.5,1500");
  WriteSource(HKEY_LOCAL_MACHINE, "Sklep", "SQL Server", "Sklep");  // the driver named, not its path
  EXPECT_NE(ReadFile(Dir + "/odbc.ini").find("Servername=Sklep"), std::string::npos);
  TFreeTdsConf Conf(SystemConf());
  EXPECT_EQ(Conf.Value("Sklep", "host"), "10.0.0.5");
  EXPECT_EQ(Conf.Value("Sklep", "port"), "1500");
  EXPECT_FALSE(TFreeTdsConf(UserConf()).HasSection("Sklep"));

  // The alias changes: the section follows, its port goes with the old address.
  WriteAlias("Sklep", "DBMSSOCN,KASA2");
  EXPECT_EQ(Conf.Value("Sklep", "host"), "KASA2");
  EXPECT_EQ(Conf.Value("Sklep", "port"), "");
  EXPECT_EQ(Conf.Value("Sklep", "tds version"), "7.1");
}

TEST_F(FreeTdsMappingTest, EverythingElseInTheFileIsKept) {
  const std::string Before =
      "; kept comment\n[global]\n\ttds version = 7.4\n\tport = 2000\n\n"
      "[(local)]\n\thost = 192.168.1.9\n\tdump file = /tmp/x.log\n\n[Inny]\n\thost = inny\n";
  WriteFile(UserConf(), Before);
  chmod(UserConf().c_str(), 0600);
  // An existing section with no alias behind it is the administrator's: left as it is.
  WriteSource(HKEY_CURRENT_USER, "A", kFreeTds, "(local)");
  EXPECT_EQ(ReadFile(UserConf()), Before);

  WriteAlias("(local)", "DBMSSOCN,10.1.1.1,1433");
  EXPECT_EQ(ReadFile(UserConf()),
            "; kept comment\n[global]\n\ttds version = 7.4\n\tport = 2000\n\n"
            "[(local)]\n\tport = 1433\n\thost = 10.1.1.1\n\tdump file = /tmp/x.log\n\n[Inny]\n\thost = inny\n");
  TFreeTdsConf Conf(UserConf());
  EXPECT_EQ(Conf.Value("(local)", "host"), "10.1.1.1");
  EXPECT_EQ(Conf.Value("(local)", "port"), "1433");
  EXPECT_EQ(Conf.Value("(local)", "dump file"), "/tmp/x.log");
  EXPECT_EQ(Conf.Value("global", "port"), "2000");
  EXPECT_EQ(Conf.Value("Inny", "host"), "inny");
  struct stat St;
  ASSERT_EQ(stat(UserConf().c_str(), &St), 0);
  EXPECT_EQ(St.st_mode & 0777, 0600u);
}

TEST_F(FreeTdsMappingTest, OtherDriversKeepServerAndADriverChangedToFreeTdsMovesIt) {
  WriteSource(HKEY_CURRENT_USER, "Lite", "SQLite3", "(local)");
  EXPECT_NE(ReadFile(Dir + "/user-odbc.ini").find("Server=(local)"), std::string::npos);
  EXPECT_FALSE(FileExists(UserConf()));

  TRegistry Reg(HKEY_CURRENT_USER);
  ASSERT_TRUE(Reg.OpenKey("SOFTWARE\\ODBC\\ODBC.INI\\Lite", false));
  Reg.WriteString("Driver", kFreeTds);
  const std::string Ini = ReadFile(Dir + "/user-odbc.ini");
  EXPECT_NE(Ini.find("Servername=(local)"), std::string::npos) << Ini;
  EXPECT_EQ(Ini.find("Server="), std::string::npos) << Ini;
  EXPECT_EQ(Reg.ReadString("Server"), "(local)");
  EXPECT_TRUE(TFreeTdsConf(UserConf()).HasSection("(local)"));
}

TEST_F(FreeTdsMappingTest, ANameThatCannotBeASectionIsRefusedBeforeAnythingIsWritten) {
  TRegistry Reg(HKEY_CURRENT_USER);
  ASSERT_TRUE(Reg.OpenKey("SOFTWARE\\ODBC\\ODBC.INI\\Zly", true));
  Reg.WriteString("Driver", kFreeTds);
  EXPECT_THROW(Reg.WriteString("Server", "a]b"), EMRegistryError);
  EXPECT_FALSE(Reg.ValueExists("Server"));
  EXPECT_FALSE(FileExists(UserConf()));
}

}  // namespace
}  // namespace vandrel::platform
