#pragma once
// A connection's prepared statements and the translation of procedure calls into statement
// text: sp_executesql and sp_prepexec run their statement with the parameter values written
// in as literals, sp_prepare and sp_execute keep and reuse it by handle, sp_unprepare
// forgets it, and any other procedure becomes an EXEC.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Engine.h"
#include "tds/RpcRequest.h"

namespace msde::tds {

// An output parameter as it goes back: its position in the call, name, type and value.
struct ReturnValue {
  uint16_t ordinal = 0;
  std::string name;
  ColumnInfo type;
  Value value;
};

struct CallPlan {
  std::optional<std::string> sql;    // nothing: no statement to run
  std::vector<ReturnValue> outputs;  // output parameters, e.g. a new handle
  std::optional<Message> error;      // the call itself cannot be served
  // A call with output parameters, run as a call so that their values can come back; the
  // outputs' ordinals index its arguments.
  std::optional<ProcedureCall> call;
};

class PreparedStatements {
 public:
  CallPlan Plan(const RpcCall& call);

 private:
  CallPlan PlanStatement(const RpcCall& call);
  struct Prepared {
    std::string statement;
    std::vector<std::string> names;
  };
  // Statement, parameter names from Declarations, values from Params[First...].
  static std::string Bind(const std::string& statement, const std::vector<std::string>& names,
                          const std::vector<RpcParam>& params, size_t first);
  std::optional<int32_t> Keep(Prepared prepared);

  std::map<int32_t, Prepared> prepared_;
  int32_t next_handle_ = 1;
};

}  // namespace msde::tds
