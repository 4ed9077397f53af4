// The SELECT statement: its query's rows go to the client as the query finds them.
#include "engine/Query.h"

namespace msde {
namespace {

void Select(Context& ctx, Parser& p) {
  QueryPtr query = ParseQueryAfterSelect(p);
  p.ExpectEnd();
  query->Bind(ctx, nullptr);
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
