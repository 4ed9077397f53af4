#pragma once
// "Tworzenie połączenia sieciowego klienta": server, database and network library of the
// Tovinex client connection. One dialog per main window, kept between openings, so that the
// network library chosen stays chosen.
#include <QDialog>

class QCheckBox;
class QComboBox;
class QPushButton;

#include "app/CommandContext.h"

namespace vandrel::app::clientsetup {

class TPasswordDlg2 : public QDialog {
  Q_OBJECT
 public:
  explicit TPasswordDlg2(TCommandContext& Context);
  // The window's dialog, made at its first use.
  static TPasswordDlg2& Of(TCommandContext& Context);

  QComboBox* ComboBox2;  // server
  QComboBox* ComboBox3;  // database
  QComboBox* ComboBox1;  // network library
  QCheckBox* BlokadaCheck;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;

  // What every opening resets.
  void FormShow();
  // Keeps the database field at one of the listed names or nothing.
  void ComboBox3Change();
  void OKBtnClick();
  // Refuses to close while the last validation failed.
  void done(int Result) override;

 private:
  TCommandContext& FContext;
  bool FCanClose = true;
};

}  // namespace vandrel::app::clientsetup
