#pragma once
// The refusal of the in-use guard: its message, every process that uses the database
// (SPID, host, program, login, last batch) and, beside OK, the offer to disconnect them and
// try again. OK closes it as rejected; "Rozłącz użytkowników i ponów" as accepted.
#include <QDialog>
#include <string>
#include <vector>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace vandrel::app::admin {

class TInUseDlg : public QDialog {
  Q_OBJECT
 public:
  // Holders: a flat result list of the five columns above.
  TInUseDlg(QWidget* Parent, const QString& Message, const std::vector<std::string>& Holders);

  QLabel* Label1 = nullptr;
  QTreeWidget* ProcessList = nullptr;
  QPushButton* OKBtn = nullptr;
  QPushButton* DisconnectBtn = nullptr;
};

}  // namespace vandrel::app::admin
