#pragma once
// Remote procedure call requests: what the FreeTDS ODBC driver sends for prepared
// statements (sp_prepexec, sp_prepare, sp_execute, sp_unprepare), for statements with
// parameters (sp_executesql) and for {call ...}. Each parameter's value is turned into the
// SQL literal it stands for, so that the call can be run as statement text.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tds/TdsBuffer.h"

namespace msde::tds {

struct RpcParam {
  std::string name;  // with its '@', or empty
  bool output = false;
  std::string literal;              // NULL, 12, 1.5, N'text', 'text', 0x0A0B, '2026-12-08 ...'
  std::optional<int64_t> integer;   // the value of an integer parameter
  std::optional<std::string> text;  // the value of a character parameter, as UTF-8
};

struct RpcCall {
  std::string procedure;  // the name, or the well-known procedure's name for its number
  std::vector<RpcParam> params;
};

// The calls of one request (several are separated by a batch flag). Raises ProtocolError.
std::vector<RpcCall> ParseRpcRequest(const Bytes& payload);

// The procedure a request names, or an empty text when it cannot be read.
std::string RpcProcedureName(const Bytes& payload);

// Names declared in an sp_executesql parameter list: "@P1 int, @P2 varchar(80) OUTPUT".
std::vector<std::string> DeclaredParameters(const std::string& declarations);

// Statement with each @name of Values replaced by its literal; names inside strings,
// quoted identifiers and comments, and @@ functions, stay as they are.
std::string SubstituteParameters(const std::string& statement,
                                 const std::vector<std::pair<std::string, std::string>>& values);

}  // namespace msde::tds
