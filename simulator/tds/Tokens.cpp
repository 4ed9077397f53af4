#include "tds/Tokens.h"

#include <algorithm>

namespace msde::tds {

const uint8_t kCollation[5] = {0x15, 0x04, 0xD0, 0x00, 0x00};

void WriteLoginAck(Writer& w, uint32_t TdsVersion, const ServerProduct& product) {
  w.U8(Token::LoginAck);
  size_t at = w.BeginLength16();
  w.U8(1);  // interface: Transact-SQL
  w.U32BE(TdsVersion);
  w.BVarChar("Microsoft SQL Server");
  w.U8(product.major);
  w.U8(product.minor);
  w.U16BE(product.build);
  w.EndLength16(at);
}

void WriteTransactionChange(Writer& w, uint8_t type, uint64_t descriptor) {
  w.U8(Token::EnvChange);
  size_t at = w.BeginLength16();
  w.U8(type);
  // The descriptor is the new value of a begin, the old value of a commit or rollback.
  if (type != EnvType::BeginTransaction) w.U8(0);
  w.U8(8);
  w.U64(descriptor);
  if (type == EnvType::BeginTransaction) w.U8(0);
  w.EndLength16(at);
}

void WriteEnvChange(Writer& w, uint8_t type, const std::string& NewValue,
                    const std::string& OldValue) {
  w.U8(Token::EnvChange);
  size_t at = w.BeginLength16();
  w.U8(type);
  w.BVarChar(NewValue);
  w.BVarChar(OldValue);
  w.EndLength16(at);
}

void WriteCollationChange(Writer& w) {
  w.U8(Token::EnvChange);
  size_t at = w.BeginLength16();
  w.U8(EnvType::SqlCollation);
  w.U8(sizeof kCollation);
  w.Raw(kCollation, sizeof kCollation);
  w.U8(0);  // no old value
  w.EndLength16(at);
}

void WriteMessage(Writer& w, uint8_t token, const Message& message, const std::string& server) {
  w.U8(token);
  size_t at = w.BeginLength16();
  w.U32(static_cast<uint32_t>(message.number));
  w.U8(static_cast<uint8_t>(std::clamp(message.state, 0, 255)));
  w.U8(static_cast<uint8_t>(std::clamp(message.severity, 0, 255)));
  // A message must leave room in its 16-bit token length for the names that follow.
  std::string text = message.text.size() > 8000 ? message.text.substr(0, 8000) : message.text;
  w.UsVarChar(text);
  w.BVarChar(server);
  w.BVarChar(message.procedure);
  if (w.tds72)
    w.U32(static_cast<uint32_t>(std::max(message.line, 0)));  // 32-bit from TDS 7.2 on
  else
    w.U16(static_cast<uint16_t>(std::clamp(message.line, 0, 0xFFFF)));
  w.EndLength16(at);
}

void WriteDone(Writer& w, uint16_t status, uint16_t command, int64_t RowCount, uint8_t kind) {
  w.U8(kind);
  w.U16(status);
  w.U16(command);
  if (w.tds72)
    w.U64(static_cast<uint64_t>(std::max<int64_t>(RowCount, 0)));
  else
    w.U32(RowCount < 0 ? 0 : static_cast<uint32_t>(std::min<int64_t>(RowCount, 0xFFFFFFFF)));
}

void WriteReturnStatus(Writer& w, int32_t status) {
  w.U8(Token::ReturnStatus);
  w.U32(static_cast<uint32_t>(status));
}

}  // namespace msde::tds
