#include "app/admin/BackupDlg.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include "app/DialogSeam.h"
#include "app/admin/BackupFileRow.h"
#include "app/admin/DatabaseFiles.h"

namespace vandrel::app::admin {

const QString TBackupDlg::kTitle = QStringLiteral("Plik kopii zapasowej (*.bak)");

TBackupDlg::TBackupDlg(TCommandContext& Context, const QString& Database, const QString& File)
    : QDialog(Context.DialogParent()), FContext(Context) {
  setObjectName("BackupDlg");
  setWindowTitle(QStringLiteral("Kopia zapasowa bazy \"%1\"").arg(Database));
  setFixedSize(470, 230);

  const TBackupFileRow Row = AddBackupFileRow(this, 404, 428);
  FileEdit = Row.Edit;
  FileEdit->setText(File);
  BrowseBtn = Row.Browse;

  InitCheck = new QCheckBox(QStringLiteral("Zastąp istniejące kopie w pliku"), this);
  InitCheck->setObjectName("InitCheck");
  InitCheck->setGeometry(16, 66, 400, 21);

  auto* descriptionLabel = new QLabel(QStringLiteral("Opis kopii:"), this);
  descriptionLabel->setGeometry(16, 98, 300, 18);
  DescriptionEdit = new QLineEdit(this);
  DescriptionEdit->setObjectName("DescriptionEdit");
  DescriptionEdit->setMaxLength(255);  // what a backup's description holds
  DescriptionEdit->setGeometry(16, 118, 437, 23);

  OKBtn = new QPushButton(QStringLiteral("Wykonaj kopię"), this);
  OKBtn->setObjectName("OKBtn");
  OKBtn->setDefault(true);
  OKBtn->setGeometry(140, 180, 100, 25);
  CancelBtn = new QPushButton(QStringLiteral("Anuluj"), this);
  CancelBtn->setObjectName("CancelBtn");
  CancelBtn->setGeometry(250, 180, 80, 25);

  connect(BrowseBtn, &QToolButton::clicked, this, [this] { BrowseBtnClick(); });
  connect(OKBtn, &QPushButton::clicked, this, [this] { OKBtnClick(); });
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TBackupDlg::BrowseBtnClick() {
  const QString chosen = ServerDatabaseFiles(FContext)->Choose(kTitle, kBackupFileFilter,
                                                            TDatabaseFiles::FolderOf(FileEdit->text().trimmed()));
  if (!chosen.isEmpty()) FileEdit->setText(chosen);
}

void TBackupDlg::OKBtnClick() {
  if (FileEdit->text().trimmed().isEmpty()) {
    ShowMessage(this, QStringLiteral("Nie podano pliku kopii zapasowej"), windowTitle(), MsgIcon::Error);
    return;
  }
  accept();
}

}  // namespace vandrel::app::admin
