#include "TdsRawClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

#include "tds/Packet.h"
#include "tds/TextCodec.h"
#include "tds/Tokens.h"

namespace msde::testing {

RawClient::RawClient(int port) {
  fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
  int one = 1;
  ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
    throw std::runtime_error("cannot connect to the test server");
}

RawClient::~RawClient() { ::close(fd_); }

void RawClient::SendBytes(const Bytes& bytes) {
  // A server that already hung up is a legitimate outcome for these tests.
  (void)::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
}

void RawClient::SendMessage(uint8_t type, const Bytes& payload, size_t PacketSize) {
  size_t body = PacketSize - tds::kHeaderSize;
  size_t sent = 0;
  uint8_t number = 1;
  do {
    size_t n = std::min(body, payload.size() - sent);
    bool last = sent + n == payload.size();
    size_t length = n + tds::kHeaderSize;
    Bytes packet = {type,
                    static_cast<uint8_t>(last ? 1 : 0),
                    static_cast<uint8_t>(length >> 8),
                    static_cast<uint8_t>(length),
                    0,
                    0,
                    number++,
                    0};
    packet.insert(packet.end(), payload.begin() + sent, payload.begin() + sent + n);
    SendBytes(packet);
    sent += n;
  } while (sent < payload.size());
}

std::optional<Bytes> RawClient::ReadMessage(std::vector<size_t>* sizes, int TimeoutMs) {
  Bytes message;
  for (;;) {
    std::optional<RawPacket> packet = ReadPacket(TimeoutMs);
    if (!packet) return std::nullopt;
    if (sizes) sizes->push_back(packet->body.size() + tds::kHeaderSize);
    message.insert(message.end(), packet->body.begin(), packet->body.end());
    if (packet->last) return message;
  }
}

std::optional<RawPacket> RawClient::ReadPacket(int TimeoutMs) {
  auto read_exact = [&](uint8_t* buffer, size_t n) {
    for (size_t got = 0; got < n;) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, TimeoutMs) <= 0) return false;
      ssize_t r = ::recv(fd_, buffer + got, n - got, 0);
      if (r <= 0) return false;
      got += static_cast<size_t>(r);
    }
    return true;
  };
  uint8_t header[tds::kHeaderSize];
  if (!read_exact(header, sizeof header)) return std::nullopt;
  const size_t length = (header[2] << 8) | header[3];
  if (length < tds::kHeaderSize) return std::nullopt;
  RawPacket packet;
  packet.last = (header[1] & tds::kStatusEom) != 0;
  packet.body.resize(length - tds::kHeaderSize);
  if (!read_exact(packet.body.data(), packet.body.size())) return std::nullopt;
  return packet;
}

bool RawClient::ClosedByServer(int TimeoutMs) {
  uint8_t buffer[4096];
  for (;;) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, TimeoutMs) <= 0) return false;
    ssize_t r = ::recv(fd_, buffer, sizeof buffer, 0);
    if (r <= 0) return true;
  }
}

std::vector<RawToken> RawClient::LogIn(const std::string& user, const std::string& password,
                                       uint32_t PacketSize, uint32_t TdsVersion) {
  Bytes prelogin = {0x00, 0, 11, 0, 6, 0x01, 0, 17, 0, 1, 0xFF, 8, 0, 0, 0, 0, 0, 0};
  SendMessage(tds::PacketType::PreLogin, prelogin);
  if (!ReadMessage()) return {};
  SendMessage(tds::PacketType::Login7, Login7Record(user, password, PacketSize, TdsVersion));
  auto response = ReadMessage();
  if (!response) return {};
  auto tokens = Tokens(*response);
  for (const RawToken& t : tokens)
    if (t.kind == tds::Token::LoginAck) tds72_ = static_cast<uint32_t>(t.number) >= 0x72000000u;
  return tokens;
}

std::vector<RawToken> RawClient::Batch(const std::string& sql, bool AllHeaders) {
  SendBatch(sql, AllHeaders);
  auto response = ReadMessage();
  return response ? Tokens(*response, tds72_) : std::vector<RawToken>{};
}

std::vector<RawToken> RawClient::Request(uint8_t type, const Bytes& payload) {
  SendMessage(type, payload);
  auto response = ReadMessage();
  return response ? Tokens(*response, tds72_) : std::vector<RawToken>{};
}

Bytes AllHeaders(uint64_t descriptor) {
  // Total length, then one transaction descriptor header: length, type 2, descriptor,
  // outstanding request count.
  tds::Writer w;
  w.U32(22);
  w.U32(18);
  w.U16(2);
  w.U64(descriptor);
  w.U32(1);
  return w.Data();
}

void RawClient::SendBatch(const std::string& sql, bool AllHeaders) {
  Bytes payload;
  if (AllHeaders) payload = msde::testing::AllHeaders(0);
  Bytes text = Utf16(sql);
  payload.insert(payload.end(), text.begin(), text.end());
  SendMessage(tds::PacketType::SqlBatch, payload);
}

Bytes Utf16(const std::string& utf8) {
  Bytes out;
  tds::AppendUtf16(tds::Utf8ToUtf16(utf8), out);
  return out;
}

Bytes EncodePassword(const std::string& password) {
  Bytes out = Utf16(password);
  for (auto& b : out) b = static_cast<uint8_t>(((b << 4) | (b >> 4)) ^ 0xA5);
  return out;
}

Bytes Login7Record(const std::string& user, const std::string& password, uint32_t PacketSize,
                   uint32_t TdsVersion) {
  const size_t fixed = 94;  // with the TDS 7.2 fields, which a 7.1 server ignores
  std::vector<Bytes> fields = {Utf16("rawhost"), Utf16(user),     EncodePassword(password),
                               Utf16("rawtest"), Utf16("server"), Bytes(),
                               Utf16("raw"),     Utf16(""),       Utf16("")};
  tds::Writer w;
  size_t variable = 0;
  for (const auto& f : fields) variable += f.size();
  w.U32(static_cast<uint32_t>(fixed + variable));
  w.U32(TdsVersion);
  w.U32(PacketSize);
  w.U32(7);     // client program version
  w.U32(4242);  // client PID
  w.U32(0);     // connection id
  w.U8(0xE0);   // option flags 1
  w.U8(0x03);   // option flags 2: ODBC
  w.U8(0);
  w.U8(0);
  w.U32(0);      // time zone
  w.U32(0x415);  // client LCID
  size_t offset = fixed;
  for (const auto& f : fields) {
    w.U16(static_cast<uint16_t>(offset));
    w.U16(static_cast<uint16_t>(f.size() / 2));
    offset += f.size();
  }
  for (int i = 0; i < 6; ++i) w.U8(0);  // client id
  for (int i = 0; i < 3; ++i)
    w.U32(static_cast<uint32_t>(offset) & 0xFFFF);  // SSPI, attach, change pw: empty
  w.U32(0);                                         // long SSPI length
  while (w.Size() < fixed) w.U8(0);
  for (const auto& f : fields) w.Raw(f);
  return w.Data();
}

std::vector<RawToken> Tokens(const Bytes& response, bool tds72) {
  std::vector<RawToken> out;
  tds::Reader r(response);
  try {
    while (r.Remaining() > 0) {
      RawToken t;
      t.kind = r.U8();
      if (t.kind == tds::Token::ReturnStatus) {
        t.number = static_cast<int>(r.U32());
      } else if (t.kind == tds::Token::Done || t.kind == tds::Token::DoneProc ||
                 t.kind == tds::Token::DoneInProc) {
        t.status = r.U16();
        r.Skip(tds72 ? 10 : 6);
      } else if (t.kind == tds::Token::Error || t.kind == tds::Token::Info ||
                 t.kind == tds::Token::EnvChange || t.kind == tds::Token::LoginAck) {
        uint16_t length = r.U16();
        tds::Reader body(r.Take(length), length);
        if (t.kind == tds::Token::EnvChange) {
          t.env_type = body.U8();
          uint8_t n = body.U8();
          if (t.env_type >= tds::EnvType::BeginTransaction &&
              t.env_type <= tds::EnvType::RollbackTransaction) {
            // The descriptor: the new value of a begin, the old one of an end.
            const uint8_t* value = body.Take(n);
            if (n == 0) {
              n = body.U8();
              value = body.Take(n);
            }
            for (size_t i = 0; i < n; ++i) t.text += static_cast<char>(value[i]);
          } else
          t.text = t.env_type == tds::EnvType::SqlCollation
                       ? std::string(reinterpret_cast<const char*>(body.Take(n)), n)
                       : tds::Utf16LeToUtf8(body.Take(2u * n), n);
        } else if (t.kind != tds::Token::LoginAck) {
          t.number = static_cast<int>(body.U32());
          body.Skip(2);
          uint16_t n = body.U16();
          t.text = tds::Utf16LeToUtf8(body.Take(2u * n), n);
        } else {
          body.Skip(1);  // interface
          const uint8_t* version = body.Take(4);  // the TDS version, big-endian
          t.number = static_cast<int>(static_cast<uint32_t>(version[0]) << 24 | version[1] << 16 |
                                      version[2] << 8 | version[3]);
          tds72 = static_cast<uint32_t>(t.number) >= 0x72000000u;  // the rest in 7.2's forms
          uint8_t n = body.U8();
          t.text = tds::Utf16LeToUtf8(body.Take(2u * n), n);
        }
      } else {
        out.push_back(t);  // a token this walker does not read: stop here
        break;
      }
      out.push_back(t);
    }
  } catch (const tds::ProtocolError&) {
  }
  return out;
}

}  // namespace msde::testing
