// The query block: its select list with aliases and stars, DISTINCT, TOP [PERCENT],
// WHERE, GROUP BY and HAVING, and the rows it makes, streamed where nothing has to be
// gathered first (no grouping, DISTINCT, ORDER BY or PERCENT).
#include "engine/QuerySpec.h"

#include <algorithm>
#include <optional>

#include "engine/Grouping.h"
#include "engine/Values.h"

namespace msde {
namespace {

bool EndsSelectItem(const Token& t) {
  static const char* kWords[] = {"FROM", "WHERE", "ORDER", "GROUP", "HAVING", "UNION", "INTO",
                                 "COMPUTE", "FOR", "OPTION", "AS"};
  for (const char* w : kWords)
    if (t.IsWord(w)) return true;
  return false;
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
  if (p.Peek().kind == TokenKind::Variable && p.Peek(1).IsSymbol("=")) {
    // @variable = expression
    item.variable = p.Next().text;
    p.Next();
    const size_t start = p.position;
    item.expr = ParseExpression(p);
    item.text = SourceText(p, start);
    return item;
  }
  if (p.Peek().IsName() && p.Peek(1).IsSymbol("=")) {
    // alias = expression
    item.alias = p.Next().text;
    item.has_alias = true;
    p.Next();
  }
  const size_t start = p.position;
  item.expr = ParseExpression(p);
  item.text = SourceText(p, start);
  if (item.has_alias) return item;
  if (p.AcceptKeyword("AS")) {
    const Token t = p.Next();
    if (!t.IsName() && t.kind != TokenKind::String) {
      --p.position;
      p.FailHere();
    }
    item.alias = t.text;
    item.has_alias = true;
  } else if ((p.Peek().IsName() || p.Peek().kind == TokenKind::String) && !EndsSelectItem(p.Peek())) {
    item.alias = p.Next().text;
    item.has_alias = true;
  }
  return item;
}

bool ListsColumn(const std::vector<NamedColumn>& list, size_t index) {
  return std::any_of(list.begin(), list.end(), [&](const NamedColumn& c) { return c.index == index; });
}

// A column of the select list, HAVING or ORDER BY that is neither grouped nor aggregated.
void CheckGrouped(Context& ctx, const std::vector<NamedColumn>& named, const std::vector<NamedColumn>& grouped,
                  bool has_group_by, const char* clause) {
  for (const NamedColumn& c : named) {
    if (ListsColumn(grouped, c.index)) continue;
    const std::string where = std::string(clause);
    if (where == "select list" && !has_group_by && !ctx.model.server.Is2005())
      ctx.Fail(8118, 16, 1, "Column '" + c.name + "' is invalid in the select list because it is not "
                            "contained in an aggregate function and there is no GROUP BY clause.", true);
    const int number = where == "select list" ? 8120 : where == "HAVING clause" ? 8121 : 8127;
    const std::string quote = number == 8127 ? "\"" : "'";
    ctx.Fail(number, 16, 1, "Column " + quote + c.name + quote + " is invalid in the " + where +
                                " because it is not contained in either an aggregate function or the "
                                "GROUP BY clause.", true);
  }
}

}  // namespace

void QuerySpec::Parse(Parser& p) {
  limit_.distinct = p.AcceptKeyword("DISTINCT");
  if (!limit_.distinct) p.AcceptKeyword("ALL");
  if (p.AcceptKeyword("TOP")) {
    const bool parenthesised = p.AcceptSymbol("(");
    limit_.top = p.ExpectInteger();
    if (parenthesised) p.ExpectSymbol(")");
    limit_.percent = p.AcceptKeyword("PERCENT");
    if (limit_.percent && limit_.top > 100) p.ctx.Fail(1031, 16, 1, "Percent values must be between 0 and 100.", true);
  }
  do items_.push_back(ParseItem(p));
  while (p.AcceptSymbol(","));
  if (p.AcceptKeyword("FROM")) {
    has_from_ = true;
    from_.Parse(p);
  }
  if (p.AcceptKeyword("WHERE")) where_ = ParseExpression(p);
  if (p.AcceptKeyword("GROUP")) {
    p.ExpectKeyword("BY");
    p.AcceptKeyword("ALL");
    do {
      const size_t start = p.position;
      group_by_.push_back(ParseExpression(p));
      group_text_.push_back(SourceText(p, start));
    } while (p.AcceptSymbol(","));
  }
  if (p.AcceptKeyword("HAVING")) having_ = ParseExpression(p);
}

void QuerySpec::BindItems(Context& ctx, std::vector<NamedColumn>& named) {
  for (SelectItem& item : items_) {
    if (item.star) {
      if (!has_from_) ctx.Fail(263, 16, 1, "Must specify table to select from.", true);
      bool any = false;
      for (const ScopeTable& t : scope_.tables) {
        if (!item.star_qualifier.empty() && !EqualNoCase(item.star_qualifier, t.alias.empty() ? t.name : t.alias))
          continue;
        any = true;
        for (size_t i = 0; i < t.columns->size(); ++i) {
          columns_.push_back((*t.columns)[i]);
          outputs_.push_back({&item, t.offset + i});
          named.push_back({t.offset + i, (t.alias.empty() ? t.name : t.alias) + "." + (*t.columns)[i].name});
        }
      }
      if (!any)
        ctx.Fail(107, 16, 3, "The column prefix '" + item.star_qualifier +
                                 "' does not match with a table name or alias name used in the query.", true);
      continue;
    }
    // An item written as a GROUP BY item is grouped whatever columns it names.
    const bool is_key = std::find(group_text_.begin(), group_text_.end(), item.text) != group_text_.end();
    std::vector<NamedColumn> ignored;
    Scope s = scope_;
    s.named_columns = is_key ? &ignored : &named;
    item.expr->Bind(ctx, s);
    ColumnInfo c = item.expr->Type();
    if (item.has_alias) c.name = item.alias;
    columns_.push_back(c);
    outputs_.push_back({&item, 0});
  }
}

void QuerySpec::BindOrder(Context& ctx, std::vector<NamedColumn>& named) {
  for (OrderItem& o : order_) {
    if (o.output_column >= 0) {
      if (o.output_column >= static_cast<int>(columns_.size())) FailOrderPosition(ctx, o.output_column + 1);
      continue;
    }
    // A result column named by its alias, or an item written again, orders by that column.
    for (size_t i = 0; i < outputs_.size() && o.output_column < 0; ++i) {
      const SelectItem& item = *outputs_[i].item;
      if (item.star) continue;
      if ((!o.name.empty() && item.has_alias && EqualNoCase(item.alias, o.name)) ||
          (!item.text.empty() && item.text == o.text))
        o.output_column = static_cast<int>(i);
    }
    if (o.output_column >= 0) continue;
    Scope s = scope_;
    s.named_columns = &named;
    o.expr->Bind(ctx, s);
    if (limit_.distinct)
      ctx.Fail(145, 15, 1, "ORDER BY items must appear in the select list if SELECT DISTINCT is specified.", true);
  }
}

void QuerySpec::Bind(Context& ctx, const Scope* outer) {
  scope_.outer = outer;
  if (has_from_) from_.Bind(ctx, scope_);
  for (const ScopeTable& t : scope_.tables) width_ += t.columns->size();
  if (where_) where_->Bind(ctx, scope_);
  std::vector<NamedColumn> grouped;
  for (ExprPtr& key : group_by_) {
    Scope s = scope_;
    s.named_columns = &grouped;
    key->Bind(ctx, s);
  }
  scope_.aggregates = &aggregates_;
  std::vector<NamedColumn> in_list, in_having, in_order;
  BindItems(ctx, in_list);
  if (having_) {
    Scope s = scope_;
    s.named_columns = &in_having;
    having_->Bind(ctx, s);
  }
  BindOrder(ctx, in_order);
  if (Grouped()) {
    CheckGrouped(ctx, in_list, grouped, !group_by_.empty(), "select list");
    CheckGrouped(ctx, in_having, grouped, !group_by_.empty(), "HAVING clause");
    CheckGrouped(ctx, in_order, grouped, !group_by_.empty(), "ORDER BY clause");
  }
}

Row QuerySpec::Outputs(EvalEnv& env) const {
  Row out;
  out.reserve(outputs_.size());
  for (size_t i = 0; i < outputs_.size(); ++i) {
    const Output& o = outputs_[i];
    if (o.item->star) out.push_back((*env.row)[o.source_column]);
    else out.push_back(Conform(env.ctx, o.item->expr->Eval(env), o.item->expr->Type(), columns_[i]));
  }
  return out;
}

void QuerySpec::Run(Context& ctx, const EvalEnv* outer, const RowConsumer& consume) const {
  if (limit_.top == 0) return;
  const bool streaming = !Grouped() && !limit_.distinct && order_.empty() && !limit_.percent;
  std::vector<KeyedRow> gathered;
  int64_t sent = 0;
  auto produce = [&](const Row& row, const std::vector<Value>* aggregates) {
    EvalEnv env{ctx, &row, outer, aggregates};
    if (having_ && !IsTrue(having_->Eval(env))) return true;
    KeyedRow k{Outputs(env), {}};
    if (streaming) {
      ++sent;
      return consume(k.out) && (limit_.top < 0 || sent < limit_.top);
    }
    for (const OrderItem& o : order_)
      k.keys.push_back(o.output_column >= 0
                           ? SortKey(k.out[static_cast<size_t>(o.output_column)], columns_[static_cast<size_t>(o.output_column)])
                           : SortKey(o.expr->Eval(env), o.expr->Type()));
    gathered.push_back(std::move(k));
    return true;
  };
  std::optional<Groups> groups;
  if (Grouped()) groups.emplace(aggregates_, group_by_);
  auto input = [&](const Row& row) {
    EvalEnv env{ctx, &row, outer};
    if (where_ && !IsTrue(where_->Eval(env))) return true;
    if (!groups) return produce(row, nullptr);
    groups->Add(env);
    return true;
  };
  if (has_from_) from_.Run(ctx, outer, input);
  else input(Row{});
  if (groups)
    groups->ForEach(ctx, width_, [&](const Row& first, const std::vector<Value>& values) {
      return produce(first, &values);
    });
  if (!streaming) ShapeAndSend(gathered, order_, limit_, consume);
}

std::vector<std::string> QuerySpec::AssignedVariables(Context& ctx) const {
  std::vector<std::string> variables;
  for (const SelectItem& item : items_)
    if (!item.variable.empty()) variables.push_back(item.variable);
  if (!variables.empty() && variables.size() != items_.size()) FailAssignmentWithRetrieval(ctx);
  return variables;
}

void FailAssignmentWithRetrieval(Context& ctx) {
  ctx.Fail(141, 15, 1, "A SELECT statement that assigns a value to a variable must not be combined with "
                       "data-retrieval operations.", true);
}

QueryPtr ParseQuerySpecification(Parser& p) {
  auto spec = std::make_unique<QuerySpec>();
  spec->Parse(p);
  return spec;
}

}  // namespace msde
