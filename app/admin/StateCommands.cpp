#include "app/admin/StateCommands.h"

#include <string>

#include "app/DialogSeam.h"
#include "app/SqlQuoting.h"
#include "app/admin/CommandReport.h"
#include "app/admin/Maintenance.h"

namespace vandrel::app::admin {
namespace {

struct StateCommand {
  const char* Suffix;
  const char* Before;  // the message is Before + name + After
  const char* After;
  const char* Caption;
  const char* Property;  // what the server reports after the statement, and the value it aims at
  const char* Reached;
  const char* Question;  // asked first, naming the database (Before + name + After), or null
};

const StateCommand& CommandOf(DatabaseState State) {
  static const StateCommand kCommands[] = {
      {" SET SINGLE_USER", "Baza \"", "\" została ustawiona w tryb \"Single User\"",
       "Ustawianie trybu: \"Single User\"", "UserAccess", "SINGLE_USER",
       "\"? Tylko jedno połączenie będzie mogło z niej korzystać."},
      {" SET MULTI_USER", "Tryb \"Single User\" został wyłączony dla bazy \"", "\"",
       "Ustawianie trybu: \"Single User\"", "UserAccess", "MULTI_USER", nullptr},
      {" SET OFFLINE", "Baza \"", "\" została wyłączona", "Ustawianie trybu Offline", "Status",
       "OFFLINE", "\"? Programy nie będą mogły z niej korzystać, dopóki nie zostanie włączona."},
      {" SET ONLINE", "Baza \"", "\" została włączona", "Ustawianie trybu Offline", "Status",
       "ONLINE", nullptr},
      {" SET READ_ONLY", "Baza \"", "\" została przestawiona w tryb tylko do odczytu",
       "Ustawianie trybu bazy tylko do odczytu", "Updateability", "READ_ONLY",
       "\"? Programy nie będą mogły zapisywać w niej danych, dopóki ten tryb nie zostanie wyłączony."},
      {" SET READ_WRITE ", "Wyłączono tryb tylko do odczytu dla bazy:\"", "\"",
       "Ustawianie trybu bazy tylko do odczytu", "Updateability", "READ_WRITE",
       nullptr},
  };
  return kCommands[static_cast<int>(State)];
}

// After the statement was carried out or stopped: what the server reports decides the message.
// A stopped statement that took effect is reported as done; one that did not, as stopped; a
// statement the server took without reaching the state (a suspect database stays suspect)
// says the state the server reports.
void ReportState(TCommandContext& Context, const StateCommand& Command, const std::string& Name, TStepOutcome Outcome) {
  const std::string state = DatabaseProperty(Context, Name, Command.Property);
  const QString name = QString::fromStdString(Name), shown = QString::fromStdString(state);
  const QString caption = QString::fromUtf8(Command.Caption);
  if (state == Command.Reached)
    ShowMessage(Context.DialogParent(), QString::fromUtf8(Command.Before) + name + QString::fromUtf8(Command.After), caption,
                MsgIcon::Information);
  else if (Outcome == TStepOutcome::soStopped && state.empty())
    // The server could not be asked (the stop cost the connection): its side is unknown.
    ShowMessage(Context.DialogParent(), QStringLiteral("Polecenie zostało przerwane; nie wiadomo, czy baza \"%1\" została zmieniona.").arg(name),
                caption, MsgIcon::Warning);
  else if (Outcome == TStepOutcome::soStopped)
    ShowMessage(Context.DialogParent(), QStringLiteral("Polecenie zostało przerwane; baza \"%1\" nie została zmieniona (stan: %2)").arg(name, shown),
                caption, MsgIcon::Information);
  else
    ShowMessage(Context.DialogParent(), QStringLiteral("Serwer wykonał polecenie, ale baza \"%1\" jest w stanie %2").arg(name, shown),
                caption, MsgIcon::Warning);
}

}  // namespace

QString StateQuestion(DatabaseState State, const QString& Name) {
  const QString verb = State == DatabaseState::Offline    ? QStringLiteral("Czy wyłączyć bazę \"")
                       : State == DatabaseState::ReadOnly ? QStringLiteral("Czy ustawić w tryb tylko do odczytu bazę \"")
                                                          : QStringLiteral("Czy ustawić w tryb \"Single User\" bazę \"");
  return verb + Name + QString::fromUtf8(CommandOf(State).Question);
}

void ChangeDatabaseState(TCommandContext& Context, DatabaseState State) {
  const StateCommand& command = CommandOf(State);
  const bool userAccess = State == DatabaseState::SingleUser || State == DatabaseState::MultiUser;
  const std::string name = userAccess && !Context.EnsureConnected() ? std::string() : Context.SelectedDatabase();
  if (!name.empty() && State == DatabaseState::Online && DatabaseProperty(Context, name, "Status") == "ONLINE") {
    // Nothing to bring back (a database once looked stopped while another connection held it
    // to itself): no holder is disconnected for a statement that changes nothing.
    ShowMessage(Context.DialogParent(), QStringLiteral("Baza \"%1\" jest już włączona").arg(QString::fromStdString(name)),
                QString::fromUtf8(command.Caption), MsgIcon::Information);
  } else if (!name.empty()) {
    TMaintenance work;
    work.Caption = QString::fromUtf8(command.Caption);
    if (command.Question) work.Question = StateQuestion(State, QString::fromStdString(name));
    work.GuardedDatabase = name;
    work.Statements = {"ALTER DATABASE " + QuoteIdentifier(name) + command.Suffix};
    work.ReadsBackAfterStop = true;
    const TMaintenanceResult result = RunMaintenance(Context, work);
    if (!result.Run) return;
    if (result.Outcome == TStepOutcome::soStopped && result.Started == 0)
      ShowMessage(Context.DialogParent(),
                  QStringLiteral("Polecenie zostało przerwane, zanim zostało wysłane do serwera; baza \"%1\" nie została "
                                 "zmieniona.")
                      .arg(QString::fromStdString(name)),
                  QString::fromUtf8(command.Caption), MsgIcon::Information);
    else if (result.Outcome != TStepOutcome::soFailed)
      ReportState(Context, command, name, result.Outcome);
  }
  // The tree says each database's state, and the selected node's details show it as the
  // server now reports it.
  Context.RefreshTree();
}

void UstawbazwtrybSingleUser1Click(TCommandContext& C) { ChangeDatabaseState(C, DatabaseState::SingleUser); }
void WycztrybSingleUser1Click(TCommandContext& C) { ChangeDatabaseState(C, DatabaseState::MultiUser); }
void Wyczbaz1Click(TCommandContext& C) { ChangeDatabaseState(C, DatabaseState::Offline); }
void Wczbaz1Click(TCommandContext& C) { ChangeDatabaseState(C, DatabaseState::Online); }
void Ustawbazwtrybietylkodoodczytu1Click(TCommandContext& C) { ChangeDatabaseState(C, DatabaseState::ReadOnly); }
void Wycztrybtylkodoodczytu1Click(TCommandContext& C) { ChangeDatabaseState(C, DatabaseState::ReadWrite); }

}  // namespace vandrel::app::admin
