#pragma once
// Little-endian byte building and bounds-checked reading for TDS packets and tokens.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace msde::tds {

using Bytes = std::vector<uint8_t>;

// A packet or token the front end cannot make sense of; the connection answers with an
// error or closes.
class ProtocolError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Writer {
 public:
  void U8(uint8_t v) { data_.push_back(v); }
  void U16(uint16_t v);
  void U16BE(uint16_t v);
  void U32(uint32_t v);
  void U32BE(uint32_t v);
  void U64(uint64_t v);
  void Raw(const void* p, size_t n);
  void Raw(const Bytes& b) { Raw(b.data(), b.size()); }
  // UTF-16LE text with a one-byte (B_VARCHAR) or two-byte (US_VARCHAR) character count;
  // text longer than the count allows is cut.
  void BVarChar(const std::string& utf8);
  void UsVarChar(const std::string& utf8);
  // Writes a two-byte length placeholder now and fills it with the bytes written since.
  size_t BeginLength16();
  void EndLength16(size_t at);

  size_t Size() const { return data_.size(); }
  Bytes& Data() { return data_; }
  const Bytes& Data() const { return data_; }
  void Clear() { data_.clear(); }

  // The tokens go to a TDS 7.2 client: 64-bit DONE counts, 32-bit user types and message
  // line numbers, and text columns name their table in parts.
  bool tds72 = false;

 private:
  Bytes data_;
};

class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  explicit Reader(const Bytes& b) : Reader(b.data(), b.size()) {}
  uint8_t U8();
  uint16_t U16();
  uint16_t U16BE();
  uint32_t U32();
  uint32_t U32BE();
  const uint8_t* Take(size_t n);
  void Skip(size_t n) { Take(n); }
  size_t Pos() const { return pos_; }
  size_t Remaining() const { return size_ - pos_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

}  // namespace msde::tds
