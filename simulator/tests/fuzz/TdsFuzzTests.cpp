// Garbage on the wire: random bytes, random packets of every type, truncated and mutated
// logins, and random requests after a good login. The server may refuse or hang up, but it
// must neither crash nor hang, must free every session, and must then serve a new client.
#include <gmock/gmock.h>

#include <random>

#include "TdsRawClient.h"
#include "TdsTestServer.h"
#include "tds/Packet.h"

namespace msde::testing {
namespace {

class FuzzTest : public TdsTest {
 protected:
  Bytes RandomBytes(size_t n) {
    Bytes b(n);
    for (auto& x : b) x = static_cast<uint8_t>(random_());
    return b;
  }
  size_t RandomSize(size_t max) { return std::uniform_int_distribution<size_t>(0, max)(random_); }

  void ExpectServerStillServes() {
    EXPECT_TRUE(engine_.WaitForLiveSessions(0));
    auto client = Connect();
    EXPECT_EQ(client->Scalar("select 1"), "1");
    EXPECT_EQ(client->Exec("rows 50").Rows().size(), 50u);
  }

  std::mt19937 random_{20261208};
};

TEST_F(FuzzTest, RandomBytesInsteadOfALogin) {
  for (int i = 0; i < 200; ++i) {
    RawClient raw(port_);
    raw.SendBytes(RandomBytes(1 + RandomSize(3000)));
  }
  ExpectServerStillServes();
}

TEST_F(FuzzTest, PacketsOfEveryTypeWithRandomPayloadsBeforeAndAfterLogin) {
  for (int type = 0; type < 0x20; ++type) {
    for (int i = 0; i < 4; ++i) {
      RawClient before(port_);
      before.SendMessage(static_cast<uint8_t>(type), RandomBytes(RandomSize(9000)));
      RawClient after(port_);
      after.LogIn(StubEngine::kUser, StubEngine::kPassword);
      after.SendMessage(static_cast<uint8_t>(type), RandomBytes(RandomSize(9000)));
      after.ReadMessage(nullptr, 2000);  // an answer or a closed connection, never a crash
    }
  }
  ExpectServerStillServes();
}

TEST_F(FuzzTest, TruncatedAndMutatedLogins) {
  Bytes login = Login7Record(StubEngine::kUser, StubEngine::kPassword, 4096, 0x71000001);
  for (size_t cut = 0; cut < login.size(); cut += 3) {
    RawClient raw(port_);
    raw.SendMessage(tds::PacketType::Login7, Bytes(login.begin(), login.begin() + cut));
    EXPECT_TRUE(raw.ClosedByServer()) << "cut at " << cut;
  }
  for (int i = 0; i < 300; ++i) {
    Bytes mutated = login;
    for (int k = 0; k < 3; ++k) mutated[RandomSize(mutated.size() - 1)] ^= 1 << RandomSize(7);
    RawClient raw(port_);
    raw.SendMessage(tds::PacketType::Login7, mutated);
    raw.ReadMessage(nullptr, 2000);
  }
  ExpectServerStillServes();
}

TEST_F(FuzzTest, BrokenPacketHeaders) {
  const std::vector<Bytes> headers = {
      {tds::PacketType::PreLogin, 1, 0, 0, 0, 0, 0, 0},        // length below the header's own
      {tds::PacketType::PreLogin, 1, 0, 7, 0, 0, 0, 0},        // likewise
      {tds::PacketType::PreLogin, 0, 0xFF, 0xFF, 0, 0, 0, 0},  // promises 64 kB, sends nothing
      {tds::PacketType::PreLogin, 0, 0, 8, 0, 0, 0, 0, tds::PacketType::Login7, 1, 0, 8},
  };
  for (const auto& header : headers) {
    RawClient raw(port_);
    raw.SendBytes(header);
  }
  ExpectServerStillServes();
}

TEST_F(FuzzTest, RandomRequestsAfterAGoodLogin) {
  const uint8_t types[] = {tds::PacketType::SqlBatch, tds::PacketType::Rpc,
                           tds::PacketType::Attention, tds::PacketType::TransactionManager};
  {
    RawClient raw(port_);
    ASSERT_FALSE(raw.LogIn(StubEngine::kUser, StubEngine::kPassword).empty());
    for (int i = 0; i < 300; ++i) {
      uint8_t type = types[RandomSize(3)];
      raw.SendMessage(type, RandomBytes(RandomSize(5000)), 512 + RandomSize(4096 - 512));
      if (!raw.ReadMessage(nullptr, 5000)) {
        ADD_FAILURE() << "no answer to request " << i << " of type " << int(type);
        break;
      }
    }
  }
  ExpectServerStillServes();
}

// At TDS 7.2 (the server playing SQL Server 2005): mutated transaction manager requests and
// RPC requests whose parameter comes in chunks.
TEST_F(FuzzTest, MutatedTds72RequestsOfTheirOwnForms) {
  engine_.product_.tds72 = true;
  const Bytes tm_begin = {5, 0, 2, 4, 't', 0, '1', 0};  // TM_BEGIN_XACT 't1'
  const Bytes rpc = {0xFF, 0xFF, 10,   0,    0, 0,    // sp_executesql
                     0,    0,    0xE7, 0xFF, 0xFF,    // nvarchar(max)
                     0x15, 0x04, 0xD0, 0,    0,       // its collation
                     4,    0,    0,    0,    0, 0, 0, 0, 4, 0, 0, 0, 's', 0, 'q', 0, 0, 0, 0, 0};
  Bytes begin = AllHeaders(0), chunked = AllHeaders(0);
  begin.insert(begin.end(), tm_begin.begin(), tm_begin.end());
  chunked.insert(chunked.end(), rpc.begin(), rpc.end());
  {
    RawClient raw(port_);
    raw.LogIn(StubEngine::kUser, StubEngine::kPassword, 4096, 0x74000004);
    EXPECT_FALSE(raw.Request(tds::PacketType::TransactionManager, begin).empty());
    EXPECT_FALSE(raw.Request(tds::PacketType::Rpc, chunked).empty());  // both read whole
  }
  for (int i = 0; i < 200; ++i) {
    Bytes mutated = i % 2 ? begin : chunked;
    for (int k = 0; k < 2; ++k) mutated[RandomSize(mutated.size() - 1)] ^= 1 << RandomSize(7);
    if (RandomSize(3) == 0) mutated.resize(RandomSize(mutated.size()));
    RawClient raw(port_);
    ASSERT_FALSE(raw.LogIn(StubEngine::kUser, StubEngine::kPassword, 4096, 0x74000004).empty());
    raw.SendMessage(i % 2 ? tds::PacketType::TransactionManager : tds::PacketType::Rpc, mutated);
    raw.ReadMessage(nullptr, 2000);  // an answer or a closed connection, never a crash
  }
  ExpectServerStillServes();
}

}  // namespace
}  // namespace msde::testing
