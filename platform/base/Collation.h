#pragma once
// Locale-aware comparison of texts: the collation of the user's locale (LC_ALL, LC_COLLATE,
// LANG), so that Polish letters sort in Polish order under a Polish locale. Texts are UTF-8.
// A locale that is not installed falls back to C.UTF-8 (code point order).
#include <string>

namespace vandrel::platform {

// Negative, 0 or positive as A sorts before, equal to or after B; case-sensitive.
int CollateCompareStr(const std::string& A, const std::string& B);
// The same, ignoring the difference between upper and lower case letters.
int CollateCompareText(const std::string& A, const std::string& B);

// The locale whose collation is used from now on ("" means the user's locale). Returns false
// (and uses C.UTF-8) when the locale is not available.
bool SetCollationLocale(const std::string& Name);
// The name that the current collation was asked for ("" for the user's locale).
std::string CollationLocale();

// Keeps the current collation locale and puts it back when it goes out of scope.
class TCollationGuard {
 public:
  TCollationGuard() : FSaved(CollationLocale()) {}
  ~TCollationGuard() { SetCollationLocale(FSaved); }
  TCollationGuard(const TCollationGuard&) = delete;
  TCollationGuard& operator=(const TCollationGuard&) = delete;

 private:
  std::string FSaved;
};

}  // namespace vandrel::platform
