#include "app/admin/Backup.h"

#include <QCheckBox>
#include <QDate>
#include <QLineEdit>
#include <memory>

#include "app/DialogSeam.h"
#include "app/NodeKinds.h"
#include "app/SqlQuoting.h"
#include "app/admin/BackupDlg.h"
#include "app/admin/DatabaseFiles.h"
#include "app/admin/LongStatement.h"
#include "app/admin/Maintenance.h"

namespace vandrel::app::admin {
namespace {

const QString kBackupCaption = QStringLiteral("Kopia zapasowa bazy");

}  // namespace

std::string DefaultBackupFile(TCommandContext& Context, const std::string& Database) {
  const std::string day = QDate::currentDate().toString(QStringLiteral("yyyyMMdd")).toStdString();
  return PathInDirectory(ServerBackupDirectory(Context), BackupFileName(Database, day));
}

std::string BackupStatement(const std::string& Database, const std::string& File, bool Init,
                            const std::string& Description) {
  std::string statement = "BACKUP DATABASE " + QuoteIdentifier(Database) + " TO DISK = " + UnicodeLiteral(File) +
                          " WITH " + (Init ? "INIT" : "NOINIT") + ", NAME = " + UnicodeLiteral(Database);
  if (!Description.empty()) statement += ", DESCRIPTION = " + UnicodeLiteral(Description);
  return statement + ", STATS = 10";
}

bool BackupDatabase(TCommandContext& Context, const std::string& Database, const std::string& File, bool Init,
                    const std::string& Description) {
  TMaintenance work;
  work.Statements = {BackupStatement(Database, File, Init, Description)};
  work.WaitCaption = "Kopia zapasowa bazy \"" + Database + "\"";
  work.RunsLong = true;
  const TMaintenanceResult result = RunMaintenance(Context, work);
  if (!result.AllDone()) return false;
  QString text = QStringLiteral("Kopia zapasowa bazy \"%1\" została zapisana w pliku:\r\n%2")
                     .arg(QString::fromStdString(Database), QString::fromStdString(File));
  const QString account = ProcessedText(result.Messages.Records);
  if (!account.isEmpty()) text += QStringLiteral("\r\nZapisano ") + account + ".";
  ShowMessage(Context.DialogParent(), text, kBackupCaption, MsgIcon::Information);
  return true;
}

void BackupCommand(TCommandContext& Context) {
  if (!IsUsableDatabaseKind(Context.SelectedIdentity().Kind)) return;
  const std::string database = Context.SelectedDatabaseNode();
  if (database.empty() || !Context.EnsureConnected()) return;
  auto dialog = std::make_unique<TBackupDlg>(Context, QString::fromStdString(database),
                                             QString::fromStdString(DefaultBackupFile(Context, database)));
  if (DialogSeam::Current().ExecDialog(dialog.get()) != QDialog::Accepted) return;
  const std::string file = dialog->FileEdit->text().trimmed().toStdString();
  const bool init = dialog->InitCheck->isChecked();
  const std::string description = dialog->DescriptionEdit->text().toStdString();
  dialog.reset();
  BackupDatabase(Context, database, file, init, description);
}

bool OfferBackupBeforeRepair(TCommandContext& Context, const std::string& Database) {
  if (Database.empty()) return true;
  const int answer = ShowMessage(
      Context.DialogParent(),
      QStringLiteral("Naprawa na poziomie Full może usunąć część danych bazy \"%1\". "
                     "Czy przed naprawą wykonać jej kopię zapasową?")
          .arg(QString::fromStdString(Database)),
      QStringLiteral("Naprawa bazy danych"), MsgIcon::Question, mbYes | mbNo | mbCancel);
  if (answer == mbNo) return true;
  if (answer != mbYes) return false;
  // A repair that may lose data goes on only with the backup made.
  return BackupDatabase(Context, Database, DefaultBackupFile(Context, Database), false,
                        "Kopia przed naprawą Full");
}

}  // namespace vandrel::app::admin
