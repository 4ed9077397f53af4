// The administration statements end to end: msde-sim on a free port, FreeTDS through
// unixODBC, two connections where the rules concern other users.
#include <gtest/gtest.h>

#include <memory>

#include "AdminFixture.h"
#include "testkit/OdbcClient.h"
#include "testkit/SimServer.h"

namespace msde::admin_test {
namespace {

using testkit::ExecResult;
using testkit::OdbcClient;

class AdminOdbcTest : public ::testing::Test {
 public:
  AdminOdbcTest() {
    WriteText(dir_.Path() + "/data.json", kDataSet);
    WriteText(dir_.Path() + "/Sklep2.mdf", kSklep2);
    testkit::SimServerOptions options;
    options.data_file = dir_.Path() + "/data.json";
    options.files_dir = dir_.Path();
    server_ = std::make_unique<testkit::SimServer>(options);
  }

  std::unique_ptr<OdbcClient> Connect(const std::string& extra = "") {
    return std::make_unique<OdbcClient>(server_->ConnectionString("sa", "") + extra);
  }

  testkit::TempDir dir_;
  std::unique_ptr<testkit::SimServer> server_;
};

TEST_F(AdminOdbcTest, InUseGuardStateRefusalAndKill) {
  auto tool = Connect();
  auto till = Connect(";APP=Kasa fiskalna");
  ASSERT_TRUE(till->Exec("use Sklep").ok);
  ASSERT_TRUE(tool->Exec("use master").ok);
  EXPECT_EQ(tool->Scalar("select dbid from sysprocesses where dbid=DB_ID('Sklep')"), "5");
  std::string program = tool->Scalar("select program_name from sysprocesses where dbid=5");
  EXPECT_EQ(program.substr(0, program.find_last_not_of(' ') + 1), "Kasa fiskalna");

  const ExecResult refused = tool->Exec("ALTER DATABASE Sklep SET OFFLINE");
  EXPECT_FALSE(refused.ok);
  EXPECT_TRUE(refused.HasNative(5070));
  // The cause comes first, the statement's 5069 after it, as SQL Server sends them.
  ASSERT_GE(refused.diagnostics.size(), 2u);
  EXPECT_EQ(refused.diagnostics[0].native, 5070);
  EXPECT_EQ(refused.diagnostics[1].native, 5069);

  const std::string spid = till->Scalar("select @@SPID");
  EXPECT_FALSE(tool->Exec("KILL " + tool->Scalar("select @@SPID")).ok);
  ASSERT_TRUE(tool->Exec("KILL " + spid).ok);
  EXPECT_FALSE(till->Exec("select 1").ok) << "the killed connection is closed";
  EXPECT_TRUE(tool->Exec("ALTER DATABASE Sklep SET OFFLINE").ok);
}

TEST_F(AdminOdbcTest, ConsistencyErrorsArriveAsErrorsAndRepairClearsThem) {
  auto tool = Connect();
  EXPECT_TRUE(tool->Exec("DBCC CHECKDB ('Sklep')").ok);
  const ExecResult check = tool->Exec("DBCC CHECKDB ('Uszkodzona')");
  EXPECT_FALSE(check.ok);
  EXPECT_TRUE(check.HasNative(8928));
  EXPECT_TRUE(check.Mentions("Object ID 2041058307"));
  EXPECT_TRUE(tool->Exec("DBCC CHECKDB ('Uszkodzona',REPAIR_REBUILD)").HasNative(7919));

  ASSERT_TRUE(tool->Exec("use master").ok);
  ASSERT_TRUE(tool->Exec("ALTER DATABASE Uszkodzona SET SINGLE_USER").ok);
  tool->Exec("DBCC CHECKDB ('Uszkodzona',REPAIR_ALLOW_DATA_LOSS)");
  ASSERT_TRUE(tool->Exec("ALTER DATABASE Uszkodzona SET MULTI_USER").ok);
  EXPECT_TRUE(tool->Exec("DBCC CHECKDB ('Uszkodzona')").ok);
}

TEST_F(AdminOdbcTest, EngineInformationAndConfiguration) {
  auto tool = Connect();
  const ExecResult info = tool->Exec("sp_server_info");
  ASSERT_TRUE(info.ok);
  ASSERT_GE(info.Rows().size(), 11u);
  EXPECT_NE(info.Rows()[10][2].value_or("").find("collation="), std::string::npos);
  EXPECT_EQ(tool->Scalar("sp_MSgetversion"), "8.00.2039");
  const ExecResult set = tool->Exec("sp_configure 'remote login timeout (s)',30");
  EXPECT_TRUE(set.ok);
  EXPECT_TRUE(set.HasNative(15457));
  ASSERT_TRUE(tool->Exec("RECONFIGURE WITH OVERRIDE").ok);
  const ExecResult read = tool->Exec("sp_configure 'remote login timeout (s)'");
  ASSERT_EQ(read.Rows().size(), 1u);
  EXPECT_EQ(read.Rows()[0][4].value_or(""), "30");
}

// The login packet carries the name in UCS-2, the batch that made the login in UTF-16: both
// name the same login. (Through FreeTDS only the wide connect call sends the name as written.)
TEST_F(AdminOdbcTest, APolishNamedLoginLogsInThroughTheDriver) {
  auto tool = std::make_unique<OdbcClient>(server_->Utf8ConnectionString("sa", ""));
  ASSERT_TRUE(tool->Exec("exec sp_addlogin N'Sklep Północ', N'hasło żółw', N'Sklep'").ok);
  OdbcClient till(server_->Utf8ConnectionString("Sklep Północ", "hasło żółw"), true);
  EXPECT_EQ(till.Scalar("select SUSER_SNAME()"), "Sklep Północ");
  EXPECT_THROW(OdbcClient(server_->Utf8ConnectionString("Sklep Północ", "haslo zolw"), true), testkit::OdbcFailure);
}

}  // namespace
}  // namespace msde::admin_test
