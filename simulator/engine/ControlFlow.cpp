// IF condition statement [ELSE statement]: one statement in each branch, as drivers send it
// ("IF @@TRANCOUNT > 0 COMMIT"). Blocks (BEGIN ... END) are not served.
#include "engine/Expression.h"

namespace msde {
namespace {

// Where the ELSE of this IF stands in `tokens` (the branches after the condition), or the
// end: an ELSE inside a CASE expression or belonging to a nested IF is passed over.
size_t ElseOf(const std::vector<Token>& tokens, size_t from) {
  int depth = 0, cases = 0, nested_ifs = 0;
  for (size_t i = from; i < tokens.size(); ++i) {
    const Token& t = tokens[i];
    if (t.IsSymbol("(")) ++depth;
    if (t.IsSymbol(")") && depth > 0) --depth;
    if (depth > 0) continue;
    if (t.IsWord("CASE")) ++cases;
    if (t.IsWord("END") && cases > 0) --cases;
    if (t.IsWord("IF")) ++nested_ifs;
    if (t.IsWord("ELSE") && cases == 0) {
      if (nested_ifs == 0) return i;
      --nested_ifs;
    }
  }
  return tokens.size();
}

void If(Context& ctx, Parser& p) {
  ExprPtr condition = ParseExpression(p);
  condition->Bind(ctx, Scope{});
  if (p.AtEnd() || p.Peek().IsWord("ELSE")) p.FailHere();
  const size_t otherwise = ElseOf(p.tokens, p.position);
  if (otherwise + 1 == p.tokens.size()) {
    p.position = otherwise + 1;
    p.FailHere();
  }
  EvalEnv env{ctx, nullptr};
  const bool holds = IsTrue(condition->Eval(env));
  const size_t first = holds ? p.position : std::min(otherwise + 1, p.tokens.size());
  const size_t last = holds ? otherwise : p.tokens.size();
  ExecuteStatement(ctx, std::vector<Token>(p.tokens.begin() + static_cast<std::ptrdiff_t>(first),
                                           p.tokens.begin() + static_cast<std::ptrdiff_t>(last)));
}

const StatementRegistration if_statement("IF", If);

}  // namespace
}  // namespace msde
