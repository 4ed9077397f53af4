#include "app/admin/Restore.h"

#include <QLineEdit>
#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <strings.h>

#include "app/DialogSeam.h"
#include "app/ServerPaths.h"
#include "app/QtText.h"
#include "app/SqlQuoting.h"
#include "app/admin/AttachDetach.h"
#include "app/admin/DatabaseFiles.h"
#include "app/admin/InUseGuard.h"
#include "app/admin/LongStatement.h"
#include "app/admin/Maintenance.h"
#include "app/admin/RestoreDlg.h"
#include "app/admin/ServerFileDlg.h"
#include "data/Field.h"
#include "data/Query.h"

namespace vandrel::app::admin {
namespace {

const QString kRestoreCaption = QStringLiteral("Odtwarzanie bazy z kopii");


std::string FromDisk(const std::string& File) { return " FROM DISK = " + UnicodeLiteral(File); }

// Opens Query in master and hands each row to Row; false when it failed (already reported).
bool WalkInMaster(TCommandContext& Context, const std::string& Query, const std::function<void(TKMQuery&)>& Row) {
  if (!Context.EnsureConnected()) return false;
  TKMQuery& query = Context.MainQuery();
  bool ok = true;
  try {
    // RESTORE HEADERONLY describes every backup with two uniqueidentifier columns.
    query.SetGuidsAsText(true);
    OpenInMaster(Context, Query);
    for (; !query.GetEof(); query.Next()) Row(query);
  } catch (...) {
    ok = false;
  }
  query.SetGuidsAsText(false);
  Context.ResetMainQuery();
  return ok;
}

std::string Text(TKMQuery& Query, const char* Column) {
  TMField* field = Query.FindField(Column);
  return field && !field->GetIsNull() ? field->GetAsString() : std::string();
}

// Statement in master under the waiting window, which names it Caption; the in-use guard on
// Guarded first, when given.
TMaintenanceResult RunLong(TCommandContext& Context, const std::string& Statement, const std::string& Caption,
                           const std::string& Guarded = {}) {
  TMaintenance work;
  work.GuardedDatabase = Guarded;
  work.Statements = {Statement};
  work.WaitCaption = Caption;
  work.RunsLong = true;
  return RunMaintenance(Context, work);
}

// The server's account of the pages and time, as a sentence of its own (or nothing).
QString Account(const std::vector<TDriverRecord>& Messages) {
  const QString account = ProcessedText(Messages);
  return account.isEmpty() ? QString() : QStringLiteral("\r\nOdtworzono ") + account + ".";
}

bool SameFileName(const std::string& A, const std::string& B) { return strcasecmp(A.c_str(), B.c_str()) == 0; }

}  // namespace

bool ListBackupSets(TCommandContext& Context, const std::string& File, std::vector<TBackupSet>& Sets) {
  Sets.clear();
  return WalkInMaster(Context, "RESTORE HEADERONLY" + FromDisk(File), [&Sets](TKMQuery& q) {
    TBackupSet set;
    set.Position = std::atoi(Text(q, "Position").c_str());
    set.Name = Text(q, "BackupName");
    set.Description = Text(q, "BackupDescription");
    set.Database = Text(q, "DatabaseName");
    set.Finished = Text(q, "BackupFinishDate");
    set.Size = Text(q, "BackupSize");
    Sets.push_back(set);
  });
}

bool ListBackupFiles(TCommandContext& Context, const std::string& File, int Position, std::vector<TBackupFile>& Files) {
  Files.clear();
  return WalkInMaster(Context, "RESTORE FILELISTONLY" + FromDisk(File) + " WITH FILE = " + std::to_string(Position),
                      [&Files](TKMQuery& q) {
                        Files.push_back({Text(q, "LogicalName"), Text(q, "PhysicalName"), Text(q, "Type") == "L"});
                      });
}

bool VerifyBackup(TCommandContext& Context, const std::string& File, int Position) {
  if (!RunLong(Context, "RESTORE VERIFYONLY" + FromDisk(File) + " WITH FILE = " + std::to_string(Position),
               "Sprawdzanie kopii zapasowej w pliku " + File)
           .AllDone())
    return false;
  ShowMessage(Context.DialogParent(), QStringLiteral("Kopia zapasowa nr %1 w pliku %2 jest poprawna.").arg(Position).arg(Q(File)),
              QStringLiteral("Sprawdzanie kopii zapasowej"), MsgIcon::Information);
  return true;
}

std::vector<std::string> MovedFileNames(const std::string& DataDirectory, const std::string& Source,
                                        const std::string& NewName, const std::vector<TBackupFile>& Files) {
  std::vector<std::string> names;
  for (const TBackupFile& f : Files) {
    const size_t slash = f.Physical.find_last_of("\\/");
    const std::string leaf = slash == std::string::npos ? f.Physical : f.Physical.substr(slash + 1);
    const bool named = !Source.empty() && leaf.size() >= Source.size() &&
                       SameFileName(leaf.substr(0, Source.size()), Source);
    names.push_back(PathInDirectory(DataDirectory, named ? NewName + leaf.substr(Source.size())
                                                         : NewName + "_" + leaf));
  }
  return names;
}

QHash<QString, QString> BackupDates(TCommandContext& Context) {
  std::map<std::string, std::string> files;  // media set -> file
  WalkInMaster(Context, "select media_set_id, physical_device_name from msdb..backupmediafamily", [&files](TKMQuery& q) {
    files[Text(q, "media_set_id")] = Text(q, "physical_device_name");
  });
  std::map<std::string, std::pair<TDateTime, std::string>> newest;  // file -> its newest backup
  WalkInMaster(Context, "select media_set_id, backup_finish_date from msdb..backupset", [&](TKMQuery& q) {
    const auto file = files.find(Text(q, "media_set_id"));
    TMField* finished = q.FindField("backup_finish_date");
    if (file == files.end() || !finished || finished->GetIsNull()) return;
    auto& [when, text] = newest[file->second];
    if (text.empty() || finished->GetAsDateTime() > when) {
      when = finished->GetAsDateTime();
      text = finished->GetAsString();
    }
  });
  QHash<QString, QString> dates;
  for (const auto& [file, date] : newest) dates.insert(Q(file).toLower(), Q(date.second));
  return dates;
}

namespace {

// The tree rebuilt with the restored database chosen: the tree and the list show the same
// database, as the server now has it.
void ShowRestored(TCommandContext& Context, const std::string& Database) {
  Context.RefreshTree();
  Context.SelectDatabaseNode(Database);
}

}  // namespace

bool ConfirmRestoreOver(QWidget* Parent, const TBackupSet& Set) {
  const QString question =
      QStringLiteral("Zawartość bazy \"%1\" zostanie zastąpiona kopią zapasową z dnia %2. Zmiany wprowadzone "
                     "w bazie od tamtej chwili zostaną utracone.\r\nCzy odtworzyć bazę?")
          .arg(Q(Set.Database), Q(Set.Finished));
  return ShowMessage(Parent, question, kRestoreCaption, MsgIcon::Question, mbYes | mbNo) == mbYes;
}

bool RestoreOver(TCommandContext& Context, const std::string& File, const TBackupSet& Set) {
  const TMaintenanceResult result =
      RunLong(Context,
              "RESTORE DATABASE " + QuoteIdentifier(Set.Database) + FromDisk(File) + " WITH FILE = " +
                  std::to_string(Set.Position) + ", REPLACE, STATS = 10",
              "Odtwarzanie bazy \"" + Set.Database + "\"", Set.Database);
  if (!result.Run) return false;
  const bool restored = result.AllDone();
  if (restored)
    ShowMessage(Context.DialogParent(),
                QStringLiteral("Baza \"%1\" została odtworzona z kopii zapasowej z dnia %2.").arg(Q(Set.Database),
                                                                                                Q(Set.Finished)) +
                    Account(result.Messages.Records),
                kRestoreCaption, MsgIcon::Information);
  ShowRestored(Context, Set.Database);
  return restored;
}

bool RestoreAsNew(TCommandContext& Context, const std::string& File, const TBackupSet& Set, const std::string& NewName) {
  if (NewName.empty()) {
    ShowMessage(Context.DialogParent(), QStringLiteral("Nie podano nazwy bazy"), kRestoreCaption, MsgIcon::Error);
    return false;
  }
  // The new name becomes the names of the database's files in the data directory.
  if (const std::string problem = FileNameProblem(NewName); !problem.empty()) {
    ShowMessage(Context.DialogParent(), Q(problem), kRestoreCaption, MsgIcon::Error);
    return false;
  }
  if (!DatabaseIdentifier(Context, NewName).empty()) {
    ShowMessage(Context.DialogParent(), QStringLiteral("Baza \"%1\" już istnieje na serwerze. Podaj inną nazwę.").arg(Q(NewName)),
                kRestoreCaption, MsgIcon::Error);
    return false;
  }
  std::vector<TBackupFile> files;
  if (!ListBackupFiles(Context, File, Set.Position, files) || files.empty()) return false;
  const std::vector<std::string> moved = MovedFileNames(ServerDataDirectory(Context), Set.Database, NewName, files);
  // A restore under a new name never overwrites a file already on the server's disk.
  for (const std::string& path : moved) {
    if (!ServerFileExists(Context, Q(path))) continue;
    ShowMessage(Context.DialogParent(),
                QStringLiteral("Plik \"%1\" już istnieje na dysku serwera. Podaj inną nazwę bazy.").arg(Q(path)),
                kRestoreCaption, MsgIcon::Error);
    return false;
  }
  std::string statement = "RESTORE DATABASE " + QuoteIdentifier(NewName) + FromDisk(File) +
                          " WITH FILE = " + std::to_string(Set.Position);
  for (size_t i = 0; i < files.size(); ++i)
    statement += ", MOVE " + UnicodeLiteral(files[i].Logical) + " TO " + UnicodeLiteral(moved[i]);
  const TMaintenanceResult result = RunLong(Context, statement + ", STATS = 10", "Odtwarzanie bazy \"" + NewName + "\"");
  if (!result.AllDone()) return false;
  ShowMessage(Context.DialogParent(),
              QStringLiteral("Kopia bazy \"%1\" z dnia %2 została odtworzona jako baza \"%3\".")
                      .arg(Q(Set.Database), Q(Set.Finished), Q(NewName)) +
                  Account(result.Messages.Records),
              kRestoreCaption, MsgIcon::Information);
  const QString offer = QStringLiteral("Czy przygotować bazę \"%1\" dla programu Tovinex (login, użytkownik bazy "
                                       "i wpisy w rejestrze), tak jak po podłączeniu bazy?")
                            .arg(Q(NewName));
  if (ShowMessage(Context.DialogParent(), offer, kRestoreCaption, MsgIcon::Question, mbYes | mbNo) == mbYes) {
    try {
      const TSetUpResult setUp = PostAttachSetUp(Context, NewName, false);
      if (setUp.Outcome != TStepOutcome::soDone)
        ShowMessage(Context.DialogParent(),
                    QStringLiteral("Baza \"%1\" nie została przygotowana dla programu Tovinex: %2")
                        .arg(Q(NewName), Q(SetUpFailureText(setUp))),
                    kRestoreCaption, MsgIcon::Warning);
      // As after an attach: the tool's connection leaves the new database.
      Context.ResetMainQuery();
      Context.MainQuery().GetSQL().Add("use master");
      Context.MainQuery().ExecSQL();
    } catch (...) {
      // The error report has shown what failed; the restored database stands either way.
    }
    Context.ResetMainQuery();
  }
  ShowRestored(Context, NewName);
  return true;
}

namespace {

// Runs the restore dialog, set up by Prepare, and the restore chosen there.
void RunRestoreDialog(TCommandContext& Context, const std::function<void(TRestoreDlg&)>& Prepare) {
  if (!Context.EnsureConnected()) return;
  auto dialog = std::make_unique<TRestoreDlg>(Context);
  Prepare(*dialog);
  if (DialogSeam::Current().ExecDialog(dialog.get()) != QDialog::Accepted) return;
  const TBackupSet* set = dialog->SelectedSet();
  if (!set) return;
  const TBackupSet chosen = *set;
  const std::string file = dialog->LoadedFile();
  const bool asNew = dialog->AsNew();
  const std::string name = dialog->NewName();
  dialog.reset();
  if (asNew) RestoreAsNew(Context, file, chosen, name);
  else RestoreOver(Context, file, chosen);
}

}  // namespace

void RestoreCommand(TCommandContext& Context) {
  RunRestoreDialog(Context, [&Context](TRestoreDlg& Dialog) {
    // The file row starts in the server's backup directory, where the backups are made.
    Dialog.FileEdit->setText(Q(PathInDirectory(ServerBackupDirectory(Context), "")));
  });
}

void RestoreFromFile(TCommandContext& Context, const std::string& File, int Position) {
  RunRestoreDialog(Context, [&](TRestoreDlg& Dialog) {
    Dialog.LoadFile(Q(File));
    Dialog.ChoosePosition(Position);
  });
}

}  // namespace vandrel::app::admin
