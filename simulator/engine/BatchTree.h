#pragma once
// A batch as SQL Server reads it before running any of it: statements, BEGIN ... END blocks,
// IF ... ELSE and WHILE, nested in each other.
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "engine/Lexer.h"

namespace msde {

struct BatchNode {
  enum class Kind { Statement, Block, If, While, Break, Continue };
  Kind kind = Kind::Statement;
  size_t from = 0, to = 0;  // the node's tokens [from, to) in the batch
  // If: children[i] runs when conditions[i] holds first; a child past the last condition is
  // the ELSE branch (an ELSE IF chain is one node). While: conditions[0] and its statement.
  std::vector<std::pair<size_t, size_t>> conditions;
  std::vector<BatchNode> children;  // Block: its statements
};

// Thrown for blocks and IFs nested deeper than kMaxNesting.
struct TooDeeplyNested {
  int line;
};

// A batch whose structure is wrong: the token the syntax error names (past the end: the
// last one), or a message of its own (number not 0), as BREAK outside a loop has.
struct BatchStructureError {
  size_t at;
  int number = 0;
  std::string text;
};

// The top-level statements of a tokenized batch. Throws TooDeeplyNested, BatchStructureError.
std::vector<BatchNode> ParseBatch(const std::vector<Token>& tokens);
// The tokens of each top-level statement (an IF or a WHILE with all it runs is one).
std::vector<std::vector<Token>> SplitStatements(const std::vector<Token>& tokens);

}  // namespace msde
