// Cancelling a long statement: SQLCancel from another thread and the query time-out both
// send an attention, which the server must acknowledge while the statement still runs.
#include <gmock/gmock.h>

#include <thread>

#include "TdsTestServer.h"

namespace msde::testing {
namespace {

using ::testing::Contains;
using ::testing::Field;

TEST_F(TdsTest, CancelFromAnotherThreadStopsAWaitAndTheConnectionGoesOn) {
  auto client = Connect();
  std::thread canceller([&] {
    // Cancel only once the wait is under way on the server.
    if (engine_.WaitForWaitingSession()) client->Cancel();
  });
  auto result = client->Exec("waitfor");
  canceller.join();
  EXPECT_FALSE(result.ok);
  EXPECT_THAT(result.diagnostics, Contains(Field(&testkit::Diagnostic::state, "HY008")));
  EXPECT_EQ(client->Scalar("select 1"), "1");
  EXPECT_EQ(client->Exec("rows 3").Rows().size(), 3u);
}

TEST_F(TdsTest, QueryTimeoutCancelsAWaitAndTheConnectionGoesOn) {
  auto client = Connect();
  auto result = client->Exec("waitfor", 1);
  EXPECT_FALSE(result.ok);
  EXPECT_THAT(result.diagnostics, Contains(Field(&testkit::Diagnostic::state, "HYT00")));
  EXPECT_EQ(client->Scalar("select 1"), "1");
}

}  // namespace
}  // namespace msde::testing
