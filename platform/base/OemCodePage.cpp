#include "platform/base/OemCodePage.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

namespace vandrel::platform {

namespace {

constexpr const char* kOem = "CP852";
// Characters CP852 lacks become their nearest stand-in ("„" becomes a plain quote).
constexpr const char* kOemTransliterated = "CP852//TRANSLIT";
constexpr const char* kAnsi = "UTF-8";
constexpr const char* kWin1250 = "CP1250";
constexpr const char* kWin1250Transliterated = "CP1250//TRANSLIT";

// The length of the run of plain ASCII bytes at the start of Text, which every code page here
// carries unchanged; eight bytes are looked at a time.
std::size_t AsciiRun(std::string_view Text) {
  std::size_t I = 0;
  for (; I + 8 <= Text.size(); I += 8) {
    std::uint64_t Word;
    std::memcpy(&Word, Text.data() + I, 8);
    if (Word & 0x8080808080808080ULL) break;
  }
  while (I < Text.size() && static_cast<unsigned char>(Text[I]) < 0x80) ++I;
  return I;
}

// One iconv descriptor per direction and thread, opened on first use.
class TConverter {
 public:
  TConverter(const char* To, const char* From) : FHandle(iconv_open(To, From)) {}
  ~TConverter() {
    if (Valid()) iconv_close(FHandle);
  }
  TConverter(const TConverter&) = delete;
  TConverter& operator=(const TConverter&) = delete;

  bool Valid() const { return FHandle != reinterpret_cast<iconv_t>(-1); }

  // Converts Text; an input sequence that cannot be converted is replaced by "?" and
  // skipped (one UTF-8 character, or one byte when the bytes are not UTF-8).
  std::string Convert(std::string_view Text) {
    std::string Result;
    // Plain ASCII is the same in every code page here.
    if (!Valid() || IsAscii(Text)) return std::string(Text);
    iconv(FHandle, nullptr, nullptr, nullptr, nullptr);
    char* In = const_cast<char*>(Text.data());
    std::size_t InLeft = Text.size();
    char Buffer[1024];
    while (InLeft > 0) {
      char* Out = Buffer;
      std::size_t OutLeft = sizeof Buffer;
      std::size_t Done = iconv(FHandle, &In, &InLeft, &Out, &OutLeft);
      Result.append(Buffer, static_cast<std::size_t>(Out - Buffer));
      if (Done != static_cast<std::size_t>(-1) || errno == E2BIG) continue;
      // EILSEQ or EINVAL (a sequence cut short at the end).
      std::size_t Skip = SequenceLength(static_cast<unsigned char>(*In), In, InLeft);
      Result += '?';
      In += Skip;
      InLeft -= Skip;
      iconv(FHandle, nullptr, nullptr, nullptr, nullptr);
    }
    return Result;
  }

 private:
  static bool IsAscii(std::string_view Text) { return AsciiRun(Text) == Text.size(); }

  // The length of the well-formed UTF-8 character at In, or 1 when it is not one.
  static std::size_t SequenceLength(unsigned char Lead, const char* In, std::size_t Left) {
    std::size_t Length = Lead >= 0xF0 && Lead <= 0xF4   ? 4
                         : Lead >= 0xE0 && Lead <= 0xEF ? 3
                         : Lead >= 0xC2 && Lead <= 0xDF ? 2
                                                        : 1;
    if (Length > Left) return 1;
    for (std::size_t I = 1; I < Length; ++I)
      if ((static_cast<unsigned char>(In[I]) & 0xC0) != 0x80) return 1;
    return Length;
  }

  iconv_t FHandle;
};

// Windows-1250 is one byte a character: its 128 upper bytes are read from iconv once into a
// table, and text converts through the table. Characters the code page lacks still go to
// iconv, for its stand-ins.
class TWin1250Table {
 public:
  TWin1250Table() {
    TConverter Decoder(kAnsi, kWin1250);
    for (int B = 0x80; B < 0x100; ++B) {
      const char Byte = static_cast<char>(B);
      const std::string Text = Decoder.Convert(std::string_view(&Byte, 1));
      TDecoded& Entry = FDecoded[B - 0x80];
      Entry.Length = static_cast<unsigned char>(std::min(Text.size(), sizeof Entry.Bytes));
      std::memcpy(Entry.Bytes, Text.data(), Entry.Length);
      char32_t C = 0;
      if (DecodeChar(Text, C) != Text.size() || C < 0x80) continue;
      if (C < kDirect)
        FDirect[C] = Byte;
      else
        FEncoded.push_back({C, Byte});
    }
    std::sort(FEncoded.begin(), FEncoded.end());
  }

  void Decode(std::string& Out, std::string_view Text) const {
    for (std::size_t I = 0; I < Text.size();) {
      const std::size_t Run = AsciiRun(Text.substr(I));
      Out.append(Text.data() + I, Run);
      for (I += Run; I < Text.size() && static_cast<unsigned char>(Text[I]) >= 0x80; ++I) {
        const TDecoded& Entry = FDecoded[static_cast<unsigned char>(Text[I]) - 0x80];
        Out.append(Entry.Bytes, Entry.Length);
      }
    }
  }

  void Encode(std::string& Out, std::string_view Text) const {
    for (std::size_t I = 0; I < Text.size();) {
      const std::size_t Run = AsciiRun(Text.substr(I));
      Out.append(Text.data() + I, Run);
      if ((I += Run) == Text.size()) break;
      char32_t C = 0;
      std::size_t Length = DecodeChar(Text.substr(I), C);
      const char Byte = Length > 0 ? Find(C) : '\0';
      if (Byte != '\0') {
        Out += Byte;
      } else {
        // Not one of the page's characters, or not UTF-8: iconv decides as it always did.
        thread_local TConverter Transliterating(kWin1250Transliterated, kAnsi);
        if (Length == 0) Length = 1;
        while (I + Length < Text.size() && static_cast<unsigned char>(Text[I + Length]) >= 0x80 &&
               (static_cast<unsigned char>(Text[I + Length]) & 0xC0) == 0x80)
          ++Length;
        Out += Transliterating.Convert(Text.substr(I, Length));
      }
      I += Length;
    }
  }

 private:
  // Code points below this (Latin-1 and Latin Extended-A, where the Polish letters are) are
  // looked up directly; the page's few others by search.
  static constexpr char32_t kDirect = 0x180;

  struct TDecoded {
    char Bytes[3];
    unsigned char Length;
  };

  // The page's byte for C, or 0 when it has none.
  char Find(char32_t C) const {
    if (C < kDirect) return FDirect[C];
    const auto Found = std::lower_bound(FEncoded.begin(), FEncoded.end(), C,
                                        [](const std::pair<char32_t, char>& E, char32_t Key) { return E.first < Key; });
    return Found != FEncoded.end() && Found->first == C ? Found->second : '\0';
  }

  // The length of the minimal two- or three-byte UTF-8 character at the start of Text with
  // its code point, or 0 (the page has no character beyond these).
  static std::size_t DecodeChar(std::string_view Text, char32_t& C) {
    auto Byte = [&](std::size_t I) { return static_cast<unsigned char>(Text[I]); };
    auto Follows = [&](std::size_t I) { return I < Text.size() && (Byte(I) & 0xC0) == 0x80; };
    if (Text.empty()) return 0;
    if (Byte(0) >= 0xC2 && Byte(0) <= 0xDF && Follows(1)) {
      C = (char32_t(Byte(0) & 0x1F) << 6) | (Byte(1) & 0x3F);
      return 2;
    }
    if (Byte(0) >= 0xE0 && Byte(0) <= 0xEF && Follows(1) && Follows(2)) {
      C = (char32_t(Byte(0) & 0x0F) << 12) | (char32_t(Byte(1) & 0x3F) << 6) | (Byte(2) & 0x3F);
      if (C < 0x800 || (C >= 0xD800 && C <= 0xDFFF)) return 0;
      return 3;
    }
    return 0;
  }

  TDecoded FDecoded[128] = {};
  char FDirect[kDirect] = {};
  std::vector<std::pair<char32_t, char>> FEncoded;
};

const TWin1250Table& Win1250() {
  static const TWin1250Table Table;
  return Table;
}

}  // namespace

std::string AnsiToOem(std::string_view Text) {
  thread_local TConverter Converter(kOemTransliterated, kAnsi);
  return Converter.Convert(Text);
}

std::string OemToAnsi(std::string_view Text) {
  thread_local TConverter Converter(kAnsi, kOem);
  return Converter.Convert(Text);
}

std::string AnsiToWin1250(std::string_view Text) {
  std::string Result;
  AppendAnsiToWin1250(Result, Text);
  return Result;
}

void AppendAnsiToWin1250(std::string& Out, std::string_view Text) {
  Out.reserve(Out.size() + Text.size());
  Win1250().Encode(Out, Text);
}

std::string Win1250ToAnsi(std::string_view Text) {
  std::string Result;
  AppendWin1250ToAnsi(Result, Text);
  return Result;
}

void AppendWin1250ToAnsi(std::string& Out, std::string_view Text) {
  Out.reserve(Out.size() + Text.size() + Text.size() / 8);
  Win1250().Decode(Out, Text);
}

}  // namespace vandrel::platform
