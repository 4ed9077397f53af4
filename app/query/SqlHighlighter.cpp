#include "app/query/SqlHighlighter.h"

#include <QSet>
#include <QTextBlock>
#include <QTextLayout>
#include <QTextDocument>

namespace vandrel::app {
namespace {

// The state a line ends in: inside a block comment or a string.
enum TState { sNormal = -1, sComment = 1, sString = 2 };

const QSet<QString>& Keywords() {
  static const QSet<QString> words = [] {
    QSet<QString> set;
    for (const char* w :
         {"ADD", "ALL", "ALTER", "AND", "ANY", "AS", "ASC", "BACKUP", "BEGIN", "BETWEEN", "BIGINT", "BINARY", "BIT",
          "BREAK", "BY", "CASCADE", "CASE", "CAST", "CHAR", "CHECK", "CLOSE", "COLLATE", "COLUMN", "COMMIT",
          "CONSTRAINT", "CONTINUE", "CONVERT", "COUNT", "CREATE", "CROSS", "CURSOR", "DATABASE", "DATETIME", "DBCC",
          "DEALLOCATE", "DECIMAL", "DECLARE", "DEFAULT", "DELAY", "DELETE", "DENY", "DESC", "DISTINCT", "DROP", "ELSE",
          "END", "ESCAPE", "EXCEPT", "EXEC", "EXECUTE", "EXISTS", "FETCH", "FLOAT", "FOR", "FOREIGN", "FROM", "FULL",
          "FUNCTION", "GO", "GOTO", "GRANT", "GROUP", "HAVING", "IDENTITY", "IF", "IN", "INDEX", "INNER", "INSERT",
          "INT", "INTERSECT", "INTO", "IS", "JOIN", "KEY", "KILL", "LEFT", "LIKE", "MONEY", "NCHAR", "NEXT", "NOCOUNT",
          "NOLOCK", "NOT", "NULL", "NUMERIC", "NVARCHAR", "OF", "OFF", "ON", "OPEN", "OR", "ORDER", "OUTER", "OUTPUT",
          "PERCENT", "PRIMARY", "PRINT", "PROC", "PROCEDURE", "RAISERROR", "REAL", "REFERENCES", "RESTORE", "RETURN",
          "REVOKE", "RIGHT", "ROLLBACK", "SAVE", "SELECT", "SET", "SMALLDATETIME", "SMALLINT", "TABLE", "TEXT", "THEN",
          "TINYINT", "TO", "TOP", "TRAN", "TRANSACTION", "TRIGGER", "TRUNCATE", "UNION", "UNIQUE", "UPDATE", "USE",
          "VALUES", "VARBINARY", "VARCHAR", "VIEW", "WAITFOR", "WHEN", "WHERE", "WHILE", "WITH"})
      set.insert(QString::fromLatin1(w));
    return set;
  }();
  return words;
}

bool WordChar(QChar C) { return C.isLetterOrNumber() || C == u'_' || C == u'@' || C == u'#' || C == u'$'; }

}  // namespace

TSqlHighlighter::TSqlHighlighter(QTextDocument* Document) : QSyntaxHighlighter(Document) {
  FKeyword.setForeground(QColor(0, 0, 192));
  FKeyword.setFontWeight(QFont::Bold);
  FString.setForeground(QColor(192, 0, 0));
  FComment.setForeground(QColor(0, 128, 0));
  FComment.setFontItalic(true);
  FNumber.setForeground(QColor(128, 0, 128));
}

bool TSqlHighlighter::IsKeyword(const QString& Word) { return Keywords().contains(Word.toUpper()); }

void TSqlHighlighter::highlightBlock(const QString& Text) {
  const int n = static_cast<int>(Text.size());
  int i = 0;
  int state = previousBlockState();
  // A comment or a string left open by the line before goes on here.
  auto closeFrom = [&](int From, const QString& End, const QTextCharFormat& Format, TState Open) {
    const int at = static_cast<int>(Text.indexOf(End, From));
    const int stop = at < 0 ? n : at + static_cast<int>(End.size());
    setFormat(From, stop - From, Format);
    setCurrentBlockState(at < 0 ? Open : sNormal);
    return stop;
  };
  // A string's doubled quote is part of it: the end is the first quote not doubled.
  auto stringEnd = [&](int From) {
    for (int k = From; k < n; ++k) {
      if (Text[k] != u'\'') continue;
      if (k + 1 < n && Text[k + 1] == u'\'') {
        ++k;
        continue;
      }
      return k;
    }
    return -1;
  };
  setCurrentBlockState(sNormal);
  if (state == sComment) {
    i = closeFrom(0, QStringLiteral("*/"), FComment, sComment);
  } else if (state == sString) {
    const int end = stringEnd(0);
    setFormat(0, end < 0 ? n : end + 1, FString);
    if (end < 0) return setCurrentBlockState(sString);
    i = end + 1;
  }
  if (currentBlockState() != sNormal) return;
  while (i < n) {
    const QChar c = Text[i];
    if (c == u'-' && i + 1 < n && Text[i + 1] == u'-') {
      setFormat(i, n - i, FComment);
      return;
    }
    if (c == u'/' && i + 1 < n && Text[i + 1] == u'*') {
      i = closeFrom(i, QStringLiteral("*/"), FComment, sComment);
      if (currentBlockState() == sComment) return;
      continue;
    }
    if (c == u'\'' || ((c == u'N' || c == u'n') && i + 1 < n && Text[i + 1] == u'\'' && (i == 0 || !WordChar(Text[i - 1])))) {
      const int open = c == u'\'' ? i : i + 1;
      const int end = stringEnd(open + 1);
      setFormat(i, (end < 0 ? n : end + 1) - i, FString);
      if (end < 0) return setCurrentBlockState(sString);
      i = end + 1;
      continue;
    }
    if (c.isDigit() && (i == 0 || !WordChar(Text[i - 1]))) {
      int end = i;
      while (end < n && (Text[end].isLetterOrNumber() || Text[end] == u'.')) ++end;
      setFormat(i, end - i, FNumber);
      i = end;
      continue;
    }
    if (WordChar(c)) {
      int end = i;
      while (end < n && WordChar(Text[end])) ++end;
      if (IsKeyword(Text.mid(i, end - i))) setFormat(i, end - i, FKeyword);
      i = end;
      continue;
    }
    ++i;
  }
}

TSqlHighlighter::TKind TSqlHighlighter::KindAt(int Line, int Position) const {
  const QTextBlock block = document()->findBlockByNumber(Line);
  if (!block.isValid()) return TKind::Plain;
  for (const QTextLayout::FormatRange& range : block.layout()->formats()) {
    if (Position < range.start || Position >= range.start + range.length) continue;
    if (range.format == FKeyword) return TKind::Keyword;
    if (range.format == FString) return TKind::String;
    if (range.format == FComment) return TKind::Comment;
    if (range.format == FNumber) return TKind::Number;
  }
  return TKind::Plain;
}

}  // namespace vandrel::app
