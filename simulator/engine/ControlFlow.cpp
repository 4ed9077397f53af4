// IF condition statement [ELSE statement]: one statement in each branch, as drivers send it
// ("IF @@TRANCOUNT > 0 COMMIT"). Blocks (BEGIN ... END) are not served.
#include "engine/Expression.h"

namespace msde {
namespace {

// Where the ELSE of each IF stands, found in one pass: an ELSE belongs to the nearest IF
// before it that has none yet; an ELSE inside parentheses or of a CASE expression is passed
// over. The statement's own IF (its keyword is not among the tokens) is `outer`.
struct Elses {
  explicit Elses(const std::vector<Token>& tokens) : of(tokens.size(), tokens.size()), outer(tokens.size()) {
    const size_t kOuter = tokens.size();
    std::vector<size_t> open{kOuter};
    int depth = 0, cases = 0;
    for (size_t i = 0; i < tokens.size(); ++i) {
      const Token& t = tokens[i];
      if (t.IsSymbol("(")) ++depth;
      if (t.IsSymbol(")") && depth > 0) --depth;
      if (depth > 0) continue;
      if (t.IsWord("CASE")) ++cases;
      if (t.IsWord("END") && cases > 0) --cases;
      if (t.IsWord("IF")) open.push_back(i);
      if (t.IsWord("ELSE") && cases == 0 && !open.empty()) {
        (open.back() == kOuter ? outer : of[open.back()]) = i;
        open.pop_back();
      }
    }
  }
  std::vector<size_t> of;  // by the position of an IF; the end when it has none
  size_t outer;
};

// A chosen branch that is itself an IF is run in the same loop, not by recursion, and each
// branch narrows the tokens in place: a chain of IFs costs its length, not its square.
void If(Context& ctx, Parser& p) {
  const Elses elses(p.tokens);
  size_t else_at = elses.outer;
  for (;;) {
    ExprPtr condition = ParseExpression(p);
    condition->Bind(ctx, Scope{});
    if (p.AtEnd() || p.Peek().IsWord("ELSE")) p.FailHere();
    const size_t otherwise = std::min(else_at, p.tokens.size());
    if (otherwise + 1 == p.tokens.size()) {
      p.position = otherwise + 1;
      p.FailHere();
    }
    EvalEnv env{ctx, nullptr};
    if (IsTrue(condition->Eval(env)))
      p.tokens.resize(otherwise);
    else
      p.position = std::min(otherwise + 1, p.tokens.size());
    if (p.AtEnd()) return;
    if (!p.Peek().IsWord("IF")) break;
    else_at = elses.of[p.position];
    ctx.line = p.Next().line;
  }
  ExecuteStatement(ctx, std::vector<Token>(p.tokens.begin() + static_cast<std::ptrdiff_t>(p.position), p.tokens.end()));
}

const StatementRegistration if_statement("IF", If);

}  // namespace
}  // namespace msde
