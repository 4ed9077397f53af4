#include "app/clientsetup/TovinexPassword.h"

#include <QString>
#include <cstdint>
#include <set>

namespace vandrel::app::clientsetup {

std::string TovinexPassword(const std::string& Database) {
  const std::string Folded = "Tovinex\n" + QString::fromStdString(Database).toUpper().toStdString();
  std::uint64_t Hash = 0xcbf29ce484222325ULL;
  for (unsigned char C : Folded) {
    Hash ^= C;
    Hash *= 0x100000001b3ULL;
  }
  Hash = (Hash ^ (Hash >> 30)) * 0xbf58476d1ce4e5b9ULL;
  Hash = (Hash ^ (Hash >> 27)) * 0x94d049bb133111ebULL;
  Hash ^= Hash >> 31;
  std::string Password;
  for (int I = 0; I < 8; ++I) {
    Password += static_cast<char>('A' + Hash % 26);
    Hash /= 26;
  }
  return Password;
}

namespace {

bool Calls(const std::string& Lower, const char* Procedure) { return Lower.find(Procedure) != std::string::npos; }

}  // namespace

std::string HidePasswords(const std::string& Statement) {
  const std::string Lower = QString::fromStdString(Statement).toLower().toStdString();
  std::set<int> Hidden;
  if (Calls(Lower, "sp_addlogin")) Hidden = {1};
  if (Calls(Lower, "sp_password")) Hidden = {0, 1};
  if (Hidden.empty()) return Statement;
  std::string Shown;
  int Literal = 0;
  for (size_t I = 0; I < Statement.size(); ++I) {
    if (Statement[I] != '\'') {
      Shown += Statement[I];
      continue;
    }
    // A literal runs to the quote not doubled; '' inside it is one quote.
    size_t End = I + 1;
    while (End < Statement.size() &&
           (Statement[End] != '\'' || (End + 1 < Statement.size() && Statement[End + 1] == '\'')))
      End += Statement[End] == '\'' ? 2 : 1;
    Shown += Hidden.count(Literal++) ? "'********'" : Statement.substr(I, End + 1 - I);
    I = End;
  }
  return Shown;
}

}  // namespace vandrel::app::clientsetup
