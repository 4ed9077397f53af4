#include "tds/TextCodec.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace msde::tds {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one UTF-8 sequence at s[i], advancing i; malformed input yields U+FFFD.
char32_t DecodeUtf8(const std::string& s, size_t& i) {
  auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char c = byte(i);
  int extra = c < 0x80 ? 0 : (c >> 5) == 0x6 ? 1 : (c >> 4) == 0xE ? 2 : (c >> 3) == 0x1E ? 3 : -1;
  if (extra < 0) {
    ++i;
    return kReplacement;
  }
  char32_t cp = extra == 0 ? c : c & (0x3F >> extra);
  for (int k = 1; k <= extra; ++k) {
    if (i + k >= s.size() || (byte(i + k) & 0xC0) != 0x80) {
      i += k;
      return kReplacement;
    }
    cp = (cp << 6) | (byte(i + k) & 0x3F);
  }
  i += extra + 1;
  static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
  if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return kReplacement;
  return cp;
}

void AppendUtf8(char32_t cp, std::string& out) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// One converter per thread: iconv descriptors keep state and must not be shared.
class Cp1250Converter {
 public:
  Cp1250Converter() : cd_(iconv_open("CP1250", "UTF-8")) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv lacks CP1250");
  }
  ~Cp1250Converter() { iconv_close(cd_); }
  Cp1250Converter(const Cp1250Converter&) = delete;
  Cp1250Converter& operator=(const Cp1250Converter&) = delete;

  std::string Convert(const std::string& utf8) {
    std::string out(utf8.size(), '\0');  // never longer than the UTF-8 input
    char* in = const_cast<char*>(utf8.data());
    size_t in_left = utf8.size();
    char* dst = out.data();
    size_t out_left = out.size();
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    while (in_left > 0) {
      if (iconv(cd_, &in, &in_left, &dst, &out_left) != static_cast<size_t>(-1)) break;
      if (errno != EILSEQ && errno != EINVAL) break;
      // A character without a Windows-1250 form, or a broken sequence: one '?' for it.
      size_t at = utf8.size() - in_left;
      size_t next = at;
      DecodeUtf8(utf8, next);
      in += next - at;
      in_left -= next - at;
      *dst++ = '?';
      --out_left;
    }
    out.resize(out.size() - out_left);
    return out;
  }

 private:
  iconv_t cd_;
};

}  // namespace

std::u16string Utf8ToUtf16(const std::string& utf8, size_t MaxUnits) {
  std::u16string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    char32_t cp = DecodeUtf8(utf8, i);
    size_t need = cp >= 0x10000 ? 2 : 1;
    if (MaxUnits > 0 && out.size() + need > MaxUnits) break;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

std::string Utf16LeToUtf8(const uint8_t* data, size_t units) {
  std::string out;
  out.reserve(units);
  auto unit = [&](size_t k) { return static_cast<char16_t>(data[2 * k] | (data[2 * k + 1] << 8)); };
  for (size_t k = 0; k < units; ++k) {
    char32_t u = unit(k);
    if (u >= 0xD800 && u <= 0xDBFF && k + 1 < units && unit(k + 1) >= 0xDC00 &&
        unit(k + 1) <= 0xDFFF) {
      u = 0x10000 + ((u - 0xD800) << 10) + (unit(k + 1) - 0xDC00);
      ++k;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      u = kReplacement;
    }
    AppendUtf8(u, out);
  }
  return out;
}

void AppendUtf16(const std::u16string& text, std::vector<uint8_t>& out) {
  for (char16_t u : text) {
    out.push_back(static_cast<uint8_t>(u));
    out.push_back(static_cast<uint8_t>(u >> 8));
  }
}

std::string Cp1250ToUtf8(const std::string& text) {
  // Every Windows-1250 byte has a Unicode character, except five unused ones: those become
  // U+FFFD rather than a failure.
  static const char16_t kHigh[128] = {
      0x20AC, 0xFFFD, 0x201A, 0xFFFD, 0x201E, 0x2026, 0x2020, 0x2021, 0xFFFD, 0x2030, 0x0160,
      0x2039, 0x015A, 0x0164, 0x017D, 0x0179, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0xFFFD, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A, 0x00A0,
      0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7, 0x00A8, 0x00A9, 0x015E, 0x00AB,
      0x00AC, 0x00AD, 0x00AE, 0x017B, 0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6,
      0x00B7, 0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C, 0x0154, 0x00C1,
      0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7, 0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A,
      0x00CD, 0x00CE, 0x010E, 0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7,
      0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF, 0x0155, 0x00E1, 0x00E2,
      0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7, 0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED,
      0x00EE, 0x010F, 0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7, 0x0159,
      0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9};
  std::string out;
  for (unsigned char c : text) AppendUtf8(c < 0x80 ? char32_t{c} : char32_t{kHigh[c - 0x80]}, out);
  return out;
}

std::string Utf8ToCp1250(const std::string& utf8) {
  thread_local Cp1250Converter converter;
  return converter.Convert(utf8);
}

}  // namespace msde::tds
