#include "tds/TdsBuffer.h"

#include <cstring>

#include "tds/TextCodec.h"

namespace msde::tds {

void Writer::U16(uint16_t v) {
  U8(static_cast<uint8_t>(v));
  U8(static_cast<uint8_t>(v >> 8));
}

void Writer::U16BE(uint16_t v) {
  U8(static_cast<uint8_t>(v >> 8));
  U8(static_cast<uint8_t>(v));
}

void Writer::U32(uint32_t v) {
  U16(static_cast<uint16_t>(v));
  U16(static_cast<uint16_t>(v >> 16));
}

void Writer::U32BE(uint32_t v) {
  U16BE(static_cast<uint16_t>(v >> 16));
  U16BE(static_cast<uint16_t>(v));
}

void Writer::U64(uint64_t v) {
  U32(static_cast<uint32_t>(v));
  U32(static_cast<uint32_t>(v >> 32));
}

void Writer::Raw(const void* p, size_t n) {
  const auto* b = static_cast<const uint8_t*>(p);
  data_.insert(data_.end(), b, b + n);
}

void Writer::BVarChar(const std::string& utf8) {
  std::u16string text = Utf8ToUtf16(utf8, 0xFF);
  U8(static_cast<uint8_t>(text.size()));
  AppendUtf16(text, data_);
}

void Writer::UsVarChar(const std::string& utf8) {
  std::u16string text = Utf8ToUtf16(utf8, 0xFFFF);
  U16(static_cast<uint16_t>(text.size()));
  AppendUtf16(text, data_);
}

size_t Writer::BeginLength16() {
  size_t at = data_.size();
  U16(0);
  return at;
}

void Writer::EndLength16(size_t at) {
  size_t n = data_.size() - at - 2;
  if (n > 0xFFFF) throw ProtocolError("token longer than 65535 bytes");
  data_[at] = static_cast<uint8_t>(n);
  data_[at + 1] = static_cast<uint8_t>(n >> 8);
}

const uint8_t* Reader::Take(size_t n) {
  if (n > Remaining()) throw ProtocolError("packet ends before its data");
  const uint8_t* p = data_ + pos_;
  pos_ += n;
  return p;
}

uint8_t Reader::U8() { return *Take(1); }

uint16_t Reader::U16() {
  const uint8_t* p = Take(2);
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint16_t Reader::U16BE() {
  const uint8_t* p = Take(2);
  return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

uint32_t Reader::U32() {
  const uint8_t* p = Take(4);
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

uint32_t Reader::U32BE() {
  const uint8_t* p = Take(4);
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}

}  // namespace msde::tds
