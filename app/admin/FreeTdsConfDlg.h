#pragma once
// The FreeTDS configuration the client uses, where this platform keeps the network libraries'
// settings: the user's freetds.conf and the system's, each with where it is and its text,
// and a button that opens the shown file in the desktop's default application for it.
#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace vandrel::app {
class TForm1;
}

namespace vandrel::app::admin {

class TFreeTdsConfDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TFreeTdsConfDlg(QWidget* Parent);

  QTabWidget* Files = nullptr;
  // Per tab (0 the user's file, 1 the system's): where the file is and what it holds.
  QLabel* Paths[2] = {};
  QPlainTextEdit* Texts[2] = {};
  QPushButton* OpenButton = nullptr;
  QPushButton* CloseButton = nullptr;

  // Reads both files again; the tab shown is the first file that exists, the one FreeTDS
  // reads first.
  void Reload();
  QString ShownFile() const;

 private:
  void UpdateOpenButton();
  QString FFiles[2];
};

void ShowFreeTdsConfiguration(TForm1& Form);

}  // namespace vandrel::app::admin
