// The command table of the main window: menus, pop-up menus and tool bar, with their
// captions, order and separators. Commands carried out by this window are connected here;
// the others are connected by the modules that carry them out.
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>
#include <functional>

#include "app/Images.h"
#include "app/MainWindow.h"
#include "app/admin/AttachDetach.h"
#include "app/admin/Backup.h"
#include "app/admin/ExternalPrograms.h"
#include "app/admin/Processes.h"
#include "app/admin/ResourceMeter.h"
#include "app/admin/Restore.h"
#include "app/admin/ServerConfig.h"
#include "app/admin/ServerInfo.h"
#include "app/clientsetup/NetworkConnection.h"

namespace vandrel::app {
namespace {

const QString kRefresh = QStringLiteral("&Odśwież listę baz     F5");
const QString kAttach = QStringLiteral("&Podłącz bazę");
const QString kDetach = QStringLiteral("O&dłącz bazę");
const QString kBackup = QStringLiteral("&Kopia zapasowa bazy...");
const QString kRestore = QStringLiteral("Odtwó&rz bazę z kopii...");
const QString kRepair = QStringLiteral("&Naprawa baz danych");
const QString kNetwork = QStringLiteral("Utwórz połączenie sieciowe &Tovinex");
const QString kHideSystem = QStringLiteral("&Nie wyświetlaj bazy systemowych");
const QString kStructure = QStringLiteral("Wyświetlanie kolumn - st&ruktura danych");
const QString kContents = QStringLiteral("Wyświetlanie kolumn - &zawartość");

}  // namespace

// Text is the menu text with its mnemonic; the command is known by its caption without it.
QAction* TForm1::AddCommand(QMenu* Menu, const QString& Text) {
  QAction* action = Menu->addAction(Text);
  FCommands.emplace(CaptionOf(Text), action);
  return action;
}

void TForm1::CreateMenus() {
  QMenuBar* bar = menuBar();
  bar->setObjectName("MainMenu1");

  auto addRepairMenu = [this](QMenu* parent) {
    QMenu* repair = parent->addMenu(kRepair);
    FCommands.emplace(CaptionOf(kRepair), repair->menuAction());
    AddCommand(repair, QStringLiteral("&Sprawdź spójność bazy"));
    repair->addSeparator();
    AddCommand(repair, QStringLiteral("Naprawa &Fast"));
    AddCommand(repair, QStringLiteral("Naprawa &Rebuild"));
    AddCommand(repair, QStringLiteral("Naprawa F&ull"));
  };

  QMenu* bazy = bar->addMenu(QStringLiteral("&Bazy"));
  connect(AddCommand(bazy, kRefresh), &QAction::triggered, this, [this] {
    if (EnsureConnected()) RefreshTree();
  });
  bazy->addSeparator();
  AddCommand(bazy, kAttach);
  AddCommand(bazy, kDetach);
  bazy->addSeparator();
  AddCommand(bazy, kBackup);
  AddCommand(bazy, kRestore);
  bazy->addSeparator();
  addRepairMenu(bazy);

  QMenu* konfiguracja = bar->addMenu(QStringLiteral("&Konfiguracja"));
  AddCommand(konfiguracja, QStringLiteral("Biblioteki komunikacyjne &serwera"));
  AddCommand(konfiguracja, QStringLiteral("Biblioteki komunikacyjne &klienta"));
  AddCommand(konfiguracja, QStringLiteral("&Uruchom Service Manager"));
  konfiguracja->addSeparator();
  AddCommand(konfiguracja, QStringLiteral("Konfiguracja połączeń &ODBC"));
  konfiguracja->addSeparator();
  AddCommand(konfiguracja, QStringLiteral("Konfiguracja baz &Tovinex"));
  konfiguracja->addSeparator();
  QAction* hideSystem = AddCommand(konfiguracja, kHideSystem);
  hideSystem->setCheckable(true);
  hideSystem->setChecked(true);
  connect(hideSystem, &QAction::triggered, this, [this] { RefreshTree(); });
  konfiguracja->addSeparator();
  QAction* structure = AddCommand(konfiguracja, kStructure);
  QAction* contents = AddCommand(konfiguracja, kContents);
  structure->setCheckable(true);
  contents->setCheckable(true);
  structure->setChecked(true);
  connect(structure, &QAction::triggered, this, [this] { SetTableDisplayMode(false); });
  connect(contents, &QAction::triggered, this, [this] { SetTableDisplayMode(true); });

  Narzdzia1 = bar->addMenu(QStringLiteral("&Narzędzia"));
  Narzdzia1->setObjectName("Narzdzia1");
  connect(Narzdzia1, &QMenu::aboutToShow, this, [this] { Narzdzia1Click(); });
  AddCommand(Narzdzia1, QStringLiteral("&Ustaw bazę w tryb \"Single User\""));
  AddCommand(Narzdzia1, QStringLiteral("&Wyłącz tryb \"Single User\""));
  Narzdzia1->addSeparator();
  AddCommand(Narzdzia1, kNetwork);
  Narzdzia1->addSeparator();
  AddCommand(Narzdzia1, QStringLiteral("&Procesy"));
  Narzdzia1->addSeparator();
  AddCommand(Narzdzia1, QStringLiteral("&Konfiguracja serwera bazy danych"));
  Narzdzia1->addSeparator();
  AddCommand(Narzdzia1, QStringLiteral("&Miernik zasobów"));

  QMenu* pomoc = bar->addMenu(QStringLiteral("&Pomoc"));
  AddCommand(pomoc, QStringLiteral("SQL Server &Engine Info"));
  pomoc->addSeparator();
  AddCommand(pomoc, QStringLiteral("&O programie..."));

  QAction* zamknij = bar->addAction(QStringLiteral("&Zamknij"));
  FCommands.emplace(QStringLiteral("Zamknij"), zamknij);
  connect(zamknij, &QAction::triggered, this, [] { QApplication::quit(); });

  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName("PopupMenu1");
  AddCommand(PopupMenu1, kAttach);
  AddCommand(PopupMenu1, kDetach);
  AddCommand(PopupMenu1, kBackup);
  AddCommand(PopupMenu1, kRestore);
  AddCommand(PopupMenu1, kNetwork);
  PopupMenu1->addSeparator();
  AddCommand(PopupMenu1, QStringLiteral("&Wyłącz bazę"));
  AddCommand(PopupMenu1, QStringLiteral("Włą&cz bazę"));
  AddCommand(PopupMenu1, QStringLiteral("Ustaw bazę w trybie tylko do &odczytu"));
  AddCommand(PopupMenu1, QStringLiteral("Wyłącz tr&yb tylko do odczytu"));
  PopupMenu1->addSeparator();
  addRepairMenu(PopupMenu1);
  AddCommand(PopupMenu1, QStringLiteral("&Zmień właściciela tabel"));
  PopupMenu1->addSeparator();
  AddCommand(PopupMenu1, QStringLiteral("P&arametry bazy"));

  PopupMenu2 = new QMenu(this);
  PopupMenu2->setObjectName("PopupMenu2");
  AddCommand(PopupMenu2, QStringLiteral("&Zabij proces"));

  // Commands carried out by the command families, in every place they appear.
  const auto carry = [this](const QString& caption, const std::function<void()>& handler) {
    for (QAction* action : Commands(caption)) connect(action, &QAction::triggered, this, handler);
  };
  carry(kAttach, [this] { admin::AttachDatabaseCommand(*this); });
  carry(kDetach, [this] { admin::DetachDatabaseCommand(*this); });
  carry(kBackup, [this] { admin::BackupCommand(*this); });
  carry(kRestore, [this] { admin::RestoreCommand(*this); });
  carry(kNetwork, [this] { clientsetup::CreateTovinexConnection(*this); });
  carry(QStringLiteral("Procesy"), [this] { admin::ShowProcesses(*this); });
  carry(QStringLiteral("Zabij proces"), [this] { admin::KillSelectedProcess(*this); });
  carry(QStringLiteral("SQL Server Engine Info"), [this] { admin::ShowEngineInfo(*this); });
  carry(QStringLiteral("Miernik zasobów"), [this] { admin::ShowResourceMeter(*this); });
  carry(QStringLiteral("Konfiguracja serwera bazy danych"), [this] { admin::ConfigureServer(*this); });
  using admin::TExternalCommand;
  const auto external = [this](TExternalCommand command) { return [this, command] { admin::RunExternalCommand(*this, command); }; };
  carry(QStringLiteral("Biblioteki komunikacyjne serwera"), external(TExternalCommand::ecServerNetwork));
  carry(QStringLiteral("Biblioteki komunikacyjne klienta"), external(TExternalCommand::ecClientNetwork));
  carry(QStringLiteral("Konfiguracja połączeń ODBC"), external(TExternalCommand::ecOdbc));
  carry(QStringLiteral("Uruchom Service Manager"), external(TExternalCommand::ecServiceManager));
  carry(QStringLiteral("Konfiguracja baz Tovinex"), external(TExternalCommand::ecTovinex));
  carry(QStringLiteral("Ustaw bazę w tryb \"Single User\""), [this] { UstawbazwtrybSingleUser1Click(); });
  carry(QStringLiteral("Wyłącz tryb \"Single User\""), [this] { WycztrybSingleUser1Click(); });
  carry(QStringLiteral("Wyłącz bazę"), [this] { Wyczbaz1Click(); });
  carry(QStringLiteral("Włącz bazę"), [this] { Wczbaz1Click(); });
  carry(QStringLiteral("Ustaw bazę w trybie tylko do odczytu"), [this] { Ustawbazwtrybietylkodoodczytu1Click(); });
  carry(QStringLiteral("Wyłącz tryb tylko do odczytu"), [this] { Wycztrybtylkodoodczytu1Click(); });
  carry(QStringLiteral("Zmień właściciela tabel"), [this] { Zmiewacicielatabel1Click(); });
  carry(QStringLiteral("Sprawdź spójność bazy"), [this] { Sprawdspjnobazy1Click(); });
  carry(QStringLiteral("Naprawa Fast"), [this] { NaprawaFast1Click(); });
  carry(QStringLiteral("Naprawa Rebuild"), [this] { NaprawaRebuild1Click(); });
  carry(QStringLiteral("Naprawa Full"), [this] { NaprawaFull1Click(); });
  carry(QStringLiteral("Parametry bazy"), [this] { Parametrybazy1Click(); });
}

void TForm1::CreateToolBar() {
  ToolBar1 = addToolBar(QStringLiteral("ToolBar1"));
  ToolBar1->setObjectName("ToolBar1");
  ToolBar1->setMovable(false);
  ToolBar1->setFixedHeight(28);
  ToolBar1->setIconSize(QSize(16, 16));
  struct Button { int image; const char* hint; const char* twin; bool separatorAfter; };
  const Button buttons[] = {
      {0, "Konfiguracja bibliotek komunikacyjnych serwera MSSQL", "Biblioteki komunikacyjne serwera", false},
      {1, "Konfiguracja bibliotek komunikacyjnych klienta MSSQL", "Biblioteki komunikacyjne klienta", false},
      {2, "Konfiguracja połączeń ODBC", "Konfiguracja połączeń ODBC", true},
      {3, "SQL Service Manager", "Uruchom Service Manager", true},
      {4, "Konfiguracja baz Tovinex", "Konfiguracja baz Tovinex", true},
      {5, "", "Procesy", false},
  };
  for (const Button& b : buttons) {
    QAction* action = ToolBar1->addAction(ToolBarImage(b.image), QString());
    action->setToolTip(QString::fromUtf8(b.hint));
    action->setObjectName(QStringLiteral("ToolButton%1").arg(b.image + 1));
    // The button does what its twin menu command does.
    const QString twin = QString::fromUtf8(b.twin);
    connect(action, &QAction::triggered, this, [this, twin] {
      const QList<QAction*> twins = Commands(twin);
      if (!twins.isEmpty()) twins.first()->trigger();
    });
    if (b.separatorAfter) ToolBar1->addSeparator();
  }
}

}  // namespace vandrel::app
