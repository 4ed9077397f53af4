#pragma once
// "Komunikaty": what the server said while the query window ran a script, in order: PRINT
// texts, RAISERROR and informational messages, the row counts, the errors (red) with the
// editor's line, on which a double click puts the editor's cursor.
#include <QListWidget>

namespace vandrel::app {

class TMessagesPane : public QListWidget {
  Q_OBJECT
 public:
  explicit TMessagesPane(QWidget* Parent = nullptr);

  // Line: the editor's line (from 1) an error names, 0 for none.
  void AddMessage(const QString& Text, bool Error = false, int Line = 0);
  // The texts listed, in order.
  QStringList Texts() const;
  // The editor's line of entry Row, 0 when it names none.
  int LineOf(int Row) const;

 signals:
  void LineChosen(int Line);
};

}  // namespace vandrel::app
