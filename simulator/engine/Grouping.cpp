#include "engine/Grouping.h"

#include <limits>
#include <set>

#include "engine/Query.h"
#include "engine/TypeNames.h"
#include "engine/Values.h"

namespace msde {
namespace {

enum class AggregateKind { Count, CountAll, CountBig, Sum, Avg, Min, Max };

bool IsWholeNumberType(SqlType t) {
  return t == SqlType::Int || t == SqlType::SmallInt || t == SqlType::TinyInt || t == SqlType::Bit ||
         t == SqlType::BigInt;
}

ColumnInfo AggregateResultType(SqlType t) {
  ColumnInfo c;
  c.type = t;
  c.length = DefaultLength(t);
  c.precision = DefaultPrecision(t);
  return c;
}

}  // namespace

// The running value of one aggregate call in one group.
struct Groups::State {
  int64_t count = 0;
  Value best;          // MIN, MAX
  int64_t whole = 0;   // SUM, AVG of integers
  double real = 0;     // SUM, AVG of other numbers
  bool overflow = false;
  std::set<Row, RowLess> seen;  // DISTINCT
};

namespace {

class AggregateCall : public Expr {
 public:
  AggregateCall(AggregateKind kind, bool distinct, ExprPtr arg) : kind_(kind), distinct_(distinct), arg_(std::move(arg)) {}

  Value Eval(EvalEnv& env) const override {
    if (env.aggregates == nullptr || slot_ >= env.aggregates->size()) return std::monostate{};
    return (*env.aggregates)[slot_];
  }
  ColumnInfo Type() const override {
    if (kind_ == AggregateKind::Count || kind_ == AggregateKind::CountAll) return AggregateResultType(SqlType::Int);
    if (kind_ == AggregateKind::CountBig) return AggregateResultType(SqlType::BigInt);
    ColumnInfo t = arg_->Type();
    t.name.clear();
    t.nullable = true;
    if (kind_ == AggregateKind::Min || kind_ == AggregateKind::Max) return t;
    if (IsWholeNumberType(t.type)) return AggregateResultType(t.type == SqlType::BigInt ? SqlType::BigInt : SqlType::Int);
    if (t.type == SqlType::Numeric || t.type == SqlType::Decimal) {
      t.precision = 38;
      if (kind_ == AggregateKind::Avg) t.scale = std::max(t.scale, 6);
    }
    if (t.type == SqlType::Real) return AggregateResultType(SqlType::Float);
    return t;
  }
  void Bind(Context& ctx, const Scope& scope) override {
    if (scope.aggregates == nullptr)
      ctx.Fail(147, 15, 1, "An aggregate may not appear in the WHERE clause unless it is in a subquery "
                           "contained in a HAVING clause or a select list, and the column being "
                           "aggregated is an outer reference.", true);
    if (arg_) {
      // The argument is read row by row: no aggregate inside it, no grouping check.
      Scope inner = scope;
      inner.aggregates = nullptr;
      inner.named_columns = nullptr;
      arg_->Bind(ctx, inner);
      const ColumnInfo t = arg_->Type();
      if ((kind_ == AggregateKind::Sum || kind_ == AggregateKind::Avg) &&
          (IsCharacterType(t.type) || t.type == SqlType::DateTime))
        ctx.Fail(409, 16, 2, std::string("The ") + (kind_ == AggregateKind::Sum ? "sum" : "average") +
                                 " or average aggregate operation cannot take a " + TypeName(t.type) +
                                 " data type as an argument.");
    }
    slot_ = scope.aggregates->size();
    scope.aggregates->push_back(this);
  }

  void Add(EvalEnv& env, Groups::State& s) const {
    if (kind_ == AggregateKind::CountAll) {
      ++s.count;
      return;
    }
    Value v = arg_->Eval(env);
    if (IsNull(v)) return;
    if (distinct_ && !s.seen.insert(Row{v}).second) return;
    ++s.count;
    switch (kind_) {
      case AggregateKind::Min: case AggregateKind::Max: {
        const ColumnInfo t = arg_->Type();
        const int c = IsNull(s.best) ? 0 : CompareCells(SortKey(v, t), SortKey(s.best, t));
        if (IsNull(s.best) || (kind_ == AggregateKind::Min ? c < 0 : c > 0)) s.best = std::move(v);
        break;
      }
      case AggregateKind::Sum: case AggregateKind::Avg:
        if (std::holds_alternative<int64_t>(v)) {
          const int64_t n = std::get<int64_t>(v);
          if (__builtin_add_overflow(s.whole, n, &s.whole)) s.overflow = true;
        } else {
          s.real += ToDouble(v).value_or(0);
        }
        break;
      default:
        break;
    }
  }

  Value Result(Context& ctx, const Groups::State& s) const {
    const ColumnInfo type = Type();
    switch (kind_) {
      case AggregateKind::Count: case AggregateKind::CountAll: case AggregateKind::CountBig:
        return s.count;
      case AggregateKind::Min: case AggregateKind::Max:
        return s.best;
      default:
        break;
    }
    if (s.count == 0) return std::monostate{};
    if (IsWholeNumberType(type.type)) {
      const int64_t limit = type.type == SqlType::BigInt ? std::numeric_limits<int64_t>::max() : 2147483647;
      const int64_t value = kind_ == AggregateKind::Sum ? s.whole : s.whole / s.count;
      if (s.overflow || (kind_ == AggregateKind::Sum && (value > limit || value < -limit - 1)))
        ctx.Fail(8115, 16, 2, "Arithmetic overflow error converting expression to data type " +
                                  TypeName(type.type) + ".");
      return value;
    }
    const double total = s.real + static_cast<double>(s.whole);
    const double value = kind_ == AggregateKind::Sum ? total : total / static_cast<double>(s.count);
    return Conform(ctx, value, AggregateResultType(SqlType::Float), type);
  }

 private:
  AggregateKind kind_;
  bool distinct_;
  ExprPtr arg_;
  size_t slot_ = 0;
};

AggregateCall& CallOf(Expr* e) { return *static_cast<AggregateCall*>(e); }

}  // namespace

bool IsAggregateCall(const Token& name, const Token& next) {
  if (!next.IsSymbol("(") || name.kind != TokenKind::Word) return false;
  for (const char* w : {"COUNT", "COUNT_BIG", "SUM", "AVG", "MIN", "MAX"})
    if (name.IsWord(w)) return true;
  return false;
}

ExprPtr ParseAggregateCall(Parser& p, const Token& name) {
  p.ExpectSymbol("(");
  AggregateKind kind = name.IsWord("COUNT") ? AggregateKind::Count : name.IsWord("COUNT_BIG") ? AggregateKind::CountBig
              : name.IsWord("SUM") ? AggregateKind::Sum : name.IsWord("AVG") ? AggregateKind::Avg
              : name.IsWord("MIN") ? AggregateKind::Min : AggregateKind::Max;
  const bool distinct = p.AcceptKeyword("DISTINCT");
  if (!distinct) p.AcceptKeyword("ALL");
  ExprPtr arg;
  if ((kind == AggregateKind::Count || kind == AggregateKind::CountBig) && !distinct && p.AcceptSymbol("*")) {
    if (kind == AggregateKind::Count) kind = AggregateKind::CountAll;
  } else {
    arg = ParseExpression(p);
  }
  p.ExpectSymbol(")");
  const int below = arg ? arg->depth : 0;
  auto call = std::make_unique<AggregateCall>(kind, distinct, std::move(arg));
  call->depth = below + 1;
  return call;
}

Groups::Groups(const std::vector<Expr*>& aggregates, const std::vector<ExprPtr>& keys)
    : aggregates_(aggregates), keys_(keys) {}

Groups::~Groups() = default;

void Groups::Add(EvalEnv& env) {
  Row key;
  for (const ExprPtr& k : keys_) key.push_back(SortKey(k->Eval(env), k->Type()));
  auto [it, fresh] = groups_.try_emplace(std::move(key));
  Group& g = it->second;
  if (fresh) {
    g.first = *env.row;
    for (size_t i = 0; i < aggregates_.size(); ++i) g.states.push_back(std::make_unique<State>());
  }
  for (size_t i = 0; i < aggregates_.size(); ++i) CallOf(aggregates_[i]).Add(env, *g.states[i]);
}

void Groups::ForEach(Context& ctx, size_t width,
                     const std::function<bool(const Row&, const std::vector<Value>&)>& visit) const {
  if (groups_.empty() && keys_.empty()) {
    // An aggregate over no rows: COUNT 0, the others NULL.
    const Row nulls(width);
    std::vector<Value> values;
    State none;
    for (Expr* e : aggregates_) values.push_back(CallOf(e).Result(ctx, none));
    visit(nulls, values);
    return;
  }
  for (const auto& [key, g] : groups_) {
    std::vector<Value> values;
    for (size_t i = 0; i < aggregates_.size(); ++i) values.push_back(CallOf(aggregates_[i]).Result(ctx, *g.states[i]));
    if (!visit(g.first, values)) return;
  }
}

}  // namespace msde
