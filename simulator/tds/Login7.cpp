#include "tds/Login7.h"

#include <vector>

#include "tds/TextCodec.h"

namespace msde::tds {
namespace {

constexpr size_t kFixedPart = 36;      // length .. client LCID
constexpr size_t kHostNameField = 36;  // first offset/length pair
constexpr size_t kMinimumRecord = 86;  // through the attach-file pair of TDS 7.1

// Reads the offset/length pair at Field and returns where its text lies.
std::pair<const uint8_t*, size_t> TextField(const Bytes& payload, size_t length, size_t field) {
  Reader r(payload.data() + field, 4);
  size_t offset = r.U16();
  size_t units = r.U16();
  if (units == 0) return {nullptr, 0};
  if (offset < kFixedPart || offset + 2 * units > length)
    throw ProtocolError("login field outside the login record");
  return {payload.data() + offset, units};
}

std::string Text(const Bytes& payload, size_t length, size_t field) {
  auto [data, units] = TextField(payload, length, field);
  return data ? Utf16LeToUtf8(data, units) : std::string();
}

}  // namespace

std::string DecodePassword(const uint8_t* data, size_t units) {
  std::vector<uint8_t> plain(2 * units);
  for (size_t i = 0; i < plain.size(); ++i) {
    uint8_t b = data[i] ^ 0xA5;
    plain[i] = static_cast<uint8_t>((b << 4) | (b >> 4));
  }
  return Utf16LeToUtf8(plain.data(), units);
}

Login7 ParseLogin7(const Bytes& payload) {
  if (payload.size() < kMinimumRecord) throw ProtocolError("login record too short");
  Reader r(payload);
  size_t length = r.U32();
  if (length < kMinimumRecord || length > payload.size())
    throw ProtocolError("login record length does not match its packet");
  Login7 login;
  login.tds_version = r.U32();
  login.packet_size = r.U32();
  r.Skip(4);  // client program version
  login.request.client_pid = static_cast<int>(r.U32());
  login.request.host = Text(payload, length, kHostNameField);
  login.request.user = Text(payload, length, kHostNameField + 4);
  auto [password, units] = TextField(payload, length, kHostNameField + 8);
  if (password) login.request.password = DecodePassword(password, units);
  login.request.application = Text(payload, length, kHostNameField + 12);
  // +16 server name, +20 unused/extension, +24 client library name
  login.request.language = Text(payload, length, kHostNameField + 28);
  login.request.database = Text(payload, length, kHostNameField + 32);
  return login;
}

}  // namespace msde::tds
