// Two msde-sim processes given one directory as the share \\NAS\kopie, as a shop's two
// servers share a folder: a backup one writes there is a file the other lists and restores,
// and each writes its own error log.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "AdminFixture.h"
#include "testkit/OdbcClient.h"
#include "testkit/SimServer.h"

namespace msde::admin_test {
namespace {

using testkit::OdbcClient;

const std::string kShare = "\\\\NAS\\kopie";

class AdminShareOdbcTest : public ::testing::Test {
 public:
  // A server of its own files directory (`dir`), with `data_set` and the shared directory.
  std::unique_ptr<testkit::SimServer> Start(testkit::TempDir& dir, const std::string& data_set) {
    WriteText(dir.Path() + "/data.json", data_set);
    testkit::SimServerOptions options;
    options.data_file = dir.Path() + "/data.json";
    options.files_dir = dir.Path();
    options.extra_arguments = {"--share", kShare + "=" + shared_.Path()};
    return std::make_unique<testkit::SimServer>(options);
  }
  static std::string FileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  testkit::TempDir shared_, first_dir_, second_dir_;
};

TEST_F(AdminShareOdbcTest, ABackupOneServerWritesToTheShareTheOtherRestores) {
  auto first = Start(first_dir_, kDataSet);
  auto second = Start(second_dir_, kDataSet);
  OdbcClient one(first->ConnectionString("sa", ""));
  OdbcClient two(second->ConnectionString("sa", ""));
  ASSERT_TRUE(one.Exec("insert into Sklep.dbo.Towary values ('Ser')").ok);
  const std::string bak = kShare + "\\Sklep.bak";
  ASSERT_TRUE(one.Exec("BACKUP DATABASE Sklep TO DISK = N'" + bak + "' WITH INIT").ok);
  EXPECT_TRUE(std::filesystem::exists(shared_.Path() + "/Sklep.bak"));

  const auto exists = two.Exec("exec master..xp_fileexist N'" + bak + "'");
  ASSERT_TRUE(exists.ok);
  EXPECT_EQ(exists.Rows().at(0).at(0).value_or(""), "1");
  const auto headers = two.Exec("RESTORE HEADERONLY FROM DISK = N'" + bak + "'");
  ASSERT_TRUE(headers.ok);
  EXPECT_EQ(headers.Rows().at(0).at(9).value_or(""), "Sklep");
  const std::string data = "C:\\Program Files\\Microsoft SQL Server\\MSSQL\\Data\\";
  ASSERT_TRUE(two.Exec("RESTORE DATABASE Kopia FROM DISK = N'" + bak + "' WITH MOVE 'Sklep_Data' TO N'" + data +
                       "Kopia.mdf', MOVE 'Sklep_Log' TO N'" + data + "Kopia_log.ldf'")
                  .ok);
  EXPECT_EQ(two.Scalar("select count(*) from Kopia.dbo.Towary"), "3");

  // Each server's log tells its own part, in its own file.
  EXPECT_NE(FileText(first->ErrorLogFile()).find("Database backed up: Database: Sklep"), std::string::npos);
  const std::string log = FileText(second->ErrorLogFile());
  EXPECT_NE(log.find("Database restored: Database: Kopia"), std::string::npos);
  EXPECT_EQ(log.find("Database backed up"), std::string::npos);
}

}  // namespace
}  // namespace msde::admin_test
