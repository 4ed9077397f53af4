#include "tds/PreLogin.h"

namespace msde::tds {
namespace {

constexpr uint8_t kVersion = 0x00;
constexpr uint8_t kEncryption = 0x01;
constexpr uint8_t kInstOpt = 0x02;
constexpr uint8_t kTerminator = 0xFF;
constexpr uint8_t kEncryptNotSupported = 0x02;

void CheckOptions(const Bytes& request) {
  Reader r(request);
  for (;;) {
    uint8_t token = r.U8();
    if (token == kTerminator) return;
    uint16_t offset = r.U16BE();
    uint16_t length = r.U16BE();
    if (static_cast<size_t>(offset) + length > request.size())
      throw ProtocolError("pre-login option outside its packet");
  }
}

}  // namespace

Bytes PreLoginReply(const Bytes& request) {
  CheckOptions(request);
  // Option table: three entries of five bytes and the terminator, then their data.
  const uint8_t version[] = {8, 0, 0x07, 0xF7, 0, 0};
  const uint16_t table = 3 * 5 + 1;
  Writer w;
  w.U8(kVersion);
  w.U16BE(table);
  w.U16BE(sizeof version);
  w.U8(kEncryption);
  w.U16BE(table + sizeof version);
  w.U16BE(1);
  w.U8(kInstOpt);
  w.U16BE(table + sizeof version + 1);
  w.U16BE(1);
  w.U8(kTerminator);
  w.Raw(version, sizeof version);
  w.U8(kEncryptNotSupported);
  w.U8(0);  // instance name check: matched
  return w.Data();
}

}  // namespace msde::tds
