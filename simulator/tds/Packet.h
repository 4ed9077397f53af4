#pragma once
// TDS packets: an 8-byte header (type, status, big-endian length, spid, packet number,
// window) in front of each piece of a message. Requests are reassembled into whole
// messages up to a size limit; responses are cut into packets of the negotiated size.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>

#include "tds/Socket.h"
#include "tds/TdsBuffer.h"

namespace msde::tds {

namespace PacketType {
constexpr uint8_t SqlBatch = 0x01;
constexpr uint8_t PreTds7Login = 0x02;
constexpr uint8_t Rpc = 0x03;
constexpr uint8_t TabularResult = 0x04;
constexpr uint8_t Attention = 0x06;
constexpr uint8_t BulkLoad = 0x07;
constexpr uint8_t TransactionManager = 0x0E;
constexpr uint8_t Login7 = 0x10;
constexpr uint8_t Sspi = 0x11;
constexpr uint8_t PreLogin = 0x12;
}  // namespace PacketType

constexpr size_t kHeaderSize = 8;
constexpr uint8_t kStatusEom = 0x01;
constexpr size_t kDefaultPacketSize = 4096;
constexpr size_t kMinPacketSize = 512;
constexpr size_t kMaxPacketSize = 32767;

struct RequestMessage {
  uint8_t type = 0;
  Bytes payload;
  // The message exceeded the size limit: its payload was read and dropped.
  bool oversized = false;
};

class MessageReader {
 public:
  // MaxMessage bounds the memory one request may take; InMessageTimeoutMs bounds how long a
  // started message may stall between its packets.
  MessageReader(Socket& socket, size_t MaxMessage, int InMessageTimeoutMs)
      : socket_(socket), max_message_(MaxMessage), timeout_ms_(InMessageTimeoutMs) {}
  // The next whole message; nothing when the peer left, stalled mid-message or sent a
  // packet header that cannot be right (the connection is then beyond repair).
  std::optional<RequestMessage> Next();

 private:
  bool Drain(size_t n);  // reads and drops n bytes of an oversized message

  Socket& socket_;
  size_t max_message_;
  int timeout_ms_;
};

class ResponseWriter {
 public:
  ResponseWriter(Socket& socket, size_t PacketSize) : socket_(socket), packet_size_(PacketSize) {}
  void SetPacketSize(size_t size) { packet_size_ = size; }
  void SetSpid(int spid) { spid_ = static_cast<uint16_t>(spid); }
  // A TDS 7.0 client: character types travel without a collation.
  void SetTds70(bool tds70) { tds70_ = tds70; }
  bool Tds70() const { return tds70_; }
  void SetTds72(bool tds72) { pending_.tds72 = tds72; }
  bool Tds72() const { return pending_.tds72; }
  // The descriptor of the transaction the client was told of (TDS 7.2), 0 when none.
  uint64_t transaction = 0;
  // Tokens are written here and go out in whole packets as they accumulate.
  Writer& Tokens() { return pending_; }
  // Sends the full packets accumulated so far (never the last, partial one).
  void FlushFullPackets();
  // Sends everything written so far, the last part in a packet shorter than the packet
  // size that does not end the message (what SQL Server does for a message that must not
  // wait, such as a backup's progress).
  void FlushAll();
  // Sends the rest as the message's last packet. False when the peer is gone.
  bool EndMessage();
  // Records that the tokens written so far end here: a response cut short by an attention
  // ends at such a point, never inside a token that has partly gone out.
  void MarkTokenEnd() { boundaries_.push_back(sent_ + pending_.Data().size()); }
  // Whether any part of the current message has gone out.
  bool Started() const { return sent_ > 0; }
  // Drops what has not been sent yet, but completes the token that has partly gone out.
  void CutAtTokenEnd();
  void DiscardPending() {
    pending_.Clear();
    boundaries_.clear();
  }
  bool Broken() const { return broken_; }

 private:
  bool SendPacket(const uint8_t* data, size_t n, bool last);

  Socket& socket_;
  size_t packet_size_;
  Writer pending_;
  size_t sent_ = 0;                 // bytes of the current message sent so far
  std::deque<size_t> boundaries_;   // token ends at or after sent_, in message offsets
  uint16_t spid_ = 0;
  bool tds70_ = false;
  uint8_t packet_number_ = 1;
  bool broken_ = false;
};

}  // namespace msde::tds
