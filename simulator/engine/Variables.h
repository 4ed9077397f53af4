#pragma once
// Local variables (DECLARE @x int): they live for the whole batch, or for the statement an
// sp_executesql call runs, and are found by name, '@' included, without regard to case.
#include <map>
#include <optional>
#include <string>

#include "engine/Statements.h"

namespace msde {

struct Variable {
  ColumnInfo type;
  Value value;
};

// The state of one running batch that outlives its statements.
class StatementTrace;

class BatchState {
 public:
  StatementTrace* trace = nullptr;  // where its statements are traced; null: nowhere
  int depth = 0;                    // batches run inside batches (sp_executesql) above it
  const std::string* text = nullptr;  // the batch as written (CREATE PROCEDURE keeps its body)
  // A procedure's body: RETURN may give it a status, kept here.
  bool is_procedure = false;
  std::optional<int64_t> return_status;

  // Null when `name` is not declared.
  Variable* Find(const std::string& name);
  // Declares `name`; 134 when the batch declared it already. A DECLARE that a loop runs
  // again (the same `position` in the batch) keeps the variable and its value, as SQL
  // Server declares a variable once for the whole batch.
  Variable& Declare(Context& ctx, const std::string& name, const ColumnInfo& type, size_t position);

 private:
  struct Declared {
    Variable variable;
    size_t position = 0;
  };
  std::map<std::string, Declared> variables_;  // by upper-case name; nodes stay where they are
};

// SET @v = value, SELECT @v = value: the value converted to the variable's declared type as
// CONVERT would (a too long text is cut; a number that does not fit fails with 8115).
void AssignVariable(Context& ctx, Variable& v, const Value& value, const ColumnInfo& from);

// SET @v = expression (the tokens after SET).
void SetVariable(Context& ctx, Parser& p);

// "@x int", "@s varchar(10)": the type of a DECLARE or a parameter list. A character or
// binary type without a length is one long there (CAST's default is 30).
ColumnInfo ParseDeclaredType(Parser& p);

}  // namespace msde
