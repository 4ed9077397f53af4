#include "app/SqlQuoting.h"

#include <algorithm>
#include <locale.h>
#include <wctype.h>
#include <array>
#include <string_view>

namespace vandrel::app {
namespace {

// The reserved keywords of SQL Server 2000 and 2005 (EXTERNAL, PIVOT, REVERT, SECURITYAUDIT,
// TABLESAMPLE and UNPIVOT came with 2005), sorted for the binary search.
constexpr std::array<std::string_view, 180> kReservedWords = {
    "ADD", "ALL", "ALTER", "AND", "ANY", "AS", "ASC", "AUTHORIZATION", "BACKUP", "BEGIN",
    "BETWEEN", "BREAK", "BROWSE", "BULK", "BY", "CASCADE", "CASE", "CHECK", "CHECKPOINT",
    "CLOSE", "CLUSTERED", "COALESCE", "COLLATE", "COLUMN", "COMMIT", "COMPUTE", "CONSTRAINT",
    "CONTAINS", "CONTAINSTABLE", "CONTINUE", "CONVERT", "CREATE", "CROSS", "CURRENT",
    "CURRENT_DATE", "CURRENT_TIME", "CURRENT_TIMESTAMP", "CURRENT_USER", "CURSOR", "DATABASE",
    "DBCC", "DEALLOCATE", "DECLARE", "DEFAULT", "DELETE", "DENY", "DESC", "DISK", "DISTINCT",
    "DISTRIBUTED", "DOUBLE", "DROP", "DUMMY", "DUMP", "ELSE", "END", "ERRLVL", "ESCAPE",
    "EXCEPT", "EXEC", "EXECUTE", "EXISTS", "EXIT", "EXTERNAL", "FETCH", "FILE", "FILLFACTOR", "FOR",
    "FOREIGN", "FREETEXT", "FREETEXTTABLE", "FROM", "FULL", "FUNCTION", "GOTO", "GRANT",
    "GROUP", "HAVING", "HOLDLOCK", "IDENTITY", "IDENTITYCOL", "IDENTITY_INSERT", "IF", "IN",
    "INDEX", "INNER", "INSERT", "INTERSECT", "INTO", "IS", "JOIN", "KEY", "KILL", "LEFT",
    "LIKE", "LINENO", "LOAD", "NATIONAL", "NOCHECK", "NONCLUSTERED", "NOT", "NULL", "NULLIF",
    "OF", "OFF", "OFFSETS", "ON", "OPEN", "OPENDATASOURCE", "OPENQUERY", "OPENROWSET",
    "OPENXML", "OPTION", "OR", "ORDER", "OUTER", "OVER", "PERCENT", "PIVOT", "PLAN", "PRECISION",
    "PRIMARY", "PRINT", "PROC", "PROCEDURE", "PUBLIC", "RAISERROR", "READ", "READTEXT",
    "RECONFIGURE", "REFERENCES", "REPLICATION", "RESTORE", "RESTRICT", "RETURN", "REVERT", "REVOKE",
    "RIGHT", "ROLLBACK", "ROWCOUNT", "ROWGUIDCOL", "RULE", "SAVE", "SCHEMA", "SECURITYAUDIT", "SELECT",
    "SESSION_USER", "SET", "SETUSER", "SHUTDOWN", "SOME", "STATISTICS", "SYSTEM_USER", "TABLE", "TABLESAMPLE",
    "TEXTSIZE", "THEN", "TO", "TOP", "TRAN", "TRANSACTION", "TRIGGER", "TRUNCATE", "TSEQUAL",
    "UNION", "UNIQUE", "UNPIVOT", "UPDATE", "UPDATETEXT", "USE", "USER", "VALUES", "VARYING", "VIEW",
    "WAITFOR", "WHEN", "WHERE", "WHILE", "WITH", "WRITETEXT"};
static_assert(std::is_sorted(kReservedWords.begin(), kReservedWords.end()));

bool IsDigit(char32_t c) { return c >= '0' && c <= '9'; }

// A letter by Unicode's classes: Latin and Polish letters are, a dash, a no-break space or a
// symbol is not. The classes come from the C.UTF-8 character tables, never from the user's
// locale; without them only ASCII letters count, so that any other name is bracketed.
bool IsLetter(char32_t c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
  if (c < 0x80) return false;
  static const locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  return unicode && iswalpha_l(static_cast<wint_t>(c), unicode);
}

// The code points of UTF-8 text; false when it is not UTF-8 or leaves the Basic
// Multilingual Plane (SQL Server allows no supplementary characters in a regular name).
bool CodePoints(const std::string& Text, std::u32string& Out) {
  for (size_t i = 0; i < Text.size();) {
    const auto b = static_cast<unsigned char>(Text[i]);
    int more = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : -1;
    if (more < 0 || i + static_cast<size_t>(more) >= Text.size()) return false;
    char32_t c = more == 0 ? b : more == 1 ? (b & 0x1F) : (b & 0x0F);
    for (int k = 1; k <= more; ++k) {
      const auto n = static_cast<unsigned char>(Text[i + k]);
      if ((n & 0xC0) != 0x80) return false;
      c = (c << 6) | (n & 0x3F);
    }
    if ((more == 1 && c < 0x80) || (more == 2 && (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF)))) return false;
    Out.push_back(c);
    i += static_cast<size_t>(more) + 1;
  }
  return true;
}

std::string Doubled(const std::string& Value, char Quote) {
  std::string out;
  out.reserve(Value.size() + 2);
  for (char c : Value) {
    out += c;
    if (c == Quote) out += c;
  }
  return out;
}

}  // namespace

bool IsReservedWord(const std::string& Name) {
  std::string upper = Name;
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return std::binary_search(kReservedWords.begin(), kReservedWords.end(), upper);
}

bool IsRegularIdentifier(const std::string& Name) {
  std::u32string chars;
  if (Name.empty() || IsReservedWord(Name) || !CodePoints(Name, chars)) return false;
  // "@" or "#" first makes a variable or a temporary object of the name: only a letter or "_".
  if (!IsLetter(chars[0]) && chars[0] != '_') return false;
  for (size_t i = 1; i < chars.size(); ++i) {
    const char32_t c = chars[i];
    if (!IsLetter(c) && !IsDigit(c) && c != '_' && c != '@' && c != '#' && c != '$') return false;
  }
  return true;
}

std::string QuoteIdentifier(const std::string& Name) {
  if (IsRegularIdentifier(Name)) return Name;
  return "[" + Doubled(Name, ']') + "]";
}

std::string EscapeLiteral(const std::string& Value) { return Doubled(Value, '\''); }

std::string UnicodeLiteral(const std::string& Value) { return "N'" + EscapeLiteral(Value) + "'"; }

std::string EscapeDoubleQuoted(const std::string& Value) { return Doubled(Value, '"'); }

}  // namespace vandrel::app
