#pragma once
// SQL Server 2005's sys.sql_logins and PWDCOMPARE, which tell whether a login's password is a
// given text without showing it: the view's password_hash is a stand-in of the stored hash,
// and PWDCOMPARE knows the stand-in of every login.
#include <vector>

#include "engine/Expression.h"

namespace msde {

// PWDCOMPARE(clear_text, password_hash): 1 when the hash is that of clear_text, else 0.
Value PasswordCompare(EvalEnv& env, const std::vector<Value>& args);

}  // namespace msde
