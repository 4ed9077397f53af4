#pragma once
// Expressions of the SELECT forms the engine serves: parsed from tokens, bound to the
// columns of one row source, evaluated per row with SQL's three-valued logic (a condition
// yields 1, 0 or NULL).
#include <memory>
#include <string>
#include <vector>

#include "engine/Statements.h"

namespace msde {

// The columns an expression may name: one table (or none, for "select 1").
struct Scope {
  std::string name;   // the table's name as written
  std::string alias;  // its alias, if any
  const std::vector<ColumnInfo>* columns = nullptr;
};

struct EvalEnv {
  Context& ctx;
  const Row* row = nullptr;
};

class Expr {
 public:
  virtual ~Expr() = default;
  virtual Value Eval(EvalEnv& env) const = 0;
  // The result column the expression makes (name empty unless it is a column reference).
  virtual ColumnInfo Type() const = 0;
  // Resolves column names (207 "Invalid column name" when one is unknown).
  virtual void Bind(Context& ctx, const Scope& scope) { (void)ctx; (void)scope; }
  // The NULL constant takes the type of its company (COALESCE, ISNULL, CASE branches).
  virtual bool IsNullLiteral() const { return false; }
  // Levels of the tree from here down (1 for a leaf); the parser keeps it bounded, because
  // binding, evaluating and freeing recurse once per level.
  int depth = 1;
};
using ExprPtr = std::unique_ptr<Expr>;

// A whole expression, conditions included (OR, AND, NOT, comparisons, LIKE, IN, IS NULL,
// BETWEEN, arithmetic and concatenation, CASE, CAST, CONVERT, function calls).
ExprPtr ParseExpression(Parser& p);
// True only for a condition that holds (NULL counts as not holding).
bool IsTrue(const Value& value);

// CAST/CONVERT to a described type; `style` for datetime to text (-1: default).
Value ConvertValue(Context& ctx, const Value& value, const ColumnInfo& from, const ColumnInfo& to,
                   int style);
// "varchar(8)", "numeric(10,2)", "sysname", ...: a type name with its size, at the parser.
ColumnInfo ParseTypeName(Parser& p);
// The type of a literal or computed text value of the given length in characters.
ColumnInfo TextType(size_t chars, bool unicode);

}  // namespace msde
