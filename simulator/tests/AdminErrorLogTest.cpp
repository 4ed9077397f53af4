// The server's error log: what it writes as it starts and runs, the file and its older
// generations, and xp_readerrorlog / sp_readerrorlog in the layouts of SQL Server 2000 and 2005.
#include <gmock/gmock.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "AdminFixture.h"
#include "engine/ErrorLog.h"

namespace msde::admin_test {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::MatchesRegex;

class AdminErrorLogTest : public AdminTest {
 public:
  std::string LogFile() const { return Files() + "ERRORLOG"; }

  void Start(const std::string& data_set = kDataSet) { Restart(data_set, LogFile()); }

  void FailLogin(const std::string& user, const std::string& password) { EXPECT_FALSE(LogsIn(user, password)); }

  // The texts of the log's rows (2000: whole lines; 2005: the Text column).
  std::vector<std::string> Rows(const std::string& call) {
    const Answer a = Run(call);
    EXPECT_FALSE(a.failed()) << a.ErrorText();
    std::vector<std::string> rows;
    const size_t column = a.Result().columns.size() == 3 ? 2 : 0;
    for (size_t r = 0; r < a.Result().rows.size(); ++r) rows.push_back(a.Text(r, column));
    return rows;
  }
};

TEST_F(AdminErrorLogTest, StartLoginsBackupsChecksAndKillsAreLoggedInTheServersLineFormat) {
  Start();
  FailLogin("jan", "zle");
  FailLogin("nikt", "");
  ASSERT_FALSE(Run("BACKUP DATABASE Sklep TO DISK = 'Sklep.bak' WITH INIT").failed());
  EXPECT_TRUE(Run("DBCC CHECKDB (Uszkodzona)").HasError(8928));
  auto jan = Connect("jan", "tajne");
  ASSERT_FALSE(Run("KILL " + std::to_string(jan->spid)).failed());

  const Answer a = Run("exec master..xp_readerrorlog");
  EXPECT_EQ(a.ColumnNames(), (std::vector<std::string>{"ERRORLOG", "ContinuationRow"}));
  std::vector<std::string> rows;  // a continued row joined to the one before it
  for (size_t r = 0; r < a.Result().rows.size(); ++r) {
    if (a.Text(r, 1) == "1") rows.back() += a.Text(r, 0);
    else rows.push_back(a.Text(r, 0));
  }
  ASSERT_GT(rows.size(), 10u);
  EXPECT_THAT(rows[0], MatchesRegex("[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{2} server    "
                                    "Microsoft SQL Server  2000 - 8\\.00\\.2039 \\(Intel X86\\) "));
  // The version's further lines go on without a time.
  EXPECT_EQ(rows[1], "\tMay  3 2005 23:18:38 ");
  EXPECT_THAT(rows, Contains(HasSubstr("server    Server Process ID is 4242.")));
  EXPECT_THAT(rows, Contains(HasSubstr("Starting up database 'Sklep'.")));
  EXPECT_THAT(rows, Contains(MatchesRegex(".{22} logon     Error: 18456, Severity: 14, State: 8\\.")));
  EXPECT_THAT(rows, Contains(MatchesRegex(".{22} logon     Login failed for user 'jan'\\.")));
  EXPECT_THAT(rows, Contains(HasSubstr("Error: 18456, Severity: 14, State: 5.")));
  EXPECT_THAT(rows, Contains(MatchesRegex(
                        ".{22} backup    Database backed up: Database: Sklep, creation date\\(time\\): "
                        "[0-9]{4}/[0-9]{2}/[0-9]{2}\\([0-9:]{8}\\), pages dumped: 74, first LSN: [0-9]+:[0-9]+:1, "
                        "last LSN: [0-9]+:[0-9]+:75, number of dump devices: 1, device information: "
                        "\\(FILE=1, TYPE=DISK: \\{'Sklep.bak'\\}\\)\\.")));
  EXPECT_THAT(rows, Contains(MatchesRegex(".{22} spid51    DBCC CHECKDB \\(Uszkodzona\\) executed by sa found 2 errors "
                                          "and repaired 0 errors\\.")));
  EXPECT_THAT(rows, Contains(MatchesRegex(".{22} spid51    Process ID 52 was killed by hostname KASA1, host "
                                          "process ID 0\\.")));

  // The file holds the same lines; the server's disk does not show it among the data files.
  std::ifstream in(LogFile());
  std::stringstream file;
  file << in.rdbuf();
  EXPECT_THAT(file.str(), HasSubstr("logon     Login failed for user 'jan'.\n"));
  const Answer data = Run("xp_dirtree 'C:\\Program Files\\Microsoft SQL Server\\MSSQL\\Data', 1, 1");
  ASSERT_FALSE(data.Result().rows.empty());
  for (size_t r = 0; r < data.Result().rows.size(); ++r) EXPECT_THAT(data.Text(r, 0), ::testing::Not(HasSubstr("ERRORLOG")));
}

TEST_F(AdminErrorLogTest, SearchTextsMustBothOccurAndLongLinesContinue) {
  Start();
  FailLogin("jan", "zle");
  FailLogin("ewa", "zle");
  EXPECT_EQ(Rows("xp_readerrorlog 0, 1, 'login FAILED', 'jan'").size(), 1u);
  EXPECT_EQ(Rows("sp_readerrorlog 0, 1, 'Login failed'").size(), 2u);
  EXPECT_EQ(Rows("sp_readerrorlog @p1 = 0, @p2 = 1, @p3 = '18456', @p4 = 'State: 5'").size(), 1u);
  // The agent's log is not kept.
  EXPECT_TRUE(Rows("xp_readerrorlog 0, 2").empty());

  FailLogin(std::string(300, 'x'), "");
  const Answer a = Run("xp_readerrorlog 0, 1, 'xxxxxxxxxx'");
  ASSERT_EQ(a.Result().rows.size(), 2u);
  EXPECT_EQ(a.Text(0, 0).size(), 255u);
  EXPECT_EQ(a.Text(0, 1) + a.Text(1, 1), "01");
  EXPECT_EQ(a.Text(1, 0), std::string(300 - (255 - 33 - 23), 'x') + "'.");
}

TEST_F(AdminErrorLogTest, EachStartBeginsANewLogAndTheOldOnesStayReadable) {
  Start();
  FailLogin("pierwszy", "");
  Start();
  EXPECT_TRUE(Rows("xp_readerrorlog 0, 1, 'pierwszy'").empty());
  EXPECT_EQ(Rows("xp_readerrorlog 1, 1, 'pierwszy'").size(), 1u);
  for (int i = 0; i < kErrorLogGenerations; ++i) Start();
  EXPECT_TRUE(std::filesystem::exists(LogFile() + ".6"));
  EXPECT_FALSE(std::filesystem::exists(LogFile() + ".7"));
  const Answer missing = Run("xp_readerrorlog 7");
  EXPECT_EQ(missing.ErrorNumber(), 22004);
  EXPECT_EQ(missing.ErrorText(), "xp_readerrorlog() returned error 2, 'The system cannot find the file specified.'");
  // Only a sysadmin reads the log.
  auto jan = Connect("jan", "tajne");
  EXPECT_EQ(Run(*jan, "xp_readerrorlog").ErrorNumber(), 229);
}

TEST_F(AdminErrorLogTest, SqlServer2005ListsEntriesWithDateAndProcessAndCarriesTheDataSetsOldLines) {
  std::string data = DataSet2005();
  const std::string old = R"(, "errorlog": [{"date": "2026-12-09 11:58:00.10", "source": "spid54", "text": "Error: 824, Severity: 24, State: 2."}])";
  data.insert(data.rfind('}'), old);
  Start(data);
  FailLogin("jan", "zle");
  const Answer a = Run("xp_readerrorlog 0, 1, '824'");
  EXPECT_EQ(a.ColumnNames(), (std::vector<std::string>{"LogDate", "ProcessInfo", "Text"}));
  ASSERT_EQ(a.Result().rows.size(), 1u);
  EXPECT_EQ(std::get<SqlDateTime>(a.Result().rows[0][0]), ParseDateTime("2026-12-09 11:58:00.10"));
  EXPECT_EQ(a.Text(0, 1), "spid54");
  EXPECT_EQ(Rows("sp_readerrorlog 0, 1, 'Login failed'"),
            (std::vector<std::string>{"Login failed for user 'jan'. [CLIENT: 127.0.0.1]"}));
  EXPECT_THAT(Rows("sp_readerrorlog"), Contains("Recovery is complete. This is an informational message only. No "
                                                "user action is required."));
}

TEST_F(AdminErrorLogTest, ATornPageReadEndsTheStatementAndIsLogged) {
  std::string data = kDataSet;
  const std::string mark = R"("error": 8928)";
  data.replace(data.find(mark), mark.size(), R"("error": 824)");
  Start(data);
  const Answer a = Run("select count(*) from Uszkodzona.dbo.Dokumenty");
  EXPECT_EQ(a.ErrorNumber(), 823);
  EXPECT_EQ(a.errors.at(0).severity, 24);
  EXPECT_EQ(a.ErrorText(), "I/O error (torn page) detected during read at offset 0x00000000000c0000 in file "
                           "'C:\\Program Files\\Microsoft SQL Server\\MSSQL\\Data\\Uszkodzona.mdf'.");
  EXPECT_EQ(Rows("xp_readerrorlog 0, 1, 'Severity: 24'").size(), 1u);
  EXPECT_EQ(Rows("xp_readerrorlog 0, 1, 'torn page'").size(), 1u);
  // Tables without such a page read as before.
  EXPECT_FALSE(Run("select count(*) from Sklep.dbo.Towary").failed());

  std::string data2005 = DataSet2005();
  data2005.replace(data2005.find(mark), mark.size(), R"("error": 824)");
  Start(data2005);
  const Answer b = Run("select * from Uszkodzona.dbo.Dokumenty");
  EXPECT_EQ(b.ErrorNumber(), 824);
  EXPECT_THAT(b.ErrorText(), HasSubstr("It occurred during a read of page (1:96) in database ID 6 at offset "
                                       "0x00000000000c0000 in file"));
  EXPECT_THAT(Rows("sp_readerrorlog 0, 1, 'Error: 824'"), Contains("Error: 824, Severity: 24, State: 2."));
}

}  // namespace
}  // namespace msde::admin_test
