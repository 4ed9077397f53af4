#pragma once
// Expressions of the SELECT forms the engine serves: parsed from tokens, bound to the
// columns of the query's tables, evaluated per row with SQL's three-valued logic (a condition
// yields 1, 0 or NULL).
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/Statements.h"

namespace msde {

// One table of a FROM clause as expressions see it: its columns sit at `offset` in the
// joined row.
struct ScopeTable {
  std::string name;   // the table's name as written
  std::string alias;  // its alias, if any (then only the alias qualifies its columns)
  const std::vector<ColumnInfo>* columns = nullptr;
  size_t offset = 0;
};

// A column named outside any aggregate call, for the grouping checks.
struct NamedColumn {
  size_t index;      // in the joined row
  std::string name;  // "table.column", as the messages name it
};

class Expr;

// The columns an expression may name: the tables of its FROM clause (none for "select 1"),
// then those of the queries around it (correlated subqueries).
struct Scope {
  Scope() = default;
  Scope(std::string name, std::string alias, const std::vector<ColumnInfo>* columns);
  std::vector<ScopeTable> tables;
  const Scope* outer = nullptr;
  // Where aggregate calls register; null where SQL forbids them (WHERE, ON, GROUP BY).
  std::vector<Expr*>* aggregates = nullptr;
  // Where columns named outside aggregates are listed, when grouping must check them.
  std::vector<NamedColumn>* named_columns = nullptr;
};

struct EvalEnv {
  Context& ctx;
  const Row* row = nullptr;
  const EvalEnv* outer = nullptr;                 // the row of the enclosing query
  const std::vector<Value>* aggregates = nullptr;  // the current group's aggregate values
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

// Where a column reference is found: `level` scopes out (0: the query's own row), at
// `index` of that row. 207, 209, and 107 (4104 on 2005) as SQL Server reports them; a
// "quoted" name that matches nothing gives nullopt (a string under QUOTED_IDENTIFIER OFF).
struct ColumnBinding {
  int level = 0;
  size_t index = 0;
  ColumnInfo type;
};
std::optional<ColumnBinding> ResolveColumn(Context& ctx, const Scope& scope, const std::string& qualifier,
                                           const std::string& name, bool quoted);

// A whole expression, conditions included (OR, AND, NOT, comparisons, LIKE, IN, IS NULL,
// BETWEEN, arithmetic and concatenation, CASE, CAST, CONVERT, function calls).
ExprPtr ParseExpression(Parser& p);
// [NOT] IN: true on an equal value, NULL when none was equal but a NULL was compared.
Value InOutcome(bool found, bool unknown, bool negated);
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
