#include "app/admin/Shrink.h"

#include "app/DialogSeam.h"
#include "app/SqlQuoting.h"
#include "app/admin/Maintenance.h"
#include "platform/base/RegionalSettings.h"

namespace vandrel::app::admin {
namespace {

const QString kShrinkCaption = QStringLiteral("Zmniejszanie bazy");

// The size of Database's files in megabytes as the user writes decimals ("13,75 MB"); empty
// when it could not be read.
QString FilesSize(TCommandContext& Context, const std::string& Database) {
  const TStepValue pages = Context.QueryScalar("select sum(size) from sysfiles", Database);
  if (!pages.Done() || pages.Value.empty()) return {};
  QString shown = QString::number(std::stod(pages.Value) * 8.0 / 1024.0, 'f', 2);
  shown.replace('.', QChar(platform::RegionalSettings().DecimalSeparator));
  return shown + " MB";
}

}  // namespace

void ShrinkDatabaseCommand(TCommandContext& Context) {
  const std::string database = Context.SelectedDatabaseNode();
  if (database.empty()) return;
  const QString name = QString::fromStdString(database);
  TMaintenance work;
  work.Caption = kShrinkCaption;
  work.Question = QStringLiteral("Czy zmniejszyć bazę \"%1\"? Wolne miejsce w jej plikach zostanie oddane na dysk; "
                                 "może to potrwać dłuższą chwilę.")
                      .arg(name);
  work.Statements = {"DBCC SHRINKDATABASE (" + UnicodeLiteral(database) + ")"};
  work.WaitCaption = "Zmniejszanie bazy \"" + database + "\"";
  work.RunsLong = true;
  work.ReadsBackAfterStop = true;
  QString before;
  work.BeforeStatements = [&] { before = FilesSize(Context, database); };
  const TMaintenanceResult result = RunMaintenance(Context, work);
  if (!result.Run || result.Outcome == TStepOutcome::soFailed) return;
  const QString after = FilesSize(Context, database);
  if (result.Outcome == TStepOutcome::soStopped)
    ShowMessage(Context.DialogParent(),
                QStringLiteral("Zmniejszanie bazy \"%1\" zostało przerwane; jej pliki zajmują teraz %2.").arg(name, after),
                kShrinkCaption, MsgIcon::Information);
  else
    ShowMessage(Context.DialogParent(),
                QStringLiteral("Baza \"%1\" została zmniejszona: jej pliki zajmowały %2, teraz zajmują %3.")
                    .arg(name, before, after),
                kShrinkCaption, MsgIcon::Information);
  Context.ShowDatabaseDetails();
}

}  // namespace vandrel::app::admin
