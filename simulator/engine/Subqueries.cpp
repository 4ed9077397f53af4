// Subqueries inside expressions: a scalar subquery, IN (select ...) and EXISTS (select ...),
// each run again for every row of the query around it (so a correlated one sees that row).
#include "engine/Query.h"
#include "engine/Values.h"

namespace msde {
namespace {

void BindSubquery(Context& ctx, Query& query, const Scope& scope) {
  // Aggregates of the subquery are its own; the grouping checks of the outer query do
  // not reach inside it.
  query.Bind(ctx, &scope);
}

void CheckOneColumn(Context& ctx, const Query& query) {
  if (query.Columns().size() != 1)
    ctx.Fail(116, 16, 1, "Only one expression can be specified in the select list when the subquery "
                         "is not introduced with EXISTS.", true);
}

ColumnInfo ConditionType() {
  ColumnInfo c;
  c.type = SqlType::Int;
  c.length = 4;
  return c;
}

class ScalarSubquery : public Expr {
 public:
  explicit ScalarSubquery(QueryPtr query) : query_(std::move(query)) {}
  Value Eval(EvalEnv& env) const override {
    Value result;
    int64_t rows = 0;
    query_->Run(env.ctx, &env, [&](const Row& row) {
      if (++rows > 1)
        env.ctx.Fail(512, 16, 1, "Subquery returned more than 1 value. This is not permitted when the "
                                 "subquery follows =, !=, <, <= , >, >= or when the subquery is used as "
                                 "an expression.");
      result = row.front();
      return true;
    });
    return result;
  }
  ColumnInfo Type() const override {
    ColumnInfo t = query_->Columns().front();
    t.name.clear();
    t.nullable = true;
    return t;
  }
  void Bind(Context& ctx, const Scope& scope) override {
    BindSubquery(ctx, *query_, scope);
    CheckOneColumn(ctx, *query_);
  }

 private:
  QueryPtr query_;
};

// x [NOT] IN (select ...), answered as the list form of IN answers.
class InSubquery : public Expr {
 public:
  InSubquery(ExprPtr arg, QueryPtr query, bool negated)
      : arg_(std::move(arg)), query_(std::move(query)), negated_(negated) {}
  Value Eval(EvalEnv& env) const override {
    const Value v = arg_->Eval(env);
    if (IsNull(v)) return std::monostate{};
    bool found = false, unknown = false;
    query_->Run(env.ctx, &env, [&](const Row& row) {
      if (IsNull(row.front())) {
        unknown = true;
        return true;
      }
      found = CompareValues(v, row.front()) == 0;
      return !found;
    });
    return InOutcome(found, unknown, negated_);
  }
  ColumnInfo Type() const override { return ConditionType(); }
  void Bind(Context& ctx, const Scope& scope) override {
    arg_->Bind(ctx, scope);
    BindSubquery(ctx, *query_, scope);
    CheckOneColumn(ctx, *query_);
  }

 private:
  ExprPtr arg_;
  QueryPtr query_;
  bool negated_;
};

class ExistsSubquery : public Expr {
 public:
  explicit ExistsSubquery(QueryPtr query) : query_(std::move(query)) {}
  Value Eval(EvalEnv& env) const override {
    bool any = false;
    query_->Run(env.ctx, &env, [&](const Row&) {
      any = true;
      return false;
    });
    return int64_t{any ? 1 : 0};
  }
  ColumnInfo Type() const override { return ConditionType(); }
  void Bind(Context& ctx, const Scope& scope) override { BindSubquery(ctx, *query_, scope); }

 private:
  QueryPtr query_;
};

}  // namespace

ExprPtr MakeScalarSubquery(QueryPtr query) {
  return std::make_unique<ScalarSubquery>(std::move(query));
}

ExprPtr MakeInSubquery(ExprPtr arg, QueryPtr query, bool negated) {
  return std::make_unique<InSubquery>(std::move(arg), std::move(query), negated);
}

ExprPtr MakeExists(QueryPtr query) { return std::make_unique<ExistsSubquery>(std::move(query)); }

}  // namespace msde
