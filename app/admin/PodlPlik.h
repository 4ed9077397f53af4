#pragma once
// "Podłączanie nowej bazy": the data file, the optional log file and the name under which a
// database is attached, and whether it is attached as an archive. One dialog per main window,
// kept between openings (the default-directory box keeps its state).
#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QToolButton;

#include "app/CommandContext.h"

namespace vandrel::app::admin {

class TDatabaseFiles;

class TPodlPlik : public QDialog {
  Q_OBJECT
 public:
  explicit TPodlPlik(TCommandContext& Context);
  static TPodlPlik& Of(TCommandContext& Context);

  QLineEdit* Edit3;  // data file
  QToolButton* SpeedButton2;
  QLineEdit* Edit4;  // log file
  QToolButton* SpeedButton3;
  QLineEdit* Edit1;  // database name
  QCheckBox* CheckBox1;
  QCheckBox* BlokadaCheck;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;

  // What every opening resets.
  void FormShow();
  void SpeedButton2Click();
  void SpeedButton3Click();
  void OKBtnClick();
  // Refuses to close while the last validation failed.
  void done(int Result) override;

  static const QString kDataTitle, kDataFilter, kLogTitle, kLogFilter;

 private:
  // The start directory of both choosers.
  QString StartDirectory(TDatabaseFiles& Files) const;

  TCommandContext& FContext;
  bool FCanClose = true;
};

// The registry's default data directory: SQLDataRoot of SOFTWARE\Microsoft\MSSQLServer\Setup
// with "\Data" appended; empty when the key or the value is missing.
std::string DefaultDataDirectory();

}  // namespace vandrel::app::admin
