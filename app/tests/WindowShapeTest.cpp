// The main window's shape without a server: the command table, enabling, resizing, list
// look-ups, version information and the about box.
#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QTreeWidget>
#include <set>

#include "app/AboutBox.h"
#include "app/ExeVersion.h"
#include "app/MainWindow.h"
#include "app/NodeKinds.h"
#include "app/tests/ScriptedDialogs.h"

using namespace vandrel::app;

namespace {

// The captions of a menu (without mnemonic marks), "-" for a separator, submenus as "caption>".
QStringList Captions(const QMenu* Menu) {
  QStringList captions;
  for (QAction* a : Menu->actions())
    captions << (a->isSeparator() ? QStringLiteral("-") : a->menu() ? CaptionOf(a->text()) + ">" : CaptionOf(a->text()));
  return captions;
}

class WindowShape : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { vandrel::app::testing::TestApplication(); }
  TForm1 Form;
};

TEST_F(WindowShape, MenusHoldTheCommandTableInOrder) {
  QStringList top;
  for (QAction* a : Form.menuBar()->actions()) top << CaptionOf(a->text());
  EXPECT_EQ(top, QStringList({"Bazy", "Konfiguracja", QStringLiteral("Narzędzia"), "Pomoc", "Zamknij"}));
  const auto menus = Form.menuBar()->actions();
  EXPECT_EQ(Captions(menus[0]->menu()),
            QStringList({QStringLiteral("Połącz z serwerem..."), QStringLiteral("Odśwież listę baz     F5"), "-", QStringLiteral("Podłącz bazę"),
                         QStringLiteral("Odłącz bazę"), "-", "Kopia zapasowa bazy...",
                         QStringLiteral("Odtwórz bazę z kopii..."), "Harmonogram kopii...", "-",
                         "Naprawa baz danych>"}));
  EXPECT_EQ(Captions(menus[1]->menu()),
            QStringList({"Biblioteki komunikacyjne serwera", "Biblioteki komunikacyjne klienta",
                         "Uruchom Service Manager", "-", QStringLiteral("Konfiguracja połączeń ODBC"), "-",
                         "Konfiguracja baz Tovinex", "-", QStringLiteral("Nie wyświetlaj bazy systemowych"), "-",
                         "Wyświetlanie kolumn - struktura danych", QStringLiteral("Wyświetlanie kolumn - zawartość")}));
  EXPECT_EQ(Captions(menus[2]->menu()),
            QStringList({QStringLiteral("Ustaw bazę w tryb \"Single User\""),
                         QStringLiteral("Wyłącz tryb \"Single User\""), "-",
                         QStringLiteral("Utwórz połączenie sieciowe Tovinex"), "-", "Procesy", "-",
                         "Konfiguracja serwera bazy danych", "-", QStringLiteral("Miernik zasobów"), "-",
                         QStringLiteral("Stan serwera"), "-", "Nowe zapytanie"}));
  EXPECT_EQ(Captions(menus[3]->menu()), QStringList({"SQL Server Engine Info", "-", "O programie..."}));
  EXPECT_EQ(Captions(Form.PopupMenu1),
            QStringList({QStringLiteral("Połącz z serwerem..."), QStringLiteral("Podłącz bazę"),
                         QStringLiteral("Odłącz bazę"), "Kopia zapasowa bazy...",
                         QStringLiteral("Odtwórz bazę z kopii..."), "Historia kopii",
                         QStringLiteral("Utwórz połączenie sieciowe Tovinex"), "-", QStringLiteral("Wyłącz bazę"),
                         QStringLiteral("Włącz bazę"), QStringLiteral("Ustaw bazę w trybie tylko do odczytu"),
                         QStringLiteral("Wyłącz tryb tylko do odczytu"), "-", "Naprawa baz danych>",
                         QStringLiteral("Zmień właściciela tabel"), QStringLiteral("Zmniejsz bazę"), "-",
                         "Parametry bazy", "-", "Nowe zapytanie"}));
  EXPECT_EQ(Captions(Form.Commands(TCommandId::cmRepairMenu).first()->menu()),
            QStringList({QStringLiteral("Sprawdź spójność bazy"), "-", "Naprawa Fast", "Naprawa Rebuild", "Naprawa Full"}));
  EXPECT_EQ(Captions(Form.PopupMenu2), QStringList({"Zabij proces", QStringLiteral("Pokaż ostatnie polecenie"), "Blokady", "-", "Kopiuj", QStringLiteral("Kopiuj z nagłówkiem"),
                                                    "-", "Zapisz jako CSV..."}));
  EXPECT_TRUE(Form.CommandChecked(TCommandId::cmHideSystemDatabases));
  EXPECT_TRUE(Form.CommandChecked(TCommandId::cmShowColumnStructure));
}

// A rule holds on its node only while the window's state gives what the command needs.
TEST(CommandRules, TheNodeAndTheWindowsStateTogether) {
  TEnablingState state;
  state.Selected = {nkDatabase, "master", "", "", ""};
  state.InDatabase = true;
  EXPECT_TRUE(RuleHolds(TEnableRule::erUsableDatabase, state));
  EXPECT_FALSE(RuleHolds({TEnableRule::erUsableDatabase, cnUserDatabase}, state)) << "master is a system database";
  state.Selected.Database = "Sklep";
  EXPECT_TRUE(RuleHolds({TEnableRule::erUsableDatabase, cnUserDatabase | cnSysadmin | cnConnection}, state));
  state.Sysadmin = false;
  EXPECT_FALSE(RuleHolds({TEnableRule::erAlways, cnSysadmin}, state));
  // Another right the rule names will do instead of sysadmin, and the refusal names them all.
  state.Processadmin = false;
  EXPECT_FALSE(RuleHolds({TEnableRule::erAlways, cnProcessadmin}, state));
  EXPECT_EQ(RuleRefusal({TEnableRule::erAlways, cnProcessadmin}, state), "wymaga uprawnień sysadmin lub processadmin");
  state.DbOwner = false;
  const TCommandRule alter{TEnableRule::erUsableDatabase, cnDbcreator | cnDbOwner};
  state.Dbcreator = false;
  EXPECT_EQ(RuleRefusal(alter, state), "wymaga uprawnień sysadmin, dbcreator lub db_owner bazy Sklep");
  state.Dbcreator = true;
  EXPECT_TRUE(RuleHolds(alter, state));
  EXPECT_EQ(RuleRefusal(alter, state), "");
  state.Connected = false;
  EXPECT_FALSE(RuleHolds({TEnableRule::erAlways, cnConnection}, state));
  EXPECT_TRUE(RuleHolds(TEnableRule::erInDatabase, state));
  state.Held = true;
  EXPECT_FALSE(RuleHolds({TEnableRule::erUsableDatabase, cnNotDuringCheck}, state));
  state.InDatabase = false;
  EXPECT_TRUE(RuleHolds({TEnableRule::erInDatabase, cnOnDuringCheck}, state)) << "the read-only pair stays usable";
  EXPECT_FALSE(RuleHolds(TEnableRule::erSelectedRows, state));
  state.SelectedRows = true;
  EXPECT_TRUE(RuleHolds(TEnableRule::erSelectedRows, state));
}

// Each identifier names one entry and every place the window made of it; a button runs a
// command that the menus hold.
TEST_F(WindowShape, EveryCommandIsKnownByItsOwnIdentifier) {
  std::set<TCommandId> seen;
  for (const TCommand& command : CommandTable()) {
    EXPECT_TRUE(seen.insert(command.Id).second) << command.Text;
    EXPECT_EQ(&CommandOf(command.Id), &command);
    // The repair submenu's commands appear once for each place of the submenu.
    EXPECT_GE(Form.Commands(command.Id).size(), qsizetype(command.Places.size())) << command.Text;
    for (QAction* a : Form.Commands(command.Id)) EXPECT_EQ(a->text(), QString::fromUtf8(command.Text));
  }
  for (const TToolButton& button : ToolBarButtons()) EXPECT_TRUE(seen.count(button.Command)) << button.Hint;
}

TEST_F(WindowShape, ToolBarHasSixButtonsWithHints) {
  QStringList hints;
  int separators = 0;
  const auto picture = [](const QIcon& Icon) { return Icon.pixmap(16, 16).toImage(); };
  QList<QImage> pictures;
  for (QAction* a : Form.ToolBar1->actions()) {
    if (a->isSeparator()) {
      ++separators;
      continue;
    }
    hints << a->toolTip();
    // A picture of its own, and the menu command it runs shows the same one.
    const QImage image = picture(a->icon());
    EXPECT_FALSE(image.isNull() || pictures.contains(image)) << a->toolTip().toStdString();
    pictures << image;
  }
  const std::vector<TCommandId> twins = {TCommandId::cmServerNetwork, TCommandId::cmClientNetwork,
                                         TCommandId::cmOdbcSources,   TCommandId::cmServiceManager,
                                         TCommandId::cmTovinexDatabases, TCommandId::cmProcesses};
  for (size_t i = 0; i < twins.size() && i < size_t(pictures.size()); ++i)
    EXPECT_EQ(picture(Form.Commands(twins[i]).first()->icon()), pictures[qsizetype(i)]) << CommandCaption(twins[i]);
  EXPECT_EQ(hints, QStringList({"Konfiguracja bibliotek komunikacyjnych serwera MSSQL",
                                "Konfiguracja bibliotek komunikacyjnych klienta MSSQL",
                                QStringLiteral("Konfiguracja połączeń ODBC"), "SQL Service Manager",
                                "Konfiguracja baz Tovinex", "Procesy"}));
  EXPECT_EQ(separators, 3);
}

TEST_F(WindowShape, EnablingFollowsTheSelection) {
  // Nothing is selected: no tree was built, so a selection starts no detail display.
  Form.DisableDatabaseCommands();
  EXPECT_FALSE(Form.CommandEnabled(TCommandId::cmDatabaseOptions));
  EXPECT_TRUE(Form.CommandEnabled(TCommandId::cmSetReadOnly));
  EXPECT_TRUE(Form.CommandEnabled(TCommandId::cmDetach));  // never disabled
  QTreeWidgetItem* db = Form.AddNode(nullptr, "Sklep", nkDatabase, nkDatabase, {nkDatabase, "Sklep", "", "", ""});
  QTreeWidgetItem* offline = Form.AddNode(nullptr, "Archiwum (Offline)", nkDatabaseOffline, nkDatabaseOffline,
                                          {nkDatabaseOffline, "Archiwum", "", "", ""});
  Form.TreeView1->setCurrentItem(db);
  Form.EnableCommandsForSelection();
  for (QAction* a : Form.Commands(TCommandId::cmRepairMenu)) EXPECT_TRUE(a->isEnabled());
  EXPECT_FALSE(Form.CommandEnabled(TCommandId::cmBringOnline));
  // A check holds the commands that must not run beside it, whatever the node, until it ends.
  {
    TCheckRunning check(Form);
    for (TCommandId c : {TCommandId::cmRepairMenu, TCommandId::cmDatabaseOptions, TCommandId::cmChangeTableOwner,
                         TCommandId::cmTakeOffline, TCommandId::cmBackup})
      EXPECT_FALSE(Form.CommandEnabled(c)) << CommandCaption(c);
    EXPECT_TRUE(Form.CommandEnabled(TCommandId::cmSetReadOnly));
    EXPECT_TRUE(Form.CommandEnabled(TCommandId::cmSingleUser));
  }
  EXPECT_TRUE(Form.CommandEnabled(TCommandId::cmDatabaseOptions));

  // The single-user commands follow the selected node when "Narzędzia" opens.
  Form.Narzdzia1Click();
  EXPECT_TRUE(Form.CommandEnabled(TCommandId::cmMultiUser));
  Form.TreeView1->setCurrentItem(offline);
  Form.Narzdzia1Click();
  EXPECT_FALSE(Form.CommandEnabled(TCommandId::cmSingleUser));
  EXPECT_EQ(Form.SelectedDatabase(), "Archiwum");
  EXPECT_EQ(Form.SelectedDatabaseNode(), "Archiwum");
  EXPECT_EQ(Form.SelectedLoginName(), "");
}

TEST_F(WindowShape, ListLookUpsByFirstColumn) {
  EXPECT_FALSE(Form.ListShowsColumn("SPID"));
  TListModel* model = Form.ListView1->Model();
  model->BeginFill({{"SPID"}, {"Status"}});
  model->AppendRow({"51", "runnable"});
  model->AppendRow({"52", "sleeping"});
  model->EndFill();
  EXPECT_TRUE(Form.ListShowsColumn("SPID"));
  EXPECT_EQ(Form.SelectedListCaptionUnder("SPID"), "");
  Form.ListView1->selectRow(1);
  EXPECT_EQ(Form.SelectedListCaptionUnder("SPID"), "52");
  EXPECT_EQ(Form.SelectedListCaptionUnder("ID"), "");
}

TEST_F(WindowShape, ResizeKeepsTheMinimumSize) {
  Form.resize(300, 100);
  Form.FormResize();
  EXPECT_EQ(Form.width(), 500);
  EXPECT_EQ(Form.height(), 170);
}

TEST(ExeVersion, FieldsOfTheProgramAndOfOtherFiles) {
  TMExeVersion version;
  EXPECT_EQ(version.GetFileVersion(), "1.0.0.1");
  EXPECT_EQ(version.GetMajorVersion(), "1");
  EXPECT_EQ(version.GetBuild(), "1");
  EXPECT_EQ(version.GetVersionString(), "1.00 _ 01");
  version.ModulePath = "   ";
  EXPECT_EQ(version.GetFileVersion(), "1.0.0.1");  // blanks mean the program itself
  version.ModulePath = "/bin/sh";
  EXPECT_EQ(version.GetFileVersion(), "");
  EXPECT_EQ(version.GetVersionString(), "");
  char buffer[4];
  std::uint32_t packed = 7;
  EXPECT_EQ(TMExeVersion::GetFileVersionField(TMExeVersion().GetModuleName(), "FileVersion", buffer, sizeof buffer, &packed), 7);
  EXPECT_STREQ(buffer, "1.0");
  EXPECT_EQ(packed, 0x01000001u);
}

TEST(AboutBox, ShowsTheVersion) {
  vandrel::app::testing::TestApplication();
  TMExeVersion version;
  TFmMPrintInfo box(nullptr, version);
  EXPECT_EQ(box.windowTitle(), "Informacja o programie");
  EXPECT_EQ(box.LblWersja->text(), "Wersja 1.0.0.1");
  EXPECT_EQ(box.size(), QSize(401, 257));
}

}  // namespace
