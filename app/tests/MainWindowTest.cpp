// The main window end to end against msde-sim: first show, tree, detail lists, error report,
// connection loss, cancel and the "ODBC" start-up path.
#include <QAction>
#include <QListWidget>
#include <QLineEdit>
#include <QCheckBox>
#include <QComboBox>

#include "app/NodeKinds.h"
#include "app/OdbcLogonDialog.h"
#include "app/tests/SimFixture.h"
#include "foundation/Trim.h"
#include "testkit/OdbcClient.h"

using namespace vandrel::app;
using namespace vandrel::app::testing;

namespace {

class MainWindow : public SimWindowTest {};

TEST_F(MainWindow, FirstShowAsksWithDefaultsAndShowsTheDemoServer) {
  bool defaultsSeen = false;
  Dialogs.DialogAnswers.push_back([&](QDialog* d) {
    auto* dlg = static_cast<TPasswordDlg*>(d);
    defaultsSeen = dlg->windowTitle() == QStringLiteral("Połączenie z serwerem MSSQL") &&
                   dlg->Edit1->text() == "(local)" && dlg->Biblioteka->currentText() == "Gniazda TCP/IP" &&
                   dlg->Edit2->text() == "sa" && dlg->Edit3->text().isEmpty() && dlg->Dynamiczny->isChecked() &&
                   dlg->Port->text().isEmpty() && dlg->PortIsGrey();
    dlg->Edit3->setText(kSaPassword);
    return int(QDialog::Accepted);
  });
  Form->FormShow();
  EXPECT_TRUE(defaultsSeen);
  EXPECT_TRUE(Dialogs.Messages.empty()) << Dialogs.Messages.front().Text;
  EXPECT_TRUE(Form->windowTitle().endsWith(" (wersja 1.00 _ 01)")) << Form->windowTitle().toStdString();
  EXPECT_EQ(Form->OdbcDriverName, "SQL Server");

  ASSERT_EQ(Form->TreeView1->topLevelItemCount(), 1);
  QTreeWidgetItem* server = Form->TreeView1->topLevelItem(0);
  EXPECT_EQ(server->text(0), "Serwer (SKLEP-SERWER)");
  // The server's name is asked before its instance, once, in master.
  std::vector<std::string> names;
  for (const auto& line : Sim->Trace())
    if (line.Application == "Vandrel" && (line.Text.find("SERVERPROPERTY('ServerName')") != std::string::npos ||
                                          line.Text.find("SERVERPROPERTY('InstanceName')") != std::string::npos))
      names.push_back(line.Database + ": " + line.Text);
  EXPECT_EQ(names, std::vector<std::string>({"master: select CAST(SERVERPROPERTY('ServerName') AS nvarchar(128)), "
                                             "CAST(SERVERPROPERTY('InstanceName') AS nvarchar(128))"}));
  EXPECT_EQ(TForm1::NodeSelectedImage(server), nkServer);
  EXPECT_EQ(Children(server), QStringList({"Bazy", "Loginy"}));
  QTreeWidgetItem* bazy = NodeUnder(server, "Bazy");
  EXPECT_EQ(TForm1::NodeImage(bazy), 1);
  EXPECT_EQ(TForm1::NodeSelectedImage(bazy), 2);
  const QStringList databases = Children(bazy);
  EXPECT_FALSE(databases.contains("master"));
  EXPECT_TRUE(databases.contains("Sklep"));
  EXPECT_TRUE(databases.contains(QStringLiteral("Sklep Wschód")));  // a name that needs brackets
  QTreeWidgetItem* sklep = NodeUnder(bazy, "Sklep");
  EXPECT_EQ(Children(sklep), QStringList({"Tabele", QStringLiteral("Użytkownicy")}));
  bool offline = false;
  for (const QString& name : databases)
    if (name.endsWith(" (Offline)")) {
      offline = true;
      EXPECT_TRUE(Children(NodeUnder(bazy, name)).isEmpty());
      EXPECT_EQ(TForm1::NodeSelectedImage(NodeUnder(bazy, name)), nkDatabaseOffline);
    }
  EXPECT_TRUE(offline) << databases.join(",").toStdString();
  EXPECT_TRUE(Children(NodeUnder(server, "Loginy")).contains("sa"));

  EXPECT_EQ(Headers(), QStringList({"ID", "Nazwa bazy", "Data utworzenia", "Lokalizacja pliku bazy"}));
  EXPECT_EQ(Form->ListView1->columnWidth(0), 30);
  EXPECT_FALSE(ListColumn(1).contains("tempdb"));
  EXPECT_TRUE(ListColumn(1).contains("Sklep"));
  EXPECT_TRUE(Form->TreeReady);
  EXPECT_FALSE(Form->CommandEnabled(TCommandId::cmTakeOffline));
}

TEST_F(MainWindow, SystemDatabasesShowWhenTheToggleIsOff) {
  Connect();
  Form->Commands(TCommandId::cmHideSystemDatabases).first()->trigger();
  const QStringList databases = Children(Node("Bazy"));
  for (const char* name : {"master", "tempdb", "model", "msdb"}) EXPECT_TRUE(databases.contains(name)) << name;
  EXPECT_TRUE(ListColumn(1).contains("master"));
  // F5 rebuilds the same tree.
  Form->FormKeyDown(Qt::Key_F5);
  EXPECT_EQ(Children(Node("Bazy")), databases);
}

TEST_F(MainWindow, DatabaseDetailsAndCommandEnabling) {
  Connect();
  Select(Node("Sklep"));
  EXPECT_EQ(Headers(), QStringList({"Parametr", QStringLiteral("Wartość")}));
  EXPECT_NE(DetailValue(QStringLiteral("Logiczna nazwa pliku bazy: ")), "<none>");
  EXPECT_NE(DetailValue(QStringLiteral("Logiczna nazwa loga bazy: ")), "<none>");
  EXPECT_TRUE(DetailValue(QStringLiteral("Rozmiar: ")).endsWith(" KB"));
  EXPECT_EQ(DetailValue(QStringLiteral("Nazwa bazy: ")), "Sklep");
  EXPECT_EQ(DetailValue(QStringLiteral("Tryb offline: ")), QStringLiteral("Wyłączony"));
  EXPECT_TRUE(Form->CommandEnabled(TCommandId::cmTakeOffline));
  EXPECT_FALSE(Form->CommandEnabled(TCommandId::cmBringOnline));

  for (QTreeWidgetItem* node : Form->TreeView1->findItems(" (Offline)", Qt::MatchEndsWith | Qt::MatchRecursive)) {
    Select(node);
    EXPECT_TRUE(Form->CommandEnabled(TCommandId::cmBringOnline));
    EXPECT_FALSE(Form->CommandEnabled(TCommandId::cmTakeOffline));
    EXPECT_FALSE(Form->CommandEnabled(TCommandId::cmRepairMenu));
    EXPECT_EQ(Form->SelectedDatabase() + " (Offline)", node->text(0).toStdString());
  }
}

TEST_F(MainWindow, TablesColumnsAndContents) {
  Connect();
  QTreeWidgetItem* tables = NodeUnder(Node("Sklep"), "Tabele");
  Select(tables);
  EXPECT_EQ(Headers(), QStringList({"Nazwa tabeli"}));
  EXPECT_TRUE(ListColumn(0).contains("dbo.Towary"));
  EXPECT_TRUE(ListColumn(0).contains("kasa1.Zmiany"));  // owned by another user
  const int count = tables->childCount();
  EXPECT_EQ(count, Form->ListView1->RowCount());
  Select(Node("Sklep"));
  Select(tables);
  EXPECT_EQ(tables->childCount(), count);  // selecting twice does not duplicate

  Select(NodeUnder(tables, "kasa1.Zmiany"));
  EXPECT_EQ(Headers(), QStringList({"Nazwa kolumny", "Typ danych", "Precyzja", "Rozmiar"}));
  EXPECT_GT(Form->ListView1->RowCount(), 0);

  Form->Commands(TCommandId::cmShowTableContents).first()->trigger();
  EXPECT_TRUE(Form->CommandChecked(TCommandId::cmShowTableContents));
  EXPECT_FALSE(Form->CommandChecked(TCommandId::cmShowColumnStructure));
  EXPECT_EQ(Form->ListView1->RowCount(), 12);

  // A table of a database whose name needs brackets.
  QTreeWidgetItem* eastTables = NodeUnder(Node(QStringLiteral("Sklep Wschód")), "Tabele");
  Select(eastTables);
  ASSERT_NE(NodeUnder(eastTables, "dbo.Towary"), nullptr);
  Select(NodeUnder(eastTables, "dbo.Towary"));
  EXPECT_EQ(Form->ListView1->RowCount(), 15);
  EXPECT_TRUE(Dialogs.Messages.empty()) << Dialogs.Messages.front().Text;
}

TEST_F(MainWindow, UsersAndLogins) {
  Connect();
  QTreeWidgetItem* users = NodeUnder(Node("Sklep"), QStringLiteral("Użytkownicy"));
  Select(users);
  EXPECT_EQ(Headers(), QStringList({QStringLiteral("Użytkownik"), "Login", QStringLiteral("Baza domyślna")}));
  EXPECT_TRUE(Children(users).contains("kasa1"));
  EXPECT_EQ(TForm1::NodeSelectedImage(NodeUnder(users, "kasa1")), nkUser);

  Select(Node("Loginy"));
  EXPECT_EQ(Headers(), QStringList({"Login", QStringLiteral("Baza domyślna"), QStringLiteral("Język domyślny"),
                                    "Data utworzenia", "Uprawnienia admin", QStringLiteral("Hasło"), "Status"}));
  const int kierownik = ListColumn(0).indexOf("kierownik");
  ASSERT_GE(kierownik, 0);
  EXPECT_EQ(ListColumn(5)[kierownik], "Brak");  // no password
  EXPECT_EQ(ListColumn(5)[ListColumn(0).indexOf("kasa1")], "*****");
  EXPECT_EQ(ListColumn(4)[ListColumn(0).indexOf("sa")], "TAK");

  Select(NodeUnder(Node("Loginy"), "kasa1"));
  EXPECT_EQ(ListColumn(0), QStringList({"kasa1"}));
  EXPECT_EQ(Form->SelectedLoginName(), "kasa1");
}

TEST_F(MainWindow, ErrorReportRewritesObjectIdsAndListsTopics) {
  Connect();
  Select(Node("SklepZachod"));
  Dialogs.Messages.clear();
  EXPECT_FALSE(Form->ExecInDatabase("DBCC CHECKDB(SklepZachod)", "SklepZachod"));
  ASSERT_EQ(Dialogs.Messages.size(), 1u);
  const ShownMessage& m = Dialogs.Messages.front();
  EXPECT_EQ(m.Caption, "Błąd");
  EXPECT_EQ(m.Icon, MsgIcon::Error);
  // The statement text is the query's lines, each ended by CR LF.
  EXPECT_EQ(m.Text.rfind("Błąd polecenia SQL:\r\nDBCC CHECKDB(SklepZachod)\r\n\r\n[MODBC/412] ", 0), 0u) << m.Text;
  EXPECT_NE(m.Text.find("[MODBCDRV/"), std::string::npos) << m.Text;
  // The server's error records are labelled as errors; only its messages (DBCC's counts) as
  // information.
  EXPECT_NE(m.Text.find("] Błąd\r\n"), std::string::npos) << m.Text;
  EXPECT_EQ(m.Text.find("Object ID"), std::string::npos) << m.Text;
  EXPECT_NE(m.Text.find("Obiekt: \""), std::string::npos) << m.Text;
  EXPECT_NE(m.Text.find("Obiekt: \"\""), 0u);

  // The one server message shown in Polish.
  Dialogs.Messages.clear();
  EXPECT_FALSE(Form->ExecInDatabase("sp_detach_db 'BrakTakiejBazy'", "master"));
  ASSERT_EQ(Dialogs.Messages.size(), 1u);
  EXPECT_EQ(Dialogs.Messages[0].Text, "Nie można usunąć bazy. Podana baza nie istnieje");

  Dialogs.Messages.clear();
  TextList list;
  Form->QueryToList(list, "select * from BrakTabeli", "Sklep");
  EXPECT_TRUE(list.empty());
  ASSERT_EQ(Dialogs.Messages.size(), 1u);
  EXPECT_EQ(Dialogs.Messages[0].Text.rfind("Błąd zapytania SQL:\r\nselect * from BrakTabeli", 0), 0u);
  EXPECT_NE(Dialogs.Messages[0].Text.find("BrakTabeli"), std::string::npos);
}

TEST_F(MainWindow, QueryStepsReturnFlatLists) {
  Connect();
  TextList list;
  Form->QueryToList(list, "select name, dbid, status from sysdatabases where name = 'Sklep' or name = 'Hurtownia' order by dbid", "master");
  ASSERT_EQ(list.size(), 7u);
  EXPECT_EQ(list[0], "3");
  EXPECT_EQ(list[1], "Sklep");
  EXPECT_EQ(Form->QueryScalar("select count(*) from sysdatabases where name = 'Sklep'", "master").Value, "1");
  EXPECT_EQ(Form->QueryField("select name, dbid from sysdatabases where name = 'Sklep'", 1, "master"), "5");
  TextList names;
  Form->UserDatabaseNames(names);
  EXPECT_TRUE(std::find(names.begin(), names.end(), "Sklep") != names.end());
  EXPECT_TRUE(std::find(names.begin(), names.end(), "master") == names.end());
  EXPECT_EQ(Form->FindUserDatabase(names, "Sklep"), "Sklep");
  EXPECT_EQ(Form->FindUserDatabase(names, "master"), "");
}

TEST_F(MainWindow, ConnectionLostAndRegained) {
  Connect();
  Form->ProbeAfterIdle = 0;  // the connection has been idle: each command probes it
  QTreeWidgetItem* server = Form->TreeView1->topLevelItem(0);
  Sim->Stop();
  EXPECT_FALSE(Form->EnsureConnected());
  EXPECT_EQ(TForm1::NodeImage(server), nkServerLost);
  // The lost server is said once, plainly, with what to do; the next commands do not repeat it.
  EXPECT_FALSE(Form->EnsureConnected());
  ASSERT_EQ(Dialogs.Messages.size(), 1u);
  EXPECT_EQ(Dialogs.Messages[0].Caption, "Utracono połączenie");
  EXPECT_EQ(Dialogs.Messages[0].Text,
            "Utracono połączenie z serwerem SKLEP-SERWER.\r\n\r\nSprawdź, czy serwer działa, i naciśnij F5, aby "
            "połączyć się ponownie, albo wybierz „Połącz z serwerem...” w menu Bazy.");
  Sim->Restart();
  EXPECT_TRUE(Form->EnsureConnected());
  EXPECT_TRUE(Form->EnsureConnected());
  EXPECT_EQ(TForm1::NodeImage(server), nkServer);
  // Lost again after a reconnect: said again.
  Sim->Stop();
  EXPECT_FALSE(Form->EnsureConnected());
  EXPECT_EQ(Dialogs.Messages.size(), 2u);
}

TEST_F(MainWindow, TheServerSeesTheProgramAsVandrel) {
  // Read on a connection of its own, and in the server's trace: the braced name reaches the
  // server without its braces, at the first connection and at one made again, with the server
  // named "(local)" and by address (whose string ends otherwise).
  msde::testkit::OdbcClient other(Sim->ConnectionString("sa", kSaPassword));
  auto program = [&] {
    const std::string spid = Form->QueryScalar("select @@spid", "master").Value;
    const auto lines = Sim->Trace();
    for (const auto& line : lines) {
      if (std::to_string(line.Spid) == spid) {
        EXPECT_EQ(line.Application, "Vandrel") << line.Text;
      }
    }
    return std::string(vandrel::Trim(other.Scalar("select program_name from sysprocesses where spid = " + spid)));
  };
  Connect();
  EXPECT_EQ(program(), "Vandrel");
  other.Exec("KILL " + Form->QueryScalar("select @@spid", "master").Value);
  EXPECT_TRUE(Form->EnsureConnected());
  EXPECT_EQ(program(), "Vandrel");
  ConnectByAddress();
  EXPECT_EQ(program(), "Vandrel");
}

TEST_F(MainWindow, CancelLeavesAnEmptyWindowAndF5AsksForADataSource) {
  Form->FormShow();  // no answer: Cancel
  EXPECT_EQ(Form->TreeView1->topLevelItemCount(), 0);
  EXPECT_FALSE(Form->MOdbcLink1->GetConnected());
  EXPECT_FALSE(Form->Terminated);
  Form->FormKeyDown(Qt::Key_F5);
  EXPECT_EQ(Form->TreeView1->topLevelItemCount(), 0);
  EXPECT_EQ(Dialogs.DialogsRun, (std::vector<std::string>{"PasswordDlg", "OdbcLogonDialog"}));
}

TEST_F(MainWindow, OdbcStartUpPathUsesTheLogonDialog) {
  Form->Arguments = {"/odbc"};
  AnswerDataSource("msde-sim");
  Form->FormShow();
  EXPECT_FALSE(Form->Terminated);
  EXPECT_EQ(Dialogs.DialogsRun, std::vector<std::string>{"OdbcLogonDialog"});
  EXPECT_NE(Node("Sklep"), nullptr);
  EXPECT_NE(Form->ConnectionString.find("DSN={msde-sim}"), std::string::npos) << Form->ConnectionString;
}

TEST_F(MainWindow, OdbcStartUpPathCancelledEndsSilently) {
  Form->Arguments = {"ODBC"};
  Form->FormShow();
  EXPECT_TRUE(Form->Terminated);
  EXPECT_TRUE(Dialogs.Messages.empty());
}

TEST_F(MainWindow, WrongPasswordEndsWithTheConnectionMessage) {
  AnswerLogin("zle");
  Form->FormShow();
  ASSERT_FALSE(Dialogs.Messages.empty());
  // The message first; the reason the driver gave follows under it.
  EXPECT_EQ(Dialogs.Messages.back().Text.rfind("Nie udało się nawiązanie połączenia z serwem bazy danych MSSQL\r\n", 0), 0u);
  EXPECT_EQ(Form->TreeView1->topLevelItemCount(), 0);
}

}  // namespace
