#include "platform/base/Collation.h"

#include <langinfo.h>
#include <locale.h>
#include <wchar.h>
#include <wctype.h>

namespace vandrel::platform {

namespace {

struct TCollation {
  std::string Name;
  locale_t Locale = static_cast<locale_t>(nullptr);

  TCollation() { Open(""); }
  ~TCollation() { Release(); }
  TCollation(const TCollation&) = delete;
  TCollation& operator=(const TCollation&) = delete;
  void Release() {
    if (Locale != static_cast<locale_t>(nullptr)) freelocale(Locale);
    Locale = static_cast<locale_t>(nullptr);
  }
  bool Open(const std::string& AName) {
    Release();
    Name = AName;
    constexpr int Mask = LC_COLLATE_MASK | LC_CTYPE_MASK;
    // "" lets the C library read LC_ALL, LC_COLLATE and LANG.
    Locale = newlocale(Mask, AName.c_str(), static_cast<locale_t>(nullptr));
    if (Locale != static_cast<locale_t>(nullptr)) {
      // A plain C or POSIX locale knows no letters beyond ASCII; C.UTF-8 does.
      const char* Used = nl_langinfo_l(CODESET, Locale);
      if (std::string(Used) != "ANSI_X3.4-1968") return true;
      freelocale(Locale);
      Locale = static_cast<locale_t>(nullptr);
    }
    Locale = newlocale(Mask, "C.UTF-8", static_cast<locale_t>(nullptr));
    return false;
  }
};

TCollation& Current() {
  static TCollation Collation;
  return Collation;
}

// UTF-8 to code points; a byte that does not start a valid sequence stands for itself.
std::wstring Decode(const std::string& Text, bool Lower, locale_t Locale) {
  std::wstring Result;
  Result.reserve(Text.size());
  const auto* P = reinterpret_cast<const unsigned char*>(Text.data());
  const std::size_t N = Text.size();
  for (std::size_t I = 0; I < N;) {
    unsigned C = P[I];
    std::size_t Len = C < 0x80 ? 1 : (C >> 5) == 6 ? 2 : (C >> 4) == 14 ? 3 : (C >> 3) == 30 ? 4 : 0;
    bool Valid = Len != 0 && I + Len <= N;
    unsigned Code = Len == 1 ? C : Len == 2 ? (C & 0x1F) : Len == 3 ? (C & 0x0F) : (C & 0x07);
    for (std::size_t K = 1; Valid && K < Len; ++K) {
      if ((P[I + K] & 0xC0) != 0x80) Valid = false;
      Code = (Code << 6) | (P[I + K] & 0x3F);
    }
    if (!Valid) {
      Code = C;
      Len = 1;
    }
    wint_t W = static_cast<wint_t>(Code);
    if (Lower && Locale != static_cast<locale_t>(nullptr)) W = towlower_l(W, Locale);
    Result.push_back(static_cast<wchar_t>(W));
    I += Len;
  }
  return Result;
}

int Compare(const std::string& A, const std::string& B, bool IgnoreCase) {
  TCollation& C = Current();
  if (C.Locale == static_cast<locale_t>(nullptr)) return A.compare(B);
  const std::wstring WA = Decode(A, IgnoreCase, C.Locale);
  const std::wstring WB = Decode(B, IgnoreCase, C.Locale);
  return wcscoll_l(WA.c_str(), WB.c_str(), C.Locale);
}

}  // namespace

int CollateCompareStr(const std::string& A, const std::string& B) { return Compare(A, B, false); }
int CollateCompareText(const std::string& A, const std::string& B) { return Compare(A, B, true); }

bool SetCollationLocale(const std::string& Name) { return Current().Open(Name); }
std::string CollationLocale() { return Current().Name; }

}  // namespace vandrel::platform
