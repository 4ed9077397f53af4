#include "app/CommandTable.h"

#include <QCoreApplication>
#include <QString>
#include <stdexcept>

#include "app/ListActions.h"
#include "app/MainWindow.h"
#include "app/NodeKinds.h"
#include "app/admin/AttachDetach.h"
#include "app/admin/Backup.h"
#include "app/admin/ExternalPrograms.h"
#include "app/admin/Processes.h"
#include "app/admin/ResourceMeter.h"
#include "app/admin/Restore.h"
#include "app/admin/ServerConfig.h"
#include "app/admin/ServerHealth.h"
#include "app/admin/ServerInfo.h"
#include "app/clientsetup/NetworkConnection.h"
#include "app/query/NewQuery.h"

namespace vandrel::app {
namespace {

using M = TCommandMenu;
using R = TEnableRule;
using enum TCommandId;
using admin::TExternalCommand;

template <TExternalCommand C>
void External(TForm1& F) {
  admin::RunExternalCommand(F, C);
}

// A command whose family sees the window only through the command context.
template <void (*Command)(TCommandContext&)>
void InContext(TForm1& F) {
  Command(F);
}

}  // namespace

const std::vector<TCommand>& CommandTable() {
  static const std::vector<TCommand> table = {
      // Bazy, and the tree's pop-up menu.
      {cmRefreshDatabases, "&Odśwież listę baz     F5", R::erAlways, [](TForm1& F) { if (F.EnsureConnected()) F.RefreshTree(); },
       {{M::mnBazy, 10}}},
      {cmConnect, "Połącz z &serwerem...", R::erAlways, [](TForm1& F) { F.Poczzserwerem1Click(); },
       {{M::mnBazy, 5}, {M::mnTreePopup, 5}}, false, false, false, 6, "Ctrl+N"},
      {cmAttach, "&Podłącz bazę", R::erAlways, InContext<admin::AttachDatabaseCommand>, {{M::mnBazy, 20, true}, {M::mnTreePopup, 10}}},
      {cmDetach, "O&dłącz bazę", R::erAlways, InContext<admin::DetachDatabaseCommand>, {{M::mnBazy, 30}, {M::mnTreePopup, 20}}},
      {cmBackup, "&Kopia zapasowa bazy...", R::erUsableDatabase, InContext<admin::BackupCommand>, {{M::mnBazy, 40, true}, {M::mnTreePopup, 30}}},
      {cmRestore, "Odtwó&rz bazę z kopii...", R::erAlways, InContext<admin::RestoreCommand>, {{M::mnBazy, 50}, {M::mnTreePopup, 40}}},
      {cmRepairMenu, "&Naprawa baz danych", R::erUsableDatabase, nullptr, {{M::mnBazy, 60, true}, {M::mnTreePopup, 100, true}}, true},
      {cmCheck, "&Sprawdź spójność bazy", R::erUsableDatabase, [](TForm1& F) { F.Sprawdspjnobazy1Click(); }, {{M::mnRepair, 10}}},
      {cmRepairFast, "Naprawa &Fast", R::erUsableDatabase, [](TForm1& F) { F.NaprawaFast1Click(); }, {{M::mnRepair, 20, true}}},
      {cmRepairRebuild, "Naprawa &Rebuild", R::erUsableDatabase, [](TForm1& F) { F.NaprawaRebuild1Click(); }, {{M::mnRepair, 30}}},
      {cmRepairFull, "Naprawa F&ull", R::erUsableDatabase, [](TForm1& F) { F.NaprawaFull1Click(); }, {{M::mnRepair, 40}}},
      {cmTakeOffline, "&Wyłącz bazę", R::erUsableUserDatabase, [](TForm1& F) { F.Wyczbaz1Click(); }, {{M::mnTreePopup, 60, true}}},
      {cmBringOnline, "Włą&cz bazę", R::erStoppedDatabase, [](TForm1& F) { F.Wczbaz1Click(); }, {{M::mnTreePopup, 70}}},
      {cmSetReadOnly, "Ustaw bazę w trybie tylko do &odczytu", R::erInUserDatabase,
       [](TForm1& F) { F.Ustawbazwtrybietylkodoodczytu1Click(); }, {{M::mnTreePopup, 80}}},
      {cmClearReadOnly, "Wyłącz tr&yb tylko do odczytu", R::erInUserDatabase, [](TForm1& F) { F.Wycztrybtylkodoodczytu1Click(); },
       {{M::mnTreePopup, 90}}},
      {cmChangeTableOwner, "&Zmień właściciela tabel", R::erUsableDatabase, [](TForm1& F) { F.Zmiewacicielatabel1Click(); },
       {{M::mnTreePopup, 110}}},
      {cmDatabaseOptions, "P&arametry bazy", R::erUsableDatabase, [](TForm1& F) { F.Parametrybazy1Click(); },
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
      {cmHideSystemDatabases, "&Nie wyświetlaj bazy systemowych", R::erAlways, [](TForm1& F) { F.RefreshTree(); },
       {{M::mnKonfiguracja, 60, true}}, false, true, true},
      {cmShowColumnStructure, "Wyświetlanie kolumn - st&ruktura danych", R::erAlways, [](TForm1& F) { F.SetTableDisplayMode(false); },
       {{M::mnKonfiguracja, 70, true}}, false, true, true},
      {cmShowTableContents, "Wyświetlanie kolumn - &zawartość", R::erAlways, [](TForm1& F) { F.SetTableDisplayMode(true); },
       {{M::mnKonfiguracja, 80}}, false, true, false},
      // Narzędzia.
      {cmSingleUser, "&Ustaw bazę w tryb \"Single User\"", R::erUsableUserDatabase, [](TForm1& F) { F.UstawbazwtrybSingleUser1Click(); },
       {{M::mnNarzedzia, 10}}},
      {cmMultiUser, "&Wyłącz tryb \"Single User\"", R::erUsableUserDatabase, [](TForm1& F) { F.WycztrybSingleUser1Click(); },
       {{M::mnNarzedzia, 20}}},
      {cmTovinexConnection, "Utwórz połączenie sieciowe &Tovinex", R::erAlways, InContext<clientsetup::CreateTovinexConnection>,
       {{M::mnNarzedzia, 30, true}, {M::mnTreePopup, 50}}},
      {cmProcesses, "&Procesy", R::erAlways, InContext<admin::ShowProcesses>,
       {{M::mnNarzedzia, 40, true}}, false, false, false, 5},
      {cmServerConfig, "&Konfiguracja serwera bazy danych", R::erAlways, InContext<admin::ConfigureServer>, {{M::mnNarzedzia, 50, true}}},
      {cmResourceMeter, "&Miernik zasobów", R::erAlways, InContext<admin::ShowResourceMeter>, {{M::mnNarzedzia, 60, true}}},
      {cmServerHealth, "&Stan serwera", R::erAlways, InContext<admin::ServerHealthCommand>, {{M::mnNarzedzia, 70, true}}},
      {cmNewQuery, "Now&e zapytanie", R::erAlways, InContext<NewQuery>, {{M::mnNarzedzia, 80, true}, {M::mnTreePopup, 130, true}},
       false, false, false, -1, "Ctrl+Shift+N"},
      // Pomoc, the bar itself and the process list's pop-up menu.
      {cmEngineInfo, "SQL Server &Engine Info", R::erAlways, InContext<admin::ShowEngineInfo>, {{M::mnPomoc, 10}}},
      {cmAbout, "&O programie...", R::erAlways, nullptr, {{M::mnPomoc, 20, true}}},
      {cmClose, "&Zamknij", R::erAlways, [](TForm1&) { QCoreApplication::quit(); }, {{M::mnBar, 10}}},
      {cmKillProcess, "&Zabij proces", R::erAlways, InContext<admin::KillSelectedProcess>, {{M::mnListPopup, 10}}},
      {cmCopy, "&Kopiuj", R::erAlways, CopyListRows, {{M::mnListPopup, 20, true}}, false, false, false, 7},
      {cmCopyWithHeader, "Kopiuj z &nagłówkiem", R::erAlways, CopyListRowsWithHeader, {{M::mnListPopup, 30}}},
      {cmSaveCsv, "Zapisz jako &CSV...", R::erAlways, SaveListAsCsv, {{M::mnListPopup, 40, true}}, false, false, false, 8},
  };
  return table;
}

const std::vector<TToolButton>& ToolBarButtons() {
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

bool RuleHolds(TEnableRule Rule, const TNodeIdentity& Selected, bool InDatabase) {
  switch (Rule) {
    case TEnableRule::erAlways: return true;
    case TEnableRule::erUsableDatabase: return Selected.Kind == nkDatabase;
    case TEnableRule::erStoppedDatabase:
      return Selected.Kind == nkDatabaseOffline || Selected.Kind == nkDatabaseDamaged;
    case TEnableRule::erInDatabase: return InDatabase;
    case TEnableRule::erUsableUserDatabase: return Selected.Kind == nkDatabase && !IsSystemDatabase(Selected.Database);
    case TEnableRule::erInUserDatabase: return InDatabase && !IsSystemDatabase(Selected.Database);
  }
  return false;
}

}  // namespace vandrel::app
