#include "engine/Expression.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "engine/Functions.h"
#include "engine/Query.h"
#include "engine/SqlTime.h"
#include "engine/TypeNames.h"
#include "engine/Values.h"
#include "engine/Variables.h"

namespace msde {
namespace {

bool IsDateType(SqlType t) { return t == SqlType::DateTime || t == SqlType::SmallDateTime; }

bool IsNumberType(SqlType t) {
  return !IsCharacterType(t) && !IsDateType(t) && t != SqlType::UniqueIdentifier &&
         t != SqlType::Variant && t != SqlType::Binary && t != SqlType::VarBinary;
}

bool IsBinaryType(SqlType t) { return t == SqlType::Binary || t == SqlType::VarBinary; }

// The bytes of an integer as binary holds it: big-endian, the size of its type.
std::string IntegerBytes(int64_t n, SqlType type) {
  const int size = type == SqlType::BigInt ? 8 : type == SqlType::SmallInt ? 2
                   : type == SqlType::TinyInt || type == SqlType::Bit ? 1 : 4;
  std::string bytes;
  for (int i = size - 1; i >= 0; --i) bytes += static_cast<char>(static_cast<uint64_t>(n) >> (8 * i));
  return bytes;
}

// Binary read as an integer of `size` bytes: its rightmost bytes, big-endian, signed.
int64_t BytesInteger(const std::string& bytes, int size) {
  uint64_t v = 0;
  const size_t from = bytes.size() > static_cast<size_t>(size) ? bytes.size() - static_cast<size_t>(size) : 0;
  for (size_t i = from; i < bytes.size(); ++i) v = (v << 8) | static_cast<unsigned char>(bytes[i]);
  const size_t used = bytes.size() - from;
  if (size < 8 && used == static_cast<size_t>(size) && size > 1 && (v >> (8 * size - 1)) & 1)
    v |= ~uint64_t{0} << (8 * size);  // sign extension
  return static_cast<int64_t>(v);
}

bool IsIntegerType(SqlType t) {
  return t == SqlType::Int || t == SqlType::SmallInt || t == SqlType::TinyInt ||
         t == SqlType::Bit || t == SqlType::BigInt;
}

[[noreturn]] void ConversionError(Context& ctx, const Value& value, const ColumnInfo& from,
                                  const ColumnInfo& to) {
  if (to.type == SqlType::DateTime)
    ctx.Fail(241, 16, 1, "Syntax error converting datetime from character string.");
  if (to.type == SqlType::SmallDateTime)
    ctx.Fail(295, 16, 3, "Syntax error converting character string to smalldatetime data type.");
  if (IsIntegerType(to.type))
    ctx.Fail(245, 16, 1, "Syntax error converting the " + TypeName(from.type) + " value '" +
                             ValueText(value) + "' to a column of data type " + TypeName(to.type) + ".");
  ctx.Fail(8114, 16, 5, "Error converting data type " + TypeName(from.type) + " to " + TypeName(to.type) + ".");
}

std::string FloatText(double d) {
  // CONVERT(varchar, float) shows at most six significant digits.
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.6g", d);
  std::string text = buffer;
  const size_t e = text.find('e');
  if (e != std::string::npos) {
    // SQL Server writes three exponent digits: 1.23457e+006.
    std::string mantissa = text.substr(0, e), exponent = text.substr(e + 2);
    while (exponent.size() < 3) exponent = "0" + exponent;
    text = mantissa + "e" + text[e + 1] + exponent;
  }
  return text;
}

// --- Nodes -------------------------------------------------------------------------------

class LiteralExpr : public Expr {
 public:
  LiteralExpr(Value v, ColumnInfo t) : value_(std::move(v)), type_(std::move(t)) {}
  Value Eval(EvalEnv&) const override { return value_; }
  ColumnInfo Type() const override { return type_; }
  bool IsNullLiteral() const override { return IsNull(value_); }

 private:
  Value value_;
  ColumnInfo type_;
};

// A local variable, read when evaluated: an assignment in a loop or per row changes it.
class VariableExpr : public Expr {
 public:
  explicit VariableExpr(const Variable& v) : v_(v) {}
  Value Eval(EvalEnv&) const override { return v_.value; }
  ColumnInfo Type() const override { return v_.type; }

 private:
  const Variable& v_;
};

class ColumnExpr : public Expr {
 public:
  ColumnExpr(std::string qualifier, std::string name, bool quoted)
      : qualifier_(std::move(qualifier)), name_(std::move(name)), quoted_(quoted) {}
  Value Eval(EvalEnv& env) const override {
    if (!bound_) return name_;  // a "quoted" text that named no column
    const EvalEnv* at = &env;
    for (int i = 0; i < binding_.level; ++i) at = at->outer;
    return (*at->row)[binding_.index];
  }
  ColumnInfo Type() const override {
    if (!bound_) return TextType(Utf8Length(name_), false);
    ColumnInfo t = binding_.type;
    t.name = name_;  // the result column is named as the query writes it
    return t;
  }
  void Bind(Context& ctx, const Scope& scope) override {
    auto binding = ResolveColumn(ctx, scope, qualifier_, name_, quoted_);
    if (!binding) return;
    binding_ = *binding;
    bound_ = true;
    if (binding_.level == 0 && scope.named_columns != nullptr)
      scope.named_columns->push_back({binding_.index, TableOf(scope) + "." + name_});
  }

 private:
  // The table that holds the bound column, as messages name it.
  std::string TableOf(const Scope& scope) const {
    for (const ScopeTable& t : scope.tables)
      if (t.columns != nullptr && binding_.index >= t.offset && binding_.index < t.offset + t.columns->size())
        return t.alias.empty() ? t.name : t.alias;
    return qualifier_;
  }
  std::string qualifier_, name_;
  bool quoted_;
  bool bound_ = false;
  ColumnBinding binding_;
};

class FunctionExpr : public Expr {
 public:
  FunctionExpr(const FunctionInfo* info, std::vector<ExprPtr> args)
      : info_(info), args_(std::move(args)) {}
  Value Eval(EvalEnv& env) const override {
    std::vector<Value> values;
    for (const ExprPtr& a : args_) values.push_back(a->Eval(env));
    if (info_->eval_typed != nullptr) {
      std::vector<ColumnInfo> types;
      for (const ExprPtr& a : args_) types.push_back(a->Type());
      return info_->eval_typed(env, values, types);
    }
    return info_->eval(env, values);
  }
  ColumnInfo Type() const override {
    std::vector<ColumnInfo> types;
    for (const ExprPtr& a : args_)
      if (!a->IsNullLiteral()) types.push_back(a->Type());
    if (types.empty())
      for (const ExprPtr& a : args_) types.push_back(a->Type());
    ColumnInfo t = info_->type(types);
    t.name.clear();
    return t;
  }
  void Bind(Context& ctx, const Scope& scope) override {
    for (ExprPtr& a : args_) a->Bind(ctx, scope);
  }

 private:
  const FunctionInfo* info_;
  std::vector<ExprPtr> args_;
};

class ConvertExpr : public Expr {
 public:
  ConvertExpr(ColumnInfo to, ExprPtr arg, int style) : to_(std::move(to)), arg_(std::move(arg)), style_(style) {}
  Value Eval(EvalEnv& env) const override {
    return ConvertValue(env.ctx, arg_->Eval(env), arg_->Type(), to_, style_);
  }
  ColumnInfo Type() const override {
    if (to_.type != SqlType::Variant) return to_;
    // A sql_variant keeps the type of what was put into it.
    ColumnInfo t = to_;
    ColumnInfo from = arg_->Type();
    from.name.clear();
    t.variant_base = from.type == SqlType::Variant ? from.variant_base
                                                   : std::make_shared<const ColumnInfo>(std::move(from));
    return t;
  }
  void Bind(Context& ctx, const Scope& scope) override { arg_->Bind(ctx, scope); }

 private:
  ColumnInfo to_;
  ExprPtr arg_;
  int style_;
};

class NegateExpr : public Expr {
 public:
  explicit NegateExpr(ExprPtr arg) : arg_(std::move(arg)) {}
  Value Eval(EvalEnv& env) const override {
    const Value v = arg_->Eval(env);
    if (std::holds_alternative<int64_t>(v)) return -std::get<int64_t>(v);
    if (std::holds_alternative<double>(v)) return -std::get<double>(v);
    if (std::holds_alternative<std::string>(v)) {
      const std::string& s = std::get<std::string>(v);
      return s.rfind('-', 0) == 0 ? s.substr(1) : "-" + s;
    }
    return v;
  }
  ColumnInfo Type() const override { return arg_->Type(); }
  void Bind(Context& ctx, const Scope& scope) override { arg_->Bind(ctx, scope); }

 private:
  ExprPtr arg_;
};

// + - * / % on numbers, + on text (concatenation) and datetime + days.
class ArithmeticExpr : public Expr {
 public:
  ArithmeticExpr(char op, ExprPtr l, ExprPtr r) : op_(op), l_(std::move(l)), r_(std::move(r)) {}

  ColumnInfo Type() const override {
    const ColumnInfo a = l_->Type(), b = r_->Type();
    if (op_ == '+' && IsCharacterType(a.type) && IsCharacterType(b.type)) {
      const bool unicode = IsUnicodeType(a.type) || IsUnicodeType(b.type);
      return TextType(std::min(a.length + b.length, unicode ? 4000 : 8000), unicode);
    }
    if (op_ == '+' && IsBinaryType(a.type) && IsBinaryType(b.type)) {
      ColumnInfo bytes = Make(SqlType::VarBinary);
      bytes.length = std::min(a.length + b.length, 8000);
      return bytes;
    }
    if (IsDateType(a.type) || IsDateType(b.type))
      return Make(a.type == SqlType::SmallDateTime || (!IsDateType(a.type) && b.type == SqlType::SmallDateTime)
                      ? SqlType::SmallDateTime
                      : SqlType::DateTime);
    const SqlType x = IsCharacterType(a.type) ? b.type : a.type;
    const SqlType y = IsCharacterType(b.type) ? a.type : b.type;
    if (x == SqlType::Float || y == SqlType::Float || x == SqlType::Real || y == SqlType::Real)
      return Make(SqlType::Float);
    if (IsIntegerType(x) && IsIntegerType(y))
      return Make(x == SqlType::BigInt || y == SqlType::BigInt ? SqlType::BigInt : SqlType::Int);
    ColumnInfo n = Make(SqlType::Numeric);
    n.precision = 38;
    n.scale = std::max(a.scale, b.scale);
    return n;
  }

  Value Eval(EvalEnv& env) const override {
    const Value a = l_->Eval(env), b = r_->Eval(env);
    if (IsNull(a) || IsNull(b)) return std::monostate{};
    const ColumnInfo type = Type();
    if (IsCharacterType(type.type) || IsBinaryType(type.type)) return ValueText(a) + ValueText(b);
    const ColumnInfo ta = l_->Type(), tb = r_->Type();
    if (IsDateType(type.type)) {
      const bool a_date = std::holds_alternative<SqlDateTime>(a);
      SqlDateTime d = a_date ? std::get<SqlDateTime>(a) : std::get<SqlDateTime>(b);
      const Value other = a_date ? b : a;
      auto days = ToDouble(other);
      if (!days) ConversionError(env.ctx, other, a_date ? tb : ta, Make(SqlType::Int));
      double total = d.days + d.ticks / 25920000.0 + (op_ == '-' && a_date ? -*days : *days);
      SqlDateTime r;
      r.days = static_cast<int32_t>(std::floor(total));
      r.ticks = static_cast<uint32_t>(std::llround((total - r.days) * 25920000.0));
      if (type.type == SqlType::SmallDateTime) return ConvertValue(env.ctx, r, Make(SqlType::DateTime), type, -1);
      return r;
    }
    if (IsIntegerType(type.type)) {
      auto x = ToInteger(a), y = ToInteger(b);
      if (!x) ConversionError(env.ctx, a, ta, type);
      if (!y) ConversionError(env.ctx, b, tb, type);
      switch (op_) {
        case '+': return *x + *y;
        case '-': return *x - *y;
        case '*': return *x * *y;
        default:
          if (*y == 0) env.ctx.Fail(8134, 16, 1, "Divide by zero error encountered.");
          return op_ == '/' ? *x / *y : *x % *y;
      }
    }
    auto x = ToDouble(a), y = ToDouble(b);
    if (!x) ConversionError(env.ctx, a, ta, type);
    if (!y) ConversionError(env.ctx, b, tb, type);
    double r = 0;
    switch (op_) {
      case '+': r = *x + *y; break;
      case '-': r = *x - *y; break;
      case '*': r = *x * *y; break;
      default:
        if (*y == 0) env.ctx.Fail(8134, 16, 1, "Divide by zero error encountered.");
        r = op_ == '/' ? *x / *y : std::fmod(*x, *y);
    }
    if (type.type == SqlType::Float) return r;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", type.scale, r);
    return std::string(buffer);
  }

  void Bind(Context& ctx, const Scope& scope) override {
    l_->Bind(ctx, scope);
    r_->Bind(ctx, scope);
  }

 private:
  static ColumnInfo Make(SqlType t) {
    ColumnInfo c;
    c.type = t;
    c.length = DefaultLength(t);
    return c;
  }
  char op_;
  ExprPtr l_, r_;
};

// Compares two values as SQL Server does: text against a number converts the text (245
// when it is no number); NULL on either side gives NULL.
Value CompareBoth(EvalEnv& env, const Value& a, const ColumnInfo& ta, const Value& b,
                  const ColumnInfo& tb, int& result) {
  if (IsNull(a) || IsNull(b)) return std::monostate{};
  auto numeric = [](const ColumnInfo& t) { return IsNumberType(t.type); };
  if (numeric(ta) && IsCharacterType(tb.type) && !ToDouble(b)) ConversionError(env.ctx, b, tb, ta);
  if (numeric(tb) && IsCharacterType(ta.type) && !ToDouble(a)) ConversionError(env.ctx, a, ta, tb);
  if (IsBinaryType(ta.type) || IsBinaryType(tb.type)) {
    // Bytes compare as bytes; against a number, the bytes are read as that number.
    const bool numbers = numeric(ta) || numeric(tb);
    const ColumnInfo& number = numeric(ta) ? ta : tb;
    const Value x = numbers && IsBinaryType(ta.type) ? ConvertValue(env.ctx, a, ta, number, -1) : a;
    const Value y = numbers && IsBinaryType(tb.type) ? ConvertValue(env.ctx, b, tb, number, -1) : b;
    if (!numbers) {
      const std::string l = ValueText(x), r = ValueText(y);
      result = l < r ? -1 : (r < l ? 1 : 0);
      return int64_t{1};
    }
    result = CompareValues(x, y);
    return int64_t{1};
  }
  if (numeric(ta) && numeric(tb) && (std::holds_alternative<std::string>(a) || std::holds_alternative<std::string>(b))) {
    // Decimals are held as their text: they compare as the numbers they write.
    const auto x = ToDouble(a), y = ToDouble(b);
    if (x && y) {
      result = *x < *y ? -1 : (*y < *x ? 1 : 0);
      return int64_t{1};
    }
  }
  result = CompareValues(a, b);
  return int64_t{1};
}

class CompareExpr : public Expr {
 public:
  CompareExpr(std::string op, ExprPtr l, ExprPtr r) : op_(std::move(op)), l_(std::move(l)), r_(std::move(r)) {}
  Value Eval(EvalEnv& env) const override {
    int c = 0;
    const Value known = CompareBoth(env, l_->Eval(env), l_->Type(), r_->Eval(env), r_->Type(), c);
    if (IsNull(known)) return known;
    bool holds = false;
    if (op_ == "=") holds = c == 0;
    else if (op_ == "<>" || op_ == "!=") holds = c != 0;
    else if (op_ == "<" || op_ == "!>") holds = op_ == "<" ? c < 0 : c <= 0;
    else if (op_ == ">" || op_ == "!<") holds = op_ == ">" ? c > 0 : c >= 0;
    else if (op_ == "<=") holds = c <= 0;
    else if (op_ == ">=") holds = c >= 0;
    return int64_t{holds ? 1 : 0};
  }
  ColumnInfo Type() const override { return BitType(); }
  void Bind(Context& ctx, const Scope& scope) override {
    l_->Bind(ctx, scope);
    r_->Bind(ctx, scope);
  }
  static ColumnInfo BitType() {
    ColumnInfo c;
    c.type = SqlType::Int;
    c.length = 4;
    return c;
  }

 private:
  std::string op_;
  ExprPtr l_, r_;
};

class LogicExpr : public Expr {
 public:
  LogicExpr(bool is_and, ExprPtr l, ExprPtr r) : and_(is_and), l_(std::move(l)), r_(std::move(r)) {}
  Value Eval(EvalEnv& env) const override {
    const Value a = l_->Eval(env);
    if (!IsNull(a) && IsTrue(a) != and_) return int64_t{and_ ? 0 : 1};  // short circuit
    const Value b = r_->Eval(env);
    if (!IsNull(b) && IsTrue(b) != and_) return int64_t{and_ ? 0 : 1};
    if (IsNull(a) || IsNull(b)) return std::monostate{};
    return int64_t{and_ ? 1 : 0};
  }
  ColumnInfo Type() const override { return CompareExpr::BitType(); }
  void Bind(Context& ctx, const Scope& scope) override {
    l_->Bind(ctx, scope);
    r_->Bind(ctx, scope);
  }

 private:
  bool and_;
  ExprPtr l_, r_;
};

class NotExpr : public Expr {
 public:
  explicit NotExpr(ExprPtr arg) : arg_(std::move(arg)) {}
  Value Eval(EvalEnv& env) const override {
    const Value v = arg_->Eval(env);
    if (IsNull(v)) return v;
    return int64_t{IsTrue(v) ? 0 : 1};
  }
  ColumnInfo Type() const override { return CompareExpr::BitType(); }
  void Bind(Context& ctx, const Scope& scope) override { arg_->Bind(ctx, scope); }

 private:
  ExprPtr arg_;
};

class IsNullExpr : public Expr {
 public:
  IsNullExpr(ExprPtr arg, bool negated) : arg_(std::move(arg)), negated_(negated) {}
  Value Eval(EvalEnv& env) const override {
    return int64_t{IsNull(arg_->Eval(env)) != negated_ ? 1 : 0};
  }
  ColumnInfo Type() const override { return CompareExpr::BitType(); }
  void Bind(Context& ctx, const Scope& scope) override { arg_->Bind(ctx, scope); }

 private:
  ExprPtr arg_;
  bool negated_;
};

class LikeExpr : public Expr {
 public:
  LikeExpr(ExprPtr arg, ExprPtr pattern, ExprPtr escape, bool negated)
      : arg_(std::move(arg)), pattern_(std::move(pattern)), escape_(std::move(escape)), negated_(negated) {}
  Value Eval(EvalEnv& env) const override {
    const Value v = arg_->Eval(env), p = pattern_->Eval(env);
    if (IsNull(v) || IsNull(p)) return std::monostate{};
    LikeRules rules;
    if (escape_) {
      const Value e = escape_->Eval(env);
      if (IsNull(e)) return std::monostate{};
      rules.escape = ValueText(e);
      if (Utf8Length(rules.escape) != 1)
        env.ctx.Fail(506, 16, 1, "Invalid escape character '" + rules.escape + "' was specified in a LIKE predicate.");
    }
    // Columns take their database's collation, the server's where it names none.
    const Database& db = env.ctx.CurrentDatabase();
    const std::string& collation = db.collation.empty() ? env.ctx.model.server.collation : db.collation;
    rules.accent_insensitive = Upper(collation).find("_AI") != std::string::npos;
    return int64_t{LikeMatch(ValueText(v), ValueText(p), rules) != negated_ ? 1 : 0};
  }
  ColumnInfo Type() const override { return CompareExpr::BitType(); }
  void Bind(Context& ctx, const Scope& scope) override {
    arg_->Bind(ctx, scope);
    pattern_->Bind(ctx, scope);
    if (escape_) escape_->Bind(ctx, scope);
  }

 private:
  ExprPtr arg_, pattern_, escape_;
  bool negated_;
};

class InExpr : public Expr {
 public:
  InExpr(ExprPtr arg, std::vector<ExprPtr> list, bool negated)
      : arg_(std::move(arg)), list_(std::move(list)), negated_(negated) {}
  Value Eval(EvalEnv& env) const override {
    const Value v = arg_->Eval(env);
    if (IsNull(v)) return std::monostate{};
    bool found = false, unknown = false;
    for (const ExprPtr& e : list_) {
      int c = 0;
      if (IsNull(CompareBoth(env, v, arg_->Type(), e->Eval(env), e->Type(), c))) unknown = true;
      else if ((found = c == 0)) break;
    }
    return InOutcome(found, unknown, negated_);
  }
  ColumnInfo Type() const override { return CompareExpr::BitType(); }
  void Bind(Context& ctx, const Scope& scope) override {
    arg_->Bind(ctx, scope);
    for (ExprPtr& e : list_) e->Bind(ctx, scope);
  }

 private:
  ExprPtr arg_;
  std::vector<ExprPtr> list_;
  bool negated_;
};

class BetweenExpr : public Expr {
 public:
  BetweenExpr(ExprPtr arg, ExprPtr low, ExprPtr high, bool negated)
      : arg_(std::move(arg)), low_(std::move(low)), high_(std::move(high)), negated_(negated) {}
  Value Eval(EvalEnv& env) const override {
    const Value v = arg_->Eval(env);
    int lo = 0, hi = 0;
    const Value a = CompareBoth(env, v, arg_->Type(), low_->Eval(env), low_->Type(), lo);
    const Value b = CompareBoth(env, v, arg_->Type(), high_->Eval(env), high_->Type(), hi);
    if (IsNull(a) || IsNull(b)) return std::monostate{};
    return int64_t{(lo >= 0 && hi <= 0) != negated_ ? 1 : 0};
  }
  ColumnInfo Type() const override { return CompareExpr::BitType(); }
  void Bind(Context& ctx, const Scope& scope) override {
    arg_->Bind(ctx, scope);
    low_->Bind(ctx, scope);
    high_->Bind(ctx, scope);
  }

 private:
  ExprPtr arg_, low_, high_;
  bool negated_;
};

class CaseExpr : public Expr {
 public:
  ExprPtr operand;  // simple CASE: compared with each WHEN; null for the searched form
  std::vector<std::pair<ExprPtr, ExprPtr>> whens;
  ExprPtr otherwise;

  Value Eval(EvalEnv& env) const override {
    const Value subject = operand ? operand->Eval(env) : Value{};
    for (const auto& [when, then] : whens) {
      bool hit = false;
      if (operand) {
        int c = 0;
        hit = !IsNull(CompareBoth(env, subject, operand->Type(), when->Eval(env), when->Type(), c)) && c == 0;
      } else {
        hit = IsTrue(when->Eval(env));
      }
      if (hit) return Result(env, *then);
    }
    return otherwise ? Result(env, *otherwise) : Value{};
  }
  ColumnInfo Type() const override {
    // The result has the type of the first branch that is not NULL; text branches take the
    // longest length.
    const Expr* first = whens.front().second.get();
    for (const auto& w : whens)
      if (first->IsNullLiteral()) first = w.second.get();
    if (first->IsNullLiteral() && otherwise) first = otherwise.get();
    ColumnInfo t = first->Type();
    auto widen = [&t](const ColumnInfo& other) {
      if (IsCharacterType(t.type) && IsCharacterType(other.type)) t.length = std::max(t.length, other.length);
    };
    for (const auto& w : whens) widen(w.second->Type());
    if (otherwise) widen(otherwise->Type());
    t.name.clear();
    t.nullable = true;
    return t;
  }
  void Bind(Context& ctx, const Scope& scope) override {
    if (operand) operand->Bind(ctx, scope);
    for (auto& [when, then] : whens) {
      when->Bind(ctx, scope);
      then->Bind(ctx, scope);
    }
    if (otherwise) otherwise->Bind(ctx, scope);
  }

 private:
  Value Result(EvalEnv& env, const Expr& branch) const {
    const Value v = branch.Eval(env);
    const ColumnInfo t = Type();
    if (IsCharacterType(t.type) || IsNull(v)) return v;
    return ConvertValue(env.ctx, v, branch.Type(), t, -1);
  }
};

// --- Parser ------------------------------------------------------------------------------

// Words that end or shape a clause and so never name a column.
bool IsReservedWord(const Token& t) {
  static const char* kWords[] = {"FROM", "WHERE", "ORDER", "GROUP", "HAVING", "UNION", "SELECT",
                                 "AND", "OR", "NOT", "AS", "BY", "WHEN", "THEN", "ELSE", "END",
                                 "IN", "IS", "LIKE", "BETWEEN", "INTO", "ON", "JOIN", "TOP",
                                 "DISTINCT", "EXEC", "EXECUTE", "USE", "SET", "DESC", "ASC"};
  for (const char* w : kWords)
    if (t.IsWord(w)) return true;
  return false;
}

ExprPtr ParseOr(Parser& p);

// Nesting is bounded (kMaxNesting) both in the parser's own recursion (parentheses,
// arguments, unary operators) and in the depth of the tree it builds (a long chain of
// operators).

[[noreturn]] void NestedTooDeeply(Parser& p) {
  p.ctx.Fail(191, 15, 1, kNestedTooDeeply, true);
}

// One level of the parser's recursion, for as long as it lives.
class NestingLevel {
 public:
  explicit NestingLevel(Parser& p) : p_(p) {
    if (p_.nesting >= kMaxNesting) NestedTooDeeply(p_);
    ++p_.nesting;
  }
  ~NestingLevel() { --p_.nesting; }
  NestingLevel(const NestingLevel&) = delete;
  NestingLevel& operator=(const NestingLevel&) = delete;

 private:
  Parser& p_;
};

int Deepest(const ExprPtr& e) { return e ? e->depth : 0; }
int Deepest(const std::vector<ExprPtr>& list) {
  int d = 0;
  for (const ExprPtr& e : list) d = std::max(d, Deepest(e));
  return d;
}
template <typename... More>
int Deepest(const ExprPtr& first, const More&... more) {
  return std::max({Deepest(first), Deepest(more)...});
}

// A node one level above operands whose deepest level is Below.
ExprPtr Above(Parser& p, int below, ExprPtr node) {
  node->depth = below + 1;
  if (node->depth > kMaxNesting) NestedTooDeeply(p);
  return node;
}

ExprPtr Literal(Value v, ColumnInfo t) { return std::make_unique<LiteralExpr>(std::move(v), std::move(t)); }

ExprPtr NumberLiteral(Parser& p, const Token& t) {
  ColumnInfo type;
  if (t.text.find_first_of(".eE") == std::string::npos && t.text.rfind("0x", 0) != 0 &&
      t.text.rfind("0X", 0) != 0) {
    try {
      const int64_t n = std::stoll(t.text);
      type.type = n > 2147483647 ? SqlType::BigInt : SqlType::Int;
      type.length = DefaultLength(type.type);
      type.nullable = false;
      return Literal(n, type);
    } catch (const std::out_of_range&) {
      p.ctx.Fail(1007, 15, 1, "The number '" + t.text + "' is out of the range for numeric representation (maximum precision 38).");
    }
  }
  if (t.text.find_first_of("eE") != std::string::npos && t.text.rfind("0x", 0) != 0) {
    type.type = SqlType::Float;
    type.length = 8;
    return Literal(std::strtod(t.text.c_str(), nullptr), type);
  }
  if (t.text.rfind("0x", 0) == 0 || t.text.rfind("0X", 0) == 0) {
    // A binary constant: varbinary of its bytes (an odd digit count reads a leading 0).
    std::string digits = t.text.substr(2);
    if (digits.size() % 2) digits.insert(0, "0");
    std::string bytes;
    for (size_t i = 0; i < digits.size(); i += 2)
      bytes += static_cast<char>(std::stoi(digits.substr(i, 2), nullptr, 16));
    type.type = SqlType::VarBinary;
    type.length = static_cast<int>(std::max<size_t>(bytes.size(), 1));
    type.nullable = false;
    return Literal(std::move(bytes), type);
  }
  const size_t dot = t.text.find('.');
  type.type = SqlType::Numeric;
  type.scale = static_cast<int>(t.text.size() - dot - 1);
  type.precision = std::max<int>(static_cast<int>(t.text.size()) - 1, 1);
  type.length = 0;
  return Literal(*NormalizeDecimal(t.text, type.scale), type);
}

std::vector<ExprPtr> ParseArgumentList(Parser& p) {
  std::vector<ExprPtr> args;
  if (p.AcceptSymbol(")")) return args;
  do args.push_back(ParseOr(p));
  while (p.AcceptSymbol(","));
  p.ExpectSymbol(")");
  return args;
}

ExprPtr ParseCase(Parser& p) {
  auto node = std::make_unique<CaseExpr>();
  int below = 0;
  if (!p.Peek().IsWord("WHEN")) node->operand = ParseOr(p);
  while (p.AcceptKeyword("WHEN")) {
    ExprPtr when = ParseOr(p);
    p.ExpectKeyword("THEN");
    ExprPtr then = ParseOr(p);
    below = std::max(below, Deepest(when, then));
    node->whens.emplace_back(std::move(when), std::move(then));
  }
  if (node->whens.empty()) p.FailHere();
  if (p.AcceptKeyword("ELSE")) node->otherwise = ParseOr(p);
  p.ExpectKeyword("END");
  below = std::max(below, Deepest(node->operand, node->otherwise));
  return Above(p, below, std::move(node));
}

ExprPtr ParsePrimary(Parser& p) {
  const Token t = p.Peek();
  switch (t.kind) {
    case TokenKind::Number:
      p.Next();
      return NumberLiteral(p, t);
    case TokenKind::String:
    case TokenKind::NString: {
      p.Next();
      ColumnInfo type = TextType(Utf8Length(t.text), t.kind == TokenKind::NString);
      type.nullable = false;
      return Literal(t.text, type);
    }
    case TokenKind::Variable: {
      p.Next();
      if (Variable* local = p.ctx.FindVariable(t.text)) return std::make_unique<VariableExpr>(*local);
      ColumnInfo type;
      auto value = GlobalVariable(p.ctx, t.text, type);
      if (!value) p.ctx.Fail(137, 15, 2, "Must declare the variable '" + t.text + "'.", true);
      return Literal(*value, type);
    }
    case TokenKind::Symbol:
      if (t.IsSymbol("(")) {
        p.Next();
        if (p.AcceptKeyword("SELECT")) {
          QueryPtr query = ParseQueryAfterSelect(p);
          p.ExpectSymbol(")");
          return MakeScalarSubquery(std::move(query));
        }
        ExprPtr inner = ParseOr(p);
        p.ExpectSymbol(")");
        return inner;
      }
      break;
    case TokenKind::Word:
      if (IsReservedWord(t)) break;
      if (t.IsWord("NULL")) {
        p.Next();
        ColumnInfo type;
        type.length = 4;
        return Literal(std::monostate{}, type);
      }
      if (t.IsWord("CASE")) {
        p.Next();
        return ParseCase(p);
      }
      if ((t.IsWord("CAST") || t.IsWord("CONVERT")) && p.Peek(1).IsSymbol("(")) {
        p.Next();
        p.Next();
        if (t.IsWord("CAST")) {
          ExprPtr arg = ParseOr(p);
          p.ExpectKeyword("AS");
          ColumnInfo to = ParseTypeName(p);
          p.ExpectSymbol(")");
          const int below = Deepest(arg);
          return Above(p, below, std::make_unique<ConvertExpr>(to, std::move(arg), -1));
        }
        ColumnInfo to = ParseTypeName(p);
        p.ExpectSymbol(",");
        ExprPtr arg = ParseOr(p);
        int style = -1;
        if (p.AcceptSymbol(",")) style = static_cast<int>(p.ExpectInteger());
        p.ExpectSymbol(")");
        const int below = Deepest(arg);
        return Above(p, below, std::make_unique<ConvertExpr>(to, std::move(arg), style));
      }
      if (t.IsWord("EXISTS") && p.Peek(1).IsSymbol("(") && p.Peek(2).IsWord("SELECT")) {
        p.Next();
        p.Next();
        p.Next();
        QueryPtr query = ParseQueryAfterSelect(p);
        p.ExpectSymbol(")");
        return MakeExists(std::move(query));
      }
      if (IsAggregateCall(t, p.Peek(1))) {
        p.Next();
        return ParseAggregateCall(p, t);
      }
      if (p.Peek(1).IsSymbol("(")) {
        p.Next();
        p.Next();
        const FunctionInfo* info = FindFunction(t.text);
        if (info == nullptr)
          p.ctx.Fail(195, 15, 10, "'" + t.text + "' is not a recognized function name.", true);
        std::vector<ExprPtr> args = ParseArgumentList(p);
        const int n = static_cast<int>(args.size());
        if (n < info->min_args || n > info->max_args) {
          const int expected = n < info->min_args ? info->min_args : info->max_args;
          p.ctx.Fail(174, 15, 1, "The " + Upper(t.text) + " function requires " +
                                     std::to_string(expected) + " arguments.", true);
        }
        const int below = Deepest(args);
        return Above(p, below, std::make_unique<FunctionExpr>(info, std::move(args)));
      }
      [[fallthrough]];
    case TokenKind::Bracketed:
    case TokenKind::Quoted: {
      // [qualifier.]column; a longer prefix (db.owner.table.column) keeps its last table part.
      std::vector<Token> parts{p.Next()};
      while (p.Peek().IsSymbol(".") && p.Peek(1).IsName()) {
        p.Next();
        parts.push_back(p.Next());
      }
      const std::string qualifier = parts.size() > 1 ? parts[parts.size() - 2].text : "";
      return std::make_unique<ColumnExpr>(qualifier, parts.back().text,
                                          parts.size() == 1 && t.kind == TokenKind::Quoted);
    }
    default:
      break;
  }
  p.FailHere();
}

ExprPtr ParseUnary(Parser& p) {
  if (p.Peek().IsSymbol("-") || p.Peek().IsSymbol("+")) {
    NestingLevel level(p);
    const bool negate = p.Next().text == "-";
    ExprPtr arg = ParseUnary(p);
    if (!negate) return arg;
    const int below = Deepest(arg);
    return Above(p, below, std::make_unique<NegateExpr>(std::move(arg)));
  }
  return ParsePrimary(p);
}

ExprPtr ParseProduct(Parser& p) {
  ExprPtr left = ParseUnary(p);
  for (;;) {
    const Token& t = p.Peek();
    if (!(t.IsSymbol("*") || t.IsSymbol("/") || t.IsSymbol("%"))) return left;
    const char op = p.Next().text[0];
    ExprPtr right = ParseUnary(p);
    const int below = Deepest(left, right);
    left = Above(p, below, std::make_unique<ArithmeticExpr>(op, std::move(left), std::move(right)));
  }
}

ExprPtr ParseSum(Parser& p) {
  ExprPtr left = ParseProduct(p);
  for (;;) {
    const Token& t = p.Peek();
    if (!(t.IsSymbol("+") || t.IsSymbol("-"))) return left;
    const char op = p.Next().text[0];
    ExprPtr right = ParseProduct(p);
    const int below = Deepest(left, right);
    left = Above(p, below, std::make_unique<ArithmeticExpr>(op, std::move(left), std::move(right)));
  }
}

ExprPtr ParsePredicate(Parser& p) {
  ExprPtr left = ParseSum(p);
  static const char* kComparisons[] = {"=", "<>", "!=", "<", ">", "<=", ">=", "!<", "!>"};
  for (const char* op : kComparisons)
    if (p.AcceptSymbol(op)) {
      ExprPtr right = ParseSum(p);
      const int below = Deepest(left, right);
      return Above(p, below, std::make_unique<CompareExpr>(op, std::move(left), std::move(right)));
    }
  if (p.AcceptKeyword("IS")) {
    const bool negated = p.AcceptKeyword("NOT");
    p.ExpectKeyword("NULL");
    const int below = Deepest(left);
    return Above(p, below, std::make_unique<IsNullExpr>(std::move(left), negated));
  }
  const bool negated = p.Peek().IsWord("NOT") &&
                       (p.Peek(1).IsWord("LIKE") || p.Peek(1).IsWord("IN") || p.Peek(1).IsWord("BETWEEN"));
  if (negated) p.Next();
  if (p.AcceptKeyword("LIKE")) {
    ExprPtr pattern = ParseSum(p);
    ExprPtr escape;
    if (p.AcceptKeyword("ESCAPE")) escape = ParseSum(p);
    const int below = Deepest(left, pattern, escape);
    return Above(p, below,
                 std::make_unique<LikeExpr>(std::move(left), std::move(pattern), std::move(escape), negated));
  }
  if (p.AcceptKeyword("IN")) {
    p.ExpectSymbol("(");
    if (p.AcceptKeyword("SELECT")) {
      QueryPtr query = ParseQueryAfterSelect(p);
      p.ExpectSymbol(")");
      return MakeInSubquery(std::move(left), std::move(query), negated);
    }
    std::vector<ExprPtr> list = ParseArgumentList(p);
    if (list.empty()) p.FailHere();
    const int below = std::max(Deepest(left), Deepest(list));
    return Above(p, below, std::make_unique<InExpr>(std::move(left), std::move(list), negated));
  }
  if (p.AcceptKeyword("BETWEEN")) {
    ExprPtr low = ParseSum(p);
    p.ExpectKeyword("AND");
    ExprPtr high = ParseSum(p);
    const int below = Deepest(left, low, high);
    return Above(p, below,
                 std::make_unique<BetweenExpr>(std::move(left), std::move(low), std::move(high), negated));
  }
  return left;
}

ExprPtr ParseNot(Parser& p) {
  if (!p.Peek().IsWord("NOT")) return ParsePredicate(p);
  NestingLevel level(p);
  p.Next();
  ExprPtr arg = ParseNot(p);
  const int below = Deepest(arg);
  return Above(p, below, std::make_unique<NotExpr>(std::move(arg)));
}

ExprPtr ParseAnd(Parser& p) {
  ExprPtr left = ParseNot(p);
  while (p.AcceptKeyword("AND")) {
    ExprPtr right = ParseNot(p);
    const int below = Deepest(left, right);
    left = Above(p, below, std::make_unique<LogicExpr>(true, std::move(left), std::move(right)));
  }
  return left;
}

ExprPtr ParseOr(Parser& p) {
  NestingLevel level(p);
  ExprPtr left = ParseAnd(p);
  while (p.AcceptKeyword("OR")) {
    ExprPtr right = ParseAnd(p);
    const int below = Deepest(left, right);
    left = Above(p, below, std::make_unique<LogicExpr>(false, std::move(left), std::move(right)));
  }
  return left;
}

}  // namespace

ExprPtr ParseExpression(Parser& p) { return ParseOr(p); }

Value InOutcome(bool found, bool unknown, bool negated) {
  if (found) return int64_t{negated ? 0 : 1};
  if (unknown) return std::monostate{};
  return int64_t{negated ? 1 : 0};
}

bool IsTrue(const Value& value) {
  if (std::holds_alternative<int64_t>(value)) return std::get<int64_t>(value) != 0;
  return false;
}

ColumnInfo TextType(size_t chars, bool unicode) {
  ColumnInfo c;
  c.type = unicode ? SqlType::NVarChar : SqlType::VarChar;
  c.length = static_cast<int>(std::max<size_t>(chars, 1));
  return c;
}

ColumnInfo ParseTypeName(Parser& p) {
  const Token t = p.Peek();
  const std::string name = p.ExpectName();
  auto type = TypeFromName(name);
  if (!type) p.ctx.Fail(243, 16, 1, "Type " + name + " is not a defined system type.", true);
  ColumnInfo c;
  c.type = *type;
  c.length = DefaultLength(*type);
  c.precision = DefaultPrecision(*type);
  if (EqualNoCase(name, "sysname")) c.length = 128;
  const bool sized = (IsCharacterType(*type) && *type != SqlType::Text && *type != SqlType::NText) ||
                     IsBinaryType(*type);
  if (sized) c.length = 30;  // CAST/CONVERT without a length
  if ((sized || *type == SqlType::Numeric || *type == SqlType::Decimal) && !EqualNoCase(name, "sysname") &&
      p.AcceptSymbol("(")) {
    const int64_t first = p.ExpectInteger();
    if (sized) {
      c.length = static_cast<int>(first);
    } else {
      c.precision = static_cast<int>(first);
      if (p.AcceptSymbol(",")) c.scale = static_cast<int>(p.ExpectInteger());
    }
    p.ExpectSymbol(")");
  }
  if (sized && EqualNoCase(name, "sysname")) c.length = 128;
  return c;
}

Value ConvertValue(Context& ctx, const Value& value, const ColumnInfo& from, const ColumnInfo& to,
                   int style) {
  if (IsNull(value)) return value;
  switch (to.type) {
    case SqlType::Char: case SqlType::VarChar: case SqlType::NChar: case SqlType::NVarChar:
    case SqlType::Text: case SqlType::NText: {
      std::string text;
      if (std::holds_alternative<SqlDateTime>(value)) {
        auto formatted = FormatDateTime(std::get<SqlDateTime>(value), style < 0 ? 0 : style);
        if (!formatted) ctx.Fail(281, 16, 1, std::to_string(style) + " is not a valid style number when converting from datetime to a character string.");
        text = *formatted;
      } else if (std::holds_alternative<double>(value)) {
        text = FloatText(std::get<double>(value));
      } else {
        text = ValueText(value);
      }
      if (to.type == SqlType::Text || to.type == SqlType::NText) return text;
      if (Utf8Length(text) > static_cast<size_t>(to.length)) {
        // Numbers that do not fit a character type show as '*', as SQL Server writes them.
        if (std::holds_alternative<int64_t>(value)) return std::string("*");
        text = Utf8Prefix(text, static_cast<size_t>(to.length));
      }
      if (to.type == SqlType::Char || to.type == SqlType::NChar)
        text.append(static_cast<size_t>(to.length) - Utf8Length(text), ' ');
      return text;
    }
    case SqlType::Int: case SqlType::SmallInt: case SqlType::TinyInt: case SqlType::BigInt:
    case SqlType::Bit: {
      std::optional<int64_t> n;
      if (IsBinaryType(from.type) && std::holds_alternative<std::string>(value)) {
        const int size = to.type == SqlType::BigInt ? 8 : to.type == SqlType::SmallInt ? 2 : to.type == SqlType::Int ? 4 : 1;
        const int64_t read = BytesInteger(std::get<std::string>(value), size);
        return to.type == SqlType::Bit ? int64_t{read != 0 ? 1 : 0} : read;
      }
      if (std::holds_alternative<std::string>(value) && IsNumberType(from.type) && !IsIntegerType(from.type)) {
        auto d = ToDouble(value);  // numeric text truncates toward zero
        if (d) n = static_cast<int64_t>(std::trunc(*d));
      } else {
        n = ToInteger(value);
      }
      if (!n) ConversionError(ctx, value, from, to);
      if (to.type == SqlType::Bit) return int64_t{*n != 0 ? 1 : 0};
      const int64_t limit = to.type == SqlType::TinyInt ? 255 : to.type == SqlType::SmallInt ? 32767
                            : to.type == SqlType::Int ? 2147483647 : INT64_MAX;
      const int64_t low = to.type == SqlType::TinyInt ? 0 : -limit - 1;
      if (*n > limit || *n < low)
        ctx.Fail(8115, 16, 2, "Arithmetic overflow error converting expression to data type " + TypeName(to.type) + ".");
      return *n;
    }
    case SqlType::Float: case SqlType::Real: {
      auto d = ToDouble(value);
      if (!d) ConversionError(ctx, value, from, to);
      return *d;
    }
    case SqlType::Numeric: case SqlType::Decimal: case SqlType::Money: {
      auto d = std::holds_alternative<double>(value)
                   ? NormalizeDecimal(FloatText(std::get<double>(value)), to.type == SqlType::Money ? 4 : to.scale)
                   : NormalizeDecimal(ValueText(value), to.type == SqlType::Money ? 4 : to.scale);
      if (!d || std::holds_alternative<SqlDateTime>(value)) ConversionError(ctx, value, from, to);
      return *d;
    }
    case SqlType::DateTime: {
      if (std::holds_alternative<SqlDateTime>(value)) return value;
      if (std::holds_alternative<std::string>(value)) {
        auto d = ParseDateTime(std::get<std::string>(value));
        if (!d) ConversionError(ctx, value, from, to);
        return *d;
      }
      auto days = ToDouble(value);
      if (!days) ConversionError(ctx, value, from, to);
      SqlDateTime r;
      r.days = static_cast<int32_t>(std::floor(*days));
      r.ticks = static_cast<uint32_t>(std::llround((*days - r.days) * 25920000.0));
      return r;
    }
    case SqlType::SmallDateTime: {
      ColumnInfo datetime = to;
      datetime.type = SqlType::DateTime;
      std::optional<SqlDateTime> full;
      if (std::holds_alternative<std::string>(value)) {
        full = ParseDateTime(std::get<std::string>(value));
        if (!full) ConversionError(ctx, value, from, to);
      } else {
        full = std::get<SqlDateTime>(ConvertValue(ctx, value, from, datetime, style));
      }
      auto rounded = ToSmallDateTime(*full);
      if (!rounded) {
        if (IsCharacterType(from.type))
          ctx.Fail(296, 16, 3, "The conversion of char data type to smalldatetime data type resulted in an out-of-range smalldatetime value.");
        ctx.Fail(298, 16, 1, "The conversion from datetime data type to smalldatetime data type resulted in a smalldatetime overflow error.");
      }
      return *rounded;
    }
    case SqlType::UniqueIdentifier: {
      const std::string text = Trim(ValueText(value));
      if (text.size() != 36) ctx.Fail(8169, 16, 2, "Syntax error converting from a character string to uniqueidentifier.");
      return text;
    }
    case SqlType::Variant:
      return value;  // a variant keeps the value with its own type
    case SqlType::Binary:
    case SqlType::VarBinary: {
      // Text gives its bytes, an integer its big-endian bytes; binary(n) pads with zeros.
      std::string bytes = std::holds_alternative<int64_t>(value)
                              ? IntegerBytes(std::get<int64_t>(value), from.type)
                              : ValueText(value);
      if (to.length > 0 && bytes.size() > static_cast<size_t>(to.length)) bytes.resize(static_cast<size_t>(to.length));
      if (to.type == SqlType::Binary && to.length > 0) bytes.resize(static_cast<size_t>(to.length), '\0');
      return bytes;
    }
  }
  return value;
}

}  // namespace msde
