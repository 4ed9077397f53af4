// sp_executesql @statement, @params, @p1 = v1, ...: the statement runs as a batch of its own,
// its declared parameters its variables; the values of output parameters go back to the
// caller's variables passed with OUTPUT.
#include "engine/BatchRunner.h"
#include "engine/Expression.h"
#include "engine/Values.h"

namespace msde {
namespace {

// SQL Server's limit of procedures and dynamic batches running inside each other.
constexpr int kMaxCallDepth = 32;

struct Parameter {
  std::string name;
  Variable* variable = nullptr;
  bool output = false;
  bool given = false;
};

// "@i int, @o int OUTPUT": each declared as a variable of the inner batch.
std::vector<Parameter> DeclareParameters(Context& ctx, const std::string& declarations, BatchState& inner) {
  std::vector<Parameter> params;
  if (Trim(declarations).empty()) return params;
  std::vector<Token> tokens;
  try {
    tokens = Tokenize(declarations);
  } catch (const LexError& e) {
    ctx.SyntaxError(e.near);
  }
  Parser p(ctx, std::move(tokens));
  do {
    if (p.Peek().kind != TokenKind::Variable) p.FailHere();
    const Token name = p.Next();
    p.AcceptKeyword("AS");
    const ColumnInfo type = ParseDeclaredType(p);
    const bool output = p.AcceptKeyword("OUTPUT") || p.AcceptKeyword("OUT");
    params.push_back({name.text, &inner.Declare(ctx, name.text, type, name.begin), output, false});
  } while (p.AcceptSymbol(","));
  p.ExpectEnd();
  return params;
}

void ExecuteSql(Context& ctx, const ProcArgs& args) {
  if (!args.Has("@statement"))
    ctx.Fail(214, 16, 2, "Procedure expects parameter '@statement' of type 'ntext/nchar/nvarchar'.");
  const std::string statement = args.Text("@statement");
  const std::string declarations = args.Text("@params");
  BatchState inner;
  inner.trace = ctx.batch != nullptr ? ctx.batch->trace : nullptr;
  inner.depth = (ctx.batch != nullptr ? ctx.batch->depth : 0) + 1;
  if (inner.depth > kMaxCallDepth)
    ctx.Fail(217, 16, 1, "Maximum stored procedure, function, trigger, or view nesting level exceeded (limit 32).");
  std::vector<Parameter> params = DeclareParameters(ctx, declarations, inner);

  std::vector<std::pair<const Variable*, Variable*>> outputs;  // inner variable, caller's
  bool named_seen = false;
  for (size_t i = 0; i < args.more.size(); ++i) {
    const ProcedureArgument& a = args.more[i];
    Parameter* target = nullptr;
    if (!a.name.empty()) {
      named_seen = true;
      for (Parameter& p : params)
        if (EqualNoCase(p.name, a.name)) target = &p;
      if (target == nullptr) ctx.Fail(8145, 16, 2, a.name + " is not a parameter for procedure sp_executesql.");
    } else if (named_seen) {
      ctx.Fail(119, 15, 1,
               "Must pass parameter number " + std::to_string(i + 3) +
                   " and subsequent parameters as '@name = value'. After the form '@name = value' has been used, "
                   "all subsequent parameters must be passed in the form '@name = value'.");
    } else if (i < params.size()) {
      target = &params[i];
    } else {
      ctx.Fail(8144, 16, 2, "Procedure or function sp_executesql has too many arguments specified.");
    }
    if (a.is_default) continue;
    AssignVariable(ctx, *target->variable, a.value, a.type);
    target->given = true;
    if (a.output == nullptr) continue;
    if (!target->output)
      ctx.Fail(8162, 16, 2, "The formal parameter \"" + target->name +
                                "\" was not declared as an OUTPUT parameter, but the actual parameter passed in requested output.");
    outputs.emplace_back(target->variable, a.output);
  }
  for (const Parameter& p : params) {
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
