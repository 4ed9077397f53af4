#pragma once
// Tokens of Transact-SQL as the engine reads them, and the split of a batch into statements.
#include <cstddef>
#include <string>
#include <vector>

namespace msde {

enum class TokenKind {
  Word,        // a plain identifier or keyword: text as written
  Bracketed,   // [name] with ]] undoubled: text is the name
  Quoted,      // "name" with "" undoubled: an identifier, or a string where one is expected
  String,      // 'text' with '' undoubled
  NString,     // N'text'
  Number,      // 12, 1.5, 1e3, 0x1F (text as written)
  Variable,    // @name or @@name (text with the @)
  Symbol,      // ( ) , . ; = <> != < > <= >= + - * / % and the like
  End
};

struct Token {
  TokenKind kind = TokenKind::End;
  std::string text;
  int line = 1;  // line in the batch, from 1
  // Where the token stands in the batch: bytes [begin, end), quotes and brackets included.
  size_t begin = 0, end = 0;
  // An identifier of any form.
  bool IsName() const {
    return kind == TokenKind::Word || kind == TokenKind::Bracketed || kind == TokenKind::Quoted;
  }
  bool IsWord(const char* word) const;  // plain word, case-insensitive
  bool IsSymbol(const char* symbol) const { return kind == TokenKind::Symbol && text == symbol; }
  // How the token reads in "Incorrect syntax near 'x'" messages.
  std::string Near() const;
};

// Thrown for text that cannot be tokenized (an unclosed string, bracket or comment).
struct LexError {
  int line;
  std::string near;  // SQL Server names the unclosed string or bracket
  bool unclosed_quote;
};

std::vector<Token> Tokenize(const std::string& sql);

// SQL Server refuses statements nested deeper than it can handle (error 191); so does this
// engine, for expressions and for blocks and IFs nested in each other, so that no batch can
// exhaust its stack or its time.
constexpr int kMaxNesting = 256;
inline constexpr const char* kNestedTooDeeply =
    "Some part of your SQL statement is nested too deeply. Rewrite the query or break it up into "
    "smaller queries.";

// A keyword that begins a statement where it stands at the top level of a batch.
bool StartsStatement(const Token& t);
// Where the statement that begins at `start` ends (the index past its last token), as SQL
// Server separates statements: at ";", at an ELSE or at the END of a block, and where a new
// statement keyword starts that does not continue this one (INSERT ... SELECT, UPDATE ... SET).
size_t StatementEnd(const std::vector<Token>& tokens, size_t start);
// Where the condition of an IF or a WHILE that begins at `start` ends: at the first statement
// keyword outside parentheses and CASE.
size_t ConditionEnd(const std::vector<Token>& tokens, size_t start);

}  // namespace msde
