#include "engine/PasswordHash.h"

#include <array>

#include "engine/Values.h"

namespace msde {
namespace {

constexpr size_t kHeader = 6;  // 0x0100 and the salt
constexpr size_t kDigest = 20;

uint32_t RotateLeft(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

// UTF-8 to UTF-16LE bytes; a malformed sequence counts as U+FFFD.
std::string Utf16Le(const std::string& utf8) {
  std::string out;
  auto unit = [&out](uint32_t u) {
    out += static_cast<char>(u & 0xFF);
    out += static_cast<char>(u >> 8);
  };
  for (size_t i = 0; i < utf8.size();) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    const size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    uint32_t code = n == 1 ? c : n == 2 ? c & 0x1F : n == 3 ? c & 0x0F : c & 0x07;
    bool valid = n != 0 && i + n <= utf8.size();
    for (size_t k = 1; valid && k < n; ++k) {
      const unsigned char next = static_cast<unsigned char>(utf8[i + k]);
      valid = (next & 0xC0) == 0x80;
      code = (code << 6) | (next & 0x3F);
    }
    if (!valid) {
      unit(0xFFFD);
      ++i;
      continue;
    }
    if (code >= 0x10000) {
      code -= 0x10000;
      unit(0xD800 + (code >> 10));
      unit(0xDC00 + (code & 0x3FF));
    } else {
      unit(code);
    }
    i += n;
  }
  return out;
}

std::string SaltBytes(uint32_t salt) {
  std::string bytes;
  for (int i = 0; i < 4; ++i) bytes += static_cast<char>(salt >> (8 * i));
  return bytes;
}

}  // namespace

std::string Sha1(const std::string& bytes) {
  std::array<uint32_t, 5> h = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
  std::string message = bytes;
  const uint64_t bits = static_cast<uint64_t>(bytes.size()) * 8;
  message += static_cast<char>(0x80);
  while (message.size() % 64 != 56) message += '\0';
  for (int i = 7; i >= 0; --i) message += static_cast<char>(bits >> (8 * i));
  for (size_t block = 0; block < message.size(); block += 64) {
    std::array<uint32_t, 80> w{};
    for (int t = 0; t < 16; ++t)
      for (int k = 0; k < 4; ++k) w[t] = (w[t] << 8) | static_cast<unsigned char>(message[block + 4 * t + k]);
    for (int t = 16; t < 80; ++t) w[t] = RotateLeft(w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16], 1);
    uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
    for (int t = 0; t < 80; ++t) {
      const uint32_t f = t < 20 ? (b & c) | (~b & d) : t < 40 ? b ^ c ^ d : t < 60 ? (b & c) | (b & d) | (c & d) : b ^ c ^ d;
      const uint32_t k = t < 20 ? 0x5A827999 : t < 40 ? 0x6ED9EBA1 : t < 60 ? 0x8F1BBCDC : 0xCA62C1D6;
      const uint32_t next = RotateLeft(a, 5) + f + e + k + w[t];
      e = d;
      d = c;
      c = RotateLeft(b, 30);
      b = a;
      a = next;
    }
    h[0] += a;
    h[1] += b;
    h[2] += c;
    h[3] += d;
    h[4] += e;
  }
  std::string digest;
  for (uint32_t word : h)
    for (int i = 3; i >= 0; --i) digest += static_cast<char>(word >> (8 * i));
  return digest;
}

std::string PasswordHashOf(const std::string& password, uint32_t salt, bool with_upper_case) {
  const std::string units = Utf16Le(password), salted = SaltBytes(salt);
  std::string hash = std::string("\x01\x00", 2) + salted + Sha1(units + salted);
  if (with_upper_case) hash += Sha1(Utf16Le(UpperText(password)) + salted);
  return hash;
}

bool IsPasswordHash(const std::string& bytes) {
  return (bytes.size() == kHeader + kDigest || bytes.size() == kHeader + 2 * kDigest) && bytes[0] == '\x01' &&
         bytes[1] == '\0';
}

bool PasswordMatches(const std::string& hash, const std::string& password) {
  if (!IsPasswordHash(hash)) return false;
  const std::string units = Utf16Le(password), salted = hash.substr(2, 4);
  return hash.compare(kHeader, kDigest, Sha1(units + salted)) == 0;
}

uint32_t LoginSalt(const Login& login) {
  uint32_t h = 2166136261u;
  for (unsigned char c : login.sid + login.name) h = (h ^ c) * 16777619u;
  return h;
}

std::string StoredPasswordHash(const Login& login, bool is2005) {
  if (!login.password_hash.empty()) return login.password_hash;
  return PasswordHashOf(login.password, LoginSalt(login), !is2005);
}

bool PasswordAccepted(const Login& login, const std::string& clear) {
  if (!login.password_hash.empty()) return PasswordMatches(login.password_hash, clear);
  return login.password == clear;
}

std::string HashBytesOf(const std::string& value) { return HexBytes(value).value_or(value); }

}  // namespace msde
