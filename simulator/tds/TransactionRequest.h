#pragma once
// Transaction manager requests (packet type 14), which TDS 7.2 clients send to begin, commit,
// roll back and save transactions instead of writing the statements: each is served as the
// statements it stands for. The isolation level a request may carry is not kept: the engine
// has one way of reading.
#include <string>

#include "tds/TdsBuffer.h"

namespace msde::tds {

struct TransactionRequest {
  // A request for the distributed transaction coordinator, which this server does not have.
  bool distributed = false;
  std::string sql;  // "BEGIN TRANSACTION", "COMMIT TRANSACTION BEGIN TRANSACTION [t2]", ...
};

// Raises ProtocolError for a request that cannot be read or whose type is unknown (the
// server then drops the connection, as the protocol asks).
TransactionRequest ParseTransactionRequest(const Bytes& payload);

}  // namespace msde::tds
