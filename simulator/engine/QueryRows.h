#pragma once
// What a query does to its result rows once it has them: a cell made to fit its column,
// the order of ORDER BY, DISTINCT and TOP [PERCENT].
#include <cstdint>
#include <vector>

#include "engine/Expression.h"

namespace msde {

// A cell in the representation its column's type calls for.
Value Conform(Context& ctx, const Value& v, const ColumnInfo& from, const ColumnInfo& to);

// The value a cell of `type` is ordered and grouped by: a decimal (held as its text) as its
// number, anything else as it is.
Value SortKey(const Value& v, const ColumnInfo& type);

// Cells compared for ORDER BY, DISTINCT and grouping: NULLs are equal and sort first.
int CompareCells(const Value& a, const Value& b);
struct RowLess {
  bool operator()(const Row& a, const Row& b) const;
};

struct OrderItem {
  ExprPtr expr;            // ordering by an expression over the query's rows
  std::string name;        // ordering by a result column named by its alias or name
  std::string text;        // as written, to match a select list item
  int output_column = -1;  // ordering by a result column, from 0
  bool descending = false;
};
// The text of the tokens from `from` up to the parser's position, for matching expressions.
std::string SourceText(const Parser& p, size_t from);

// "ORDER BY a, 2 DESC, x + 1" after its ORDER; 108 for a position of no column.
std::vector<OrderItem> ParseOrderBy(Parser& p);
[[noreturn]] void FailOrderPosition(Context& ctx, int position);

// A result row with the values it is ordered by.
struct KeyedRow {
  Row out;
  std::vector<Value> keys;
};

struct RowLimit {
  bool distinct = false;
  int64_t top = -1;  // -1: no TOP
  bool percent = false;
};

// Orders `rows`, drops repeated rows under DISTINCT and keeps the first TOP rows (or per cent),
// handing each to `consume` until it declines.
void ShapeAndSend(std::vector<KeyedRow>& rows, const std::vector<OrderItem>& order, const RowLimit& limit,
                  const std::function<bool(const Row&)>& consume);

}  // namespace msde
