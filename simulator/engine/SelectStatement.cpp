// The SELECT statement: its query's rows go to the client as the query finds them.
#include "engine/QuerySpec.h"
#include "engine/Variables.h"

namespace msde {
namespace {

// SELECT @v = expression [, ...] [FROM ...]: each row found sets the variables (the last
// row's values stay), no rows leave them as they were; no result goes to the client.
void AssignFromRows(Context& ctx, const Query& query, const std::vector<std::string>& names) {
  std::vector<Variable*> variables;
  for (const std::string& name : names) {
    Variable* v = ctx.FindVariable(name);
    if (v == nullptr) ctx.Fail(137, 15, 2, "Must declare the variable '" + name + "'.", true);
    variables.push_back(v);
  }
  int64_t rows = 0;
  query.Run(ctx, nullptr, [&](const Row& row) {
    for (size_t i = 0; i < variables.size(); ++i) AssignVariable(ctx, *variables[i], row[i], query.Columns()[i]);
    ++rows;
    return true;
  });
  ctx.rowcount = rows;
}

void Select(Context& ctx, Parser& p) {
  QueryPtr query = ParseQueryAfterSelect(p);
  p.ExpectEnd();
  query->Bind(ctx, nullptr);
  if (const auto* spec = dynamic_cast<const QuerySpec*>(query.get())) {
    const std::vector<std::string> variables = spec->AssignedVariables(ctx);
    if (!variables.empty()) return AssignFromRows(ctx, *spec, variables);
  }
  // The columns go out with the first row, so that a query failing before it (a division
  // by zero in "select 1/0") answers with its error only.
  bool begun = false;
  int64_t sent = 0;
  query->Run(ctx, nullptr, [&](const Row& row) {
    if (!begun) ctx.BeginResult(query->Columns());
    begun = true;
    ctx.ResultRow(row);
    ++sent;
    return true;
  });
  if (!begun) ctx.BeginResult(query->Columns());
  ctx.EndResult(sent);
}

const StatementRegistration select_statement("SELECT", Select);

}  // namespace
}  // namespace msde
