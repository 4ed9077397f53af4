#include "engine/QueryRows.h"

#include <algorithm>
#include <cmath>
#include <set>

#include "engine/Values.h"

namespace msde {

Value Conform(Context& ctx, const Value& v, const ColumnInfo& from, const ColumnInfo& to) {
  if (IsNull(v)) return v;
  bool fits = false;
  switch (to.type) {
    case SqlType::Int: case SqlType::SmallInt: case SqlType::TinyInt: case SqlType::Bit:
    case SqlType::BigInt:
      fits = std::holds_alternative<int64_t>(v);
      break;
    case SqlType::Float: case SqlType::Real: fits = std::holds_alternative<double>(v); break;
    case SqlType::DateTime: fits = std::holds_alternative<SqlDateTime>(v); break;
    case SqlType::Variant: fits = true; break;
    default: fits = std::holds_alternative<std::string>(v);
  }
  return fits ? v : ConvertValue(ctx, v, from, to, -1);
}

Value SortKey(const Value& v, const ColumnInfo& type) {
  const bool decimal = type.type == SqlType::Numeric || type.type == SqlType::Decimal || type.type == SqlType::Money;
  if (!decimal || !std::holds_alternative<std::string>(v)) return v;
  const auto d = ToDouble(v);
  return d ? Value{*d} : v;
}

int CompareCells(const Value& a, const Value& b) {
  if (IsNull(a) || IsNull(b)) return IsNull(a) ? (IsNull(b) ? 0 : -1) : 1;
  return CompareValues(a, b);
}

bool RowLess::operator()(const Row& a, const Row& b) const {
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
    const int c = CompareCells(a[i], b[i]);
    if (c != 0) return c < 0;
  }
  return a.size() < b.size();
}

void FailOrderPosition(Context& ctx, int position) {
  ctx.Fail(108, 15, 1, "The ORDER BY position number " + std::to_string(position) +
                           " is out of range of the number of items in the select list.", true);
}

std::string SourceText(const Parser& p, size_t from) {
  std::string text;
  for (size_t i = from; i < p.position && i < p.tokens.size(); ++i)
    text += (i > from ? " " : "") + Upper(p.tokens[i].text);
  return text;
}

std::vector<OrderItem> ParseOrderBy(Parser& p) {
  p.ExpectKeyword("BY");
  std::vector<OrderItem> order;
  do {
    OrderItem o;
    const Token& after = p.Peek(1);
    const bool alone = after.kind == TokenKind::End || after.IsSymbol(",") || after.IsSymbol(")") ||
                       after.IsWord("ASC") || after.IsWord("DESC");
    if (alone && p.Peek().kind == TokenKind::Number) {
      // ORDER BY 2: the second result column.
      const int position = static_cast<int>(p.ExpectInteger());
      if (position < 1) FailOrderPosition(p.ctx, position);
      o.output_column = position - 1;
    } else {
      if (alone && (p.Peek().IsName() || p.Peek().kind == TokenKind::String)) o.name = p.Peek().text;
      const size_t start = p.position;
      o.expr = ParseExpression(p);
      o.text = SourceText(p, start);
    }
    if (p.AcceptKeyword("DESC")) o.descending = true;
    else p.AcceptKeyword("ASC");
    order.push_back(std::move(o));
  } while (p.AcceptSymbol(","));
  return order;
}

void ShapeAndSend(std::vector<KeyedRow>& rows, const std::vector<OrderItem>& order, const RowLimit& limit,
                  const std::function<bool(const Row&)>& consume) {
  if (!order.empty())
    std::stable_sort(rows.begin(), rows.end(), [&](const KeyedRow& a, const KeyedRow& b) {
      for (size_t i = 0; i < order.size(); ++i) {
        int c = CompareCells(a.keys[i], b.keys[i]);
        if (order[i].descending) c = -c;
        if (c != 0) return c < 0;
      }
      return false;
    });
  std::set<Row, RowLess> seen;
  std::vector<const Row*> kept;
  for (const KeyedRow& k : rows)
    if (!limit.distinct || seen.insert(k.out).second) kept.push_back(&k.out);
  size_t count = kept.size();
  if (limit.top >= 0) {
    // TOP n PERCENT rounds up to whole rows.
    const size_t wanted = limit.percent
                              ? static_cast<size_t>(std::ceil(static_cast<double>(kept.size()) *
                                                              static_cast<double>(std::min<int64_t>(limit.top, 100)) / 100.0))
                              : static_cast<size_t>(limit.top);
    count = std::min(count, wanted);
  }
  for (size_t i = 0; i < count; ++i)
    if (!consume(*kept[i])) return;
}

}  // namespace msde
