#include "app/admin/CheckRepair.h"

#include <algorithm>

#include "app/DialogSeam.h"
#include "app/SqlQuoting.h"
#include "app/admin/Backup.h"
#include "app/admin/CheckSummary.h"
#include "app/admin/CommandReport.h"
#include "app/admin/Maintenance.h"

namespace vandrel::app::admin {
namespace {

const QString kCheckCaption = QStringLiteral("Sprawdzanie spójności bazy");
const QString kRepairCaption = QStringLiteral("Naprawa bazy danych");

std::string CheckStatement(const std::string& Name) { return "DBCC CHECKDB (" + UnicodeLiteral(Name); }

// The check of Name, or its repair at Level, in the current database, keeping every message
// of the server for the account.
TMaintenanceResult RunCheck(TCommandContext& C, const std::string& Name, const char* Level = nullptr) {
  TMaintenance work;
  work.Database.clear();
  work.ProbesFirst = Level == nullptr;  // a repair follows its switch to single-user at once
  work.Statements = {CheckStatement(Name) + (Level ? std::string(",") + Level : std::string()) + ")"};
  work.KeepsReport = true;
  work.RunsLong = true;
  return RunMaintenance(C, work);
}

// A check's or repair's whole text: the error report when the statement failed, else the
// server's messages.
QString FullText(const TStatementMessages& Messages) {
  return Messages.Report.empty() ? MessagesText(Messages.Records) : QString::fromStdString(Messages.Report);
}

// The server's refusal of a login that may not alter the database (5011): nothing was changed.
bool RefusedForLackOfRights(const std::vector<TDriverRecord>& Records) {
  return std::any_of(Records.begin(), Records.end(), [](const TDriverRecord& r) { return r.NativeError == 5011; });
}

QString NoRightsText(TCommandContext& C, const std::string& Name) {
  const std::string login = LoginName(C);
  return QStringLiteral("Baza \"%1\" nie została naprawiona: %2 nie ma uprawnień do zmiany tej bazy (potrzebna jest "
                        "rola sysadmin albo prawa właściciela bazy). Baza nie została zmieniona.")
      .arg(QString::fromStdString(Name),
           login.empty() ? QStringLiteral("login tego połączenia") : QStringLiteral("login \"%1\"").arg(QString::fromStdString(login)));
}

// The database back to multi-user on a connection that stands: the one the repair used may
// have broken under it. False when even that failed; the user is then told how to end it.
bool BackToMultiUser(TCommandContext& C, const std::string& Name) {
  if (C.EnsureConnected() && C.UseDatabase("master") == TStepOutcome::soDone &&
      C.RunStep("ALTER DATABASE " + QuoteIdentifier(Name) + " SET MULTI_USER") == TStepOutcome::soDone)
    return true;
  ShowMessage(C.DialogParent(),
              QStringLiteral("Baza \"%1\" pozostaje w trybie \"Single User\". Aby go wyłączyć, wybierz bazę w drzewie i "
                             "użyj polecenia \"Wyłącz tryb \"Single User\"\" w menu \"Narzędzia\" albo wykonaj na serwerze: "
                             "ALTER DATABASE %2 SET MULTI_USER")
                  .arg(QString::fromStdString(Name), QString::fromStdString(QuoteIdentifier(Name))),
              kRepairCaption, MsgIcon::Error);
  return false;
}

// After a repair statement that raised or was stopped: the server reports each error it
// repaired as an error of the statement, so only a check afterwards tells the outcome.
bool ReportAfterRepair(TCommandContext& C, const std::string& Name, const TStatementMessages& Repair) {
  const QString fixed = RepairFixedText(ReadCheckFindings(Repair.Records));
  const TMaintenanceResult after = RunCheck(C, Name);
  const TStepOutcome outcome = after.Outcome;
  const TStatementMessages& check = after.Messages;
  const TCheckFindings left = ReadCheckFindings(check.Records);
  if (outcome == TStepOutcome::soDone) {
    QString summary = QStringLiteral("Baza danych została naprawiona");
    if (!fixed.isEmpty()) summary += "\n" + fixed;
    // The errors it raised are what it repaired: the server's account, not an error report.
    ShowReport(C.DialogParent(), summary, RepairAccountText(Repair.Records), kRepairCaption, MsgIcon::Information);
    return true;
  }
  QString summary = QStringLiteral("Baza \"%1\" nadal zawiera błędy.").arg(QString::fromStdString(Name));
  if (!fixed.isEmpty()) summary += "\n" + fixed;
  if (left.IsCheck())
    summary += "\n" + CheckSummaryText(left);
  else
    summary += QStringLiteral("\nNie udało się jej sprawdzić po naprawie.");
  ShowReport(C.DialogParent(), summary, FullText(check.Report.empty() && !left.IsCheck() ? Repair : check),
             kRepairCaption, MsgIcon::Warning);
  return false;
}

}  // namespace

TRepairResult RepairDatabase(TCommandContext& C, const std::string& Name, const char* Level, const QString& Question,
                             const std::string& Guarded) {
  const std::string name = QuoteIdentifier(Name);
  TMaintenance single;
  single.Caption = kRepairCaption;
  single.Question = Question;
  single.GuardedDatabase = Guarded;
  single.Statements = {"ALTER DATABASE " + name + " SET SINGLE_USER"};
  single.KeepsReport = true;
  single.ReadsBackAfterStop = true;
  const TMaintenanceResult entered = RunMaintenance(C, single);
  if (!entered.Run) return TRepairResult::rrNotRun;  // "Nie", or the guard said why not
  TStepOutcome outcome = entered.Outcome;
  if (outcome == TStepOutcome::soFailed && RefusedForLackOfRights(entered.Messages.Records)) {
    // Refused before anything changed: there is no single-user mode to leave.
    ShowReport(C.DialogParent(), NoRightsText(C, Name), MessagesText(entered.Messages.Records), kRepairCaption,
               MsgIcon::Warning);
    return TRepairResult::rrNotRun;
  }
  if (!entered.Messages.Report.empty()) C.ShowErrorReport(entered.Messages.Report);
  TStopReadBack readBack(C);
  if (outcome != TStepOutcome::soDone) {
    // Only a switch that was sent may have left the database in single-user mode.
    if (entered.Started > 0) BackToMultiUser(C, Name);
    if (outcome == TStepOutcome::soStopped)
      ShowMessage(C.DialogParent(),
                  QStringLiteral("Naprawa została przerwana, zanim się rozpoczęła; baza \"%1\" nie była naprawiana.")
                      .arg(QString::fromStdString(Name)),
                  kRepairCaption, MsgIcon::Information);
    return TRepairResult::rrNotRun;
  }
  const TMaintenanceResult repaired = RunCheck(C, Name, Level);
  const TStatementMessages& repair = repaired.Messages;
  outcome = repaired.Outcome;
  // A repair the server refused outright (not single-user, no such database) is its error
  // report; the errors it found and repaired are told after the check below.
  if (outcome == TStepOutcome::soFailed && !repair.Report.empty() && !ReadCheckFindings(repair.Records).IsCheck())
    C.ShowErrorReport(repair.Report);
  if (outcome == TStepOutcome::soDone) outcome = C.RunStep("ALTER DATABASE " + name + " SET MULTI_USER");
  if (outcome == TStepOutcome::soDone) return TRepairResult::rrRepaired;
  // Never leave the database in single-user mode after a failed or stopped repair.
  if (!BackToMultiUser(C, Name)) return TRepairResult::rrNotRun;
  return ReportAfterRepair(C, Name, repair) ? TRepairResult::rrRepairedAfterAll : TRepairResult::rrNotRun;
}

void CheckCommand(TCommandContext& C) {
  TCheckRunning running(C);
  const std::string name = C.SelectedDatabaseNode();
  const TMaintenanceResult checked = RunCheck(C, name);
  const TStepOutcome outcome = checked.Outcome;
  const TStatementMessages& check = checked.Messages;
  const TCheckFindings found = ReadCheckFindings(check.Records);
  if (outcome == TStepOutcome::soDone && !(found.Counted && !found.Clean())) {
    ShowReport(C.DialogParent(), QStringLiteral("Baza danych nie zawiera błędów"), FullText(check), kCheckCaption,
               MsgIcon::Information);
  } else if (found.IsCheck()) {
    ShowReport(C.DialogParent(), CheckSummaryText(found), FullText(check), kCheckCaption, MsgIcon::Warning);
  } else if (!check.Report.empty()) {
    C.ShowErrorReport(check.Report);  // the check itself failed (no such database, no right to it)
  } else if (outcome == TStepOutcome::soStopped && checked.Started == 0) {
    // Stopped while connecting: the stop of the check itself has been reported as such.
    ShowMessage(C.DialogParent(),
                QStringLiteral("Sprawdzanie zostało przerwane, zanim się rozpoczęło; baza \"%1\" nie była sprawdzana.")
                    .arg(QString::fromStdString(name)),
                kCheckCaption, MsgIcon::Information);
  }
}

void RepairCommand(TCommandContext& C, const char* Level, bool Ask) {
  TCheckRunning running(C);
  const std::string guarded = C.SelectedDatabase();
  const QString question =
      Ask ? QStringLiteral("Czy wykonać \"%1\" bazy \"%2\"? Na czas naprawy baza zostanie ustawiona w tryb "
                           "\"Single User\" i programy nie będą mogły z niej korzystać.")
                .arg(RepairCommandFor(Level), QString::fromStdString(guarded))
          : QString();
  if (RepairDatabase(C, C.SelectedDatabaseNode(), Level, question, guarded) == TRepairResult::rrRepaired)
    ShowMessage(C.DialogParent(), QStringLiteral("Baza danych została naprawiona"), kRepairCaption, MsgIcon::Information);
}

void Sprawdspjnobazy1Click(TCommandContext& C) { CheckCommand(C); }
void NaprawaFast1Click(TCommandContext& C) { RepairCommand(C, "REPAIR_FAST", true); }
void NaprawaRebuild1Click(TCommandContext& C) { RepairCommand(C, "REPAIR_REBUILD", true); }
// The offer of a backup is its question: "Anuluj" there sends nothing.
void NaprawaFull1Click(TCommandContext& C) {
  if (OfferBackupBeforeRepair(C, C.SelectedDatabaseNode())) RepairCommand(C, "REPAIR_ALLOW_DATA_LOSS", false);
}

}  // namespace vandrel::app::admin
