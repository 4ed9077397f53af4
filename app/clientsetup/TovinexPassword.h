#pragma once
// The password of the login that an attach creates for Tovinex. Tovinex must be able to log
// in with it, and nothing may store it (no registry value, no file, no log), so both sides
// derive it from the one thing they share, the database name:
//
//   1. the name is folded to upper case (the server compares database names without regard
//      to case, so "sklep" and "Sklep" are one database with one password);
//   2. a 64-bit FNV-1a hash runs over "Tovinex\n" followed by the folded name's UTF-8 bytes,
//      and the SplitMix64 finaliser spreads its bits;
//   3. the result, read as a number in base 26 from its lowest digit, gives eight letters,
//      0 = 'A' ... 25 = 'Z' (26^8 < 2^64, so every letter has bits of its own).
//
// The rule keeps the password off every disk, not secret from whoever knows the rule: a site
// that needs more changes the login's password with sp_password after the attach.
#include <string>

namespace vandrel::app::clientsetup {

// Eight capital letters A-Z, always the same for the same database.
std::string TovinexPassword(const std::string& Database);

// Statement as it may be shown to the user: the password of an sp_addlogin (its second
// literal) and both of an sp_password (its first two) read "********".
std::string HidePasswords(const std::string& Statement);

}  // namespace vandrel::app::clientsetup
