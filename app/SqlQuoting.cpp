#include "app/SqlQuoting.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace vandrel::app {
namespace {

// SQL Server 2000's reserved keywords, sorted for the binary search.
constexpr std::array<std::string_view, 174> kReservedWords = {
    "ADD", "ALL", "ALTER", "AND", "ANY", "AS", "ASC", "AUTHORIZATION", "BACKUP", "BEGIN",
    "BETWEEN", "BREAK", "BROWSE", "BULK", "BY", "CASCADE", "CASE", "CHECK", "CHECKPOINT",
    "CLOSE", "CLUSTERED", "COALESCE", "COLLATE", "COLUMN", "COMMIT", "COMPUTE", "CONSTRAINT",
    "CONTAINS", "CONTAINSTABLE", "CONTINUE", "CONVERT", "CREATE", "CROSS", "CURRENT",
    "CURRENT_DATE", "CURRENT_TIME", "CURRENT_TIMESTAMP", "CURRENT_USER", "CURSOR", "DATABASE",
    "DBCC", "DEALLOCATE", "DECLARE", "DEFAULT", "DELETE", "DENY", "DESC", "DISK", "DISTINCT",
    "DISTRIBUTED", "DOUBLE", "DROP", "DUMMY", "DUMP", "ELSE", "END", "ERRLVL", "ESCAPE",
    "EXCEPT", "EXEC", "EXECUTE", "EXISTS", "EXIT", "FETCH", "FILE", "FILLFACTOR", "FOR",
    "FOREIGN", "FREETEXT", "FREETEXTTABLE", "FROM", "FULL", "FUNCTION", "GOTO", "GRANT",
    "GROUP", "HAVING", "HOLDLOCK", "IDENTITY", "IDENTITYCOL", "IDENTITY_INSERT", "IF", "IN",
    "INDEX", "INNER", "INSERT", "INTERSECT", "INTO", "IS", "JOIN", "KEY", "KILL", "LEFT",
    "LIKE", "LINENO", "LOAD", "NATIONAL", "NOCHECK", "NONCLUSTERED", "NOT", "NULL", "NULLIF",
    "OF", "OFF", "OFFSETS", "ON", "OPEN", "OPENDATASOURCE", "OPENQUERY", "OPENROWSET",
    "OPENXML", "OPTION", "OR", "ORDER", "OUTER", "OVER", "PERCENT", "PLAN", "PRECISION",
    "PRIMARY", "PRINT", "PROC", "PROCEDURE", "PUBLIC", "RAISERROR", "READ", "READTEXT",
    "RECONFIGURE", "REFERENCES", "REPLICATION", "RESTORE", "RESTRICT", "RETURN", "REVOKE",
    "RIGHT", "ROLLBACK", "ROWCOUNT", "ROWGUIDCOL", "RULE", "SAVE", "SCHEMA", "SELECT",
    "SESSION_USER", "SET", "SETUSER", "SHUTDOWN", "SOME", "STATISTICS", "SYSTEM_USER", "TABLE",
    "TEXTSIZE", "THEN", "TO", "TOP", "TRAN", "TRANSACTION", "TRIGGER", "TRUNCATE", "TSEQUAL",
    "UNION", "UNIQUE", "UPDATE", "UPDATETEXT", "USE", "USER", "VALUES", "VARYING", "VIEW",
    "WAITFOR", "WHEN", "WHERE", "WHILE", "WITH", "WRITETEXT"};
static_assert(std::is_sorted(kReservedWords.begin(), kReservedWords.end()));

bool IsLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c >= 0x80; }
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

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
  if (Name.empty() || IsReservedWord(Name)) return false;
  unsigned char first = static_cast<unsigned char>(Name[0]);
  if (!IsLetter(first) && first != '_' && first != '@' && first != '#') return false;
  for (size_t i = 1; i < Name.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(Name[i]);
    if (!IsLetter(c) && !IsDigit(c) && c != '_' && c != '@' && c != '#' && c != '$') return false;
  }
  return true;
}

std::string QuoteIdentifier(const std::string& Name) {
  if (IsRegularIdentifier(Name)) return Name;
  return "[" + Doubled(Name, ']') + "]";
}

std::string QuoteQualifiedName(const std::string& OwnerDotName) {
  auto dot = OwnerDotName.find('.');
  if (dot == std::string::npos) return QuoteIdentifier(OwnerDotName);
  return QuoteIdentifier(OwnerDotName.substr(0, dot)) + "." +
         QuoteIdentifier(OwnerDotName.substr(dot + 1));
}

std::string EscapeLiteral(const std::string& Value) { return Doubled(Value, '\''); }

std::string UnicodeLiteral(const std::string& Value) { return "N'" + EscapeLiteral(Value) + "'"; }

std::string EscapeDoubleQuoted(const std::string& Value) { return Doubled(Value, '"'); }

}  // namespace vandrel::app
