// RETURN: ends the batch, the statement sp_executesql runs or a procedure's body at once. A
// value is a procedure's return status, which a batch has none to give (178).
#include "engine/BatchRunner.h"
#include "engine/Expression.h"
#include "engine/Values.h"

namespace msde {
namespace {

void Return(Context& ctx, Parser& p) {
  if (!p.AtEnd() && ctx.batch != nullptr && ctx.batch->is_procedure) {
    ExprPtr status = ParseExpression(p);
    p.ExpectEnd();
    status->Bind(ctx, Scope{});
    EvalEnv env{ctx, nullptr};
    const Value value = status->Eval(env);
    // A NULL status is returned as 0.
    ctx.batch->return_status = IsNull(value) ? 0 : ToInteger(value).value_or(0);
  } else if (!p.AtEnd()) {
    ctx.Fail(178, 15, 1, "A RETURN statement with a return value cannot be used in this context.", true);
  }
  throw ReturnFromBatch{};
}

const StatementRegistration return_statement("RETURN", Return);

}  // namespace
}  // namespace msde
