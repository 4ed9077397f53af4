// The test kit around the real program: msde-sim started on a free port with a data set,
// reached through the ODBC configuration the kit writes, restarted on the same port, and
// gone (with the configuration restored) at the end.
#include <gmock/gmock.h>

#include <cstdlib>
#include <filesystem>

#include "testkit/OdbcClient.h"
#include "testkit/SimServer.h"

namespace msde::testing {
namespace {

std::optional<std::string> Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::optional<std::string>(value) : std::nullopt;
}

TEST(TdsSimServer, ServesTheDemoDataThroughTheToolsConnectionString) {
  testkit::SimServer server;
  EXPECT_GT(server.Port(), 0);
  testkit::OdbcClient client(server.ConnectionString("sa", ""));
  EXPECT_EQ(client.Scalar("select 1"), "1");
  auto result = client.Exec("select name from sysdatabases order by dbid");
  ASSERT_TRUE(result.ok);
  EXPECT_GE(result.Rows().size(), 5u);
}

TEST(TdsSimServer, PolishNamesArriveWhole) {
  testkit::SimServer server;
  testkit::OdbcClient client(server.Utf8ConnectionString("sa", ""));
  EXPECT_EQ(client.Scalar("select name from sysdatabases where name like 'Sklep W%'"),
            "Sklep Wschód");
}

TEST(TdsSimServer, RestartsOnTheSamePortAndDropsOldConnections) {
  testkit::SimServer server;
  int port = server.Port();
  testkit::OdbcClient before(server.ConnectionString("sa", ""));
  server.Restart();
  EXPECT_EQ(server.Port(), port);
  EXPECT_FALSE(before.Exec("select 1").ok);
  testkit::OdbcClient after(server.ConnectionString("sa", ""));
  EXPECT_EQ(after.Scalar("select 1"), "1");
  server.Stop();
  EXPECT_THROW(testkit::OdbcClient(server.ConnectionString("sa", "")), testkit::OdbcFailure);
}

TEST(TdsSimServer, PrivateFilesAreACopyAndTheEnvironmentIsRestored) {
  auto odbcini = Env("ODBCINI");
  std::string copy;
  {
    testkit::SimServerOptions options;
    options.private_files = true;
    testkit::SimServer server(options);
    copy = server.FilesDir();
    EXPECT_TRUE(std::filesystem::exists(copy + "/Sklep2.mdf"));
    EXPECT_NE(Env("FREETDSCONF"), std::nullopt);
    EXPECT_NE(Env("ODBCINI"), odbcini);
  }
  EXPECT_FALSE(std::filesystem::exists(copy));
  EXPECT_EQ(Env("ODBCINI"), odbcini);
}

TEST(TdsSimServer, AMissingDataSetIsReportedNotWaitedFor) {
  testkit::SimServerOptions options;
  options.data_file = "/nonexistent/brak.json";
  EXPECT_THROW(testkit::SimServer server(options), std::runtime_error);
}

}  // namespace
}  // namespace msde::testing
