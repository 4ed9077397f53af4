// CREATE LOGIN of SQL Server 2005:
//   CREATE LOGIN name WITH PASSWORD = 'clear' | 0x... HASHED [MUST_CHANGE]
//     [, SID = 0x...] [, DEFAULT_DATABASE = db] [, DEFAULT_LANGUAGE = language]
//     [, CHECK_POLICY = ON|OFF] [, CHECK_EXPIRATION = ON|OFF]
// A HASHED password is a hash as sys.sql_logins shows it, so a login moves from one server to
// another with its password and its sid. SQL Server 2000 knows no such statement.
#include <optional>
#include <string>

#include "engine/Logins.h"
#include "engine/PasswordHash.h"
#include "engine/SqlTime.h"
#include "engine/Statements.h"
#include "engine/UserProcedures.h"
#include "engine/Values.h"

namespace msde {
namespace {

// The bytes of a 0x... constant.
std::string BinaryConstant(Parser& p) {
  const std::optional<std::string> bytes = p.Peek().kind == TokenKind::Number ? HexBytes(p.Peek().text) : std::nullopt;
  if (!bytes) p.FailHere();
  p.Next();
  return *bytes;
}

bool OnOrOff(Parser& p) {
  if (p.AcceptKeyword("ON")) return true;
  p.ExpectKeyword("OFF");
  return false;
}

void CreateLogin(Context& ctx, Parser& p) {
  if (p.Peek().IsWord("PROCEDURE") || p.Peek().IsWord("PROC")) return CreateProcedure(ctx, p);
  // Other CREATE statements are not served; SQL Server 2000 knows no CREATE LOGIN.
  if (!ctx.model.server.Is2005() || !p.AcceptKeyword("LOGIN")) ctx.SyntaxError(p.keyword.text);
  Login login;
  login.name = p.ExpectName();
  p.ExpectKeyword("WITH");
  p.ExpectKeyword("PASSWORD");
  p.ExpectSymbol("=");
  bool hashed = false;
  if (p.Peek().kind == TokenKind::Number) {
    login.password_hash = BinaryConstant(p);
    p.ExpectKeyword("HASHED");
    hashed = true;
  } else {
    login.password = p.ExpectString();
  }
  bool must_change = p.AcceptKeyword("MUST_CHANGE");
  std::string sid;
  std::string database = "master";
  bool policy = true, expiration = false;
  while (p.AcceptSymbol(",")) {
    if (p.AcceptKeyword("SID")) {
      p.ExpectSymbol("=");
      sid = BinaryConstant(p);
    } else if (p.AcceptKeyword("DEFAULT_DATABASE")) {
      p.ExpectSymbol("=");
      database = p.ExpectName();
    } else if (p.AcceptKeyword("DEFAULT_LANGUAGE")) {
      p.ExpectSymbol("=");
      login.language = p.ExpectName();
    } else if (p.AcceptKeyword("CHECK_POLICY")) {
      p.ExpectSymbol("=");
      policy = OnOrOff(p);
    } else if (p.AcceptKeyword("CHECK_EXPIRATION")) {
      p.ExpectSymbol("=");
      expiration = OnOrOff(p);
    } else {
      p.FailHere();
    }
  }
  p.ExpectEnd();
  if (!ctx.IsSysadmin()) ctx.Fail(15247, 16, 1, "User does not have permission to perform this action.");
  if (must_change && (!policy || !expiration))
    ctx.Fail(15128, 16, 1, "The CHECK_POLICY and CHECK_EXPIRATION options cannot be turned OFF when MUST_CHANGE is ON.");
  if (hashed && !IsPasswordHash(login.password_hash))
    ctx.Fail(15021, 16, 2, "Invalid value given for parameter PASSWORD. Specify a valid parameter value.");
  if (ctx.model.FindLogin(login.name) != nullptr)
    ctx.Fail(15025, 16, 2, "The server principal '" + login.name + "' already exists.");
  if (!sid.empty()) CheckGivenSid(ctx, sid);
  login.sid = sid.empty() ? NewSid(ctx.model, login.name) : sid;
  login.default_database = database;
  login.created = NowDateTime();
  ctx.model.logins.push_back(login);
}

const StatementRegistration create_statement("CREATE", CreateLogin);

}  // namespace
}  // namespace msde
