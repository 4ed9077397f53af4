// sp_executesql @statement, @params, @p1 = v1, ...: the statement runs as a batch of its own,
// its declared parameters its variables; the values of output parameters go back to the
// caller's variables passed with OUTPUT.
#include "engine/BatchRunner.h"
#include "engine/ProcedureParameters.h"
#include "engine/Values.h"

namespace msde {
namespace {

void ExecuteSql(Context& ctx, const ProcArgs& args) {
  if (!args.Has("@statement"))
    ctx.Fail(214, 16, 2, "Procedure expects parameter '@statement' of type 'ntext/nchar/nvarchar'.");
  const std::string statement = args.Text("@statement");
  const std::string declarations = args.Text("@params");
  BatchState inner;
  EnterNestedBatch(ctx, inner);
  std::vector<DeclaredParameter> params = DeclareParameters(ctx, declarations, inner, false);

  const auto outputs = BindArguments(ctx, "sp_executesql", params, args.more, 3);
  for (const DeclaredParameter& p : params) {
    if (p.given) continue;
    const std::string query = "(" + declarations + ")" + statement;
    if (ctx.model.server.Is2005())
      ctx.Fail(8178, 16, 1, "The parameterized query '" + query + "' expects the parameter '" + p.name +
                                "', which was not supplied.");
    ctx.Fail(8178, 16, 1, "Prepared statement '" + query + "' expects parameter " + p.name + ", which was not supplied.");
  }

  if (!RunNestedBatch(ctx, statement, inner)) throw BatchCancelled{};
  for (const auto& [from, to] : outputs) AssignVariable(ctx, *to, from->value, from->type);
  ctx.error = ctx.session.error;
  ctx.return_status = ctx.session.error != 0 ? 1 : 0;
}

const ProcedureRegistration execute_sql("sp_executesql", {{"@statement", true}, {"@params"}}, ExecuteSql, true);

}  // namespace
}  // namespace msde
