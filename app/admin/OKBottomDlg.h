#pragma once
// TOKBottomDlg, the database options dialog: nine properties of one database in three
// groups; "Zapisz" closes it accepted, "Anuluj" rejected.
#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace vandrel::app::admin {

class TOKBottomDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TOKBottomDlg(QWidget* Parent);

  // The values the dialog starts with, which also stand when nothing could be read.
  void ShowDefaults();

  QComboBox* ComboBox1 = nullptr;  // user access
  QComboBox* ComboBox3 = nullptr;  // read-only
  QLineEdit* Edit1 = nullptr;      // status, shown only
  QComboBox* ComboBox6 = nullptr;  // auto shrink
  QComboBox* ComboBox4 = nullptr;  // auto close
  QComboBox* ComboBox5 = nullptr;  // auto create statistics
  QComboBox* ComboBox7 = nullptr;  // auto update statistics
  QComboBox* ComboBox8 = nullptr;  // recovery model
  QComboBox* ComboBox9 = nullptr;  // torn page detection
  QPushButton* OKBtn = nullptr;
  QPushButton* CancelBtn = nullptr;
};

}  // namespace vandrel::app::admin
