// RETURN: ends the batch, or the statement sp_executesql runs, at once. A value would be a
// procedure's return status, which a batch has none to give (178).
#include "engine/BatchRunner.h"

namespace msde {
namespace {

void Return(Context& ctx, Parser& p) {
  if (!p.AtEnd())
    ctx.Fail(178, 15, 1, "A RETURN statement with a return value cannot be used in this context.", true);
  throw ReturnFromBatch{};
}

const StatementRegistration return_statement("RETURN", Return);

}  // namespace
}  // namespace msde
