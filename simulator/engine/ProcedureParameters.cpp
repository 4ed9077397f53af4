#include "engine/ProcedureParameters.h"

#include "engine/Expression.h"
#include "engine/Values.h"

namespace msde {

void EnterNestedBatch(Context& ctx, BatchState& inner) {
  constexpr int kMaxCallDepth = 32;
  inner.trace = ctx.batch != nullptr ? ctx.batch->trace : nullptr;
  inner.depth = (ctx.batch != nullptr ? ctx.batch->depth : 0) + 1;
  if (inner.depth > kMaxCallDepth)
    ctx.Fail(217, 16, 1, "Maximum stored procedure, function, trigger, or view nesting level exceeded (limit 32).");
}

std::vector<DeclaredParameter> DeclareParameters(Context& ctx, const std::string& declarations, BatchState& inner,
                                                 bool defaults_allowed) {
  std::vector<DeclaredParameter> params;
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
    Variable& variable = inner.Declare(ctx, name.text, type, name.begin);
    bool has_default = false;
    if (defaults_allowed && p.AcceptSymbol("=")) {
      ExprPtr value = ParseExpression(p);
      value->Bind(ctx, Scope{});
      EvalEnv env{ctx, nullptr};
      AssignVariable(ctx, variable, value->Eval(env), value->Type());
      has_default = true;
    }
    const bool output = p.AcceptKeyword("OUTPUT") || p.AcceptKeyword("OUT");
    params.push_back({name.text, &variable, output, has_default, false});
  } while (p.AcceptSymbol(","));
  p.ExpectEnd();
  return params;
}

std::vector<std::pair<const Variable*, Variable*>> BindArguments(Context& ctx, const std::string& procedure,
                                                                 std::vector<DeclaredParameter>& params,
                                                                 const std::vector<ProcedureArgument>& args,
                                                                 size_t first_number) {
  std::vector<std::pair<const Variable*, Variable*>> outputs;
  bool named_seen = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const ProcedureArgument& a = args[i];
    DeclaredParameter* target = nullptr;
    if (!a.name.empty()) {
      named_seen = true;
      for (DeclaredParameter& p : params)
        if (EqualNoCase(p.name, a.name)) target = &p;
      if (target == nullptr) ctx.Fail(8145, 16, 2, a.name + " is not a parameter for procedure " + procedure + ".");
    } else if (named_seen) {
      ctx.Fail(119, 15, 1,
               "Must pass parameter number " + std::to_string(i + first_number) +
                   " and subsequent parameters as '@name = value'. After the form '@name = value' has been used, "
                   "all subsequent parameters must be passed in the form '@name = value'.");
    } else if (i < params.size()) {
      target = &params[i];
    } else {
      ctx.Fail(8144, 16, 2, "Procedure or function " + procedure + " has too many arguments specified.");
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
  return outputs;
}

}  // namespace msde
