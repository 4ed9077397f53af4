#include "app/query/ScriptEncoding.h"

#include <array>
#include <cstdint>

#include "foundation/Utf8.h"

namespace vandrel::app {
namespace {

// Windows-1250 from 0x80 on. The five bytes the code page leaves undefined map to the C1
// control characters of the same number, so that they come back as the bytes they were.
constexpr std::array<char16_t, 128> kCp1250 = {
    0x20AC, 0x0081, 0x201A, 0x0083, 0x201E, 0x2026, 0x2020, 0x2021, 0x0088, 0x2030, 0x0160, 0x2039, 0x015A,
    0x0164, 0x017D, 0x0179, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0098, 0x2122,
    0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A, 0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6,
    0x00A7, 0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B, 0x00B0, 0x00B1, 0x02DB, 0x0142,
    0x00B4, 0x00B5, 0x00B6, 0x00B7, 0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C, 0x0154,
    0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7, 0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD,
    0x00CE, 0x010E, 0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7, 0x0158, 0x016E, 0x00DA,
    0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF, 0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F, 0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4,
    0x0151, 0x00F6, 0x00F7, 0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9};

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

std::string FromUtf16(std::string_view Bytes, bool Big) {
  std::string out;
  const auto unit = [&](size_t I) -> char16_t {
    const auto a = static_cast<unsigned char>(Bytes[I]), b = static_cast<unsigned char>(Bytes[I + 1]);
    return static_cast<char16_t>(Big ? (a << 8) | b : (b << 8) | a);
  };
  for (size_t i = 0; i + 1 < Bytes.size(); i += 2) {
    char32_t c = unit(i);
    if (c >= 0xD800 && c < 0xDC00 && i + 3 < Bytes.size()) {
      const char16_t low = unit(i + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      }
    }
    if (c >= 0xD800 && c <= 0xDFFF) c = 0xFFFD;  // half of a pair: no character
    out += utf8::Encode(c);
  }
  return out;
}

std::string ToUtf16(std::string_view Text, bool Big) {
  std::string out;
  const auto put = [&](char16_t U) {
    const char hi = static_cast<char>(U >> 8), lo = static_cast<char>(U & 0xFF);
    out += Big ? hi : lo;
    out += Big ? lo : hi;
  };
  put(0xFEFF);
  for (char32_t c : utf8::Decode(Text)) {
    if (c >= 0xD800 && c <= 0xDFFF) c = '?';  // a byte that was no UTF-8
    if (c >= 0x10000) {
      put(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      put(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      put(static_cast<char16_t>(c));
    }
  }
  return out;
}

std::string FromCp1250(std::string_view Bytes) {
  std::string out;
  out.reserve(Bytes.size() + Bytes.size() / 8);
  for (char b : Bytes) {
    const auto u = static_cast<unsigned char>(b);
    if (u < 0x80)
      out += b;
    else
      out += utf8::Encode(kCp1250[u - 0x80]);
  }
  return out;
}

std::string ToCp1250(std::string_view Text) {
  std::string out;
  for (const char32_t c : utf8::Decode(Text)) {
    if (c < 0x80) {
      out += static_cast<char>(c);
      continue;
    }
    char byte = '?';
    for (size_t i = 0; i < kCp1250.size(); ++i)
      if (kCp1250[i] == c) byte = static_cast<char>(0x80 + i);
    out += byte;
  }
  return out;
}

// Whether the text has lines and each of them ends with "\r\n" (a file of mixed ends keeps
// its "\r" characters in the text, so that it is written back as it was).
bool EveryLineEndsCrLf(std::string_view Text) {
  size_t lines = 0;
  for (size_t i = Text.find('\n'); i != std::string_view::npos; i = Text.find('\n', i + 1), ++lines)
    if (i == 0 || Text[i - 1] != '\r') return false;
  return lines > 0;
}

}  // namespace

TScriptText DecodeScript(std::string_view Bytes) {
  TScriptText script;
  if (Bytes.starts_with(kUtf8Bom)) {
    script.Encoding = TScriptEncoding::Utf8Bom;
    Bytes.remove_prefix(kUtf8Bom.size());
    script.Text = utf8::IsValid(Bytes) ? std::string(Bytes) : FromCp1250(Bytes);
  } else if (Bytes.starts_with("\xFF\xFE") || Bytes.starts_with("\xFE\xFF")) {
    const bool big = Bytes[0] == '\xFE';
    script.Encoding = big ? TScriptEncoding::Utf16BE : TScriptEncoding::Utf16LE;
    script.Text = FromUtf16(Bytes.substr(2), big);
  } else if (utf8::IsValid(Bytes)) {
    script.Text = std::string(Bytes);
  } else {
    script.Encoding = TScriptEncoding::Windows1250;
    script.Text = FromCp1250(Bytes);
  }
  // The editor's lines end with "\n"; the file's own ends come back when it is written.
  if (EveryLineEndsCrLf(script.Text)) {
    script.CrLf = true;
    std::string lines;
    lines.reserve(script.Text.size());
    for (size_t i = 0; i < script.Text.size(); ++i)
      if (!(script.Text[i] == '\r' && i + 1 < script.Text.size() && script.Text[i + 1] == '\n')) lines += script.Text[i];
    script.Text = std::move(lines);
  }
  return script;
}

std::string EncodeScript(const TScriptText& Script) {
  std::string text;
  if (Script.CrLf) {
    text.reserve(Script.Text.size() + Script.Text.size() / 16);
    for (char c : Script.Text) {
      if (c == '\n') text += '\r';
      text += c;
    }
  } else {
    text = Script.Text;
  }
  switch (Script.Encoding) {
    case TScriptEncoding::Utf8Bom: return std::string(kUtf8Bom) + text;
    case TScriptEncoding::Utf16LE: return ToUtf16(text, false);
    case TScriptEncoding::Utf16BE: return ToUtf16(text, true);
    case TScriptEncoding::Windows1250: return ToCp1250(text);
    case TScriptEncoding::Utf8: break;
  }
  return text;
}

const char* EncodingName(TScriptEncoding Encoding) {
  switch (Encoding) {
    case TScriptEncoding::Utf8Bom: return "UTF-8 z BOM";
    case TScriptEncoding::Utf16LE: return "UTF-16 LE";
    case TScriptEncoding::Utf16BE: return "UTF-16 BE";
    case TScriptEncoding::Windows1250: return "Windows-1250";
    case TScriptEncoding::Utf8: break;
  }
  return "UTF-8";
}

}  // namespace vandrel::app
