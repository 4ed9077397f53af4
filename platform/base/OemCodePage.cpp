#include "platform/base/OemCodePage.h"

#include <iconv.h>

#include <cerrno>

namespace vandrel::platform {

namespace {

constexpr const char* kOem = "CP852";
// Characters CP852 lacks become their nearest stand-in ("„" becomes a plain quote).
constexpr const char* kOemTransliterated = "CP852//TRANSLIT";
constexpr const char* kAnsi = "UTF-8";
constexpr const char* kWin1250 = "CP1250";
constexpr const char* kWin1250Transliterated = "CP1250//TRANSLIT";

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
  static bool IsAscii(std::string_view Text) {
    for (unsigned char C : Text)
      if (C >= 0x80) return false;
    return true;
  }

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
  thread_local TConverter Converter(kWin1250Transliterated, kAnsi);
  return Converter.Convert(Text);
}

std::string Win1250ToAnsi(std::string_view Text) {
  thread_local TConverter Converter(kAnsi, kWin1250);
  return Converter.Convert(Text);
}

}  // namespace vandrel::platform
