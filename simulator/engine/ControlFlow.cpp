// RETURN [value]: ends the batch, or the statement sp_executesql runs, at once. A value is
// a procedure's return status; a batch has none to give (178).
#include "engine/BatchRunner.h"
#include "engine/Expression.h"

namespace msde {
namespace {

void Return(Context& ctx, Parser& p) {
  if (p.AtEnd()) throw ReturnFromBatch{};
  if (ctx.batch == nullptr || !ctx.batch->procedure)
    ctx.Fail(178, 15, 1, "A RETURN statement with a return value cannot be used in this context.", true);
  ExprPtr value = ParseExpression(p);
  p.ExpectEnd();
  value->Bind(ctx, Scope{});
  EvalEnv env{ctx, nullptr};
  ColumnInfo status;
  status.type = SqlType::Int;
  status.length = 4;
  const Value v = ConvertValue(ctx, value->Eval(env), value->Type(), status, -1);
  // A NULL status is returned as 0, as SQL Server does (with a warning it does not send here).
  throw ReturnFromBatch{IsNull(v) ? int64_t{0} : std::get<int64_t>(v)};
}

const StatementRegistration return_statement("RETURN", Return);

}  // namespace
}  // namespace msde
