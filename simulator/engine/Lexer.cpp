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

bool StartsStatement(const Token& t) {
  static const char* kStarters[] = {"SELECT", "USE",     "EXEC",  "EXECUTE", "ALTER",
                                    "DBCC",   "KILL",    "RECONFIGURE",     "WAITFOR",
                                    "SET",    "DECLARE", "PRINT", "INSERT",  "UPDATE",
                                    "DELETE", "CREATE",  "DROP",  "IF",      "RETURN",
                                    "CHECKPOINT", "BACKUP", "RESTORE", "GRANT", "REVOKE",
                                    "RAISERROR", "BEGIN", "COMMIT", "ROLLBACK", "SAVE",
                                    "WHILE", "BREAK", "CONTINUE"};
  if (t.kind != TokenKind::Word) return false;
  for (const char* word : kStarters)
    if (t.IsWord(word)) return true;
  return false;
}

namespace {

// What decides whether a statement keyword continues the statement that `first` starts:
// the SET of ALTER DATABASE and UPDATE, a SELECT after UNION or inside INSERT, the EXEC of
// INSERT ... EXEC, the ROLLBACK of WITH ROLLBACK IMMEDIATE.
struct Continuation {
  bool seen_set = false;   // a SET in the statement
  bool seen_rows = false;  // a VALUES or SELECT in it

  bool Continues(const Token& first, const Token& previous, const Token& t, size_t length) const {
    if (t.IsWord("SET") && (first.IsWord("ALTER") || first.IsWord("UPDATE"))) return !seen_set;
    if (t.IsWord("SELECT")) {
      if (previous.IsWord("UNION") || previous.IsWord("ALL")) return true;
      // INSERT ... SELECT, but not a SELECT after INSERT ... VALUES (...) or after the first one.
      if (first.IsWord("INSERT")) return !seen_rows;
    }
    if (t.IsWord("EXEC") || t.IsWord("EXECUTE")) return first.IsWord("INSERT") && length > 2;
    if (t.IsWord("ROLLBACK")) return previous.IsWord("WITH");
    return false;
  }
  void Add(const Token& t) {
    if (t.IsWord("SET")) seen_set = true;
    if (t.IsWord("VALUES") || t.IsWord("SELECT")) seen_rows = true;
  }
};

}  // namespace

size_t StatementEnd(const std::vector<Token>& tokens, size_t start) {
  Continuation rules;
  int depth = 0, cases = 0;
  for (size_t i = start; i < tokens.size(); ++i) {
    const Token& t = tokens[i];
    if (depth == 0 && i > start) {
      if (t.IsSymbol(";")) return i;
      if (cases == 0 && (t.IsWord("ELSE") || t.IsWord("END"))) return i;
      if (StartsStatement(t) && !rules.Continues(tokens[start], tokens[i - 1], t, i - start)) return i;
    }
    rules.Add(t);
    if (t.IsSymbol("(")) ++depth;
    if (t.IsSymbol(")") && depth > 0) --depth;
    if (depth == 0 && t.IsWord("CASE")) ++cases;
    if (depth == 0 && t.IsWord("END") && cases > 0) --cases;
  }
  return tokens.size();
}

size_t ConditionEnd(const std::vector<Token>& tokens, size_t start) {
  int depth = 0, cases = 0;
  for (size_t i = start; i < tokens.size(); ++i) {
    const Token& t = tokens[i];
    if (depth == 0 && cases == 0 && (StartsStatement(t) || t.IsSymbol(";") || t.IsWord("ELSE") || t.IsWord("END")))
      return i;
    if (t.IsSymbol("(")) ++depth;
    if (t.IsSymbol(")") && depth > 0) --depth;
    if (depth == 0 && t.IsWord("CASE")) ++cases;
    if (depth == 0 && t.IsWord("END") && cases > 0) --cases;
  }
  return tokens.size();
}

}  // namespace msde
