#include "tds/TransactionRequest.h"

#include "tds/SqlBatch.h"
#include "tds/TextCodec.h"

namespace msde::tds {
namespace {

enum RequestType : uint16_t {
  kGetDtcAddress = 0,
  kPropagate = 1,
  kBegin = 5,
  kPromote = 6,
  kCommit = 7,
  kRollback = 8,
  kSave = 9,
};
constexpr uint8_t kBeginAfter = 0x01;  // XACT_FLAGS: start a new transaction once done

// A transaction name: UTF-16LE with a one-byte length in bytes; as a [bracketed] name.
std::string Name(Reader& r) {
  const uint8_t bytes = r.U8();
  if (bytes % 2 != 0) throw ProtocolError("odd length of a transaction name");
  const std::string name = Utf16LeToUtf8(r.Take(bytes), bytes / 2u);
  if (name.empty()) return "";
  std::string quoted = " [";
  for (char c : name) quoted += c == ']' ? std::string("]]") : std::string(1, c);
  return quoted + "]";
}

// COMMIT or ROLLBACK, and the BEGIN that may follow it.
std::string EndAndMaybeBegin(Reader& r, const char* statement) {
  std::string sql = std::string(statement) + " TRANSACTION" + Name(r);
  if (r.Remaining() > 0 && (r.U8() & kBeginAfter) != 0) {
    r.U8();  // isolation level
    sql += " BEGIN TRANSACTION" + Name(r);
  }
  return sql;
}

}  // namespace

TransactionRequest ParseTransactionRequest(const Bytes& payload) {
  Reader r(payload);
  r.Skip(AllHeadersLength(payload));
  TransactionRequest request;
  switch (r.U16()) {
    case kGetDtcAddress:
    case kPropagate:
    case kPromote:
      request.distributed = true;
      break;
    case kBegin:
      r.U8();  // isolation level
      request.sql = "BEGIN TRANSACTION" + Name(r);
      break;
    case kCommit:
      request.sql = EndAndMaybeBegin(r, "COMMIT");
      break;
    case kRollback:
      request.sql = EndAndMaybeBegin(r, "ROLLBACK");
      break;
    case kSave: {
      const std::string name = Name(r);
      if (name.empty()) throw ProtocolError("a savepoint without a name");
      request.sql = "SAVE TRANSACTION" + name;
      break;
    }
    default:
      throw ProtocolError("unknown transaction manager request");
  }
  return request;
}

}  // namespace msde::tds
