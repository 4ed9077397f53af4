// SELECT over one table (or none): select list with aliases, *, DISTINCT, TOP, WHERE,
// ORDER BY, and whole-table aggregates (COUNT, MIN, MAX, SUM, AVG) as select items.
#include <algorithm>
#include <numeric>

#include "engine/Expression.h"
#include "engine/SystemTables.h"
#include "engine/Transactions.h"
#include "engine/TypeNames.h"
#include "engine/Values.h"

namespace msde {
namespace {

enum class Aggregate { None, Count, CountAll, Min, Max, Sum, Avg };

struct SelectItem {
  ExprPtr expr;           // null for * and COUNT(*)
  std::string alias;
  bool has_alias = false;
  bool star = false;
  std::string star_qualifier;
  Aggregate aggregate = Aggregate::None;
};

struct OrderItem {
  ExprPtr expr;
  std::string alias;       // ordering by a result column named by its alias
  int output_column = -1;  // ordering by a result column (by alias or ordinal), from 0
  bool descending = false;
};

bool IsClauseWord(const Token& t) {
  static const char* kWords[] = {"FROM", "WHERE", "ORDER", "GROUP", "HAVING", "UNION", "INTO",
                                 "COMPUTE", "FOR", "OPTION", "AS"};
  for (const char* w : kWords)
    if (t.IsWord(w)) return true;
  return false;
}

Aggregate AggregateOf(const Token& name, const Token& open) {
  if (!open.IsSymbol("(") || name.kind != TokenKind::Word) return Aggregate::None;
  if (name.IsWord("COUNT")) return Aggregate::Count;
  if (name.IsWord("MIN")) return Aggregate::Min;
  if (name.IsWord("MAX")) return Aggregate::Max;
  if (name.IsWord("SUM")) return Aggregate::Sum;
  if (name.IsWord("AVG")) return Aggregate::Avg;
  return Aggregate::None;
}

SelectItem ParseItem(Parser& p) {
  SelectItem item;
  if (p.AcceptSymbol("*")) {
    item.star = true;
    return item;
  }
  if (p.Peek().IsName() && p.Peek(1).IsSymbol(".") && p.Peek(2).IsSymbol("*")) {
    item.star = true;
    item.star_qualifier = p.Next().text;
    p.Next();
    p.Next();
    return item;
  }
  if (p.Peek().IsName() && p.Peek(1).IsSymbol("=") ) {
    // alias = expression
    item.alias = p.Next().text;
    item.has_alias = true;
    p.Next();
  }
  item.aggregate = AggregateOf(p.Peek(), p.Peek(1));
  if (item.aggregate != Aggregate::None) {
    p.Next();
    p.Next();
    p.AcceptKeyword("ALL");
    if (item.aggregate == Aggregate::Count && p.AcceptSymbol("*")) {
      item.aggregate = Aggregate::CountAll;
    } else {
      item.expr = ParseExpression(p);
    }
    p.ExpectSymbol(")");
  } else {
    item.expr = ParseExpression(p);
  }
  if (item.has_alias) return item;
  if (p.AcceptKeyword("AS")) {
    const Token t = p.Next();
    if (!t.IsName() && t.kind != TokenKind::String) {
      --p.position;
      p.FailHere();
    }
    item.alias = t.text;
    item.has_alias = true;
  } else if ((p.Peek().IsName() || p.Peek().kind == TokenKind::String) && !IsClauseWord(p.Peek())) {
    item.alias = p.Next().text;
    item.has_alias = true;
  }
  return item;
}

// Makes a cell hold the representation its column type calls for.
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
    default: fits = std::holds_alternative<std::string>(v);
  }
  return fits ? v : ConvertValue(ctx, v, from, to, -1);
}

Value AggregateValue(Context& ctx, const SelectItem& item, const std::vector<const Row*>& rows,
                     ColumnInfo& type) {
  if (item.aggregate == Aggregate::CountAll) {
    type = Column("", SqlType::Int);
    return static_cast<int64_t>(rows.size());
  }
  const ColumnInfo arg = item.expr->Type();
  std::vector<Value> values;
  for (const Row* row : rows) {
    EvalEnv env{ctx, row};
    Value v = item.expr->Eval(env);
    if (!IsNull(v)) values.push_back(std::move(v));
  }
  if (item.aggregate == Aggregate::Count) {
    type = Column("", SqlType::Int);
    return static_cast<int64_t>(values.size());
  }
  type = arg;
  type.name.clear();
  type.nullable = true;
  if (values.empty()) return std::monostate{};
  if (item.aggregate == Aggregate::Min || item.aggregate == Aggregate::Max) {
    const bool want_max = item.aggregate == Aggregate::Max;
    return *std::max_element(values.begin(), values.end(), [&](const Value& a, const Value& b) {
      return want_max ? CompareValues(a, b) < 0 : CompareValues(a, b) > 0;
    });
  }
  if (IsCharacterType(arg.type) || arg.type == SqlType::DateTime)
    ctx.Fail(409, 16, 2, std::string("The ") + (item.aggregate == Aggregate::Sum ? "sum" : "average") +
                             " or average aggregate operation cannot take a " + TypeName(arg.type) +
                             " data type as an argument.");
  if (std::holds_alternative<int64_t>(values.front())) {
    int64_t sum = 0;
    for (const Value& v : values) sum += std::get<int64_t>(v);
    if (type.type != SqlType::BigInt) type = Column("", SqlType::Int);
    return item.aggregate == Aggregate::Sum ? sum : sum / static_cast<int64_t>(values.size());
  }
  double sum = 0;
  for (const Value& v : values) sum += ToDouble(v).value_or(0);
  if (item.aggregate == Aggregate::Avg) sum /= static_cast<double>(values.size());
  return Conform(ctx, sum, Column("", SqlType::Float), type);
}

void Select(Context& ctx, Parser& p) {
  const bool distinct = p.AcceptKeyword("DISTINCT");
  if (!distinct) p.AcceptKeyword("ALL");
  int64_t top = -1;
  if (p.AcceptKeyword("TOP")) {
    const bool parenthesised = p.AcceptSymbol("(");
    top = p.ExpectInteger();
    if (parenthesised) p.ExpectSymbol(")");
    if (p.AcceptKeyword("PERCENT")) p.FailHere();
  }
  std::vector<SelectItem> items;
  do items.push_back(ParseItem(p));
  while (p.AcceptSymbol(","));

  RowSource source;
  Scope scope;
  bool has_from = false;
  if (p.AcceptKeyword("FROM")) {
    has_from = true;
    const auto name = p.ExpectQualifiedName();
    if (p.AcceptKeyword("AS")) scope.alias = p.ExpectName();
    else if (p.Peek().IsName() && !IsClauseWord(p.Peek()) && !p.Peek().IsWord("WITH"))
      scope.alias = p.ExpectName();
    if (p.AcceptKeyword("WITH") || p.Peek().IsSymbol("(")) {
      // Table hints such as (NOLOCK) change nothing here.
      p.ExpectSymbol("(");
      while (!p.AtEnd() && !p.Peek().IsSymbol(")")) p.Next();
      p.ExpectSymbol(")");
    }
    source = OpenTable(ctx, name);
    StartImplicitTransaction(ctx);
    scope.name = source.name;
    scope.columns = &source.columns;
  }
  ExprPtr where;
  if (p.AcceptKeyword("WHERE")) where = ParseExpression(p);
  std::vector<OrderItem> order;
  if (p.AcceptKeyword("ORDER")) {
    p.ExpectKeyword("BY");
    do {
      OrderItem o;
      const Token& after = p.Peek(1);
      const bool alone = after.kind == TokenKind::End || after.IsSymbol(",") ||
                         after.IsWord("ASC") || after.IsWord("DESC");
      const bool is_alias = alone && p.Peek().IsName() &&
                            std::any_of(items.begin(), items.end(), [&](const SelectItem& i) {
                              return i.has_alias && EqualNoCase(i.alias, p.Peek().text);
                            });
      if (alone && p.Peek().kind == TokenKind::Number) {
        // ORDER BY 2: the second result column.
        o.output_column = static_cast<int>(p.ExpectInteger()) - 1;
        if (o.output_column < 0)
          ctx.Fail(108, 15, 1, "The ORDER BY position number " + std::to_string(o.output_column + 1) +
                                   " is out of range of the number of items in the select list.", true);
      } else if (is_alias) {
        o.alias = p.Next().text;
      } else {
        o.expr = ParseExpression(p);
      }
      if (p.AcceptKeyword("DESC")) o.descending = true;
      else p.AcceptKeyword("ASC");
      order.push_back(std::move(o));
    } while (p.AcceptSymbol(","));
  }
  p.ExpectEnd();

  // Bind the select list, expanding stars into columns.
  std::vector<ColumnInfo> columns;
  struct Output {
    const SelectItem* item;
    int source_column;  // for star columns
  };
  std::vector<Output> outputs;
  bool aggregated = false;
  for (SelectItem& item : items) {
    if (item.star) {
      if (!has_from) ctx.Fail(263, 16, 1, "Must specify table to select from.", true);
      if (!item.star_qualifier.empty() && !EqualNoCase(item.star_qualifier, scope.alias) &&
          !EqualNoCase(item.star_qualifier, scope.name))
        ctx.Fail(107, 16, 3, "The column prefix '" + item.star_qualifier +
                                 "' does not match with a table name or alias name used in the query.", true);
      for (size_t i = 0; i < source.columns.size(); ++i) {
        columns.push_back(source.columns[i]);
        outputs.push_back({&item, static_cast<int>(i)});
      }
      continue;
    }
    if (item.expr) item.expr->Bind(ctx, scope);
    aggregated = aggregated || item.aggregate != Aggregate::None;
    ColumnInfo c = item.expr ? item.expr->Type() : Column("", SqlType::Int);
    if (item.has_alias) c.name = item.alias;
    columns.push_back(c);
    outputs.push_back({&item, -1});
  }
  if (aggregated)
    for (const Output& o : outputs)
      if (o.item->aggregate == Aggregate::None)
        ctx.Fail(8118, 16, 1, "Column '" + (o.source_column >= 0 ? source.columns[o.source_column].name
                                                                 : columns.front().name) +
                                  "' is invalid in the select list because it is not contained in "
                                  "an aggregate function and there is no GROUP BY clause.", true);
  if (where) where->Bind(ctx, scope);
  for (OrderItem& o : order) {
    if (!o.alias.empty()) {
      for (size_t i = 0; i < columns.size() && o.output_column < 0; ++i)
        if (EqualNoCase(columns[i].name, o.alias)) o.output_column = static_cast<int>(i);
    } else if (o.expr) {
      o.expr->Bind(ctx, scope);
    } else if (o.output_column >= static_cast<int>(columns.size())) {
      ctx.Fail(108, 15, 1, "The ORDER BY position number " + std::to_string(o.output_column + 1) +
                               " is out of range of the number of items in the select list.", true);
    }
  }

  // A table's rows as they stand (select * from a table, perhaps with TOP) go out as they
  // are read, as SQL Server streams a scan: the client has the first rows while the server
  // still sends the rest, and nothing is gathered first.
  const bool whole_rows = has_from && !where && order.empty() && !distinct && !aggregated &&
                          outputs.size() == source.columns.size() &&
                          std::all_of(outputs.begin(), outputs.end(), [&](const Output& o) {
                            return o.source_column == static_cast<int>(&o - outputs.data());
                          });
  if (whole_rows) {
    ctx.BeginResult(columns);
    int64_t sent = 0;
    for (const Row& row : source.Rows()) {
      if (top >= 0 && sent >= top) break;
      ctx.ResultRow(row);
      ++sent;
    }
    ctx.EndResult(sent);
    return;
  }

  // Filter the rows.
  static const std::vector<Row> kNoRows{Row{}};
  const std::vector<Row>& input = has_from ? source.Rows() : kNoRows;
  std::vector<const Row*> matched;
  for (const Row& row : input) {
    EvalEnv env{ctx, &row};
    if (!where || IsTrue(where->Eval(env))) matched.push_back(&row);
  }

  ResultSet result;
  result.columns = columns;
  if (aggregated) {
    Row out;
    for (size_t i = 0; i < outputs.size(); ++i) {
      ColumnInfo type;
      out.push_back(AggregateValue(ctx, *outputs[i].item, matched, type));
      const std::string name = result.columns[i].name;
      result.columns[i] = type;
      result.columns[i].name = name;
    }
    result.rows.push_back(std::move(out));
    ctx.SendResult(result);
    return;
  }

  // Order: resolve each ORDER BY item against the result columns first.
  struct Keyed {
    Row out;
    std::vector<Value> keys;
  };
  std::vector<Keyed> rows;
  rows.reserve(matched.size());
  for (const Row* row : matched) {
    EvalEnv env{ctx, row};
    Keyed k;
    for (size_t i = 0; i < outputs.size(); ++i) {
      const Output& o = outputs[i];
      if (o.source_column >= 0) k.out.push_back((*row)[static_cast<size_t>(o.source_column)]);
      else k.out.push_back(Conform(ctx, o.item->expr->Eval(env), o.item->expr->Type(), columns[i]));
    }
    rows.push_back(std::move(k));
  }
  if (!order.empty()) {
    for (size_t r = 0; r < rows.size(); ++r) {
      EvalEnv env{ctx, matched[r]};
      for (OrderItem& o : order)
        rows[r].keys.push_back(o.output_column >= 0 ? rows[r].out[static_cast<size_t>(o.output_column)]
                                                    : o.expr->Eval(env));
    }
    std::stable_sort(rows.begin(), rows.end(), [&](const Keyed& a, const Keyed& b) {
      for (size_t i = 0; i < order.size(); ++i) {
        const Value &x = a.keys[i], &y = b.keys[i];
        int c = IsNull(x) ? (IsNull(y) ? 0 : -1) : IsNull(y) ? 1 : CompareValues(x, y);
        if (order[i].descending) c = -c;
        if (c != 0) return c < 0;
      }
      return false;
    });
  }
  for (Keyed& k : rows) {
    if (top >= 0 && static_cast<int64_t>(result.rows.size()) >= top) break;
    if (distinct && std::any_of(result.rows.begin(), result.rows.end(), [&](const Row& seen) {
          for (size_t i = 0; i < seen.size(); ++i) {
            if (IsNull(seen[i]) != IsNull(k.out[i])) return false;
            if (!IsNull(seen[i]) && CompareValues(seen[i], k.out[i]) != 0) return false;
          }
          return true;
        }))
      continue;
    result.rows.push_back(std::move(k.out));
  }
  ctx.SendResult(result);
}

const StatementRegistration select_statement("SELECT", Select);

}  // namespace
}  // namespace msde
