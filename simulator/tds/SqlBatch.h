#pragma once
// The text of a SQL batch request: UTF-16LE, after the ALL_HEADERS block that clients
// speaking TDS 7.2 or later put in front of it (and of RPC requests too).
#include <string>

#include "tds/TdsBuffer.h"

namespace msde::tds {

// Raises ProtocolError when the text is not whole UTF-16 code units.
std::string BatchText(const Bytes& payload);

// Length of a well-formed ALL_HEADERS block at the start of Payload, or 0 when there is
// none (batch text proper never parses as one: its first characters would have to be
// control characters).
size_t AllHeadersLength(const Bytes& payload);

}  // namespace msde::tds
