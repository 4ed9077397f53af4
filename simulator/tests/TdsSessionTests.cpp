// Connections side by side: each is served while another waits, a KILL closes its victim,
// and however a connection ends, its session is freed.
#include <gmock/gmock.h>

#include <thread>

#include "TdsRawClient.h"
#include "TdsTestServer.h"
#include "tds/Packet.h"

namespace msde::testing {
namespace {

TEST_F(TdsTest, TwoConnectionsAreServedAtOnce) {
  auto waiting = Connect();
  auto other = Connect();
  std::thread wait([&] { waiting->Exec("waitfor", 5); });
  ASSERT_TRUE(engine_.WaitForWaitingSession());
  // Served while the first connection's statement still runs.
  EXPECT_EQ(other->Scalar("select 1"), "1");
  EXPECT_EQ(other->Exec("rows 100").Rows().size(), 100u);
  waiting->Cancel();
  wait.join();
  EXPECT_EQ(waiting->Scalar("select 1"), "1");
}

TEST_F(TdsTest, KillClosesTheVictimsConnection) {
  auto victim = Connect();
  auto killer = Connect();
  int spid = engine_.NewestSpid() - 1;  // the victim logged in first
  EXPECT_TRUE(killer->Exec("kill " + std::to_string(spid)).ok);
  auto result = victim->Exec("select 1");
  EXPECT_FALSE(result.ok);
  EXPECT_TRUE(engine_.WaitForLiveSessions(1));
  EXPECT_EQ(killer->Scalar("select 1"), "1");
}

TEST_F(TdsTest, StoppingTheServerEndsItsConnectionsAndFreesTheirSessions) {
  auto idle = Connect();
  auto busy = Connect();
  std::thread wait([&] { busy->Exec("waitfor"); });
  ASSERT_TRUE(engine_.WaitForWaitingSession());
  server_->Stop();
  wait.join();
  EXPECT_EQ(engine_.LiveSessions(), 0);
  EXPECT_FALSE(idle->Exec("select 1").ok);
}

TEST_F(TdsTest, AClientThatLeavesMidResultFreesItsSession) {
  {
    RawClient raw(port_);
    raw.LogIn(StubEngine::kUser, StubEngine::kPassword);
    raw.SendMessage(tds::PacketType::SqlBatch, Utf16("rows 200000"));
  }  // gone while the rows are being sent
  EXPECT_TRUE(engine_.WaitForLiveSessions(0));
  EXPECT_EQ(Connect()->Scalar("select 1"), "1");
}

TEST_F(TdsTest, AClientThatSendsWithoutReadingIsStillEndedByStop) {
  RawClient raw(port_);
  raw.LogIn(StubEngine::kUser, StubEngine::kPassword);
  for (int i = 0; i < 40; ++i) raw.SendMessage(tds::PacketType::SqlBatch, Utf16("rows 5000"));
  server_->Stop();  // returns although replies and requests are stuck in both directions
  EXPECT_EQ(engine_.LiveSessions(), 0);
}

}  // namespace
}  // namespace msde::testing
