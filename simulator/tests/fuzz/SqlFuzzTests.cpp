// Mutated SQL against the real engine: statements of the kind the tool and other clients
// send, cut, spliced, repeated and sprinkled with quotes, brackets and operators. Every batch
// must end in results or SQL Server's errors, never in a crash, a hang or an engine fault,
// and the server must go on serving. The loop is deterministic and bounded.
#include <gmock/gmock.h>

#include <filesystem>
#include <random>

#include "Engine.h"
#include "TdsRawClient.h"
#include "engine/LoadEngine.h"
#include "tds/TdsServer.h"
#include "testkit/TempDir.h"

namespace msde::testing {
namespace {

const char* const kCorpus[] = {
    "select 1",
    "select name, dbid, status, crdate from master..sysdatabases order by name",
    "select dbid from sysprocesses where dbid=DB_ID('Sklep')",
    "select CONVERT(varchar(30), SERVERPROPERTY('ProductVersion')), @@VERSION, @@SPID",
    "select DATABASEPROPERTYEX('Sklep', 'Status'), DATABASEPROPERTYEX('Sklep', 'Recovery')",
    "use Sklep select TOP 5 * from Towary where Cena > 10.5 and Nazwa like N'%ż%' order by 1 desc",
    "select CASE WHEN 1 = 1 THEN 'a' ELSE NULL END, COALESCE(NULL, 2), ISNULL(NULL, 'x')",
    "select CAST(-12.7 AS int), CONVERT(datetime, '2007-03-14 09:05:00', 120), 0x0102FF",
    "select count(*), max(name) from master.dbo.syslogins group by status having count(*) > 0",
    "exec sp_helpdb",
    "exec sp_configure 'user connections'",
    "sp_helpuser",
    "EXEC sp_tables @table_type = \"'TABLE'\"",
    "exec sp_columns N'Towary', N'dbo'",
    "DBCC CHECKDB('Sklep') WITH NO_INFOMSGS",
    "ALTER DATABASE Sklep SET READ_ONLY",
    "ALTER DATABASE Sklep SET READ_WRITE",
    "set nocount on; select 1; print 'x'; raiserror('zły %d', 10, 1, 5)",
    "select 'it''s', [a]]b] = 1, \"q\" = 2 -- comment\n/* block */ select 2",
    "select 1 where 1 in (1, 2, NULL) and not (2 between 1 and 3) or 'a' not like '[a-c]%'",
    "select LEN(N'Łódź'), UPPER('ąę'), SUBSTRING('abcdef', 2, 3), REPLICATE('x', 3)",
    "kill 9999",
    "select * from Sklep.dbo.Towary t where t.Id = @P1",
};

const char* const kPieces[] = {
    "(",    ")",     "'",      "N'",     "[",      "]",     "\"",    "--",   "/*",  "*/",
    ",",    ";",     ".",      "..",     "*",      "+",     "-",     "%",    "=",   "<>",
    " ",    "\n",    "select", " from ", " where ", "case ", " when ", " end", "0x", "1e308",
    "@@",   "@P1",   "exec ",  "convert(", "cast(", " as ", "sp_",  "null", "ż",   "\xC3",
    "2147483648", "99999999999999999999999999999999999999999", "-0", ".5", "1.", "'')",
};

std::string Mutate(std::string text, std::mt19937& random) {
  auto pick = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random); };
  const int steps = pick(3) == 0 ? 2 + static_cast<int>(pick(3)) : 1;
  for (int s = 0; s < steps; ++s) {
    const size_t at = text.empty() ? 0 : pick(text.size() + 1);
    switch (pick(6)) {
      case 0:  // insert a piece of syntax
        text.insert(at, kPieces[pick(std::size(kPieces))]);
        break;
      case 1:  // cut a span
        if (!text.empty()) text.erase(at, 1 + pick(12));
        break;
      case 2: {  // repeat a span many times: deep nesting, long chains
        const std::string span = text.substr(at, 1 + pick(4));
        std::string many;
        const size_t n = 1 + pick(pick(8) == 0 ? 30000 : 300);
        for (size_t i = 0; i < n; ++i) many += span;
        text.insert(at, many);
        break;
      }
      case 3:  // flip a byte
        if (!text.empty()) text[pick(text.size())] ^= static_cast<char>(1 << pick(8));
        break;
      case 4: {  // wrap a span in deep parentheses or a run of prefix operators
        const char* const kOpen[] = {"(", "- ", "not ", "upper(", "case when 1=1 then "};
        const char* const kClose[] = {")", "", "", ")", " end"};
        const size_t kind = pick(std::size(kOpen)), n = 1 + pick(pick(4) == 0 ? 20000 : 300);
        const size_t end = std::min(text.size(), at + pick(20));
        std::string open, close;
        for (size_t i = 0; i < n; ++i) open += kOpen[kind], close += kClose[kind];
        text.insert(end, close);
        text.insert(at, open);
        break;
      }
      default:  // splice in part of another statement
        text.insert(at, std::string(kCorpus[pick(std::size(kCorpus))]).substr(0, pick(60)));
        break;
    }
  }
  return text;
}

// Checks what a batch reports: rows fit their result set, messages carry numbers.
class CheckingSink : public BatchSink {
 public:
  void Columns(const std::vector<ColumnInfo>& columns) override { columns_ = columns.size(); }
  void RowData(const Row& row) override { EXPECT_LE(row.size(), columns_); }
  void Info(const Message& m) override { EXPECT_GE(m.number, 0); }
  void Error(const Message& m) override {
    EXPECT_GT(m.number, 0) << m.text;
    EXPECT_NE(m.number, 8624) << m.text;  // an engine fault
  }
  void Done(int64_t, bool) override { columns_ = 0; }
  void DatabaseChanged(const std::string&, const std::string&) override {}


 private:
  size_t columns_ = 0;
};

class SqlFuzzTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::copy(std::string(MSDE_DATA_DIR) + "/files", files_.Path(),
                          std::filesystem::copy_options::recursive);
    engine_ = LoadEngine(std::string(MSDE_DATA_DIR) + "/demo.json", files_.Path());
  }
  std::shared_ptr<Session> LogIn() {
    LoginRequest request;
    request.user = "sa";
    request.application = "fuzz";
    std::vector<Message> errors;
    auto session = engine_->Login(request, errors);
    EXPECT_TRUE(session) << (errors.empty() ? "" : errors.front().text);
    return session;
  }

  testkit::TempDir files_{"msde-fuzz"};
  std::unique_ptr<Engine> engine_;
  std::mt19937 random_{20261209};
};

TEST_F(SqlFuzzTest, MutatedStatementsEndInResultsOrErrors) {
  auto session = LogIn();
  ASSERT_TRUE(session);
  for (int i = 0; i < 1500; ++i) {
    const std::string sql = Mutate(kCorpus[i % std::size(kCorpus)], random_);
    CheckingSink sink;
    try {
      engine_->ExecuteBatch(*session, sql, sink);
    } catch (const std::exception& e) {
      ADD_FAILURE() << "the engine failed on: " << sql.substr(0, 200) << ": " << e.what();
    }
    if (::testing::Test::HasFailure()) break;
  }
  CheckingSink sink;
  engine_->ExecuteBatch(*session, "select 1", sink);
  engine_->Logout(*session);
  EXPECT_TRUE(LogIn());
}

TEST_F(SqlFuzzTest, MutatedBatchesOverTheWireGetWholeResponses) {
  tds::TdsServer server(*engine_);
  const int port = server.Start(0);
  RawClient client(port);
  ASSERT_FALSE(client.LogIn("sa", "").empty());
  for (int i = 0; i < 200; ++i) {
    const std::string sql = Mutate(kCorpus[i % std::size(kCorpus)], random_);
    client.SendBatch(sql);
    ASSERT_TRUE(client.ReadMessage()) << "no whole response to: " << sql.substr(0, 200);
  }
  EXPECT_FALSE(client.Batch("select 1").empty());
  server.Stop();
}

}  // namespace
}  // namespace msde::testing
