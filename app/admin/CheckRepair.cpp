#include "app/admin/CheckRepair.h"

#include <QRegularExpression>

#include "app/DialogSeam.h"
#include "app/MainWindow.h"
#include "app/ProcessFlags.h"
#include "app/SqlQuoting.h"
#include "app/admin/Backup.h"
#include "app/admin/CommandReport.h"
#include "app/admin/InUseGuard.h"
#include "app/admin/RunStatement.h"
#include "foundation/MacError.h"

namespace vandrel::app::admin {
namespace {

const QString kRepairCaption = QStringLiteral("Naprawa bazy danych");

std::string CheckStatement(const std::string& Name) { return "DBCC CHECKDB (" + UnicodeLiteral(Name); }

// The server's messages about what is wrong, from the records of a failed statement: its
// errors and the minimum repair level, without its informational lines.
std::string ServerText(const Exception& E) {
  const auto* em = dynamic_cast<const EMException*>(&E);
  std::string all = em ? std::string() : E.Message;
  for (int i = 0; em && i < em->GetTopicCount(); ++i) all += em->GetTopics(i)->GetDescription() + "\n";
  const std::string server = "[SQL Server]";
  std::string text;
  size_t from = 0;
  while (from < all.size()) {
    size_t end = all.find('\n', from);
    if (end == std::string::npos) end = all.size();
    const std::string line = all.substr(from, end - from);
    const size_t at = line.find(server);
    if (at != std::string::npos && (line.rfind("[01000]", 0) != 0 || line.find("minimum repair level") != std::string::npos))
      text += line.substr(at + server.size()) + "\n";
    from = end + 1;
  }
  return text;
}

// DBCC CHECKDB of Name without the error report: true when clean, else Left holds what the
// server found.
bool QuietCheck(TForm1& Form, const std::string& Name, std::string& Left) {
  if (!Form.EnsureConnected()) {
    Left = "brak połączenia z serwerem";
    return false;
  }
  QuietErrors = true;
  try {
    RunStatement(Form, CheckStatement(Name) + ")");
    QuietErrors = false;
    return true;
  } catch (const Exception& e) {
    Left = ServerText(e);
  } catch (...) {
  }
  QuietErrors = false;
  Form.KMQuery1->Close();
  return false;
}

// "REPAIR_ALLOW_DATA_LOSS is the minimum repair level ...": the level named, or empty.
QString MinimumRepairLevel(const std::string& Text) {
  static const QRegularExpression level(QStringLiteral("(\\w+) is the minimum repair level"));
  const QRegularExpressionMatch m = level.match(QString::fromStdString(Text));
  return m.hasMatch() ? m.captured(1).toUpper() : QString();
}

// The database back to multi-user on a connection that stands: the one the repair used may
// have broken under it. False when even that failed; the user is then told how to end it.
bool BackToMultiUser(TForm1& Form, const std::string& Name) {
  if (Form.EnsureConnected() && Form.RunStep("use master") == TStepOutcome::soDone &&
      Form.RunStep("ALTER DATABASE " + QuoteIdentifier(Name) + " SET MULTI_USER") == TStepOutcome::soDone)
    return true;
  ShowMessage(&Form,
              QStringLiteral("Baza \"%1\" pozostaje w trybie \"Single User\". Aby go wyłączyć, wybierz bazę w drzewie i "
                             "użyj polecenia \"Wyłącz tryb \"Single User\"\" w menu \"Narzędzia\" albo wykonaj na serwerze: "
                             "ALTER DATABASE %2 SET MULTI_USER")
                  .arg(QString::fromStdString(Name), QString::fromStdString(QuoteIdentifier(Name))),
              kRepairCaption, MsgIcon::Error);
  return false;
}

// After a repair statement that raised or was stopped: the server reports each error it
// repaired as an error of the statement, so only a check afterwards tells the outcome.
bool ReportAfterRepair(TForm1& Form, const std::string& Name) {
  std::string left;
  if (QuietCheck(Form, Name, left)) {
    ShowMessage(&Form, QStringLiteral("Baza danych została naprawiona"), kRepairCaption, MsgIcon::Information);
    return true;
  }
  QString text = QStringLiteral("Baza \"%1\" nadal zawiera błędy.").arg(QString::fromStdString(Name));
  const QString level = MinimumRepairLevel(left);
  if (!level.isEmpty()) text += QStringLiteral(" Minimalny poziom naprawy według serwera: %1.").arg(level);
  ShowMessage(&Form, text + "\r\n\r\n" + QString::fromStdString(left).trimmed(), kRepairCaption, MsgIcon::Warning);
  return false;
}

}  // namespace

bool CheckDatabase(TForm1& Form, const std::string& Name) {
  Form.EnsureConnected();
  return Form.RunStep(CheckStatement(Name) + ")") == TStepOutcome::soDone;
}

TRepairResult RepairDatabase(TForm1& Form, const std::string& Name, const char* Level) {
  const std::string name = QuoteIdentifier(Name);
  Form.EnsureConnected();
  TStopReadBack readBack(Form);
  TStepOutcome outcome = Form.RunStep("use master");
  if (outcome == TStepOutcome::soDone) outcome = Form.RunStep("ALTER DATABASE " + name + " SET SINGLE_USER");
  if (outcome != TStepOutcome::soDone) {
    BackToMultiUser(Form, Name);
    if (outcome == TStepOutcome::soStopped)
      ShowMessage(&Form, QStringLiteral("Naprawa została przerwana, zanim się rozpoczęła; baza \"%1\" nie była naprawiana.")
                             .arg(QString::fromStdString(Name)), kRepairCaption, MsgIcon::Information);
    return TRepairResult::rrNotRun;
  }
  outcome = Form.RunStep(CheckStatement(Name) + "," + Level + ")");
  if (outcome == TStepOutcome::soDone) outcome = Form.RunStep("ALTER DATABASE " + name + " SET MULTI_USER");
  if (outcome == TStepOutcome::soDone) return TRepairResult::rrRepaired;
  // Never leave the database in single-user mode after a failed or stopped repair.
  if (!BackToMultiUser(Form, Name)) return TRepairResult::rrNotRun;
  return ReportAfterRepair(Form, Name) ? TRepairResult::rrRepairedAfterAll : TRepairResult::rrNotRun;
}

void CheckCommand(TForm1& Form) {
  Form.DisableDatabaseCommands();
  if (CheckDatabase(Form, Form.SelectedDatabaseNode()))
    ShowMessage(&Form, QStringLiteral("Baza danych nie zawiera błędów"), QStringLiteral("Sprawdzanie spójności bazy"),
                MsgIcon::Information);
  Form.EnableCommandsForSelection();
}

void RepairCommand(TForm1& Form, const char* Level) {
  Form.DisableDatabaseCommands();
  if (!DatabaseInUse(Form, Form.SelectedDatabase()) &&
      RepairDatabase(Form, Form.SelectedDatabaseNode(), Level) == TRepairResult::rrRepaired)
    ShowMessage(&Form, QStringLiteral("Baza danych została naprawiona"), kRepairCaption, MsgIcon::Information);
  Form.EnableCommandsForSelection();
}

}  // namespace vandrel::app::admin

namespace vandrel::app {

void TForm1::Sprawdspjnobazy1Click() { admin::CheckCommand(*this); }
void TForm1::NaprawaFast1Click() { admin::RepairCommand(*this, "REPAIR_FAST"); }
void TForm1::NaprawaRebuild1Click() { admin::RepairCommand(*this, "REPAIR_REBUILD"); }
void TForm1::NaprawaFull1Click() {
  if (admin::OfferBackupBeforeRepair(*this, SelectedDatabaseNode())) admin::RepairCommand(*this, "REPAIR_ALLOW_DATA_LOSS");
}

}  // namespace vandrel::app
