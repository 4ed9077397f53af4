#pragma once
// The LOGIN7 record: fixed fields, then offset/length pairs into a variable part holding
// UTF-16LE strings; the password's bytes are obfuscated by a nibble swap and XOR 0xA5.
#include <cstdint>
#include <string>

#include "Engine.h"
#include "tds/TdsBuffer.h"

namespace msde::tds {

struct Login7 {
  LoginRequest request;
  uint32_t tds_version = 0;  // as the client asks, e.g. 0x71000001
  uint32_t packet_size = 0;  // 0: the server's default
};

// Raises ProtocolError when a field points outside the record.
Login7 ParseLogin7(const Bytes& payload);

// Undoes the password obfuscation of Units UTF-16LE code units.
std::string DecodePassword(const uint8_t* data, size_t units);

}  // namespace msde::tds
