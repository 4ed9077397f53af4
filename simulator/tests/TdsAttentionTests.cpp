// An attention in the middle of a response, wherever the response has got to: the server
// completes the token that was going out, closes the cut-short response with a DONE, and
// acknowledges in a message of its own (DONE with DONE_ATTN), as SQL Server does; the
// connection then goes on.
#include <gmock/gmock.h>

#include "TdsRawClient.h"
#include "TdsTestServer.h"
#include "tds/Packet.h"
#include "tds/Tokens.h"

namespace msde::testing {
namespace {

namespace Token = tds::Token;

// A response of the stub's "stream" command (an int and a varchar column), token by token.
struct StreamResponse {
  bool metadata = false;
  int rows = 0;
  std::vector<uint16_t> dones;  // statuses, in order
  bool whole = false;           // every token complete, nothing else in between
};

StreamResponse Walk(const Bytes& m) {
  StreamResponse r;
  size_t i = 0;
  auto u16 = [&](size_t at) { return static_cast<size_t>(m[at] | m[at + 1] << 8); };
  while (i < m.size()) {
    const uint8_t kind = m[i++];
    if (kind == Token::ColMetadata) {
      // two columns: INT4 "n", then BIGVARCHAR(3000) "s" with its collation
      const size_t end = i + 2 + (4 + 1 + 1 + 2) + (4 + 1 + 2 + 5 + 1 + 2);
      if (end > m.size() || m[i + 6] != 0x38 || m[i + 14] != 0xA7) return r;
      i = end;
      r.metadata = true;
    } else if (kind == Token::Row) {
      if (i + 6 > m.size()) return r;
      const size_t length = u16(i + 4);
      if (i + 6 + length > m.size() || length > 3000) return r;
      i += 6 + length;
      ++r.rows;
    } else if (kind == Token::Done) {
      if (i + 8 > m.size()) return r;
      r.dones.push_back(static_cast<uint16_t>(u16(i)));
      i += 8;
    } else {
      return r;
    }
  }
  r.whole = true;
  return r;
}

TEST_F(TdsTest, AttentionCutsAResponseShortAtATokenEndAndIsAcknowledgedSeparately) {
  for (size_t packet_size : {512u, 4096u}) {
    for (int packets_read : {0, 1, 2, 7}) {
      SCOPED_TRACE("packet size " + std::to_string(packet_size) + ", cancelled after " +
                   std::to_string(packets_read) + " packets");
      RawClient raw(port_);
      ASSERT_FALSE(raw.LogIn(StubEngine::kUser, StubEngine::kPassword,
                             static_cast<uint32_t>(packet_size)).empty());
      raw.SendBatch("stream");
      Bytes first;
      for (int k = 0; k < packets_read; ++k) {
        auto packet = raw.ReadPacket();
        ASSERT_TRUE(packet);
        first.insert(first.end(), packet->body.begin(), packet->body.end());
      }
      raw.SendMessage(tds::PacketType::Attention, {});
      auto rest = raw.ReadMessage();
      ASSERT_TRUE(rest);
      first.insert(first.end(), rest->begin(), rest->end());
      StreamResponse cut = Walk(first);
      EXPECT_TRUE(cut.whole);
      // The cut-short response: rows as far as they went, closed by a final DONE ...
      if (packets_read > 0) {
        EXPECT_TRUE(cut.metadata);
      }
      EXPECT_THAT(cut.dones, ::testing::ElementsAre(tds::DoneStatus::Final));
      // ... then the acknowledgement alone.
      auto ack = raw.ReadMessage();
      ASSERT_TRUE(ack);
      first = *ack;
      StreamResponse acknowledgement = Walk(first);
      EXPECT_TRUE(acknowledgement.whole);
      EXPECT_EQ(acknowledgement.rows, 0);
      EXPECT_THAT(acknowledgement.dones, ::testing::ElementsAre(tds::DoneStatus::Attention));
      auto after = raw.Batch("use Sklep");
      ASSERT_FALSE(after.empty());
      EXPECT_EQ(after.back().status, tds::DoneStatus::Final);
    }
  }
}

}  // namespace
}  // namespace msde::testing
