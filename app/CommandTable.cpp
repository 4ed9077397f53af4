#include "app/CommandTable.h"

#include <QString>
#include <stdexcept>

#include "app/ListActions.h"
#include "app/NodeKinds.h"
#include "app/WindowCommands.h"
#include "app/admin/AttachDetach.h"
#include "app/admin/Backup.h"
#include "app/admin/BackupHistory.h"
#include "app/admin/BackupSchedule.h"
#include "app/admin/CheckRepair.h"
#include "app/admin/DatabaseOptions.h"
#include "app/admin/ExternalPrograms.h"
#include "app/admin/KillSessions.h"
#include "app/admin/Processes.h"
#include "app/admin/ResourceMeter.h"
#include "app/admin/Restore.h"
#include "app/admin/ServerConfig.h"
#include "app/admin/ServerHealth.h"
#include "app/admin/ServerInfo.h"
#include "app/admin/SessionDetails.h"
#include "app/admin/Shrink.h"
#include "app/admin/StateCommands.h"
#include "app/admin/TableOwner.h"
#include "app/clientsetup/NetworkConnection.h"
#include "app/query/NewQuery.h"

namespace vandrel::app {
namespace {

template <admin::TExternalCommand C>
void External(TCommandContext& Context) {
  admin::RunExternalCommand(Context, C);
}

// What ALTER DATABASE asks of a login: sysadmin, dbcreator, or db_owner of the database.
constexpr unsigned kAlterRights = cnDbcreator | cnDbOwner;
// The commands that must not run beside a check or repair, on a usable database.
constexpr TCommandRule kUsableNotDuringCheck{TEnableRule::erUsableDatabase, cnNotDuringCheck};
// The same for the commands only the database's owner may run (DBCC and the repairs).
constexpr TCommandRule kOwnerNotDuringCheck{TEnableRule::erUsableDatabase, cnNotDuringCheck | cnDbOwner};
// The read-only pair: on any node in a user database, and during a check whatever the node.
constexpr TCommandRule kInDatabaseDuringCheck{TEnableRule::erInDatabase, cnOnDuringCheck | cnUserDatabase | kAlterRights};
// The single-user pair: never on the server's own databases, which the state commands would
// take away from it.
constexpr TCommandRule kUsableUserDatabase{TEnableRule::erUsableDatabase, cnUserDatabase | kAlterRights};

}  // namespace

const std::vector<TCommand>& CommandTable() {
  // Short names inside the table only: a unity build compiles this file among others.
  using M = TCommandMenu;
  using R = TEnableRule;
  using enum TCommandId;
  using admin::TExternalCommand;
  static const std::vector<TCommand> table = {
      // Bazy, and the tree's pop-up menu.
      {cmRefreshDatabases, "&Odśwież listę baz     F5", R::erAlways, RefreshDatabasesCommand,
       {{M::mnBazy, 10}}},
      {cmConnect, "Połącz z &serwerem...", R::erAlways, Poczzserwerem1Click,
       {{M::mnBazy, 5}, {M::mnTreePopup, 5}}, false, false, false, 6, "Ctrl+N"},
      {cmAttach, "&Podłącz bazę", {R::erAlways, cnDbcreator}, admin::AttachDatabaseCommand, {{M::mnBazy, 20, true}, {M::mnTreePopup, 10}}},
      {cmDetach, "O&dłącz bazę", {R::erAlways, cnSysadmin | cnUserDatabase}, admin::DetachDatabaseCommand, {{M::mnBazy, 30}, {M::mnTreePopup, 20}}},
      {cmBackup, "&Kopia zapasowa bazy...", kUsableNotDuringCheck, admin::BackupCommand, {{M::mnBazy, 40, true}, {M::mnTreePopup, 30}}},
      {cmRestore, "Odtwó&rz bazę z kopii...", R::erAlways, admin::RestoreCommand, {{M::mnBazy, 50}, {M::mnTreePopup, 40}}},
      // On a database of any state (a damaged one most wants its backups) and below it.
      {cmBackupHistory, "&Historia kopii", R::erInDatabase, admin::BackupHistoryCommand, {{M::mnTreePopup, 45}}},
      {cmBackupSchedule, "&Harmonogram kopii...", R::erAlways, admin::BackupScheduleCommand, {{M::mnBazy, 55}}},
      {cmRepairMenu, "&Naprawa baz danych", kOwnerNotDuringCheck, nullptr, {{M::mnBazy, 60, true}, {M::mnTreePopup, 100, true}}, true},
      {cmCheck, "&Sprawdź spójność bazy", {R::erUsableDatabase, cnDbOwner}, admin::Sprawdspjnobazy1Click, {{M::mnRepair, 10}}},
      {cmRepairFast, "Naprawa &Fast", {R::erUsableDatabase, cnDbOwner}, admin::NaprawaFast1Click, {{M::mnRepair, 20, true}}},
      {cmRepairRebuild, "Naprawa &Rebuild", {R::erUsableDatabase, cnDbOwner}, admin::NaprawaRebuild1Click, {{M::mnRepair, 30}}},
      {cmRepairFull, "Naprawa F&ull", {R::erUsableDatabase, cnDbOwner}, admin::NaprawaFull1Click, {{M::mnRepair, 40}}},
      {cmTakeOffline, "&Wyłącz bazę", {R::erUsableDatabase, cnNotDuringCheck | cnUserDatabase | kAlterRights}, admin::Wyczbaz1Click, {{M::mnTreePopup, 60, true}}},
      {cmBringOnline, "Włą&cz bazę", {R::erStoppedDatabase, kAlterRights}, admin::Wczbaz1Click, {{M::mnTreePopup, 70}}},
      {cmSetReadOnly, "Ustaw bazę w trybie tylko do &odczytu", kInDatabaseDuringCheck,
       admin::Ustawbazwtrybietylkodoodczytu1Click, {{M::mnTreePopup, 80}}},
      {cmClearReadOnly, "Wyłącz tr&yb tylko do odczytu", kInDatabaseDuringCheck, admin::Wycztrybtylkodoodczytu1Click,
       {{M::mnTreePopup, 90}}},
      {cmChangeTableOwner, "&Zmień właściciela tabel", {R::erUsableDatabase, cnNotDuringCheck | cnUserDatabase | cnDbOwner}, admin::Zmiewacicielatabel1Click,
       {{M::mnTreePopup, 110}}},
      {cmShrinkDatabase, "Z&mniejsz bazę", {R::erUsableDatabase, cnNotDuringCheck | cnUserDatabase | cnDbOwner},
       admin::ShrinkDatabaseCommand, {{M::mnTreePopup, 115}}},
      {cmDatabaseOptions, "P&arametry bazy", {R::erUsableDatabase, cnNotDuringCheck | cnUserDatabase | kAlterRights}, admin::Parametrybazy1Click,
       {{M::mnTreePopup, 120, true}}},
      // Konfiguracja.
      {cmServerNetwork, "Biblioteki komunikacyjne &serwera", R::erAlways, External<TExternalCommand::ecServerNetwork>,
       {{M::mnKonfiguracja, 10}}, false, false, false, 0},
      {cmClientNetwork, "Biblioteki komunikacyjne &klienta", R::erAlways, External<TExternalCommand::ecClientNetwork>,
       {{M::mnKonfiguracja, 20}}, false, false, false, 1},
      {cmServiceManager, "&Uruchom Service Manager", R::erAlways, External<TExternalCommand::ecServiceManager>,
       {{M::mnKonfiguracja, 30}}, false, false, false, 3},
      {cmOdbcSources, "Konfiguracja połączeń &ODBC", R::erAlways, External<TExternalCommand::ecOdbc>,
       {{M::mnKonfiguracja, 40, true}}, false, false, false, 2},
      {cmTovinexDatabases, "Konfiguracja baz &Tovinex", R::erAlways, External<TExternalCommand::ecTovinex>,
       {{M::mnKonfiguracja, 50, true}}, false, false, false, 4},
      {cmHideSystemDatabases, "&Nie wyświetlaj bazy systemowych", R::erAlways, HideSystemDatabasesCommand,
       {{M::mnKonfiguracja, 60, true}}, false, true, true},
      {cmShowColumnStructure, "Wyświetlanie kolumn - st&ruktura danych", R::erAlways, ShowColumnStructureCommand,
       {{M::mnKonfiguracja, 70, true}}, false, true, true},
      {cmShowTableContents, "Wyświetlanie kolumn - &zawartość", R::erAlways, ShowTableContentsCommand,
       {{M::mnKonfiguracja, 80}}, false, true, false},
      // Narzędzia.
      {cmSingleUser, "&Ustaw bazę w tryb \"Single User\"", kUsableUserDatabase, admin::UstawbazwtrybSingleUser1Click,
       {{M::mnNarzedzia, 10}}},
      {cmMultiUser, "&Wyłącz tryb \"Single User\"", kUsableUserDatabase, admin::WycztrybSingleUser1Click,
       {{M::mnNarzedzia, 20}}},
      {cmTovinexConnection, "Utwórz połączenie sieciowe &Tovinex", R::erAlways, clientsetup::CreateTovinexConnection,
       {{M::mnNarzedzia, 30, true}, {M::mnTreePopup, 50}}},
      {cmProcesses, "&Procesy", R::erAlways, admin::ShowProcesses,
       {{M::mnNarzedzia, 40, true}}, false, false, false, 5},
      {cmServerConfig, "&Konfiguracja serwera bazy danych", R::erAlways, admin::ConfigureServer, {{M::mnNarzedzia, 50, true}}},
      {cmResourceMeter, "&Miernik zasobów", R::erAlways, admin::ShowResourceMeter, {{M::mnNarzedzia, 60, true}}},
      {cmServerHealth, "&Stan serwera", R::erAlways, admin::ServerHealthCommand, {{M::mnNarzedzia, 70, true}}},
      {cmNewQuery, "Now&e zapytanie", R::erAlways, NewQuery, {{M::mnNarzedzia, 80, true}, {M::mnTreePopup, 130, true}},
       false, false, false, -1, "Ctrl+Shift+N"},
      // Pomoc, the bar itself and the process list's pop-up menu.
      {cmEngineInfo, "SQL Server &Engine Info", R::erAlways, admin::ShowEngineInfo, {{M::mnPomoc, 10}}},
      {cmAbout, "&O programie...", R::erAlways, nullptr, {{M::mnPomoc, 20, true}}},
      {cmClose, "&Zamknij", R::erAlways, CloseCommand, {{M::mnBar, 10}}},
      {cmKillProcess, "&Zabij proces", {R::erKillableSessions, cnProcessadmin}, admin::KillSelectedProcess, {{M::mnListPopup, 10}}},
      {cmSessionLastBatch, "Pokaż &ostatnie polecenie", {R::erSelectedSession, cnSysadmin}, admin::ShowSessionLastBatch,
       {{M::mnListPopup, 12}}},
      {cmSessionLocks, "&Blokady", R::erSelectedSession, admin::ShowSessionLocks, {{M::mnListPopup, 14}}},
      {cmCopy, "&Kopiuj", R::erSelectedRows, CopyListRows, {{M::mnListPopup, 20, true}}, false, false, false, 7},
      {cmCopyWithHeader, "Kopiuj z &nagłówkiem", R::erSelectedRows, CopyListRowsWithHeader, {{M::mnListPopup, 30}}},
      {cmSaveCsv, "Zapisz jako &CSV...", R::erListRows, SaveListAsCsv, {{M::mnListPopup, 40, true}}, false, false, false, 8},
  };
  return table;
}

const std::vector<TToolButton>& ToolBarButtons() {
  using enum TCommandId;
  static const std::vector<TToolButton> buttons = {
      {0, "Konfiguracja bibliotek komunikacyjnych serwera MSSQL", cmServerNetwork, false},
      {1, "Konfiguracja bibliotek komunikacyjnych klienta MSSQL", cmClientNetwork, false},
      {2, "Konfiguracja połączeń ODBC", cmOdbcSources, true},
      {3, "SQL Service Manager", cmServiceManager, true},
      {4, "Konfiguracja baz Tovinex", cmTovinexDatabases, true},
      {5, "Procesy", cmProcesses, false},
  };
  return buttons;
}

const TCommand& CommandOf(TCommandId Id) {
  for (const TCommand& command : CommandTable())
    if (command.Id == Id) return command;
  // Every identifier has its entry (the table's test checks it): reaching here is a fault.
  throw std::logic_error("command without a table entry");
}

std::string CommandCaption(TCommandId Id) { return CaptionOf(QString::fromUtf8(CommandOf(Id).Text)).toStdString(); }

QString CaptionOf(const QString& Text) {
  QString caption;
  caption.reserve(Text.size());
  for (qsizetype i = 0; i < Text.size(); ++i) {
    if (Text[i] == '&' && i + 1 < Text.size()) ++i;  // "&x" marks x; "&&" is one "&"
    caption += Text[i];
  }
  return caption;
}

namespace {

bool NodeHolds(TEnableRule Rule, const TEnablingState& State) {
  switch (Rule) {
    case TEnableRule::erAlways: return true;
    case TEnableRule::erUsableDatabase: return IsUsableDatabaseKind(State.Selected.Kind);
    case TEnableRule::erStoppedDatabase: return IsStoppedDatabaseKind(State.Selected.Kind);
    case TEnableRule::erInDatabase: return State.InDatabase;
    case TEnableRule::erSelectedRows: return State.SelectedRows;
    case TEnableRule::erListRows: return State.ListRows;
    case TEnableRule::erKillableSessions: return State.KillableSessions;
    case TEnableRule::erSelectedSession: return State.SelectedSession;
  }
  return false;
}

}  // namespace

namespace {

constexpr unsigned kRightsNeeds = cnSysadmin | cnDbcreator | cnProcessadmin | cnDbOwner;

// A sysadmin may do everything; another login needs one of the other rights the rule names.
bool RightsHold(unsigned Needs, const TEnablingState& State) {
  if (!(Needs & kRightsNeeds) || State.Sysadmin) return true;
  return ((Needs & cnDbcreator) && State.Dbcreator) || ((Needs & cnProcessadmin) && State.Processadmin) ||
         ((Needs & cnDbOwner) && State.DbOwner);
}

// "wymaga uprawnień sysadmin, dbcreator lub db_owner bazy Sklep".
std::string RightsNeeded(unsigned Needs, const std::string& Database) {
  std::vector<std::string> roles = {"sysadmin"};
  if (Needs & cnDbcreator) roles.push_back("dbcreator");
  if (Needs & cnProcessadmin) roles.push_back("processadmin");
  if (Needs & cnDbOwner) roles.push_back(Database.empty() ? "db_owner bazy" : "db_owner bazy " + Database);
  std::string text = "wymaga uprawnień " + roles.front();
  for (size_t i = 1; i < roles.size(); ++i) text += (i + 1 == roles.size() ? " lub " : ", ") + roles[i];
  return text;
}

}  // namespace

bool RuleHolds(const TCommandRule& Rule, const TEnablingState& State) {
  if (State.Held && (Rule.Needs & cnOnDuringCheck)) return true;
  if (State.Held && (Rule.Needs & cnNotDuringCheck)) return false;
  if ((Rule.Needs & cnConnection) && !State.Connected) return false;
  if (!RightsHold(Rule.Needs, State)) return false;
  if ((Rule.Needs & cnUserDatabase) && IsSystemDatabase(State.Selected.Database)) return false;
  return NodeHolds(Rule.Node, State);
}

std::string RuleRefusal(const TCommandRule& Rule, const TEnablingState& State) {
  if (RuleHolds(Rule, State)) return {};
  if (!RightsHold(Rule.Needs, State)) return RightsNeeded(Rule.Needs, State.Selected.Database);
  if ((Rule.Needs & cnUserDatabase) && IsSystemDatabase(State.Selected.Database) && NodeHolds(Rule.Node, State))
    return "niedostępne dla bazy systemowej " + State.Selected.Database;
  return {};
}

}  // namespace vandrel::app
