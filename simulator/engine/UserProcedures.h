#pragma once
// Procedures a client makes with CREATE PROCEDURE: kept in their database, run as a batch of
// their own with their parameters as its variables.
#include <string>
#include <vector>

#include "engine/Statements.h"

namespace msde {

// A parameter as the catalogs list it: its name (in type.name), type and direction.
struct ProcedureParameter {
  ColumnInfo type;
  bool output = false;
};
std::vector<ProcedureParameter> ParameterList(Context& ctx, const StoredProcedure& proc);

// "CREATE PROC[EDURE] ...", the parser after CREATE.
void CreateProcedure(Context& ctx, Parser& p);

// Runs the procedure `name_parts` names when its database holds one by that name; false
// when it holds none (the registered procedures are looked for then).
bool CallStoredProcedure(Context& ctx, const std::vector<std::string>& name_parts,
                         const std::vector<ProcedureArgument>& args);

}  // namespace msde
