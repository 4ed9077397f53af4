#pragma once
// Find and replace in the query editor: a bar under it (Ctrl+F, Ctrl+H), searching from the
// cursor and round past the end, any case.
#include <QWidget>

class QLineEdit;
class QPlainTextEdit;

namespace vandrel::app {

class TFindBar : public QWidget {
  Q_OBJECT
 public:
  TFindBar(QPlainTextEdit* Editor, QWidget* Parent = nullptr);

  // Shows the bar with the selection (one line of it) to find; Replace puts the focus in
  // the replacement.
  void Open(bool Replace);
  // Selects the next occurrence; false when there is none.
  bool FindNext();
  // Replaces the selected occurrence and finds the next one.
  void ReplaceOne();
  // Replaces every occurrence in one undo step; answers how many.
  int ReplaceAll();

  QLineEdit* FindEdit;
  QLineEdit* ReplaceEdit;

 private:
  bool SelectionMatches() const;

  QPlainTextEdit* FEditor;
};

}  // namespace vandrel::app
