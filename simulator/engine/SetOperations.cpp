// UNION and UNION ALL: query blocks whose rows follow one another, with repeated
// rows dropped at each UNION, and the ORDER BY of the whole statement.
#include <algorithm>
#include <set>

#include "engine/QuerySpec.h"
#include "engine/TypeNames.h"
#include "engine/Values.h"

namespace msde {
namespace {

// Which type wins when two queries' columns meet (the higher rank), as SQL Server's type
// precedence orders them.
int UnionTypeRank(SqlType t) {
  switch (t) {
    case SqlType::DateTime: return 9;
    case SqlType::Float: return 8;
    case SqlType::Real: return 7;
    case SqlType::Numeric: case SqlType::Decimal: return 6;
    case SqlType::Money: return 5;
    case SqlType::BigInt: return 4;
    case SqlType::Int: return 3;
    case SqlType::SmallInt: return 2;
    case SqlType::TinyInt: case SqlType::Bit: return 1;
    default: return 0;
  }
}

ColumnInfo UnionColumn(ColumnInfo a, const ColumnInfo& b) {
  if (IsCharacterType(a.type) && IsCharacterType(b.type)) {
    a.length = std::max(a.length, b.length);
    if (IsUnicodeType(b.type) && !IsUnicodeType(a.type)) a.type = SqlType::NVarChar;
    else if (a.type != b.type && a.type != SqlType::NVarChar) a.type = IsUnicodeType(a.type) ? SqlType::NVarChar : SqlType::VarChar;
  } else if (UnionTypeRank(b.type) > UnionTypeRank(a.type)) {
    const std::string name = a.name;
    a = b;
    a.name = name;
  } else if (a.type == b.type) {
    a.precision = std::max(a.precision, b.precision);
    a.scale = std::max(a.scale, b.scale);
  }
  a.nullable = a.nullable || b.nullable;
  return a;
}

class UnionQuery : public Query {
 public:
  UnionQuery(std::vector<QueryPtr> parts, std::vector<bool> all, std::vector<OrderItem> order)
      : parts_(std::move(parts)), all_(std::move(all)), order_(std::move(order)) {}

  void Bind(Context& ctx, const Scope* outer) override {
    for (QueryPtr& part : parts_) {
      part->Bind(ctx, outer);
      // Variables are set by a SELECT of its own, never by one part of a UNION.
      if (const auto* spec = dynamic_cast<const QuerySpec*>(part.get()); spec && !spec->AssignedVariables(ctx).empty())
        FailAssignmentWithRetrieval(ctx);
      if (part->Columns().size() != parts_.front()->Columns().size())
        ctx.Fail(205, 16, 1, ctx.model.server.Is2005()
                                 ? "All queries combined using a UNION, INTERSECT or EXCEPT operator must have an "
                                   "equal number of expressions in their target lists."
                                 : "All queries in an SQL statement containing a UNION operator must have an equal "
                                   "number of expressions in their target lists.", true);
    }
    columns_ = parts_.front()->Columns();
    for (size_t p = 1; p < parts_.size(); ++p)
      for (size_t i = 0; i < columns_.size(); ++i) columns_[i] = UnionColumn(columns_[i], parts_[p]->Columns()[i]);
    for (OrderItem& o : order_) {
      if (o.output_column >= 0) {
        if (o.output_column >= static_cast<int>(columns_.size())) FailOrderPosition(ctx, o.output_column + 1);
        continue;
      }
      for (size_t i = 0; i < columns_.size() && o.output_column < 0; ++i)
        if (!o.name.empty() && EqualNoCase(columns_[i].name, o.name)) o.output_column = static_cast<int>(i);
      if (o.output_column < 0)
        ctx.Fail(104, 16, 1, "ORDER BY items must appear in the select list if the statement contains a UNION operator.", true);
    }
  }

  const std::vector<ColumnInfo>& Columns() const override { return columns_; }

  void Run(Context& ctx, const EvalEnv* outer, const RowConsumer& consume) const override {
    const bool streaming = order_.empty() && std::all_of(all_.begin(), all_.end(), [](bool a) { return a; });
    std::vector<KeyedRow> rows;
    std::set<Row, RowLess> seen;
    for (size_t p = 0; p < parts_.size(); ++p) {
      const std::vector<ColumnInfo>& from = parts_[p]->Columns();
      bool more = true;
      parts_[p]->Run(ctx, outer, [&](const Row& row) {
        Row out;
        for (size_t i = 0; i < row.size(); ++i) out.push_back(Conform(ctx, row[i], from[i], columns_[i]));
        if (streaming) return more = consume(out);
        rows.push_back({std::move(out), {}});
        return true;
      });
      if (!more) return;
      // UNION (without ALL) drops the rows repeated so far; the first of each stays.
      if (p > 0 && !all_[p - 1]) {
        seen.clear();
        rows.erase(std::remove_if(rows.begin(), rows.end(), [&](const KeyedRow& k) { return !seen.insert(k.out).second; }),
                   rows.end());
      }
    }
    if (streaming) return;
    for (KeyedRow& k : rows)
      for (const OrderItem& o : order_) {
        const auto c = static_cast<size_t>(o.output_column);
        k.keys.push_back(SortKey(k.out[c], columns_[c]));
      }
    ShapeAndSend(rows, order_, RowLimit{}, consume);
  }

 private:
  std::vector<QueryPtr> parts_;
  std::vector<bool> all_;  // after part i: UNION ALL (true) or UNION
  std::vector<OrderItem> order_;
  std::vector<ColumnInfo> columns_;
};

}  // namespace

QueryPtr ParseQueryAfterSelect(Parser& p) {
  auto first = std::make_unique<QuerySpec>();
  first->Parse(p);
  std::vector<QueryPtr> parts;
  std::vector<bool> all;
  while (p.AcceptKeyword("UNION")) {
    all.push_back(p.AcceptKeyword("ALL"));
    p.ExpectKeyword("SELECT");
    parts.push_back(ParseQuerySpecification(p));
  }
  std::vector<OrderItem> order;
  if (p.AcceptKeyword("ORDER")) order = ParseOrderBy(p);
  if (parts.empty()) {
    first->SetOrder(std::move(order));
    return first;
  }
  parts.insert(parts.begin(), std::move(first));
  return std::make_unique<UnionQuery>(std::move(parts), std::move(all), std::move(order));
}

}  // namespace msde
