#include "platform/OdbcRegistry.h"

#include <gtest/gtest.h>
#include <odbcinst.h>
#include <sql.h>
#include <sqlext.h>

#include <set>

#include "foundation/MacError.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "platform/tests/TempConfigDir.h"

namespace vandrel::platform {
namespace {

const char* const kSqliteDriver = VANDREL_SQLITE_ODBC_DRIVER;

// odbcinst settles the system file's directory at its first use and keeps recently read
// values for a while, for the life of the process; so each case needs a process of its own,
// as CTest gives it. Run by hand, the cases after the first of a run are skipped.
class OdbcRegistryTest : public test::TTempConfigDir {
 protected:
  void SetUp() override {
    static int Runs = 0;
    if (++Runs > 1) GTEST_SKIP() << "needs a process of its own (run it through ctest or --gtest_filter)";
    TTempConfigDir::SetUp();
    WriteFile(Dir + "/odbcinst.ini",
              "[SQL Server]\nDescription=FreeTDS\nDriver=/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so\n\n"
              "[SQLite3]\nDriver=" + std::string(kSqliteDriver) + "\n");
  }

  // Writes the entries of a data source as the tool's client set-up writes them.
  static void WriteDataSource(HKEY Root, const std::string& Name, const std::string& Driver,
                              const std::string& Server) {
    TRegistry Reg(Root);
    ASSERT_TRUE(Reg.OpenKey("SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources", true));
    Reg.WriteString(Name, "SQL Server");
    ASSERT_TRUE(Reg.OpenKey("SOFTWARE\\ODBC\\ODBC.INI\\" + Name, true));
    Reg.WriteString("Driver", Driver);
    Reg.WriteString("Database", Name);
    Reg.WriteString("LastUser", "sa");
    Reg.WriteString("Server", Server);
  }

  // The data sources the driver manager lists, as ODBC programs see them.
  static std::set<std::string> DataSources(SQLUSMALLINT First) {
    std::set<std::string> Names;
    SQLHENV Env = SQL_NULL_HENV;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &Env);
    SQLSetEnvAttr(Env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLCHAR Name[256], Description[512];
    SQLSMALLINT NameLength, DescriptionLength;
    for (SQLUSMALLINT Direction = First;
         SQL_SUCCEEDED(SQLDataSources(Env, Direction, Name, sizeof Name, &NameLength, Description,
                                      sizeof Description, &DescriptionLength));
         Direction = SQL_FETCH_NEXT) {
      Names.insert(reinterpret_cast<char*>(Name));
    }
    SQLFreeHandle(SQL_HANDLE_ENV, Env);
    return Names;
  }

  static std::string Profile(UWORD Mode, const std::string& Section, const std::string& Key) {
    char Buffer[512] = {0};
    SQLSetConfigMode(Mode);
    SQLGetPrivateProfileString(Section.c_str(), Key.c_str(), "<brak>", Buffer, sizeof Buffer, "ODBC.INI");
    SQLSetConfigMode(ODBC_BOTH_DSN);
    return Buffer;
  }
};

TEST_F(OdbcRegistryTest, UserDataSourcesAreUnixOdbcUserDataSources) {
  WriteDataSource(HKEY_CURRENT_USER, "Sklep", "/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so", "KASA1");
  EXPECT_EQ(DataSources(SQL_FETCH_FIRST_USER), std::set<std::string>{"Sklep"});
  EXPECT_TRUE(DataSources(SQL_FETCH_FIRST_SYSTEM).empty());
  // FreeTDS names its server with Servername, and refuses Server beside it.
  EXPECT_EQ(Profile(ODBC_USER_DSN, "Sklep", "Servername"), "KASA1");
  EXPECT_EQ(Profile(ODBC_USER_DSN, "Sklep", "Server"), "<brak>");
  EXPECT_EQ(Profile(ODBC_USER_DSN, "ODBC Data Sources", "Sklep"), "SQL Server");
  EXPECT_EQ(TOdbcRegistry(HKEY_CURRENT_USER).DataSourceFile(), Dir + "/user-odbc.ini");
  EXPECT_NE(ReadFile(Dir + "/user-odbc.ini").find("[Sklep]"), std::string::npos);

  // Read back through the registry, names in any case.
  TRegistry Reg(HKEY_CURRENT_USER);
  ASSERT_TRUE(Reg.OpenKeyReadOnly("software\\odbc\\odbc.ini\\SKLEP"));
  EXPECT_EQ(Reg.ReadString("server"), "KASA1");
  std::vector<AnsiString> Names;
  Reg.GetValueNames(Names);
  EXPECT_EQ(Names, (std::vector<AnsiString>{"Driver", "Database", "LastUser", "Server"}));
  ASSERT_TRUE(Reg.OpenKeyReadOnly("SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources"));
  Reg.GetValueNames(Names);
  EXPECT_EQ(Names, std::vector<AnsiString>{"Sklep"});
}

TEST_F(OdbcRegistryTest, MachineDataSourcesAreTheSystemFile) {
  ASSERT_FALSE(FileExists(Dir + "/odbc.ini"));  // odbcinst will not create it by itself
  WriteDataSource(HKEY_LOCAL_MACHINE, "Sklep", "/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so", "Sklep");
  EXPECT_EQ(DataSources(SQL_FETCH_FIRST_SYSTEM), std::set<std::string>{"Sklep"});
  EXPECT_TRUE(DataSources(SQL_FETCH_FIRST_USER).empty());
  EXPECT_EQ(Profile(ODBC_SYSTEM_DSN, "Sklep", "Servername"), "Sklep");
  EXPECT_NE(ReadFile(Dir + "/odbc.ini").find("[Sklep]"), std::string::npos);
  EXPECT_FALSE(TRegistry(HKEY_CURRENT_USER).KeyExists("SOFTWARE\\ODBC\\ODBC.INI\\Sklep"));
}

TEST_F(OdbcRegistryTest, ValuesAreChangedAndDeletedInPlace) {
  WriteDataSource(HKEY_CURRENT_USER, "Sklep", "drv", "KASA1");
  TRegistry Reg(HKEY_CURRENT_USER);
  ASSERT_TRUE(Reg.OpenKey("SOFTWARE\\ODBC\\ODBC.INI\\Sklep", false));
  Reg.WriteString("Server", "KASA2");
  Reg.WriteString("StatsLog_On", "");
  EXPECT_TRUE(Reg.ValueExists("StatsLog_On"));
  EXPECT_TRUE(Reg.DeleteValue("LASTUSER"));
  EXPECT_FALSE(Reg.DeleteValue("LastUser"));
  EXPECT_EQ(Profile(ODBC_USER_DSN, "Sklep", "Server"), "KASA2");
  EXPECT_EQ(Profile(ODBC_USER_DSN, "Sklep", "LastUser"), "<brak>");
  EXPECT_EQ(Reg.ReadString("Database"), "Sklep");
  EXPECT_EQ(Reg.ReadString("LastUser"), "");
}

TEST_F(OdbcRegistryTest, ADataSourceIsDeletedWithItsValuesAndOnlyIt) {
  WriteDataSource(HKEY_CURRENT_USER, "Sklep", "SQLite3", "KASA1");
  WriteDataSource(HKEY_CURRENT_USER, "Hurt", "SQLite3", "KASA2");
  TRegistry Reg(HKEY_CURRENT_USER);
  ASSERT_TRUE(Reg.OpenKey("SOFTWARE\\ODBC\\ODBC.INI\\Sklep", false));
  EXPECT_TRUE(Reg.DeleteKey("SOFTWARE\\ODBC\\ODBC.INI\\sklep"));
  EXPECT_EQ(Reg.GetCurrentPath(), "") << "the deleted key was the open one";
  EXPECT_FALSE(Reg.KeyExists("SOFTWARE\\ODBC\\ODBC.INI\\Sklep"));
  EXPECT_EQ(DataSources(SQL_FETCH_FIRST_USER), std::set<std::string>{"Hurt"});
  EXPECT_EQ(Profile(ODBC_USER_DSN, "Hurt", "Server"), "KASA2");
  EXPECT_EQ(Profile(ODBC_USER_DSN, "ODBC Data Sources", "Sklep"), "SQL Server") << "the list entry is the caller's";
  EXPECT_FALSE(Reg.DeleteKey("SOFTWARE\\ODBC\\ODBC.INI\\Sklep")) << "gone already";
  EXPECT_THROW(Reg.DeleteKey("SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources"), EMRegistryError);
  EXPECT_THROW(Reg.DeleteKey("SOFTWARE\\ODBC\\ODBCINST.INI\\SQLite3"), EMRegistryError);
  EXPECT_THROW(Reg.DeleteKey("SOFTWARE\\QUORVEL\\TovinexWin"), EMRegistryError) << "the .reg store keeps its keys";
}

TEST_F(OdbcRegistryTest, KeysExistWhereUnixOdbcKeepsThem) {
  TRegistry Reg(HKEY_CURRENT_USER);
  EXPECT_FALSE(Reg.KeyExists("SOFTWARE\\ODBC\\ODBC.INI\\Pusta"));
  ASSERT_TRUE(Reg.OpenKey("SOFTWARE\\ODBC\\ODBC.INI\\Pusta", true));  // an empty data source
  EXPECT_TRUE(Reg.KeyExists("SOFTWARE\\ODBC\\ODBC.INI\\Pusta"));
  std::vector<AnsiString> Names{"x"};
  Reg.GetValueNames(Names);
  EXPECT_TRUE(Names.empty());
  EXPECT_TRUE(Reg.KeyExists("SOFTWARE\\ODBC\\ODBC.INI"));
  EXPECT_TRUE(Reg.KeyExists("SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources"));
  // Nothing lives below a data source, and values need a data source.
  EXPECT_FALSE(Reg.OpenKey("SOFTWARE\\ODBC\\ODBC.INI\\Pusta\\Głębiej", true));
  ASSERT_TRUE(Reg.OpenKey("SOFTWARE\\ODBC\\ODBC.INI", true));
  EXPECT_THROW(Reg.WriteString("X", "y"), EMRegistryError);
}

TEST_F(OdbcRegistryTest, NamesTheIniFilesCannotHoldAreRefused) {
  WriteDataSource(HKEY_CURRENT_USER, "Sklep", "drv", "KASA1");
  const std::string Before = ReadFile(Dir + "/user-odbc.ini");
  TRegistry Reg(HKEY_CURRENT_USER);
  ASSERT_TRUE(Reg.OpenKey("SOFTWARE\\ODBC\\ODBC.INI\\Sklep", true));
  EXPECT_THROW(Reg.WriteString("A=B", "x"), EMRegistryError);
  EXPECT_THROW(Reg.WriteString("", "x"), EMRegistryError);
  EXPECT_THROW(Reg.WriteString("Server", "a\nb"), EMRegistryError);
  EXPECT_THROW(Reg.OpenKey("SOFTWARE\\ODBC\\ODBC.INI\\Zła]nazwa", true), EMRegistryError);
  EXPECT_EQ(ReadFile(Dir + "/user-odbc.ini"), Before);
}

// Names no data source connects through are refused at the list entry and at the section,
// before a line is written, with the reason; a Polish name longer in bytes than in letters
// counts its bytes.
TEST_F(OdbcRegistryTest, DataSourceNamesNoProgramCanConnectThroughAreRefusedWithTheReason) {
  WriteDataSource(HKEY_CURRENT_USER, "Sklep", "drv", "KASA1");
  const std::string Before = ReadFile(Dir + "/user-odbc.ini");
  const std::pair<std::string, std::string> Cases[] = {
      {" Kasa", "odstępem"}, {"Kasa ", "odstępem"}, {"Kasa[1]", "nawiasów"}, {"Kasa=1", "\"=\""},
      {std::string(33, 'K'), "33 bajtów"}, {"Łódź Łódź Łódź Łódź Łódź", "39 bajtów"}, {"Ka\tsa", "sterujący"}};
  TRegistry Reg(HKEY_CURRENT_USER);
  for (const auto& [Name, Why] : Cases) {
    ASSERT_TRUE(Reg.OpenKey("SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources", true));
    try {
      Reg.WriteString(Name, "SQL Server");
      ADD_FAILURE() << Name << " was listed";
    } catch (const EMRegistryError& E) {
      EXPECT_NE(E.GetDetails().find(Why), std::string::npos) << E.GetDetails();
    }
    EXPECT_THROW(Reg.OpenKey("SOFTWARE\\ODBC\\ODBC.INI\\" + Name, true), EMRegistryError) << Name;
  }
  EXPECT_EQ(ReadFile(Dir + "/user-odbc.ini"), Before);
  // 32 bytes is the driver manager's limit, and allowed.
  WriteDataSource(HKEY_CURRENT_USER, "Łódź Łódź Łódź Łódźx", "drv", "KASA1");
  EXPECT_TRUE(Reg.KeyExists("SOFTWARE\\ODBC\\ODBC.INI\\Łódź Łódź Łódź Łódźx"));
}

// FreeTDS reads a data source named "Łódź" under the name its bytes spell in ISO-8859-1; that
// section follows every change of the data source, without the driver, and goes with it.
TEST_F(OdbcRegistryTest, AFreeTdsDataSourceWithAPolishNameIsAlsoWrittenWhereFreeTdsReadsIt) {
  const std::string Reading = "\xC3\x85\xC2\x81\xC3\x83\xC2\xB3" "d\xC3\x85\xC2\xBA";  // "Łódź" so read
  WriteDataSource(HKEY_LOCAL_MACHINE, "Łódź", "SQL Server", "Łódź");
  WriteDataSource(HKEY_LOCAL_MACHINE, "Żółw", kSqliteDriver, "");
  TRegistry Reg(HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(Reg.OpenKey("SOFTWARE\\ODBC\\ODBC.INI\\Łódź", false));
  Reg.WriteString("Database", "Łódź Centrum");
  EXPECT_EQ(Profile(ODBC_SYSTEM_DSN, Reading, "Database"), "Łódź Centrum");
  EXPECT_EQ(Profile(ODBC_SYSTEM_DSN, Reading, "Servername"), "Łódź");
  EXPECT_EQ(Profile(ODBC_SYSTEM_DSN, Reading, "Driver"), "<brak>");
  EXPECT_EQ(Profile(ODBC_SYSTEM_DSN, "Łódź", "Driver"), "SQL Server");
  // Another driver reads the name as it is: no second section.
  EXPECT_EQ(ReadFile(Dir + "/odbc.ini").find("\xC3\x85\xC2\xBB"), std::string::npos);
  Reg.DeleteValue("LastUser");
  EXPECT_EQ(Profile(ODBC_SYSTEM_DSN, Reading, "LastUser"), "<brak>");
  EXPECT_TRUE(Reg.DeleteKey("SOFTWARE\\ODBC\\ODBC.INI\\Łódź"));
  EXPECT_EQ(ReadFile(Dir + "/odbc.ini").find(Reading), std::string::npos);
}

TEST_F(OdbcRegistryTest, TheDriverListIsReadFromOdbcinstIni) {
  TRegistry Reg(HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(Reg.OpenKeyReadOnly("SOFTWARE\\ODBC\\ODBCINST.INI\\ODBC Drivers"));
  std::vector<AnsiString> Names;
  Reg.GetValueNames(Names);
  EXPECT_EQ(Names, (std::vector<AnsiString>{"SQL Server", "SQLite3"}));
  EXPECT_TRUE(Reg.ValueExists("sql server"));
  EXPECT_FALSE(Reg.ValueExists("SQL Native Client"));
  EXPECT_EQ(Reg.ReadString("SQL Server"), "Installed");

  ASSERT_TRUE(Reg.OpenKey("SOFTWARE\\ODBC\\ODBCINST.INI\\SQL Server", false));
  EXPECT_EQ(Reg.ReadString("Driver"), "/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so");
  EXPECT_THROW(Reg.WriteString("Driver", "x"), EMRegistryError);  // drivers are installed with odbcinst
  EXPECT_FALSE(Reg.OpenKey("SOFTWARE\\ODBC\\ODBCINST.INI\\SQL Native Client", true));

  // The driver list is machine-wide: the user root has none.
  TRegistry User(HKEY_CURRENT_USER);
  EXPECT_FALSE(User.OpenKey("SOFTWARE\\ODBC\\ODBCINST.INI\\SQL Server", true));
  EXPECT_FALSE(User.KeyExists("SOFTWARE\\ODBC\\ODBCINST.INI\\ODBC Drivers"));
  EXPECT_FALSE(FileExists(Dir + "/registry/HKEY_CURRENT_USER.reg"));
}

TEST_F(OdbcRegistryTest, AUserDataSourceWrittenHereConnects) {
  if (!FileExists(kSqliteDriver)) GTEST_SKIP() << "the SQLite ODBC driver is not installed";
  WriteDataSource(HKEY_CURRENT_USER, "Próba", kSqliteDriver, "");
  TRegistry Reg(HKEY_CURRENT_USER);
  ASSERT_TRUE(Reg.OpenKey("SOFTWARE\\ODBC\\ODBC.INI\\Próba", false));
  Reg.WriteString("Database", Dir + "/proba.db");

  SQLHENV Env = SQL_NULL_HENV;
  SQLHDBC Dbc = SQL_NULL_HDBC;
  SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &Env);
  SQLSetEnvAttr(Env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  SQLAllocHandle(SQL_HANDLE_DBC, Env, &Dbc);
  SQLCHAR In[] = "DSN=Próba";
  const SQLRETURN Rc = SQLDriverConnect(Dbc, nullptr, In, SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
  EXPECT_TRUE(SQL_SUCCEEDED(Rc));
  if (SQL_SUCCEEDED(Rc)) SQLDisconnect(Dbc);
  SQLFreeHandle(SQL_HANDLE_DBC, Dbc);
  SQLFreeHandle(SQL_HANDLE_ENV, Env);
  EXPECT_TRUE(FileExists(Dir + "/proba.db"));
}

}  // namespace
}  // namespace vandrel::platform
