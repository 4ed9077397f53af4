#include "engine/Lexer.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "engine/Model.h"

namespace msde {
namespace {

bool WordStart(unsigned char c) { return std::isalpha(c) || c == '_' || c == '#' || c >= 0x80; }
bool WordPart(unsigned char c) {
  return WordStart(c) || std::isdigit(c) || c == '@' || c == '$';
}

// Reads a delimited run ('..', [..], "..") where the closing character doubled stands for
// itself. Returns false when the text ends first.
bool ReadDelimited(const std::string& sql, size_t& i, char close, std::string& out, int& line) {
  ++i;  // the opening character
  while (i < sql.size()) {
    const char c = sql[i];
    if (c == close) {
      if (i + 1 < sql.size() && sql[i + 1] == close) {
        out += close;
        i += 2;
        continue;
      }
      ++i;
      return true;
    }
    if (c == '\n') ++line;
    out += c;
    ++i;
  }
  return false;
}

}  // namespace

bool Token::IsWord(const char* word) const {
  return kind == TokenKind::Word && EqualNoCase(text, word);
}

std::string Token::Near() const {
  switch (kind) {
    case TokenKind::NString: return "N'" + text + "'";
    case TokenKind::End: return "";
    default: return text;
  }
}

std::vector<Token> Tokenize(const std::string& sql) {
  std::vector<Token> tokens;
  int line = 1;
  size_t i = 0;
  const size_t n = sql.size();
  while (i < n) {
    const unsigned char c = static_cast<unsigned char>(sql[i]);
    if (c == '\n') {
      ++line;
      ++i;
      continue;
    }
    if (std::isspace(c) || c == 0) {
      ++i;
      continue;
    }
    if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
      while (i < n && sql[i] != '\n') ++i;
      continue;
    }
    if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
      // Block comments nest in Transact-SQL.
      int depth = 0;
      const int start_line = line;
      do {
        if (sql.compare(i, 2, "/*") == 0) {
          ++depth;
          i += 2;
        } else if (sql.compare(i, 2, "*/") == 0) {
          --depth;
          i += 2;
        } else {
          if (sql[i] == '\n') ++line;
          ++i;
        }
      } while (depth > 0 && i < n);
      if (depth > 0) throw LexError{start_line, "", false};
      continue;
    }
    Token t;
    t.line = line;
    const size_t start = i;
    if (c == '\'' || ((c == 'N' || c == 'n') && i + 1 < n && sql[i + 1] == '\'')) {
      if (c != '\'') ++i;
      t.kind = c == '\'' ? TokenKind::String : TokenKind::NString;
      if (!ReadDelimited(sql, i, '\'', t.text, line)) throw LexError{t.line, t.text, true};
    } else if (c == '[') {
      t.kind = TokenKind::Bracketed;
      if (!ReadDelimited(sql, i, ']', t.text, line)) throw LexError{t.line, t.text, true};
    } else if (c == '"') {
      t.kind = TokenKind::Quoted;
      if (!ReadDelimited(sql, i, '"', t.text, line)) throw LexError{t.line, t.text, true};
    } else if (std::isdigit(c) || (c == '.' && i + 1 < n && std::isdigit(static_cast<unsigned char>(sql[i + 1])))) {
      t.kind = TokenKind::Number;
      if (c == '0' && i + 1 < n && (sql[i + 1] == 'x' || sql[i + 1] == 'X')) {
        i += 2;
        while (i < n && std::isxdigit(static_cast<unsigned char>(sql[i]))) ++i;
      } else {
        while (i < n && std::isdigit(static_cast<unsigned char>(sql[i]))) ++i;
        if (i < n && sql[i] == '.') {
          ++i;
          while (i < n && std::isdigit(static_cast<unsigned char>(sql[i]))) ++i;
        }
        if (i < n && (sql[i] == 'e' || sql[i] == 'E')) {
          size_t j = i + 1;
          if (j < n && (sql[j] == '+' || sql[j] == '-')) ++j;
          if (j < n && std::isdigit(static_cast<unsigned char>(sql[j]))) {
            i = j;
            while (i < n && std::isdigit(static_cast<unsigned char>(sql[i]))) ++i;
          }
        }
      }
      t.text = sql.substr(start, i - start);
    } else if (c == '@') {
      t.kind = TokenKind::Variable;
      ++i;
      if (i < n && sql[i] == '@') ++i;
      while (i < n && WordPart(static_cast<unsigned char>(sql[i]))) ++i;
      t.text = sql.substr(start, i - start);
    } else if (WordStart(c)) {
      t.kind = TokenKind::Word;
      while (i < n && WordPart(static_cast<unsigned char>(sql[i]))) ++i;
      t.text = sql.substr(start, i - start);
    } else {
      t.kind = TokenKind::Symbol;
      static const char* kPairs[] = {"<>", "!=", "<=", ">=", "!<", "!>"};
      t.text = std::string(1, static_cast<char>(c));
      for (const char* pair : kPairs)
        if (sql.compare(i, 2, pair) == 0) t.text = pair;
      i += t.text.size();
    }
    t.begin = start;
    t.end = i;
    tokens.push_back(std::move(t));
  }
  return tokens;
}

namespace {

bool StartsStatement(const Token& t) {
  static const char* kStarters[] = {"SELECT", "USE",     "EXEC",  "EXECUTE", "ALTER",
                                    "DBCC",   "KILL",    "RECONFIGURE",     "WAITFOR",
                                    "SET",    "DECLARE", "PRINT", "INSERT",  "UPDATE",
                                    "DELETE", "CREATE",  "DROP",  "IF",      "RETURN",
                                    "CHECKPOINT", "BACKUP", "RESTORE", "GRANT", "REVOKE",
                                    "RAISERROR", "BEGIN", "COMMIT", "ROLLBACK", "SAVE"};
  if (t.kind != TokenKind::Word) return false;
  for (const char* word : kStarters)
    if (t.IsWord(word)) return true;
  return false;
}

// The statement being gathered, and what decides whether a statement keyword continues it.
// IF condition statement [ELSE statement]: the condition runs up to the first statement
// keyword, each branch is one statement, and the rules of the innermost branch decide what
// continues it. `levels_` holds where each nested IF and finally that innermost statement
// start, kept up to date token by token so that a long chain of IFs costs its length only.
class Gathering {
 public:
  bool Empty() const { return tokens_.empty(); }
  std::vector<Token> Take() {
    std::vector<Token> statement = std::move(tokens_);
    tokens_.clear();
    levels_.clear();
    return statement;
  }

  // Whether the statement keyword `t` (at the top level) continues the statement.
  bool Continues(const Token& t) const {
    if (tokens_.empty()) return true;
    for (size_t k = 0; k < levels_.size(); ++k) {
      if (!tokens_[levels_[k]].IsWord("IF")) return ContinuesStatement(tokens_[levels_[k]], levels_[k], t);
      // In the condition, or right after ELSE: the branch is still to come.
      if (tokens_.back().IsWord("ELSE") || k + 1 == levels_.size()) return true;
    }
    return true;
  }

  // Adds `t`; `top`: outside parentheses.
  void Add(const Token& t, bool top) {
    const size_t at = tokens_.size();
    if (levels_.empty()) {
      StartLevel(at);
    } else if (top && StartsStatement(t)) {
      if (tokens_[levels_.front()].IsWord("IF") && tokens_.back().IsWord("ELSE")) {
        // The statement after an ELSE is the one whose rules apply from now on, whichever
        // IF the ELSE belongs to.
        levels_.resize(1);
        StartLevel(at);
      } else if (tokens_[levels_.back()].IsWord("IF")) {
        StartLevel(at);  // the first statement after a condition: a branch begins
      }
    }
    if (levels_.size() > static_cast<size_t>(kMaxNesting)) throw TooDeeplyNested{t.line};
    if (t.IsWord("SET")) seen_set_ = true;
    if (t.IsWord("VALUES") || t.IsWord("SELECT")) seen_rows_ = true;
    tokens_.push_back(t);
  }

 private:
  void StartLevel(size_t at) {
    levels_.push_back(at);
    seen_set_ = seen_rows_ = false;
  }

  // The SET of ALTER DATABASE and UPDATE, a SELECT after UNION or inside INSERT, the EXEC of
  // INSERT ... EXEC, the ROLLBACK of WITH ROLLBACK IMMEDIATE; `first` starts the statement at
  // `start`.
  bool ContinuesStatement(const Token& first, size_t start, const Token& t) const {
    const Token& previous = tokens_.back();
    if (t.IsWord("SET") && (first.IsWord("ALTER") || first.IsWord("UPDATE"))) return !seen_set_;
    if (t.IsWord("SELECT")) {
      if (previous.IsWord("UNION") || previous.IsWord("ALL")) return true;
      // INSERT ... SELECT, but not a SELECT after INSERT ... VALUES (...) or after the first one.
      if (first.IsWord("INSERT")) return !seen_rows_;
    }
    if (t.IsWord("EXEC") || t.IsWord("EXECUTE")) return first.IsWord("INSERT") && tokens_.size() - start > 2;
    if (t.IsWord("ROLLBACK")) return previous.IsWord("WITH");
    return false;
  }

  std::vector<Token> tokens_;
  std::vector<size_t> levels_;
  bool seen_set_ = false;   // a SET in the innermost statement
  bool seen_rows_ = false;  // a VALUES or SELECT in it
};

}  // namespace

std::vector<std::vector<Token>> SplitStatements(const std::vector<Token>& tokens) {
  std::vector<std::vector<Token>> statements;
  Gathering current;
  int depth = 0;
  for (const Token& t : tokens) {
    if (t.IsSymbol(";") && depth == 0) {
      if (!current.Empty()) statements.push_back(current.Take());
      continue;
    }
    if (depth == 0 && StartsStatement(t) && !current.Empty() && !current.Continues(t))
      statements.push_back(current.Take());
    current.Add(t, depth == 0);
    if (t.IsSymbol("(")) ++depth;
    if (t.IsSymbol(")") && depth > 0) --depth;
  }
  if (!current.Empty()) statements.push_back(current.Take());
  return statements;
}

}  // namespace msde
