#pragma once
// A FROM clause: tables, derived tables and the joins between them (comma, CROSS, INNER,
// LEFT, RIGHT, FULL), read as one joined row after another without gathering the result.
#include <memory>
#include <string>
#include <vector>

#include "engine/Query.h"
#include "engine/SystemTables.h"

namespace msde {

enum class JoinKind { First, Cross, Inner, Left, Right, Full };

class FromClause {
 public:
  // The clause after its FROM.
  void Parse(Parser& p);
  // Opens the tables, runs the derived tables, binds the ON conditions and names the
  // tables in `scope` (whose outer scope is already set).
  void Bind(Context& ctx, Scope& scope);
  // The joined rows, each the columns of every table in order (NULLs for the missing side
  // of an outer join), until `consume` declines; false when it did.
  bool Run(Context& ctx, const EvalEnv* outer, const RowConsumer& consume) const;

 private:
  struct Source {
    std::vector<std::string> name;  // [db.][owner.]table; empty for a derived table
    QueryPtr derived;
    std::vector<std::string> column_names;  // a derived table's (x, y) after its alias
    // A parenthesised join, "a join (b join c on ...) on ...": its tables keep their names.
    std::unique_ptr<FromClause> nested;
    Scope nested_scope;
    std::string alias;
    JoinKind join = JoinKind::First;
    bool dirty_read = false;  // NOLOCK or READUNCOMMITTED: no wait for other sessions' locks
    ExprPtr on;
    RowSource rows;
    size_t offset = 0;
  };
  bool Enumerate(Context& ctx, const EvalEnv* outer, size_t level, Row& row,
                 std::vector<std::vector<bool>>& matched, const RowConsumer& consume) const;
  void ParseTable(Parser& p, JoinKind join);
  std::vector<Source> sources_;
};

}  // namespace msde
