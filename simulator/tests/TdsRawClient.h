#pragma once
// A client that speaks TDS by hand over a plain socket, for tests that must send what no
// driver sends (attention at a chosen moment, other packet sizes, broken packets).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tds/TdsBuffer.h"

namespace msde::testing {

using tds::Bytes;

// One token of a response that holds no result set: its kind and, for messages and return
// status, the number (for LOGINACK, the TDS version); for DONE, the status; for ENVCHANGE,
// the type and new value.
struct RawToken {
  uint8_t kind = 0;
  int number = 0;
  uint16_t status = 0;
  uint8_t env_type = 0;
  std::string text;
};

// One packet of a response: its body and whether it ends the message.
struct RawPacket {
  bool last = false;
  Bytes body;
};

class RawClient {
 public:
  explicit RawClient(int port);
  ~RawClient();
  RawClient(const RawClient&) = delete;
  RawClient& operator=(const RawClient&) = delete;

  void SendBytes(const Bytes& bytes);
  // Sends Payload as one message in packets of PacketSize bytes.
  void SendMessage(uint8_t type, const Bytes& payload, size_t PacketSize = 4096);
  // A whole response message, or nothing when the server closed or said nothing in time.
  // Sizes collects the length of each packet.
  std::optional<Bytes> ReadMessage(std::vector<size_t>* sizes = nullptr, int TimeoutMs = 10000);
  // The next packet alone, or nothing when none came in time.
  std::optional<RawPacket> ReadPacket(int TimeoutMs = 10000);
  // Whether the server closes the connection within the time (reading and dropping data).
  bool ClosedByServer(int TimeoutMs = 10000);

  // Pre-login and LOGIN7; the login response's tokens (empty when none came).
  std::vector<RawToken> LogIn(const std::string& user, const std::string& password,
                              uint32_t PacketSize = 4096, uint32_t TdsVersion = 0x71000001);
  // Sends a SQL batch (with a TDS 7.2 ALL_HEADERS block when asked) and reads the answer.
  std::vector<RawToken> Batch(const std::string& sql, bool AllHeaders = false);
  // Sends a SQL batch without reading its answer.
  void SendBatch(const std::string& sql, bool AllHeaders = false);
  // Sends a request of any type and reads the answer.
  std::vector<RawToken> Request(uint8_t type, const Bytes& payload);

 private:
  int fd_ = -1;
  bool tds72_ = false;  // the login was acknowledged at TDS 7.2: DONE counts are 64-bit
};

// A TDS 7.2 ALL_HEADERS block naming the transaction a request runs in (0: none).
Bytes AllHeaders(uint64_t descriptor);

Bytes Login7Record(const std::string& user, const std::string& password, uint32_t PacketSize,
                   uint32_t TdsVersion);
Bytes EncodePassword(const std::string& password);
Bytes Utf16(const std::string& utf8);
// Walks a response of len-prefixed tokens and DONEs; stops at anything else. ENVCHANGEs of
// transactions carry their descriptor's bytes as text.
std::vector<RawToken> Tokens(const Bytes& response, bool tds72 = false);

}  // namespace msde::testing
