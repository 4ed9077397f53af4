#pragma once
// Remote procedure call requests: what the FreeTDS ODBC driver sends for prepared
// statements (sp_prepexec, sp_prepare, sp_execute, sp_unprepare), for statements with
// parameters (sp_executesql) and for {call ...}. Each parameter's value is turned into the
// SQL literal it stands for, so that the call can be run as statement text.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Engine.h"
#include "tds/TdsBuffer.h"

namespace msde::tds {

struct RpcParam {
  std::string name;  // with its '@', or empty
  bool output = false;
  // The type the client gave on the wire and the value (nothing for NULL); binary values
  // have no column type here and keep only their literal.
  ColumnInfo type;
  Value value;
  bool binary = false;
  // As a procedure argument: NULL, 12, 1.5e+00, N'text', 'text', 0x0A0B, '2026-12-08 ...'.
  std::string literal;
  // As an expression of its own type: CAST('2026-12-08 14:22:36.123' AS datetime),
  // CAST(1 AS bit), CAST(NULL AS int), ... (the literal where that is already typed).
  std::string typed;
  std::optional<int64_t> integer;   // the value of an integer parameter
  std::optional<std::string> text;  // the value of a character parameter, as UTF-8
};

struct RpcCall {
  std::string procedure;  // the name, or the well-known procedure's name for its number
  std::vector<RpcParam> params;
};

// The calls of one request (several are separated by a batch flag). Raises ProtocolError.
// Collations: character parameters carry one (TDS 7.1; a TDS 7.0 client sends none).
std::vector<RpcCall> ParseRpcRequest(const Bytes& payload, bool collations = true);

// The procedure a request names, or an empty text when it cannot be read.
std::string RpcProcedureName(const Bytes& payload);

// Names declared in an sp_executesql parameter list: "@P1 int, @P2 varchar(80) OUTPUT".
std::vector<std::string> DeclaredParameters(const std::string& declarations);

struct Substitution {
  std::string name;
  std::string typed;  // where an expression may stand
  std::string plain;  // in the arguments of EXEC, which take literals only
};

// Statement with each @name of Values replaced by its value; names inside strings, quoted
// identifiers and comments, and @@ functions, stay as they are.
std::string SubstituteParameters(const std::string& statement,
                                 const std::vector<Substitution>& values);

}  // namespace msde::tds
