// Backup and restore end to end: msde-sim on a free port, FreeTDS through unixODBC, the
// server's messages as the driver hands them over, a second connection holding the
// database, and a cancel (SQLCancel) in the middle of a long backup.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <thread>

#include "AdminFixture.h"
#include "TdsRawClient.h"
#include "tds/Packet.h"
#include "tds/Tokens.h"
#include "testkit/OdbcClient.h"
#include "testkit/SimServer.h"

namespace msde::admin_test {
namespace {

using testkit::ExecResult;
using testkit::OdbcClient;

std::string Trimmed(std::string text) { return text.substr(0, text.find_last_not_of(' ') + 1); }

class AdminBackupOdbcTest : public ::testing::Test {
 public:
  // `page_microseconds`: the server's pace; a slow one makes a backup long enough to cancel.
  void Start(int page_microseconds) {
    std::string data = kDataSet;
    const std::string server = R"("server": {"name": "KASA", )";
    data.replace(data.find(server), server.size(),
                 server + "\"backup_page_microseconds\": " + std::to_string(page_microseconds) + ", ");
    WriteText(dir_.Path() + "/data.json", data);
    testkit::SimServerOptions options;
    options.data_file = dir_.Path() + "/data.json";
    options.files_dir = dir_.Path();
    server_ = std::make_unique<testkit::SimServer>(options);
  }
  std::unique_ptr<OdbcClient> Connect(const std::string& extra = "") {
    return std::make_unique<OdbcClient>(server_->ConnectionString("sa", "") + extra);
  }

  const std::string bak_ = "C:\\Program Files\\Microsoft SQL Server\\MSSQL\\BACKUP\\Sklep.bak";
  testkit::TempDir dir_;
  std::unique_ptr<testkit::SimServer> server_;
};

TEST_F(AdminBackupOdbcTest, BackupListRestoreOverAHeldDatabaseAfterItIsLetGo) {
  Start(200);
  auto tool = Connect();
  auto till = Connect(";APP=Kasa fiskalna");
  ASSERT_TRUE(till->Exec("use Sklep").ok);
  const ExecResult backup = tool->Exec("BACKUP DATABASE Sklep TO DISK = N'" + bak_ +
                                       "' WITH INIT, NAME = N'Sklep', STATS = 10");
  ASSERT_TRUE(backup.ok);
  EXPECT_TRUE(backup.Mentions("10 percent backed up."));
  EXPECT_TRUE(backup.Mentions("Processed 73 pages for database 'Sklep', file 'Sklep_Data' on file 1."));
  EXPECT_TRUE(backup.Mentions("BACKUP DATABASE successfully processed 74 pages in "));
  ASSERT_TRUE(tool->Exec("BACKUP DATABASE Sklep TO DISK = N'" + bak_ + "' WITH NOINIT").ok);

  const ExecResult sets = tool->Exec("RESTORE HEADERONLY FROM DISK = N'" + bak_ + "'");
  ASSERT_TRUE(sets.ok);
  ASSERT_EQ(sets.sets.at(0).columns.size(), 33u);
  EXPECT_EQ(sets.sets[0].columns[0], "BackupName");
  EXPECT_EQ(sets.sets[0].columns[32], "Collation");
  ASSERT_EQ(sets.Rows().size(), 2u);
  EXPECT_EQ(sets.Rows()[0][0].value_or("NULL"), "Sklep");
  EXPECT_FALSE(sets.Rows()[1][0].has_value());
  EXPECT_EQ(sets.Rows()[1][5].value_or(""), "2");
  EXPECT_EQ(sets.Rows()[1][9].value_or(""), "Sklep");
  const ExecResult files = tool->Exec("RESTORE FILELISTONLY FROM DISK = N'" + bak_ + "' WITH FILE = 2");
  ASSERT_EQ(files.Rows().size(), 2u);
  EXPECT_EQ(files.Rows()[0][0].value_or(""), "Sklep_Data");
  EXPECT_EQ(files.Rows()[1][2].value_or(""), "L");

  // A change made since the backup, by the owner change procedure.
  ASSERT_TRUE(tool->Exec("use Sklep exec sp_changeobjectowner 'jan.Klienci', 'dbo'").ok);
  ASSERT_TRUE(tool->Exec("use master").ok);
  const std::string restore = "RESTORE DATABASE Sklep FROM DISK = N'" + bak_ + "' WITH REPLACE, FILE = 1, STATS = 10";
  const ExecResult refused = tool->Exec(restore);
  EXPECT_FALSE(refused.ok);
  EXPECT_TRUE(refused.HasNative(3101));
  EXPECT_TRUE(refused.HasNative(3013));
  EXPECT_EQ(Trimmed(tool->Scalar("select program_name from sysprocesses where dbid=DB_ID('Sklep')")),
            "Kasa fiskalna");
  ASSERT_TRUE(till->Exec("use master").ok);
  const ExecResult restored = tool->Exec(restore);
  ASSERT_TRUE(restored.ok);
  EXPECT_TRUE(restored.Mentions("100 percent restored."));
  EXPECT_TRUE(restored.Mentions("RESTORE DATABASE successfully processed 74 pages in "));
  EXPECT_EQ(tool->Scalar("select Nazwisko from Sklep.jan.Klienci"), "Kowalski");
  EXPECT_TRUE(tool->Exec("RESTORE VERIFYONLY FROM DISK = N'" + bak_ + "'").ok);
}

TEST_F(AdminBackupOdbcTest, CancelDuringALongBackupLeavesNoFileAndTheDatabaseUntouched) {
  Start(40000);  // Sklep's 73 data pages take about three seconds
  auto tool = Connect();
  auto watcher = Connect();
  const std::string spid = tool->Scalar("select @@SPID");
  ExecResult cancelled;
  std::thread backup([&] {
    cancelled = tool->Exec("BACKUP DATABASE Sklep TO DISK = N'" + bak_ + "' WITH INIT, STATS = 10");
  });
  const std::string cmd = "select cmd from sysprocesses where spid = " + spid;
  for (int i = 0; i < 500 && Trimmed(watcher->Scalar(cmd)) != "BACKUP DATABASE"; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(Trimmed(watcher->Scalar(cmd)), "BACKUP DATABASE");
  tool->Cancel();
  backup.join();
  EXPECT_FALSE(cancelled.ok);
  EXPECT_FALSE(std::filesystem::exists(dir_.Path() + "/Sklep.bak"));
  EXPECT_FALSE(std::filesystem::exists(dir_.Path() + "/Sklep.bak.tmp"));
  EXPECT_EQ(tool->Scalar("select count(*) from Sklep.dbo.Towary"), "2");
  EXPECT_TRUE(tool->Exec("RESTORE HEADERONLY FROM DISK = N'" + bak_ + "'").HasNative(3201));
}

// SQL Server sends a STATS progress message at once, in a packet of its own that does not
// end the response, instead of holding it until a packet fills or the statement ends: the
// first two packets each hold one progress message while the backup still runs (it runs
// until the attention ends it).
TEST_F(AdminBackupOdbcTest, ProgressMessagesLeaveAtOnceWhileTheBackupRuns) {
  Start(40000);
  testing::RawClient raw(server_->Port());
  ASSERT_FALSE(raw.LogIn("sa", "").empty());
  raw.SendBatch("BACKUP DATABASE Sklep TO DISK = N'" + bak_ + "' WITH INIT, STATS = 10");
  for (const char* expected : {"10 percent backed up.", "20 percent backed up."}) {
    const std::optional<testing::RawPacket> packet = raw.ReadPacket();
    ASSERT_TRUE(packet);
    EXPECT_FALSE(packet->last) << expected;
    const std::vector<testing::RawToken> tokens = testing::Tokens(packet->body);
    ASSERT_EQ(tokens.size(), 1u) << expected;
    EXPECT_EQ(tokens[0].kind, tds::Token::Info);
    EXPECT_EQ(tokens[0].number, 3211);
    EXPECT_EQ(tokens[0].text, expected);
  }
  raw.SendMessage(tds::PacketType::Attention, {});
  // The cut-short response ends with a DONE; the acknowledgement follows on its own.
  const std::optional<tds::Bytes> rest = raw.ReadMessage();
  ASSERT_TRUE(rest);
  const std::vector<testing::RawToken> tokens = testing::Tokens(*rest);
  ASSERT_FALSE(tokens.empty());
  EXPECT_EQ(tokens.back().kind, tds::Token::Done);
  EXPECT_EQ(tokens.back().status, tds::DoneStatus::Final);
  const std::optional<tds::Bytes> ack = raw.ReadMessage();
  ASSERT_TRUE(ack);
  const std::vector<testing::RawToken> ack_tokens = testing::Tokens(*ack);
  ASSERT_EQ(ack_tokens.size(), 1u);
  EXPECT_EQ(ack_tokens[0].status, tds::DoneStatus::Attention);
  EXPECT_FALSE(std::filesystem::exists(dir_.Path() + "/Sklep.bak"));
}

}  // namespace
}  // namespace msde::admin_test
