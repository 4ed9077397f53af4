// Every data source the Tovinex set-up writes for the demo site's databases connects through
// plain isql, whichever way its server is named; names no data source can carry are refused
// before any file changes.
#include "app/OdbcDataSources.h"
#include "app/admin/OdbcAdminDlg.h"
#include "app/clientsetup/TovinexPassword.h"
#include "app/clientsetup/TovinexRegistry.h"
#include "app/clientsetup/tests/ClientSetupFixture.h"

namespace vandrel::app::testing {
namespace {

using clientsetup::TNetworkLibrary;
using clientsetup::WriteTovinexEntries;

class DemoDataSourcesTest : public ClientSetupTest {
 protected:
  void SetUp() override {
    ClientSetupTest::SetUp();
    Connect();
    Dialogs.Messages.clear();
  }
  // What isql answers through the user's data source and, without the user's file, through
  // the machine's; the port only where the data source names it.
  std::pair<std::string, std::string> BothAnswers(const std::string& Dsn, const std::string& Env) {
    return {IsqlDatabase(Dsn, "sa", kSaPassword, Env), IsqlDatabase(Dsn, "sa", kSaPassword, Env + " ODBCINI=/nonexistent")};
  }
};

TEST_F(DemoDataSourcesTest, EveryDemoDatabasesDataSourcesConnectThroughIsql) {
  const std::string address = "127.0.0.1," + std::to_string(Sim->Port());
  for (const std::string& server : {std::string("(local)"), address}) {
    const std::string env = server == address ? "env -u TDSPORT" : "env";
    TextList databases;
    Form->UserDatabaseNames(databases);
    ASSERT_EQ(databases.size(), 8u);
    for (const std::string& database : databases) {
      ASSERT_TRUE(WriteTovinexEntries(*Form, database, database, server, TNetworkLibrary::TcpIp, false)) << database;
      const auto [user, machine] = BothAnswers(database, env);
      // The offline archive and the damaged shop are reached too: the server itself says why
      // they cannot be opened.
      const std::string expected = database == "Archiwum2006"    ? "offline"
                                   : database == "SklepPoludnie" ? "SUSPECT"
                                                                 : "| " + database + " ";
      EXPECT_NE(user.find(expected), std::string::npos) << server << " / " << database << ":\n" << user;
      EXPECT_NE(machine.find(expected), std::string::npos) << server << " / " << database << ":\n" << machine;
    }
  }
  EXPECT_TRUE(Dialogs.Messages.empty());
  // Lists show each data source once, never under the name FreeTDS reads it by.
  int listed = 0;
  for (const auto& source : ListOdbcDataSources(TOdbcSourceScope::osSystem)) {
    listed += source.Name == "Sklep Wschód";
    EXPECT_FALSE(source.Description.empty()) << source.Name;
  }
  EXPECT_EQ(listed, 1);

  // A name with letters outside ISO-8859-1 too, written by the data source manager.
  admin::TOdbcSource lodz;
  lodz.Name = "Łódź";
  lodz.Server = "127.0.0.1";
  lodz.Port = std::to_string(Sim->Port());
  lodz.Database = "Sklep Wschód";
  ASSERT_TRUE(admin::WriteOdbcSource(Form.get(), lodz));
  const std::string answer = IsqlDatabase("Łódź", "sa", kSaPassword, "env -u TDSPORT");
  EXPECT_NE(answer.find("| Sklep Wschód "), std::string::npos) << answer;
}

// What a till does: the network command writes a database's entries, and the till logs in
// through its data source with the key's UserId and the password Tovinex derives for the
// database.
TEST_F(DemoDataSourcesTest, EveryDemoDatabaseConnectsWithItsTovinexLogin) {
  TextList databases;
  Form->UserDatabaseNames(databases);
  for (const std::string& database : databases) {
    Dialogs.Messages.clear();
    Dialogs.MessageAnswers = {mbNo};  // for the question of a database without a Tovinex login
    Run(database, "(local)");
    ASSERT_EQ(Dialogs.Messages.size(), 1u) << database;
    const std::string key = "SOFTWARE\\QUORVEL\\TovinexWin\\Bazy\\" + database;
    // Nothing written: the offline archive and the damaged shop, whose users the server cannot
    // list, are refused; the wholesale store, whose only users are people's logins, is offered
    // a Tovinex login of its own, declined here.
    if (database == "Hurtownia" || database == "Archiwum2006" || database == "SklepPoludnie") {
      EXPECT_EQ(Dialogs.Messages[0].Icon, database == "Hurtownia" ? MsgIcon::Question : MsgIcon::Error);
      EXPECT_EQ(Value(platform::HKEY_LOCAL_MACHINE, key, "UserId"), "<none>");
      continue;
    }
    EXPECT_EQ(Dialogs.Messages[0].Icon, MsgIcon::Information) << database << ": " << Dialogs.Messages[0].Text;
    const std::string login = Value(platform::HKEY_LOCAL_MACHINE, key, "UserId");
    const std::string answer = IsqlDatabase(database, login, clientsetup::TovinexPassword(database), "env");
    EXPECT_NE(answer.find("| " + database + " "), std::string::npos) << database << " as " << login << ":\n" << answer;
  }
  EXPECT_EQ(Value(platform::HKEY_LOCAL_MACHINE, "SOFTWARE\\QUORVEL\\TovinexWin\\Bazy\\Sklep Wschód", "UserId"),
            "SklepWschod");
}

TEST_F(DemoDataSourcesTest, ANameNoDataSourceCanCarryIsRefusedWithTheReasonAndNothingWritten) {
  ASSERT_TRUE(WriteTovinexEntries(*Form, "Sklep", "Sklep", "(local)", TNetworkLibrary::TcpIp, false));
  const std::string user = ReadFile(UserOdbcIni()), system = ReadFile(SystemOdbcIni());
  const std::string store = ReadFile(Tmp->Path() + "/registry/HKEY_LOCAL_MACHINE.reg");
  for (const std::string& name : {std::string("Kasa "), std::string(" Kasa"), std::string("Kasa[2]"),
                                  std::string("Sklep numer jeden w Łodzi przy Piotrkowskiej")}) {
    Dialogs.Messages.clear();
    EXPECT_FALSE(WriteTovinexEntries(*Form, name, name, "(local)", TNetworkLibrary::TcpIp, false));
    ASSERT_EQ(Dialogs.Messages.size(), 1u) << name;
    EXPECT_NE(Dialogs.Messages[0].Text.find("Nazwa źródła danych ODBC \"" + name + "\""), std::string::npos)
        << Dialogs.Messages[0].Text;
  }
  EXPECT_EQ(ReadFile(UserOdbcIni()), user);
  EXPECT_EQ(ReadFile(SystemOdbcIni()), system);
  EXPECT_EQ(ReadFile(Tmp->Path() + "/registry/HKEY_LOCAL_MACHINE.reg"), store);
}

}  // namespace
}  // namespace vandrel::app::testing
