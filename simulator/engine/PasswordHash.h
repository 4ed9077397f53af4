#pragma once
// Login passwords as SQL Server keeps them: a salted SHA-1 of the password's UTF-16LE bytes.
// SQL Server 2000 stores 0x0100, a 4-byte salt, the hash of the password and the hash of the
// password in upper case (46 bytes); 2005 stores 0x0100, the salt and the first hash alone
// (26 bytes). A login moved with its hash (sp_addlogin ... 'skip_encryption', CREATE LOGIN ...
// HASHED) logs in with the password the hash was made of.
#include <cstdint>
#include <string>

#include "engine/Model.h"

namespace msde {

// The stored form of `password` with `salt`; `with_upper_case` adds 2000's second hash.
std::string PasswordHashOf(const std::string& password, uint32_t salt, bool with_upper_case);
// Whether `hash` (either form) was made of `password`; false for anything else.
bool PasswordMatches(const std::string& hash, const std::string& password);
// Whether bytes have the shape of a stored hash.
bool IsPasswordHash(const std::string& bytes);

std::string Sha1(const std::string& bytes);

// The hash the server keeps for `login`: the one it was given, or one made of its password
// with a salt of its own, the same on every start so that a listing does not change.
std::string StoredPasswordHash(const Login& login, bool is2005);
// Whether `clear` is the login's password.
bool PasswordAccepted(const Login& login, const std::string& clear);
// Binary bytes from a value that holds them, or from their "0x..." text (as syslogins shows a
// hash, and as a procedure's argument may arrive).
std::string HashBytesOf(const std::string& value);

}  // namespace msde
