#pragma once
// The parameters of a procedure the server runs as T-SQL (sp_executesql's statement, a
// procedure made by CREATE PROCEDURE): declared as variables of the batch it runs, bound to
// the caller's arguments by position or by name, and the output ones given back after.
#include <string>
#include <utility>
#include <vector>

#include "engine/Variables.h"

namespace msde {

// Makes `inner` the batch one level below the running one (its trace, its depth): 217 past
// SQL Server's limit of 32 procedures and dynamic batches inside each other.
void EnterNestedBatch(Context& ctx, BatchState& inner);

struct DeclaredParameter {
  std::string name;  // with its '@'
  Variable* variable = nullptr;
  bool output = false;
  bool has_default = false;  // "@n int = 5": the variable holds the default until an argument comes
  bool given = false;
};

// "@i int, @o int OUTPUT" ("@n int = 5" where defaults are allowed), each declared in `inner`.
std::vector<DeclaredParameter> DeclareParameters(Context& ctx, const std::string& declarations, BatchState& inner,
                                                 bool defaults_allowed);

// Binds `args` to `params` as `procedure` takes them: 8145, 119, 8144 and 8162 as SQL Server
// refuses them; `first_number` is the number of the first argument in 119's text. The pairs
// are (parameter's variable, caller's variable) of each output argument.
std::vector<std::pair<const Variable*, Variable*>> BindArguments(Context& ctx, const std::string& procedure,
                                                                 std::vector<DeclaredParameter>& params,
                                                                 const std::vector<ProcedureArgument>& args,
                                                                 size_t first_number);

}  // namespace msde
