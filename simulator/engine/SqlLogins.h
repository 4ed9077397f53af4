#pragma once
// SQL Server 2005's sys.sql_logins, PWDCOMPARE, which tells whether a login's password is a
// given text without showing it, and SUSER_SID / SUSER_SNAME, which turn a login's name into
// its sid and back.
#include <vector>

#include "engine/Expression.h"

namespace msde {

// PWDCOMPARE(clear_text, password_hash): 1 when the hash is that of clear_text, else 0. The
// hash is its bytes or its "0x..." text, as syslogins shows it on SQL Server 2000.
Value PasswordCompare(EvalEnv& env, const std::vector<Value>& args);
// SUSER_SID(['login']): the login's sid (the session's own without an argument); NULL for none.
Value LoginSid(EvalEnv& env, const std::vector<Value>& args);
// SUSER_SNAME([sid]): the name of the login with that sid (the session's own without one).
Value LoginNameOfSid(EvalEnv& env, const std::vector<Value>& args);

}  // namespace msde
