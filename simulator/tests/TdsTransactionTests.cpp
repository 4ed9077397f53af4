// TDS 7.2 as SQL Server 2005 speaks it: a client asking for 7.2 or later is acknowledged at
// 7.2, hears of every transaction that begins or ends (ENVCHANGE 8, 9, 10 with the
// transaction's descriptor), and may begin, commit and roll back through transaction
// manager requests. SQL Server 2000 answers the same client at 7.1 and serves none of it.
#include <gmock/gmock.h>

#include "TdsRawClient.h"
#include "tds/Packet.h"
#include "tds/Tokens.h"
#include "testkit/SimServer.h"

namespace msde::testing {
namespace {

constexpr uint32_t kTds74 = 0x74000004;

// A transaction manager request: its type and payload after the ALL_HEADERS block.
Bytes TransactionRequest(uint64_t descriptor, uint16_t type, const Bytes& payload) {
  Bytes out = AllHeaders(descriptor);
  out.push_back(static_cast<uint8_t>(type));
  out.push_back(static_cast<uint8_t>(type >> 8));
  out.insert(out.end(), payload.begin(), payload.end());
  return out;
}

// The transaction changes of a response as (type, descriptor bytes).
std::vector<std::pair<int, std::string>> TransactionChanges(const std::vector<RawToken>& tokens) {
  std::vector<std::pair<int, std::string>> out;
  for (const RawToken& t : tokens)
    if (t.kind == tds::Token::EnvChange && t.env_type >= tds::EnvType::BeginTransaction &&
        t.env_type <= tds::EnvType::RollbackTransaction)
      out.emplace_back(t.env_type, t.text);
  return out;
}

int FirstError(const std::vector<RawToken>& tokens) {
  for (const RawToken& t : tokens)
    if (t.kind == tds::Token::Error) return t.number;
  return 0;
}

bool EndsWithFinalDone(const std::vector<RawToken>& tokens) {
  return !tokens.empty() && tokens.back().kind == tds::Token::Done &&
         (tokens.back().status & tds::DoneStatus::More) == 0;
}

TEST(TdsTransactions, Express2005TellsTds72ClientsOfTransactionsAndServesTransactionRequests) {
  testkit::SimServerOptions options;
  options.data_file = std::string(MSDE_DATA_DIR) + "/demo2005.json";
  testkit::SimServer server(options);
  RawClient raw(server.Port());
  const auto login = raw.LogIn("sa", "", 4096, kTds74);
  ASSERT_TRUE(EndsWithFinalDone(login));  // the login's DONE already has a 64-bit count
  const auto ack = std::find_if(login.begin(), login.end(), [](const RawToken& t) { return t.kind == tds::Token::LoginAck; });
  ASSERT_NE(ack, login.end());
  EXPECT_EQ(static_cast<uint32_t>(ack->number), tds::kTds72);

  // Statements: BEGIN TRAN tells the descriptor, a nested one nothing, COMMIT the same one.
  auto begun = raw.Batch("BEGIN TRAN BEGIN TRAN", true);
  ASSERT_EQ(TransactionChanges(begun).size(), 1u);
  const auto [type, first] = TransactionChanges(begun)[0];
  EXPECT_EQ(type, tds::EnvType::BeginTransaction);
  ASSERT_EQ(first.size(), 8u);
  EXPECT_TRUE(EndsWithFinalDone(begun));
  EXPECT_TRUE(TransactionChanges(raw.Batch("COMMIT", true)).empty());
  EXPECT_THAT(TransactionChanges(raw.Batch("COMMIT", true)),
              ::testing::ElementsAre(std::pair(int{tds::EnvType::CommitTransaction}, first)));

  // Transaction manager requests: begin; commit and begin anew; roll back.
  const auto tm_begin = raw.Request(tds::PacketType::TransactionManager, TransactionRequest(0, 5, {0, 0}));
  ASSERT_EQ(TransactionChanges(tm_begin).size(), 1u);
  const std::string second = TransactionChanges(tm_begin)[0].second;
  EXPECT_NE(second, first);
  EXPECT_TRUE(EndsWithFinalDone(tm_begin));
  uint64_t descriptor = 0;
  for (size_t i = 0; i < 8; ++i) descriptor |= uint64_t{static_cast<uint8_t>(second[i])} << (8 * i);
  const auto again = raw.Request(tds::PacketType::TransactionManager,
                                 TransactionRequest(descriptor, 7, {0, 0x01, 0, 0}));
  const auto changes = TransactionChanges(again);
  ASSERT_EQ(changes.size(), 2u);
  EXPECT_EQ(changes[0], std::pair(int{tds::EnvType::CommitTransaction}, second));
  EXPECT_EQ(changes[1].first, tds::EnvType::BeginTransaction);
  const auto rolled = raw.Request(tds::PacketType::TransactionManager, TransactionRequest(descriptor, 8, {0, 0}));
  EXPECT_THAT(TransactionChanges(rolled),
              ::testing::ElementsAre(std::pair(int{tds::EnvType::RollbackTransaction}, changes[1].second)));
  EXPECT_EQ(FirstError(raw.Batch("ROLLBACK", true)), 3903);  // nothing left open

  // No coordinator for distributed transactions; an unknown request ends the connection.
  EXPECT_EQ(FirstError(raw.Request(tds::PacketType::TransactionManager, TransactionRequest(0, 0, {0, 0}))), 8501);
  raw.SendMessage(tds::PacketType::TransactionManager, TransactionRequest(0, 42, {}));
  EXPECT_TRUE(raw.ClosedByServer());
}

TEST(TdsTransactions, Server2000AnswersTds72ClientsAt71) {
  testkit::SimServer server;
  RawClient raw(server.Port());
  const auto login = raw.LogIn("sa", "", 4096, kTds74);
  const auto ack = std::find_if(login.begin(), login.end(), [](const RawToken& t) { return t.kind == tds::Token::LoginAck; });
  ASSERT_NE(ack, login.end());
  EXPECT_EQ(static_cast<uint32_t>(ack->number), tds::kTds71);
  EXPECT_TRUE(TransactionChanges(raw.Batch("BEGIN TRAN ROLLBACK", true)).empty());
  EXPECT_EQ(FirstError(raw.Request(tds::PacketType::TransactionManager, TransactionRequest(0, 5, {0, 0}))), 4002);
}

}  // namespace
}  // namespace msde::testing
