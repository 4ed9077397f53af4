#pragma once
// The built-in scalar functions the engine evaluates (SERVERPROPERTY, DATABASEPROPERTYEX,
// DB_ID, DB_NAME, OBJECT_NAME, ISNULL, string functions, ...).
#include <optional>
#include <string>
#include <vector>

#include "engine/Expression.h"

namespace msde {

struct FunctionInfo {
  const char* name;
  int min_args;
  int max_args;
  // The result type, given the argument types.
  ColumnInfo (*type)(const std::vector<ColumnInfo>& args);
  Value (*eval)(EvalEnv& env, const std::vector<Value>& args);
  // Instead of eval, for functions whose result depends on the arguments' types.
  Value (*eval_typed)(EvalEnv& env, const std::vector<Value>& args, const std::vector<ColumnInfo>& types) = nullptr;
};

const FunctionInfo* FindFunction(const std::string& name);
// SQL_VARIANT_PROPERTY(value, property).
Value VariantProperty(EvalEnv& env, const std::vector<Value>& args, const std::vector<ColumnInfo>& types);
// @@VERSION, @@SERVERNAME, @@SPID, ...; nullopt for an unknown one.
std::optional<Value> GlobalVariable(Context& ctx, const std::string& name, ColumnInfo& type);

}  // namespace msde
