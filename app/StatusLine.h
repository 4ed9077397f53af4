#pragma once
// The main window's status bar: which server and user the window works with, whether the
// connection stands (as the server node's image says), and how many rows the detail list holds.
#include <QStatusBar>

class QLabel;

namespace vandrel::app {

enum class TConnectionState { NotConnected, Connected, Lost };

class TStatusLine : public QStatusBar {
  Q_OBJECT
 public:
  explicit TStatusLine(QWidget* Parent = nullptr);

  void ShowConnection(const QString& Server, const QString& User, TConnectionState State);
  void ShowRowCount(int Rows);
  // The list's read was ended by the user after Rows rows (until the list changes again).
  void ShowStopped(int Rows);

  QLabel* ServerLabel;
  QLabel* UserLabel;
  QLabel* StateLabel;
  QLabel* RowsLabel;
};

}  // namespace vandrel::app
