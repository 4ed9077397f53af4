#pragma once
// The backup dialog: the file on the server's disk the backup goes into, whether it replaces
// the backups already in that file, and a description kept with the backup.
#include <QDialog>

#include "app/CommandContext.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace vandrel::app::admin {

class TBackupDlg : public QDialog {
  Q_OBJECT
 public:
  TBackupDlg(TCommandContext& Context, const QString& Database, const QString& File);

  QLineEdit* FileEdit;
  QToolButton* BrowseBtn;
  QCheckBox* InitCheck;
  QLineEdit* DescriptionEdit;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;

  // Chooses the file on the server's disk, starting in the directory of the one shown.
  void BrowseBtnClick();
  // Refuses an empty file name; the dialog then stays open.
  void OKBtnClick();

  static const QString kTitle;

 private:
  TCommandContext& FContext;
};

}  // namespace vandrel::app::admin
