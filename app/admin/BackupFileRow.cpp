#include "app/admin/BackupFileRow.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

#include "platform/base/RegionalSettings.h"

namespace vandrel::app::admin {

const QString kBackupFileFilter = QStringLiteral("Kopia zapasowa bazy (*.bak)|*.bak|Wszystkie pliki (*.*)|*.*");

TBackupFileRow AddBackupFileRow(QDialog* Dialog, int EditWidth, int BrowseLeft) {
  auto* label = new QLabel(QStringLiteral("Plik kopii na dysku serwera:"), Dialog);
  label->setGeometry(16, 12, 300, 18);
  auto* edit = new QLineEdit(Dialog);
  edit->setObjectName("FileEdit");
  edit->setGeometry(16, 32, EditWidth, 23);
  auto* browse = new QToolButton(Dialog);
  browse->setObjectName("BrowseBtn");
  browse->setText(QStringLiteral("..."));
  browse->setToolTip(QStringLiteral("Wybierz plik kopii zapasowej"));
  browse->setGeometry(BrowseLeft, 32, 25, 23);
  return {edit, browse};
}

QString MegabytesOfBytes(const std::string& Bytes) {
  QString text = QString::number(QString::fromStdString(Bytes).toDouble() / 1048576.0, 'f', 1);
  text.replace('.', QChar(platform::RegionalSettings().DecimalSeparator));
  return text + " MB";
}

}  // namespace vandrel::app::admin
