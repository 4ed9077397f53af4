#include "app/clientsetup/TovinexPassword.h"

#include <QString>
#include <cstdint>

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

}  // namespace vandrel::app::clientsetup
