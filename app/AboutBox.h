#pragma once
// "Informacja o programie": the program's title, version and the maker's contact data.
#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

namespace vandrel::app {

class TMExeVersion;

class TFmMPrintInfo : public QDialog {
  Q_OBJECT
 public:
  TFmMPrintInfo(QWidget* Parent, const TMExeVersion& Version);

  QFrame* PanInfo;
  QLabel* ProgramIcon;
  QLabel* Label1;
  QLabel* Label2;
  QLabel* LblWersja;
  QLabel* LblAdres;
  QLabel* LblTel;
  QLabel* LblWWW;
  QPushButton* BtnOK;

  void LblWWWClick();

 protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;
};

// The about box of the running program (created at start-up).
extern TFmMPrintInfo* FmMPrintInfo;

}  // namespace vandrel::app
