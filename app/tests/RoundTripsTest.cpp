// How many statements the window sends for what the user does, read from the server's trace:
// a connection that answered a moment ago is not probed again, "use" goes only where the
// session is not in the database already, and reads of the same kind travel together.
#include <gmock/gmock.h>

#include <QAction>
#include <QTest>

#include "app/tests/SimFixture.h"
#include "testkit/OdbcClient.h"

namespace vandrel::app::testing {
namespace {

using ::testing::Contains;
using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::Not;
using ::testing::StartsWith;

class RoundTrips : public SimWindowTest {
 protected:
  // The tool's statements after Mark, as "database: text".
  std::vector<std::string> SentSince(size_t Mark) const {
    std::vector<std::string> sent;
    for (const auto& line : Sim->TraceSince(Mark))
      if (line.Application == "Vandrel") sent.push_back(line.Database + ": " + line.Text);
    return sent;
  }
  static bool IsProbe(const std::string& Line) { return Line.ends_with(": select 1"); }
  static bool IsUse(const std::string& Line) { return Line.find(": use ") != std::string::npos; }
  static long Count(const std::vector<std::string>& Sent, bool (*What)(const std::string&)) {
    return std::count_if(Sent.begin(), Sent.end(), What);
  }
  void Run(TCommandId Command) { Form->Commands(Command).first()->trigger(); }
};

TEST_F(RoundTrips, ConnectSelectAndAStateCommandSendOnlyWhatTheyRead) {
  size_t mark = Sim->TraceMark();
  Connect();
  std::vector<std::string> sent = SentSince(mark);
  // The login's name and role, the driver's version, the databases with their states, the
  // server's names, the logins.
  EXPECT_EQ(sent.size(), 5u) << ::testing::PrintToString(sent);
  EXPECT_EQ(Count(sent, IsProbe), 0);
  EXPECT_EQ(Count(sent, IsUse), 0);

  // Selecting a database reads its details, nothing else.
  mark = Sim->TraceMark();
  Select(Node("Sklep"));
  sent = SentSince(mark);
  EXPECT_EQ(sent.size(), 3u) << ::testing::PrintToString(sent);
  EXPECT_THAT(sent, Each(StartsWith("master: ")));
  EXPECT_EQ(Count(sent, IsProbe) + Count(sent, IsUse), 0);

  // Its tables are read in the database and its details in master: a "use" at each change.
  mark = Sim->TraceMark();
  Select(NodeUnder(Node("Sklep"), "Tabele"));
  Select(Node("Sklep"));
  Select(NodeUnder(Node("Sklep"), "Tabele"));
  sent = SentSince(mark);
  EXPECT_EQ(Count(sent, IsUse), 3) << ::testing::PrintToString(sent);
  EXPECT_EQ(Count(sent, IsProbe), 0);

  // A command that takes the database away from its users probes the connection first, once.
  Select(Node("Sklep"));
  mark = Sim->TraceMark();
  Run(TCommandId::cmTakeOffline);
  sent = SentSince(mark);
  EXPECT_EQ(Count(sent, IsProbe), 1) << ::testing::PrintToString(sent);
  EXPECT_THAT(sent, Contains("master: ALTER DATABASE Sklep SET OFFLINE"));
  EXPECT_LE(sent.size(), 10u) << ::testing::PrintToString(sent);
  EXPECT_EQ(Dialogs.Messages.back().Text, "Baza \"Sklep\" została wyłączona");
}

// After a pause the connection is probed before the next statement, as it always was.
TEST_F(RoundTrips, AConnectionIdleForAWhileIsProbedFirst) {
  Connect();
  Form->ProbeAfterIdle = 0;  // every moment counts as a pause
  const size_t mark = Sim->TraceMark();
  Select(Node("Sklep"));
  const std::vector<std::string> sent = SentSince(mark);
  EXPECT_EQ(Count(sent, IsProbe), 3) << ::testing::PrintToString(sent);
  EXPECT_EQ(Count(sent, IsUse), 0);
}

// A session the server ended meanwhile (another program's KILL) is connected again before the
// next statement is sent on it: the user sees the details, not a lost connection.
TEST_F(RoundTrips, ASessionTheServerEndedIsConnectedAgainFirst) {
  Connect();
  const std::string spid = Form->QueryScalar("select @@spid", "master").Value;
  msde::testkit::OdbcClient other(Sim->ConnectionString("sa", kSaPassword));
  ASSERT_TRUE(other.Exec("KILL " + spid).ok);
  QTRY_VERIFY_WITH_TIMEOUT(Form->Waiter.ConnectionEnded(), 30000);
  Dialogs.Messages.clear();
  Select(Node("Sklep"));
  EXPECT_TRUE(Dialogs.Messages.empty()) << Dialogs.Messages.front().Text;
  EXPECT_GT(Form->ListView1->RowCount(), 0);
}

}  // namespace
}  // namespace vandrel::app::testing
