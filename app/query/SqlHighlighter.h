#pragma once
// The colours of T-SQL in the query editor: keywords, strings, comments and numbers. A
// block comment or a string may run over several lines; the state of a line's end carries
// into the next.
#include <QSyntaxHighlighter>
#include <QTextCharFormat>

namespace vandrel::app {

class TSqlHighlighter : public QSyntaxHighlighter {
  Q_OBJECT
 public:
  explicit TSqlHighlighter(QTextDocument* Document);

  // The kinds of text the highlighter tells apart.
  enum class TKind { Plain, Keyword, String, Comment, Number };
  // The kind given to the character at Position of line Line (from 0), for tests and tools.
  TKind KindAt(int Line, int Position) const;

  // Whether Word (any case) is a keyword of T-SQL.
  static bool IsKeyword(const QString& Word);

 protected:
  void highlightBlock(const QString& Text) override;

 private:
  QTextCharFormat FKeyword, FString, FComment, FNumber;
};

}  // namespace vandrel::app
