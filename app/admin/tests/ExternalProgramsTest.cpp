// The five external-program commands from their menu items and tool bar buttons, with real
// programs (scripts that log how they were started) in a private system directory, client
// tools path, Wine drive and PATH; and the Linux programs that stand in where they are missing.
#include <QLabel>
#include <QPlainTextEdit>
#include <QComboBox>
#include <QPushButton>
#include <QLineEdit>
#include <QTabWidget>
#include <QTreeWidget>
#include <QToolBar>
#include <chrono>
#include <filesystem>
#include <thread>

#include "app/admin/ExternalPrograms.h"
#include "app/admin/FreeTdsConfDlg.h"
#include "app/admin/FreeTdsSectionDlg.h"
#include "app/admin/ServiceManager.h"
#include "app/admin/ThisMachine.h"
#include "app/clientsetup/tests/ClientSetupFixture.h"

namespace vandrel::app::testing {
namespace {

using platform::HKEY_CURRENT_USER;
using platform::HKEY_LOCAL_MACHINE;

const char* const kToolsKey = "Software\\Microsoft\\Microsoft SQL Server\\80\\Tools\\ClientSetup";
const char* const kTovinexKey = "SOFTWARE\\QUORVEL\\TovinexWin\\Instalacja";

class ExternalProgramsTest : public ClientSetupTest {
 protected:
  void SetUp() override {
    ClientSetupTest::SetUp();
    System = Tmp->Path() + "/system";
    Tools = Tmp->Path() + "/tools";
    SetEnv("VANDREL_SYSTEM_DIR", System);
    std::filesystem::create_directories(System);
    Connect();
    Dialogs.Messages.clear();
    Dialogs.DialogsRun.clear();
  }

  // A program that appends its name and arguments to the log and ends.
  void Program(const std::string& Path) {
    std::filesystem::create_directories(std::filesystem::path(Path).parent_path());
    std::ofstream(Path) << "#!/bin/sh\necho \"$(basename \"$0\") $*\" >> '" << Log() << "'\n";
    std::filesystem::permissions(Path, std::filesystem::perms::owner_all);
  }
  std::string Log() const { return Tmp->Path() + "/started.log"; }
  std::string LastText() const { return Dialogs.Messages.empty() ? "<none>" : Dialogs.Messages.back().Text; }
  static void SetValue(platform::HKEY Root, const char* Key, const char* Name, const std::string& Value) {
    platform::TRegistry reg(Root);
    ASSERT_TRUE(reg.OpenKey(Key, true));
    if (!Value.empty()) reg.WriteString(Name, Value);
  }

  // Starts a command and returns the line its program logged ("" when none started). The
  // commands return at once, so the program's line is awaited, for a bounded time.
  std::string Started(const std::function<void()>& Trigger) {
    std::filesystem::remove(Log());
    Trigger();
    // The file appears when the program opens it, its line a moment later.
    std::string line;
    for (int i = 0; i < 500 && (line.empty() || line.back() != '\n'); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      line = ReadFile(Log());
    }
    if (!line.empty() && line.back() == '\n') line.pop_back();
    return line;
  }
  // Runs a command that must start no program (it shows something instead).
  bool NothingStarted(const std::function<void()>& Trigger) {
    std::filesystem::remove(Log());
    Trigger();
    return !std::filesystem::exists(Log());
  }
  std::function<void()> Menu(TCommandId Command) {
    return [this, Command] { Form->Commands(Command).first()->trigger(); };
  }
  std::function<void()> Button(int Number) {
    return [this, Number] {
      auto* action = Form->ToolBar1->findChild<QAction*>(QStringLiteral("ToolButton%1").arg(Number));
      ASSERT_NE(action, nullptr);
      action->trigger();
    };
  }

  std::string System, Tools;
};

TEST_F(ExternalProgramsTest, EachDriverStartsItsProgramsFromMenuAndToolBar) {
  for (const char* name : {"mmc.exe", "cliconfg.exe", "odbcad32.exe"}) Program(System + "/" + name);
  for (const char* name : {"svrnetcn.exe", "sqlmangr.exe"}) Program(Tools + "/Binn/" + name);
  SetValue(HKEY_LOCAL_MACHINE, kToolsKey, "SQLPath", Tools);
  const std::string console = "mmc.exe /32 " + System + "/SQLServerManager.msc";

  ASSERT_EQ(Form->OdbcDriverName, "SQL Server") << "the demo server is SQL Server 2000";
  EXPECT_EQ(Started(Menu(TCommandId::cmServerNetwork)), "svrnetcn.exe ");
  EXPECT_EQ(Started(Button(1)), "svrnetcn.exe ");
  EXPECT_EQ(Started(Menu(TCommandId::cmClientNetwork)), "cliconfg.exe ");
  EXPECT_EQ(Started(Button(2)), "cliconfg.exe ");
  EXPECT_EQ(Started(Menu(TCommandId::cmOdbcSources)), "odbcad32.exe ");
  EXPECT_EQ(Started(Button(3)), "odbcad32.exe ");
  EXPECT_EQ(Started(Menu(TCommandId::cmServiceManager)), "sqlmangr.exe ");
  EXPECT_EQ(Started(Button(4)), "sqlmangr.exe ");

  Form->OdbcDriverName = "SQL Native Client";
  EXPECT_EQ(Started(Menu(TCommandId::cmServerNetwork)), console);
  EXPECT_EQ(Started(Button(2)), console);
  EXPECT_EQ(Started(Menu(TCommandId::cmServiceManager)), console);
  EXPECT_EQ(Started(Button(3)), "odbcad32.exe ");
  EXPECT_TRUE(Dialogs.Messages.empty());
  EXPECT_TRUE(Dialogs.DialogsRun.empty()) << "no stand-in opened while the programs are there";

  // The user's key, when it opens, decides the client tools path even without the value.
  Form->OdbcDriverName = "SQL Server";
  Program(Tmp->Path() + "/user-tools/Binn/svrnetcn.exe");
  SetValue(HKEY_CURRENT_USER, kToolsKey, "SQLPath", Tmp->Path() + "/user-tools");
  EXPECT_EQ(admin::SqlToolsPath(), Tmp->Path() + "/user-tools");
  EXPECT_EQ(Started(Button(1)), "svrnetcn.exe ");
  platform::TRegistry user(HKEY_CURRENT_USER);
  ASSERT_TRUE(user.OpenKey(kToolsKey, false));
  user.DeleteValue("SQLPath");
  EXPECT_EQ(admin::SqlToolsPath(), "") << "not read from the machine's key";
}

TEST_F(ExternalProgramsTest, MissingProgramsGiveWayToTheLinuxOnes) {
  // No system programs and no client tools path: the FreeTDS configuration, the data source
  // manager and the server's service stand in.
  EXPECT_TRUE(NothingStarted(Button(1)));
  EXPECT_TRUE(NothingStarted(Menu(TCommandId::cmClientNetwork)));
  EXPECT_TRUE(NothingStarted(Button(3)));
  EXPECT_TRUE(NothingStarted(Button(4)));
  EXPECT_EQ(Dialogs.DialogsRun,
            (std::vector<std::string>{"ServerNetworkDlg", "FreeTdsConfDlg", "OdbcAdminDlg", "ServiceManagerDlg"}));
  Form->OdbcDriverName = "SQL Native Client";
  EXPECT_TRUE(NothingStarted(Button(2))) << "no console either";
  EXPECT_EQ(Dialogs.DialogsRun.back(), "FreeTdsConfDlg");
  EXPECT_TRUE(Dialogs.Messages.empty());

  // A program that is there but cannot be started is reported with its command line.
  std::ofstream(System + "/odbcad32.exe") << "not a program\n";
  std::filesystem::permissions(System + "/odbcad32.exe", std::filesystem::perms::owner_read |
                                                             std::filesystem::perms::owner_write |
                                                             std::filesystem::perms::owner_exec);
  EXPECT_TRUE(NothingStarted(Button(3)));
  ASSERT_EQ(Dialogs.Messages.size(), 1u);
  EXPECT_EQ(LastText(), "Błąd uruchomienia programu: " + System + "/odbcad32.exe");
  EXPECT_EQ(Dialogs.Messages.back().Caption, "Duplant");
}

// The server's network libraries: what the server says about itself and where it answers.
TEST_F(ExternalProgramsTest, TheServerNetworkViewShowsWhereTheServerListens) {
  std::map<std::string, std::string> facts;
  Dialogs.DialogAnswers.push_back([&](QDialog* d) {
    auto* tree = d->findChild<QTreeWidget*>("Facts");
    for (int i = 0; tree && i < tree->topLevelItemCount(); ++i)
      facts[tree->topLevelItem(i)->text(0).toStdString()] = tree->topLevelItem(i)->text(1).toStdString();
    return int(QDialog::Accepted);
  });
  const size_t mark = Sim->TraceMark();
  EXPECT_TRUE(NothingStarted(Menu(TCommandId::cmServerNetwork)));
  const std::string port = std::to_string(Sim->Port());
  EXPECT_EQ(facts["Serwer:"], "SKLEP-SERWER");
  EXPECT_EQ(facts["Instancja:"], "domyślna (MSSQLSERVER)");
  EXPECT_EQ(facts["Wersja:"], "8.00.2039 SP4, Desktop Engine");
  EXPECT_EQ(facts["Port TCP w rejestrze serwera:"], "1433");
  EXPECT_EQ(facts["Połączenie narzędzia:"], "127.0.0.1, port TCP " + port) << "\"(local)\" with TDSPORT";
  EXPECT_EQ(facts["Odpowiada na porcie TCP " + port + ":"], "tak");
  EXPECT_EQ(facts["SQL Server Browser (UDP 1434):"], "nie odpowiada");
  EXPECT_TRUE(facts.count("Odpowiada na porcie TCP 1433:"));
  EXPECT_TRUE(Dialogs.Messages.empty());
  bool asked = false;
  for (const auto& line : Sim->TraceSince(mark)) asked |= line.Text.find("xp_instance_regread") != std::string::npos;
  EXPECT_TRUE(asked);
}

// The client's network libraries: servers added, changed and removed in the file shown, the
// rest of the file kept.
TEST_F(ExternalProgramsTest, ClientServersAreAddedChangedAndRemovedInTheShownFile) {
  std::ofstream(UserFreeTds()) << "; kept\n[global]\n\tport = 2000\n";
  auto answer = [&](const char* name, const char* host, const char* port) {
    Dialogs.DialogAnswers.push_back(Click("OkButton", [=](QDialog* d) {
      auto* s = static_cast<admin::TFreeTdsSectionDlg*>(d);
      if (s->NameEdit->isEnabled()) s->NameEdit->setText(name);
      s->HostEdit->setText(host);
      s->PortEdit->setText(port);
    }));
  };
  std::vector<std::string> rows;
  Dialogs.DialogAnswers.push_back([&](QDialog* d) {
    auto* view = static_cast<admin::TFreeTdsConfDlg*>(d);
    EXPECT_EQ(view->Files->currentIndex(), 0);
    answer("KASA2", "10.0.0.2", "1500");
    view->AddButton->click();
    answer("KASA2", "10.0.0.3", "");
    view->AddButton->click();  // a second of the name is refused
    view->Servers[0]->setCurrentItem(view->Servers[0]->topLevelItem(0));
    answer("", "10.0.0.4", "1501");
    view->ChangeButton->click();
    const QTreeWidgetItem* item = view->Servers[0]->topLevelItem(0);
    rows.push_back((item->text(0) + " " + item->text(1) + " " + item->text(2)).toStdString());
    EXPECT_NE(view->Texts[0]->toPlainText().indexOf("host = 10.0.0.4"), -1) << "the text follows";
    EXPECT_EQ(view->Texts[0]->toPlainText().indexOf("vandrel"), -1) << "added by hand: no data source's to remove";
    view->Servers[0]->setCurrentItem(view->Servers[0]->topLevelItem(0));
    Dialogs.MessageAnswers.push_back(mbYes);
    view->RemoveButton->click();
    EXPECT_EQ(view->Servers[0]->topLevelItemCount(), 0);
    return int(QDialog::Accepted);
  });
  EXPECT_TRUE(NothingStarted(Menu(TCommandId::cmClientNetwork)));
  EXPECT_EQ(rows, std::vector<std::string>{"KASA2 10.0.0.4 1501"});
  ASSERT_EQ(Dialogs.Messages.size(), 2u);
  EXPECT_EQ(Dialogs.Messages[0].Text, "Serwer \"KASA2\" już jest w pliku " + UserFreeTds());
  EXPECT_EQ(ReadFile(UserFreeTds()), "; kept\n[global]\n\tport = 2000\n");
}

TEST_F(ExternalProgramsTest, TheFreeTdsViewShowsTheFileTheClientReadsFirst) {
  std::filesystem::create_directories(Tmp->Path() + "/freetds/etc");
  std::ofstream(SystemFreeTds()) << "[global]\n\ttds version = 7.1\n";
  std::vector<std::string> seen;
  Dialogs.DialogAnswers.push_back([&](QDialog* d) {
    auto* view = dynamic_cast<admin::TFreeTdsConfDlg*>(d);
    if (!view) return int(QDialog::Rejected);
    const auto look = [&] {
      seen.push_back(std::to_string(view->Files->currentIndex()) + " " + view->ShownFile().toStdString() + " " +
                     (view->OpenButton->isEnabled() ? "open" : "-"));
    };
    look();
    EXPECT_EQ(view->Paths[0]->text().toStdString(), "Plik: " + UserFreeTds() + " (nie istnieje)");
    EXPECT_EQ(view->Texts[1]->toPlainText(), "[global]\n\ttds version = 7.1\n");
    view->Files->setCurrentIndex(0);
    look();
    std::ofstream(UserFreeTds()) << "[KASA1]\n\thost = kasa1\n";
    view->Reload();
    look();
    EXPECT_EQ(view->Texts[0]->toPlainText(), "[KASA1]\n\thost = kasa1\n");
    return int(QDialog::Accepted);
  });
  EXPECT_TRUE(NothingStarted(Button(2)));
  EXPECT_EQ(seen, (std::vector<std::string>{"1 " + SystemFreeTds() + " open", "0 " + UserFreeTds() + " -",
                                            "0 " + UserFreeTds() + " open"}));
  // Without xdg-open there is nothing to open the file with, and the tool says so.
  SetEnv("PATH", Tmp->Path() + "/no-programs");
  Dialogs.DialogAnswers.push_back([](QDialog* d) {
    static_cast<admin::TFreeTdsConfDlg*>(d)->OpenButton->click();
    return int(QDialog::Accepted);
  });
  Menu(TCommandId::cmClientNetwork)();
  EXPECT_EQ(LastText(), "Nie można otworzyć \"" + UserFreeTds() +
                            "\": brak programu xdg-open, którym pulpit otwiera pliki i adresy stron. Zainstaluj "
                            "pakiet xdg-utils.");
}

TEST_F(ExternalProgramsTest, TovinexProgramIsFoundInItsFolderOrReported) {
  Form->OdbcDriverName = "SQL Native Client";  // the driver changes nothing here
  EXPECT_TRUE(NothingStarted(Button(5)));
  ASSERT_EQ(Dialogs.Messages.size(), 1u);
  EXPECT_EQ(LastText(), "Nie znaleziono programu konfiguracyjnego baz danych Tovinex");
  EXPECT_EQ(Dialogs.Messages.back().Caption, "Błąd");
  EXPECT_EQ(Dialogs.Messages.back().Icon, MsgIcon::Error);

  // The folder is a Windows path of Tovinex under Wine: only Reinstal.exe is installed.
  SetValue(HKEY_LOCAL_MACHINE, kTovinexKey, "Binaria", "C:\\Program Files\\Tovinex");
  const std::string reinstal = Tmp->Path() + "/wine/drive_c/Program Files/Tovinex/Reinstal";
  Program(reinstal + "/Reinstal.exe");
  EXPECT_EQ(Started(Menu(TCommandId::cmTovinexDatabases)), "Reinstal.exe ");
  // setup.exe comes first; as Windows programs are, it is no Linux program: Wine starts it.
  std::ofstream(reinstal + "/setup.exe") << "MZ";
  Program(Tmp->Path() + "/bin/wine");
  SetEnv("PATH", Tmp->Path() + "/bin:/usr/bin:/bin");
  EXPECT_EQ(Started(Button(5)), "wine " + reinstal + "/setup.exe");
  EXPECT_EQ(admin::TovinexLaunch().CheckPath, reinstal + "/setup.exe");
  EXPECT_EQ(Dialogs.Messages.size(), 1u);
}

// A stand-in systemctl that logs how it was called, lists two units that look like a SQL
// Server among others, and refuses to restart with systemd's words and status 1.
void StandInSystemctl(const std::string& Path, const std::string& Log) {
  std::ofstream(Path) << "#!/bin/sh\necho \"systemctl $*\" >> '" << Log << "'\n"
                      << "case \"$1\" in\n"
                      << "list-units) printf 'cron.service loaded active running cron\\n"
                         "mssql-server.service loaded inactive dead SQL Server\\n' ;;\n"
                      << "list-unit-files) printf 'mssql-server.service enabled enabled\\n"
                         "msde-sim.service disabled enabled\\nssh.service enabled enabled\\n' ;;\n"
                      << "restart) echo 'Failed to restart msde-sim.service: Access denied' >&2; exit 1 ;;\n"
                      << "esac\n";
  std::filesystem::permissions(Path, std::filesystem::perms::owner_all);
}

// The unit is chosen in the dialog among the machine's SQL Server units, the environment's
// first; a refused command is shown with its exit status and systemctl's words; 127.0.0.1 and
// ::1 are this machine.
TEST_F(ExternalProgramsTest, ServiceOfALocalServerIsChosenShownAndControlled) {
  StandInSystemctl(System + "/systemctl", Log());
  SetEnv("VANDREL_SERVER_SERVICE", "msde-sim");
  QStringList units;
  std::string status;
  Dialogs.DialogAnswers.push_back([&](QDialog* d) {
    auto* dlg = dynamic_cast<admin::TServiceManagerDlg*>(d);
    if (!dlg) return int(QDialog::Rejected);
    for (int i = 0; i < dlg->ServiceBox->count(); ++i) units << dlg->ServiceBox->itemText(i);
    dlg->RestartButton->click();  // waits for systemctl, then asks for the status again
    dlg->ServiceBox->setCurrentIndex(1);
    dlg->StartButton->click();
    status = dlg->StatusText->toPlainText().toStdString();
    return int(QDialog::Accepted);
  });
  Menu(TCommandId::cmServiceManager)();
  EXPECT_EQ(units, (QStringList{"msde-sim", "mssql-server.service"}));
  ASSERT_EQ(Dialogs.Messages.size(), 1u);
  EXPECT_EQ(LastText(), "Polecenie \"systemctl restart msde-sim\" zakończyło się kodem 1.\n\n"
                        "Failed to restart msde-sim.service: Access denied");
  EXPECT_EQ(Dialogs.Messages.back().Icon, MsgIcon::Error);
  const std::string log = ReadFile(Log());
  EXPECT_EQ(log.substr(log.find("systemctl status")),
            "systemctl status --no-pager msde-sim\nsystemctl restart msde-sim\n"
            "systemctl status --no-pager msde-sim\nsystemctl start mssql-server.service\n"
            "systemctl status --no-pager mssql-server.service\n");
  for (const char* here : {"127.0.0.1,1433", "::1", "[::1],1433", "(local)\\SQLEXPRESS", "LOCALHOST"})
    EXPECT_TRUE(admin::HostIsThisMachine(here)) << here;
  for (const char* elsewhere : {"KASA9", "10.254.254.254", ""}) EXPECT_FALSE(admin::HostIsThisMachine(elsewhere)) << elsewhere;
}

TEST_F(ExternalProgramsTest, AServerElsewhereIsSaidToRunThere) {
  Program(System + "/systemctl");
  Form->ConnectionString = "DRIVER={SQL Server};SERVER=KASA9;UID=sa;PWD=;";  // as the dialog built it for KASA9
  EXPECT_TRUE(NothingStarted(Button(4))) << "no service of this machine is touched";
  EXPECT_TRUE(Dialogs.DialogsRun.empty() || Dialogs.DialogsRun.back() != "ServiceManagerDlg");
  ASSERT_FALSE(Dialogs.Messages.empty());
  EXPECT_EQ(LastText(), "Serwer bazy danych KASA9 działa na innym komputerze. Jego usługą zarządza się na tamtym "
                        "komputerze.");
  EXPECT_EQ(Dialogs.Messages.back().Caption, "SQL Service Manager");
}

}  // namespace
}  // namespace vandrel::app::testing
