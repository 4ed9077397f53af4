// The demo keeps to its directory: the tool started as `vandrel --demo` starts it, then the
// Tovinex network set-up and an attach, which write data sources, FreeTDS sections, registry
// values and the Tovinex log directory, change nothing of the machine's own configuration or
// the user's home. A new start resets all of it together with the server's files.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QToolButton>
#include <QTreeWidget>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>

#include "app/MainWindow.h"
#include "app/OdbcDataSources.h"
#include "app/PasswordDlg.h"
#include "app/admin/PodlPlik.h"
#include "app/admin/ServerFileDlg.h"
#include "app/clientsetup/PasswordDlg2.h"
#include "app/clientsetup/TovinexPassword.h"
#include "app/demo/Demo.h"
#include "app/tests/Isql.h"
#include "app/tests/ScriptedDialogs.h"
#include "testkit/SimServer.h"
#include "testkit/TempDir.h"

namespace vandrel::app::testing {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& Path) {
  std::ifstream In(Path, std::ios::binary);
  std::stringstream Text;
  Text << In.rdbuf();
  return Text.str();
}

// Everything below each path (kind, link target, contents), to compare before and after.
std::map<std::string, std::string> Snapshot(const std::vector<std::string>& Paths) {
  std::map<std::string, std::string> Seen;
  const auto Record = [&Seen](const fs::path& Path) {
    std::error_code Error;
    const auto Status = fs::symlink_status(Path, Error);
    if (fs::is_symlink(Status))
      Seen[Path.string()] = "link " + fs::read_symlink(Path, Error).string();
    else if (fs::is_directory(Status))
      Seen[Path.string()] = "dir";
    else if (fs::exists(Status))
      Seen[Path.string()] = ReadAll(Path);
  };
  for (const auto& Path : Paths) {
    Record(Path);
    std::error_code Error;
    if (fs::is_directory(fs::symlink_status(Path, Error)))
      for (const auto& Entry : fs::recursive_directory_iterator(Path, Error)) Record(Entry.path());
  }
  return Seen;
}

// The paths whose kind or contents differ, or that are new or gone.
std::vector<std::string> Changed(const std::map<std::string, std::string>& Before,
                                 const std::map<std::string, std::string>& After) {
  std::vector<std::string> Paths;
  for (const auto& [Path, Seen] : Before)
    if (!After.count(Path) || After.at(Path) != Seen) Paths.push_back(Path);
  for (const auto& [Path, Seen] : After)
    if (!Before.count(Path)) Paths.push_back(Path);
  return Paths;
}

class DemoIsolationTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { TestApplication(); }

  // A scratch home with the user's own files in it, and every configuration variable pointed
  // at stand-ins for the machine's files in the scratch directory: a demo that forgot one
  // would change a stand-in, which the test sees, and never the machine's own file.
  void SetUp() override {
    Home = Scratch.Path() + "/home";
    fs::create_directories(Home + "/.wine/drive_c");
    std::ofstream(Home + "/.odbc.ini") << "[Kasa]\nDriver = SQL Server\nServer = kasa1\n";
    std::ofstream(Home + "/.freetds.conf") << "[kasa1]\n\thost = 10.0.0.5\n";
    Machine = Scratch.Path() + "/machine";
    fs::create_directories(Machine + "/freetds/etc");
    std::ofstream(Machine + "/odbc.ini") << "[Biuro]\nDriver = SQL Server\n";
    SetEnv("HOME", Home);
    SetEnv("XDG_CONFIG_HOME", Home + "/.config");
    SetEnv("ODBCSYSINI", Machine);
    SetEnv("ODBCINI", Home + "/.odbc.ini");
    SetEnv("FREETDSCONF", Home + "/.freetds.conf");
    SetEnv("FREETDS", Machine + "/freetds");
    SetEnv("WINEPREFIX", Home + "/.wine");
    SetEnv("VANDREL_REGISTRY_DIR", Machine + "/registry");
    SetEnv("TDSPORT", "");
    unsetenv("TDSPORT");
    Before = Snapshot(Watched());
  }
  void TearDown() override {
    Form.reset();
    Demo.reset();
    for (const auto& [Name, Value] : Saved) Value ? setenv(Name.c_str(), Value->c_str(), 1) : unsetenv(Name.c_str());
  }

  void SetEnv(const std::string& Name, const std::string& Value) {
    if (!Saved.count(Name)) {
      const char* Old = getenv(Name.c_str());
      Saved[Name] = Old ? std::optional<std::string>(Old) : std::nullopt;
    }
    setenv(Name.c_str(), Value.c_str(), 1);
  }

  // The machine's own configuration, the user's, and the stand-ins.
  std::vector<std::string> Watched() const {
    return {"/etc/freetds",           "/etc/odbc.ini",          "/etc/odbcinst.ini", "/etc/vandrel", Machine,
            Home + "/.odbc.ini",      Home + "/.freetds.conf",  Home + "/.wine",     Home + "/.config/vandrel"};
  }

  // The demo as `vandrel --demo` starts it, on a free port; the window connected to "(local)".
  void StartDemoAndConnect() {
    Form.reset();
    Demo.reset();
    Demo = demo::TDemo::Start(demo::TDemoSite(DemoDir()), demo::OwnProgramDirectory(), 0);
    Form = std::make_unique<TForm1>();
    Dialogs.DialogAnswers.push_back([](QDialog* d) {
      static_cast<TPasswordDlg*>(d)->Edit3->setText("");
      return int(QDialog::Accepted);
    });
    Form->FormShow();
    ASSERT_FALSE(Form->TreeView1->findItems("Sklep", Qt::MatchExactly | Qt::MatchRecursive).isEmpty());
    Dialogs.Messages.clear();
  }
  std::string DemoDir() const { return Scratch.Path() + "/demo"; }

  void RunOnDatabase(TCommandId Command, const QString& Database, std::function<int(QDialog*)> Answer) {
    Form->TreeView1->setCurrentItem(
        Form->TreeView1->findItems(Database, Qt::MatchExactly | Qt::MatchRecursive).value(0));
    Dialogs.DialogAnswers.push_back(std::move(Answer));
    for (QAction* a : Form->Commands(Command))
      if (Form->PopupMenu1->actions().contains(a)) return a->trigger();
    FAIL() << "no command " << CommandCaption(Command);
  }
  // "Utwórz połączenie sieciowe Tovinex" for Sklep on "(local)", and "Podłącz bazę" of Sklep2.
  void SetUpNetworkAndAttach() {
    RunOnDatabase(TCommandId::cmTovinexConnection, "Sklep", [](QDialog* d) {
      auto* Dlg = static_cast<clientsetup::TPasswordDlg2*>(d);
      Dlg->ComboBox2->setEditText("(local)");
      Dlg->ComboBox1->setEditText("Gniazda TCP/IP");
      d->findChild<QAbstractButton*>("OKBtn")->click();
      return d->result();
    });
    // The demo's server keeps its files where this machine has no Windows drive for them: its
    // disk is browsed through the server.
    RunOnDatabase(TCommandId::cmAttach, "Sklep", [this](QDialog* d) {
      Dialogs.DialogAnswers.push_front([](QDialog* chooser) {
        auto* c = static_cast<admin::TServerFileDlg*>(chooser);
        c->FileNameEdit->setText("Sklep2.mdf");
        c->OKBtn->click();
        return c->result();
      });
      static_cast<admin::TPodlPlik*>(d)->SpeedButton2->click();
      d->findChild<QAbstractButton*>("OKBtn")->click();
      return d->result();
    });
  }
  std::vector<std::string> MessageTexts() const {
    std::vector<std::string> Texts;
    for (const auto& m : Dialogs.Messages) Texts.push_back(m.Caption + ": " + m.Text);
    return Texts;
  }

  msde::testkit::TempDir Scratch{"vandrel-demo-test"};
  std::string Home, Machine;
  std::map<std::string, std::string> Before;
  ScriptedDialogs Dialogs;
  std::unique_ptr<demo::TDemo> Demo;
  std::unique_ptr<TForm1> Form;

 private:
  std::map<std::string, std::optional<std::string>> Saved;
};

TEST_F(DemoIsolationTest, NetworkSetUpAndAttachWriteOnlyIntoTheDemoDirectory) {
  StartDemoAndConnect();
  SetUpNetworkAndAttach();
  ASSERT_EQ(MessageTexts().size(), 2u);
  EXPECT_EQ(MessageTexts()[0].rfind("Nowe połączenie Tovinex: Utworzono połączenie sieciowe Tovinex\n", 0), 0u);
  EXPECT_EQ(MessageTexts()[1], "Dodawanie nowej bazy: Baza została podlaczona");

  EXPECT_EQ(Changed(Before, Snapshot(Watched())), std::vector<std::string>{});
  // What the commands wrote is in the demo directory: both data source files, the system half
  // of FreeTDS's configuration, the registry store and the Tovinex log directory.
  const std::string Dir = DemoDir();
  EXPECT_NE(ReadAll(Dir + "/user-odbc.ini").find("[Sklep]"), std::string::npos);
  EXPECT_NE(ReadAll(Dir + "/odbc.ini").find("[Sklep2]"), std::string::npos);
  EXPECT_NE(ReadAll(Dir + "/freetds/etc/freetds.conf").find("[(local)]"), std::string::npos);
  EXPECT_NE(ReadAll(Dir + "/registry/HKEY_LOCAL_MACHINE.reg").find("TovinexWin\\Bazy\\Sklep2]"), std::string::npos);
  EXPECT_TRUE(fs::is_directory(Dir + "/wine/drive_c/Logi"));
  // Both data sources name "(local)", which FreeTDS sends to the demo's server: a till logs in
  // with the login the set-up names and the password Tovinex derives.
  for (const std::string& Database : {std::string("Sklep"), std::string("Sklep2")}) {
    const std::string Login = Database;  // the demo's own login, and the one the attach made
    const std::string Answer = IsqlDatabase(Database, Login, clientsetup::TovinexPassword(Database));
    EXPECT_NE(Answer.find("| " + Database + " "), std::string::npos) << Answer;
  }

  // The user's and the system's data sources are two files: the demo's own source is the
  // system's alone, and the sources the commands made are listed once each.
  const auto Names = [](TOdbcSourceScope Scope) {
    std::vector<std::string> Found;
    for (const auto& Source : ListOdbcDataSources(Scope)) Found.push_back(Source.Name);
    std::sort(Found.begin(), Found.end());
    return Found;
  };
  EXPECT_EQ(Names(TOdbcSourceScope::osUser), (std::vector<std::string>{"Sklep", "Sklep2"}));
  EXPECT_EQ(Names(TOdbcSourceScope::osSystem), (std::vector<std::string>{"Sklep", "Sklep2", "Vandrel demo"}));
  EXPECT_EQ(Names(TOdbcSourceScope::osAll), (std::vector<std::string>{"Sklep", "Sklep2", "Vandrel demo"}));
}

TEST_F(DemoIsolationTest, ANewStartResetsTheConfigurationTogetherWithTheServersFiles) {
  StartDemoAndConnect();
  SetUpNetworkAndAttach();
  std::ofstream(DemoDir() + "/notatki.txt") << "moje\n";

  StartDemoAndConnect();
  const std::string Dir = DemoDir();
  // The only entry after a new start is the connection just made, kept for the next one.
  for (const auto& Entry : fs::directory_iterator(Dir + "/registry")) {
    EXPECT_EQ(Entry.path().filename().string().rfind("HKEY_CURRENT_USER.reg", 0), 0u) << Entry.path();
    EXPECT_EQ(ReadAll(Entry.path()).find("Tovinex"), std::string::npos);
  }
  EXPECT_TRUE(fs::is_empty(Dir + "/wine"));
  EXPECT_EQ(ReadAll(Dir + "/user-odbc.ini"), "");
  EXPECT_EQ(ReadAll(Dir + "/odbc.ini").find("[Sklep"), std::string::npos);
  EXPECT_EQ(ReadAll(Dir + "/freetds/etc/freetds.conf").find("(local)"), std::string::npos);
  // The server starts from its data set again, and the files it attaches are the site's own.
  EXPECT_TRUE(Form->TreeView1->findItems("Sklep2", Qt::MatchExactly | Qt::MatchRecursive).isEmpty());
  EXPECT_TRUE(fs::exists(Dir + "/files/Sklep2.mdf"));
  // Only what the demo makes goes.
  EXPECT_EQ(ReadAll(Dir + "/notatki.txt"), "moje\n");
  EXPECT_EQ(Changed(Before, Snapshot(Watched())), std::vector<std::string>{});
}

// "(local)" reaches the demo's server, and a server typed with its port is that server, not
// the demo's: the technician can switch servers from inside the demo.
TEST_F(DemoIsolationTest, AServerTypedWithItsPortIsReachedInsteadOfTheDemosServer) {
  StartDemoAndConnect();
  msde::testkit::SimServer second;
  const size_t mark = second.TraceMark();
  Dialogs.DialogAnswers.push_back([&second](QDialog* d) {
    auto* Dlg = static_cast<TPasswordDlg*>(d);
    Dlg->Edit1->setText(QStringLiteral("127.0.0.1,%1").arg(second.Port()));
    Dlg->Edit3->setText("");
    return int(QDialog::Accepted);
  });
  Form->Commands(TCommandId::cmConnect).first()->trigger();
  for (const std::string& Text : MessageTexts()) EXPECT_EQ(Text.find("połączenia z serwem"), std::string::npos) << Text;
  EXPECT_FALSE(Form->TreeView1->findItems("Sklep", Qt::MatchExactly | Qt::MatchRecursive).isEmpty());
  const size_t statements = second.TraceSince(mark).size();
  EXPECT_GT(statements, 0u);  // the tree was read from the second server
  EXPECT_EQ(Form->QueryScalar("select db_name()", "Sklep").Value, "Sklep");
  EXPECT_GT(second.TraceSince(mark).size(), statements);
  EXPECT_EQ(Changed(Before, Snapshot(Watched())), std::vector<std::string>{});
}

TEST_F(DemoIsolationTest, ADemoDirectoryThatIsALinkIsRefused) {
  fs::create_directories(Scratch.Path() + "/elsewhere/registry");
  fs::create_directory_symlink(Scratch.Path() + "/elsewhere", DemoDir());
  try {
    demo::TDemo::Start(demo::TDemoSite(DemoDir()), demo::OwnProgramDirectory(), 0);
    FAIL() << "the demo started in a linked directory";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find(DemoDir()), std::string::npos) << e.what();
  }
  EXPECT_TRUE(fs::exists(Scratch.Path() + "/elsewhere/registry"));
}

TEST_F(DemoIsolationTest, AToolWithoutItsSimulatorSaysWhichProgramIsMissing) {
  fs::create_directories(Scratch.Path() + "/bin");
  try {
    demo::TDemo::Start(demo::TDemoSite(DemoDir()), Scratch.Path() + "/bin", 0);
    FAIL() << "the demo started without a server";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find(Scratch.Path() + "/simulator/msde-sim"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace vandrel::app::testing
