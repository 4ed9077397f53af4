#pragma once
// The PRELOGIN exchange: the client's option table is checked and answered as SQL Server
// 2000 without a certificate answers it (version 8.00.2039, encryption not supported).
#include "tds/TdsBuffer.h"

namespace msde::tds {

// The reply's payload; a malformed option table raises ProtocolError.
Bytes PreLoginReply(const Bytes& request);

}  // namespace msde::tds
