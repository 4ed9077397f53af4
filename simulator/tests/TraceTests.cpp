// The statement trace end to end: msde-sim started by the test kit (which always traces),
// FreeTDS through unixODBC, and the trace read back through the kit and as raw lines.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "testkit/OdbcClient.h"
#include "testkit/SimServer.h"

namespace msde::engine_test {
namespace {

using testkit::OdbcClient;
using testkit::TraceLine;

class TraceTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { server_ = new testkit::SimServer(); }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  std::unique_ptr<OdbcClient> Connect(const std::string& extra = "") {
    return std::make_unique<OdbcClient>(server_->Utf8ConnectionString("sa", "") + extra);
  }
  // The lines of one session after Mark (the driver may send statements of its own).
  static std::vector<TraceLine> SessionLines(size_t Mark, int Spid) {
    std::vector<TraceLine> lines;
    for (TraceLine& t : server_->TraceSince(Mark))
      if (t.Spid == Spid) lines.push_back(std::move(t));
    return lines;
  }
  static std::string RawTrace() {
    std::ifstream in(server_->TraceFile(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  static testkit::SimServer* server_;
};

testkit::SimServer* TraceTest::server_ = nullptr;

TEST_F(TraceTest, EachStatementOfABatchWithSessionApplicationAndDatabaseAtItsStart) {
  auto c = Connect(";APP=Kasa fiskalna");
  const int spid = std::stoi(c->Scalar("select @@SPID"));
  ASSERT_TRUE(c->Exec("use master").ok);
  const size_t mark = server_->TraceMark();
  // Two statements in one batch: the second starts in the database the first chose; a failing
  // statement is traced like any other.
  ASSERT_TRUE(c->Exec("use Sklep select 'a\tb\\c' as x").ok);
  EXPECT_FALSE(c->Exec("select * from NieMaTakiejTabeli").ok);
  const std::vector<TraceLine> lines = SessionLines(mark, spid);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].Application, "Kasa fiskalna");
  EXPECT_EQ(lines[0].Database, "master");
  EXPECT_EQ(lines[0].Text, "use Sklep");
  EXPECT_EQ(lines[1].Database, "Sklep");
  EXPECT_EQ(lines[1].Text, "select 'a\tb\\c' as x");
  EXPECT_EQ(lines[2].Text, "select * from NieMaTakiejTabeli");
  EXPECT_EQ(server_->TraceSince(server_->TraceMark()).size(), 0u);
}

TEST_F(TraceTest, LineBreaksTabsAndBackslashesAreEscapedOnOneLine) {
  auto c = Connect();
  const size_t mark = server_->TraceMark();
  ASSERT_TRUE(c->Exec("select 1\r\n\t, '\\n'  -- a comment inside the statement\nselect N'Wschód' ").ok);
  const std::vector<TraceLine> lines = server_->TraceSince(mark);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].Text, "select 1\r\n\t, '\\n'");
  EXPECT_EQ(lines[1].Text, "select N'Wschód' ") << "the last statement keeps the batch's trailing blank";
  EXPECT_NE(RawTrace().find("\tselect 1\\r\\n\\t, '\\\\n'\n"), std::string::npos);
}

TEST_F(TraceTest, PasswordCarryingProceduresAreHidden) {
  auto c = Connect();
  const size_t mark = server_->TraceMark();
  ASSERT_TRUE(c->Exec("EXEC sp_addlogin 'sledzony', 'tajne-haslo-1'").ok);
  // Hidden whether or not the server accepts it.
  c->Exec("exec master..SP_PASSWORD 'tajne-haslo-1', 'tajne-haslo-2', 'sledzony'");
  ASSERT_TRUE(c->Exec("exec sp_droplogin 'sledzony'").ok);
  // SQL Server 2005's statement, whatever the spacing (refused here, at 2000).
  c->Exec("create\n  LOGIN sledzony WITH PASSWORD = 'tajne-haslo-3'");
  const std::vector<TraceLine> lines = server_->TraceSince(mark);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].Text,
            "-- 'sp_addlogin' was found in the text of this event. The text has been replaced "
            "with this comment for security reasons.");
  EXPECT_EQ(lines[1].Text,
            "-- 'sp_password' was found in the text of this event. The text has been replaced "
            "with this comment for security reasons.");
  EXPECT_EQ(lines[2].Text, "exec sp_droplogin 'sledzony'");
  EXPECT_EQ(lines[3].Text,
            "-- 'CREATE LOGIN' was found in the text of this event. The text has been replaced "
            "with this comment for security reasons.");
  EXPECT_EQ(RawTrace().find("tajne-haslo"), std::string::npos);
}

TEST_F(TraceTest, ABatchThatCannotBeReadIsTracedWhole) {
  auto c = Connect();
  const size_t mark = server_->TraceMark();
  EXPECT_FALSE(c->Exec("select 'unclosed").ok);
  const std::vector<TraceLine> lines = server_->TraceSince(mark);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].Text, "select 'unclosed");
}

}  // namespace
}  // namespace msde::engine_test
