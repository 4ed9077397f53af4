#pragma once
// One query block: SELECT [DISTINCT] [TOP n [PERCENT]] list [FROM ...] [WHERE ...]
// [GROUP BY ...] [HAVING ...], with the ORDER BY of the statement when it stands alone.
#include <string>
#include <vector>

#include "engine/FromClause.h"
#include "engine/QueryRows.h"

namespace msde {

struct SelectItem {
  ExprPtr expr;  // null for a star
  std::string alias;
  bool has_alias = false;
  bool star = false;
  std::string star_qualifier;
  std::string text;  // as written, to match GROUP BY and ORDER BY items
  std::string variable;  // SELECT @v = expression: the variable it sets
};

class QuerySpec : public Query {
 public:
  // The block after its SELECT.
  void Parse(Parser& p);
  void SetOrder(std::vector<OrderItem> order) { order_ = std::move(order); }
  void Bind(Context& ctx, const Scope* outer) override;
  const std::vector<ColumnInfo>& Columns() const override { return columns_; }
  void Run(Context& ctx, const EvalEnv* outer, const RowConsumer& consume) const override;
  // SELECT @v = a, @w = b ...: the variables each result column sets, in order; empty for a
  // query that returns its rows. 141 when the list mixes both.
  std::vector<std::string> AssignedVariables(Context& ctx) const;

 private:
  struct Output {
    const SelectItem* item;
    size_t source_column;  // a star's column in the joined row
  };
  bool Grouped() const { return !group_by_.empty() || !aggregates_.empty() || having_ != nullptr; }
  void BindItems(Context& ctx, std::vector<NamedColumn>& named);
  void BindOrder(Context& ctx, std::vector<NamedColumn>& named);
  Row Outputs(EvalEnv& env) const;

  RowLimit limit_;
  std::vector<SelectItem> items_;
  bool has_from_ = false;
  FromClause from_;
  ExprPtr where_;
  std::vector<ExprPtr> group_by_;
  std::vector<std::string> group_text_;
  ExprPtr having_;
  std::vector<OrderItem> order_;
  Scope scope_;
  std::vector<Expr*> aggregates_;
  std::vector<Output> outputs_;
  std::vector<ColumnInfo> columns_;
  size_t width_ = 0;
};

// 141: a SELECT that sets variables also returns rows (or is one part of a UNION).
[[noreturn]] void FailAssignmentWithRetrieval(Context& ctx);

}  // namespace msde
