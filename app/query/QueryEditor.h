#pragma once
// The query window's editor ("Tekst zapytania"): T-SQL coloured, its lines numbered in a
// margin, the system's fixed-width font; Tab and Shift+Tab indent and unindent the lines of
// a selection.
#include <QPlainTextEdit>

namespace vandrel::app {

class TSqlHighlighter;

class TQueryEditor : public QPlainTextEdit {
  Q_OBJECT
 public:
  explicit TQueryEditor(QWidget* Parent = nullptr);

  // The text to run: the selection when there is one, else the whole text; FirstLine is the
  // editor's line (from 0) on which it begins.
  QString TextToRun(int& FirstLine) const;
  // Puts the cursor at the start of Line (from 1) and shows it.
  void GoToLine(int Line);
  // The cursor's line and column, from 1.
  int CursorLine() const;
  int CursorColumn() const;
  TSqlHighlighter* Highlighter() const { return FHighlighter; }

  // The margin's width for the current number of lines, and its painting.
  int NumberMarginWidth() const;
  void PaintNumbers(QPaintEvent* Event);

 protected:
  void keyPressEvent(QKeyEvent* Event) override;
  void resizeEvent(QResizeEvent* Event) override;

 private:
  // Indents the lines the selection touches by one tab, or takes one level off them.
  void IndentSelection(bool Back);

  QWidget* FMargin;
  TSqlHighlighter* FHighlighter;
};

}  // namespace vandrel::app
