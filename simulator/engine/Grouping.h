#pragma once
// GROUP BY and the aggregate functions: rows gathered into groups by their key, each
// aggregate call of the query keeping its running value per group.
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "engine/QueryRows.h"

namespace msde {

class Groups {
 public:
  // aggregates: the calls the query's scope registered; keys: the GROUP BY expressions
  // (none: the whole input is one group).
  Groups(const std::vector<Expr*>& aggregates, const std::vector<ExprPtr>& keys);
  ~Groups();
  void Add(EvalEnv& env);  // env.row: one row of the input
  // Each group in key order (a query without GROUP BY has its one group even without
  // rows, with NULLs for its columns): its first row and the values of the aggregates.
  // Stops when `visit` declines.
  void ForEach(Context& ctx, size_t width,
               const std::function<bool(const Row&, const std::vector<Value>&)>& visit) const;

 // The running value of one aggregate call in one group.
  struct State;

 private:
  struct Group {
    Row first;
    std::vector<std::unique_ptr<State>> states;
  };
  const std::vector<Expr*>& aggregates_;
  const std::vector<ExprPtr>& keys_;
  std::map<Row, Group, RowLess> groups_;
};

}  // namespace msde
