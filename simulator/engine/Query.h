#pragma once
// Queries: a SELECT (one query block, or several joined by UNION) as a tree that a
// statement runs, a subquery evaluates and a derived table reads.
#include <functional>
#include <memory>
#include <vector>

#include "engine/Expression.h"

namespace msde {

// Receives a query's rows one at a time; returns false to stop the query early.
using RowConsumer = std::function<bool(const Row&)>;

class Query {
 public:
  virtual ~Query() = default;
  // Resolves names; outer: the scope of the query around a subquery (null at the top).
  virtual void Bind(Context& ctx, const Scope* outer) = 0;
  virtual const std::vector<ColumnInfo>& Columns() const = 0;
  // Produces the rows in order; outer: the row of the enclosing query (correlation).
  virtual void Run(Context& ctx, const EvalEnv* outer, const RowConsumer& consume) const = 0;
};
using QueryPtr = std::unique_ptr<Query>;

// A query whose SELECT the parser has just read, with its UNIONs and its ORDER BY; it ends
// before a ")" or the end of the statement.
QueryPtr ParseQueryAfterSelect(Parser& p);
// A query block alone (no UNION, no ORDER BY), after its SELECT.
QueryPtr ParseQuerySpecification(Parser& p);

// Expression nodes over subqueries.
ExprPtr MakeScalarSubquery(QueryPtr query);
ExprPtr MakeInSubquery(ExprPtr arg, QueryPtr query, bool negated);
ExprPtr MakeExists(QueryPtr query);

// COUNT, COUNT_BIG, SUM, AVG, MIN, MAX followed by "(".
bool IsAggregateCall(const Token& name, const Token& next);
// The call after its name; the parser stands at its "(".
ExprPtr ParseAggregateCall(Parser& p, const Token& name);

}  // namespace msde
