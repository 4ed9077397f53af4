// Logging in through the FreeTDS ODBC driver: the acknowledgement, the messages SQL Server
// sends with it, refused logins, and what the login record carries to the engine.
#include <gmock/gmock.h>

#include "TdsTestServer.h"

namespace msde::testing {
namespace {

using ::testing::Contains;
using ::testing::Field;
using ::testing::HasSubstr;

// The database the driver believes current: it follows the server's ENVCHANGE tokens.
std::string CurrentCatalog(testkit::OdbcClient& client) {
  SQLCHAR name[128] = {0};
  SQLINTEGER length = 0;
  SQLGetConnectAttr(client.Handle(), SQL_ATTR_CURRENT_CATALOG, name, sizeof name, &length);
  return reinterpret_cast<char*>(name);
}

TEST_F(TdsTest, LoginCarriesTheClientsDetailsAndAnswersAStatement) {
  auto client = Connect("APP=Vandrel testy;");
  EXPECT_EQ(client->Scalar("select 1"), "1");
  LoginRequest login = engine_.LastLogin();
  EXPECT_EQ(login.user, "sa");
  EXPECT_EQ(login.password, StubEngine::kPassword);
  EXPECT_EQ(login.application, "Vandrel testy");
  EXPECT_FALSE(login.host.empty());
  EXPECT_EQ(login.client_pid, static_cast<int>(getpid()));

  char version[64] = {0};
  SQLSMALLINT length = 0;
  SQLGetInfo(client->Handle(), SQL_DBMS_VER, version, sizeof version, &length);
  EXPECT_THAT(std::string(version), HasSubstr("8.00.2039"));
}

TEST_F(TdsTest, LoginIntoANamedDatabaseStartsThere) {
  auto client = Connect("DATABASE=Sklep;");
  EXPECT_EQ(engine_.LastLogin().database, "Sklep");
  EXPECT_EQ(CurrentCatalog(*client), "Sklep");
}

TEST_F(TdsTest, WrongPasswordIsRefusedWith18456AndLeavesNoSession) {
  auto diagnostics =
      testkit::ConnectFailure(config_->ConnectionString(StubEngine::kUser, "zle haslo"));
  EXPECT_THAT(diagnostics, Contains(Field(&testkit::Diagnostic::native, 18456)));
  EXPECT_THAT(diagnostics, Contains(Field(&testkit::Diagnostic::text,
                                          HasSubstr("Login failed for user 'sa'."))));
  EXPECT_EQ(engine_.LiveSessions(), 0);
}

TEST_F(TdsTest, UseReportsTheNewDatabaseContext) {
  auto client = Connect();
  auto result = client->Exec("use Sklep1");
  EXPECT_TRUE(result.ok);
  EXPECT_TRUE(result.HasNative(5701));
  EXPECT_EQ(CurrentCatalog(*client), "Sklep1");
}

TEST_F(TdsTest, DisconnectingFreesTheSession) {
  {
    auto client = Connect();
    EXPECT_EQ(engine_.LiveSessions(), 1);
  }
  EXPECT_TRUE(engine_.WaitForLiveSessions(0));
}

}  // namespace
}  // namespace msde::testing
