// "Utwórz połączenie sieciowe Tovinex" end to end: the dialog, the registry writer's entries in
// the registry store, in unixODBC's files and in freetds.conf, and data sources that plain
// isql connects through.
#include <sys/stat.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <filesystem>

#include "app/clientsetup/PasswordDlg2.h"
#include "app/clientsetup/TovinexPassword.h"
#include "app/clientsetup/TovinexRegistry.h"
#include "app/clientsetup/tests/ClientSetupFixture.h"

namespace vandrel::app::testing {
namespace {

using clientsetup::TPasswordDlg2;
using platform::HKEY_CURRENT_USER;
using platform::HKEY_LOCAL_MACHINE;

const char* const kTovinexKey = "SOFTWARE\\QUORVEL\\TovinexWin\\Bazy\\Sklep";
const char* const kAliasKey = "SOFTWARE\\Microsoft\\MSSQLServer\\Client\\ConnectTo";

class NetworkConnectionTest : public ClientSetupTest {
 protected:
  void SetUp() override {
    ClientSetupTest::SetUp();
    Connect();
    Dialogs.Messages.clear();
  }

  std::vector<std::string> MessageTexts() const {
    std::vector<std::string> texts;
    for (const auto& m : Dialogs.Messages) texts.push_back(m.Caption + ": " + m.Text);
    return texts;
  }
};

std::vector<std::string> TovinexValues(const std::string& Blokada) {
  std::vector<std::string> v = {"RodzajBazyDanych=MSSQLServer", "OdbcDsn=Sklep",
                                "KartotekaKas=C:\\Program Files\\Quorvel\\TovinexWin_7_1\\Kasy", "UserId=Sklep",
                                "CTO=60", "QTO=120", "Log=C:\\Logi\\Sklep.log"};
  if (!Blokada.empty()) v.push_back("Blokada=" + Blokada);
  return v;
}

std::vector<std::string> SourceValues(const std::string& Server) {
  return {"Driver=" + std::string(msde::testkit::kFreeTdsDriver), "Database=Sklep", "LastUser=sa", "StatsLog_On=Yes",
          "Server=" + Server};
}

TEST_F(NetworkConnectionTest, LocalServerWritesEveryEntryAndBothDataSourcesConnect) {
  Run("Sklep", "(local)");
  ASSERT_EQ(MessageTexts().size(), 1u);
  EXPECT_EQ(MessageTexts()[0].rfind("Nowe połączenie Tovinex: Utworzono połączenie sieciowe Tovinex\n\nŹródło danych "
                                    "ODBC: Sklep\nLogin: Sklep (hasło Tovinex tej bazy)\nSerwer: (local)\nZapisane pliki:",
                                    0),
            0u)
      << MessageTexts()[0];
  EXPECT_EQ(Dialogs.Messages.back().Icon, MsgIcon::Information);
  EXPECT_EQ(Values(HKEY_LOCAL_MACHINE, kTovinexKey), TovinexValues(""));
  EXPECT_EQ(Values(HKEY_CURRENT_USER, "SOFTWARE\\ODBC\\ODBC.INI\\Sklep"), SourceValues("(local)"));
  EXPECT_EQ(Values(HKEY_LOCAL_MACHINE, "SOFTWARE\\ODBC\\ODBC.INI\\Sklep"), SourceValues("(local)"));
  EXPECT_EQ(Value(HKEY_CURRENT_USER, "SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources", "Sklep"), "SQL Server");
  EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, "SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources", "Sklep"), "SQL Server");
  // No alias for "(local)"; its key is made all the same.
  EXPECT_EQ(Values(HKEY_LOCAL_MACHINE, kAliasKey), std::vector<std::string>{});
  // FreeTDS reads Servername; the values the store holds for Tovinex stay Windows paths.
  EXPECT_NE(ReadFile(UserOdbcIni()).find("Servername=(local)"), std::string::npos);
  EXPECT_NE(ReadFile(SystemOdbcIni()).find("Servername=(local)"), std::string::npos);
  EXPECT_NE(ReadFile(UserFreeTds()).find("[(local)]"), std::string::npos);
  EXPECT_NE(ReadFile(SystemFreeTds()).find("[(local)]"), std::string::npos);
  struct stat st;
  EXPECT_EQ(stat((Tmp->Path() + "/wine/drive_c/Logi").c_str(), &st), 0);

  // The user's data source hides the machine's of the same name; without the user file the
  // machine's is the one found.
  EXPECT_NE(IsqlDatabase("Sklep", "sa", "").find("| Sklep"), std::string::npos)
      << IsqlDatabase("Sklep", "sa", "");
  const std::string machine = IsqlDatabase("Sklep", "sa", "", "ODBCINI=/nonexistent");
  EXPECT_NE(machine.find("| Sklep"), std::string::npos) << machine;
}

// No login is named like "Sklep Wschód": UserId names the login its db_owner user is tied to,
// and a UserId naming a login gone since is replaced the same way.
TEST_F(NetworkConnectionTest, UserIdNamesALoginTheDatabaseUses) {
  const std::string key = "SOFTWARE\\QUORVEL\\TovinexWin\\Bazy\\Sklep Wschód";
  Run("Sklep Wschód", "(local)");
  EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, key, "UserId"), "SklepWschod") << ::testing::PrintToString(MessageTexts());
  {
    platform::TRegistry reg(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg.OpenKey(key, false));
    reg.WriteString("UserId", "Zniknal");
  }
  Run("Sklep Wschód", "(local)");
  EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, key, "UserId"), "SklepWschod");
}

// Connected to "(local)", the dialog proposes "(local)": no alias, and the machine's data
// source names "(local)".
TEST_F(NetworkConnectionTest, TheProposedServerOfALocalConnectionIsLocal) {
  Select(Node("Sklep"));
  Dialogs.DialogAnswers.push_back(Click("OKBtn"));
  Trigger();
  EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, "SOFTWARE\\ODBC\\ODBC.INI\\Sklep", "Server"), "(local)");
  EXPECT_EQ(Values(HKEY_LOCAL_MACHINE, kAliasKey), std::vector<std::string>{});
}

TEST_F(NetworkConnectionTest, AnotherServerGetsAnAliasAndTheMachineDataSourceUsesIt) {
  Run("Sklep", "KASA1");
  EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, kAliasKey, "Sklep"), "DBMSSOCN,KASA1");
  EXPECT_EQ(Values(HKEY_CURRENT_USER, "SOFTWARE\\ODBC\\ODBC.INI\\Sklep"), SourceValues("KASA1"));
  EXPECT_EQ(Values(HKEY_LOCAL_MACHINE, "SOFTWARE\\ODBC\\ODBC.INI\\Sklep"), SourceValues("Sklep"));
  const std::string system = ReadFile(SystemFreeTds());
  EXPECT_NE(system.find("[Sklep]\n\thost = KASA1\n"), std::string::npos) << system;
  EXPECT_NE(ReadFile(UserFreeTds()).find("[KASA1]\n\thost = KASA1\n"), std::string::npos);

  // Typed as the address and port of msde-sim, both data sources reach it on that port alone.
  const std::string server = "127.0.0.1," + std::to_string(Sim->Port());
  Run("", QString::fromStdString(server));
  EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, kAliasKey, "Sklep"), "DBMSSOCN," + server);
  EXPECT_EQ(Value(HKEY_CURRENT_USER, "SOFTWARE\\ODBC\\ODBC.INI\\Sklep", "Server"), server);
  const std::string user = IsqlDatabase("Sklep", "sa", "", "env -u TDSPORT");
  EXPECT_NE(user.find("| Sklep"), std::string::npos) << user;
  const std::string machine = IsqlDatabase("Sklep", "sa", "", "env -u TDSPORT ODBCINI=/nonexistent");
  EXPECT_NE(machine.find("| Sklep"), std::string::npos) << machine;
}

TEST_F(NetworkConnectionTest, NamedPipesNameTheHostOfTheToolsOwnConnection) {
  const std::string host = Form->ConnectionStringValue("SERVER");
  ASSERT_FALSE(host.empty());
  Run("Sklep", "KASA9", "Named Pipes");
  EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, kAliasKey, "Sklep"), "DBNMPNTW,\\\\" + host + "\\pipe\\sql\\query");
  // Any other text than the TCP/IP entry is Named Pipes.
  Run("Sklep", "KASA9", "tcp");
  EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, kAliasKey, "Sklep"), "DBNMPNTW,\\\\" + host + "\\pipe\\sql\\query");
  Run("Sklep", "KASA9", "Gniazda TCP/IP");
  EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, kAliasKey, "Sklep"), "DBMSSOCN,KASA9");
}

TEST_F(NetworkConnectionTest, ArchiveFlagIsWrittenThenRemovedAndASecondRunOverwrites) {
  Run("Sklep", "KASA1", "Gniazda TCP/IP", true);
  EXPECT_EQ(Values(HKEY_LOCAL_MACHINE, kTovinexKey), TovinexValues("1"));
  {
    platform::TRegistry reg(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg.OpenKey(kTovinexKey, false));
    reg.WriteString("UserId", "ktos");
    reg.WriteString("CTO", "5");
  }
  Run("Sklep", "(local)");
  EXPECT_EQ(Values(HKEY_LOCAL_MACHINE, kTovinexKey), TovinexValues(""));
  EXPECT_EQ(Values(HKEY_CURRENT_USER, "SOFTWARE\\ODBC\\ODBC.INI\\Sklep"), SourceValues("(local)"));
  EXPECT_EQ(Values(HKEY_LOCAL_MACHINE, "SOFTWARE\\ODBC\\ODBC.INI\\Sklep"), SourceValues("(local)"));
  // The alias of the first run stays: the writer adds aliases, it never removes one.
  EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, kAliasKey, "Sklep"), "DBMSSOCN,KASA1");
}

TEST_F(NetworkConnectionTest, AStoreThatCannotBeWrittenIsNamedWithItsReasonAndNothingIsCreated) {
  SetEnv("VANDREL_REGISTRY_DIR", "/dev/null/registry");
  Run("Sklep", "(local)");
  // Not followed by "Utworzono połączenie sieciowe Tovinex": nothing was created.
  ASSERT_EQ(MessageTexts().size(), 1u) << ::testing::PrintToString(MessageTexts());
  EXPECT_EQ(MessageTexts()[0].rfind("Tovinex: Błąd zapisu konfiguracji bazy danych\n\n", 0), 0u) << MessageTexts()[0];
  EXPECT_NE(MessageTexts()[0].find("/dev/null/registry"), std::string::npos) << MessageTexts()[0];
  EXPECT_NE(MessageTexts()[0].find("Not a directory"), std::string::npos) << MessageTexts()[0];
  EXPECT_EQ(Dialogs.Messages[0].Buttons, mbOK | mbCancel);
  EXPECT_EQ(ReadFile(UserOdbcIni()), "");
}

// A damaged store is named with its line, and the message says that nothing was written.
TEST_F(NetworkConnectionTest, ADamagedStoreIsNamedWithItsLineAndNothingIsWritten) {
  const std::string store = Tmp->Path() + "/registry/HKEY_LOCAL_MACHINE.reg";
  std::filesystem::create_directories(Tmp->Path() + "/registry");
  std::ofstream(store) << "Windows Registry Editor Version 5.00\n\nto nie jest wpis\n";
  Run("Sklep", "(local)");
  ASSERT_EQ(MessageTexts().size(), 1u) << ::testing::PrintToString(MessageTexts());
  EXPECT_EQ(MessageTexts()[0].rfind("Tovinex: Błąd zapisu konfiguracji bazy danych\n\n", 0), 0u) << MessageTexts()[0];
  EXPECT_NE(MessageTexts()[0].find(store + ", wiersz 3"), std::string::npos) << MessageTexts()[0];
  EXPECT_NE(MessageTexts()[0].find("Nie zapisano żadnego wpisu dla bazy \"Sklep\""), std::string::npos)
      << MessageTexts()[0];
  EXPECT_EQ(ReadFile(UserOdbcIni()), "");
}

// The log directory that cannot be made is said on its own, after the entries were written.
TEST_F(NetworkConnectionTest, ALogDirectoryThatCannotBeMadeIsSaid) {
  std::ofstream(Tmp->Path() + "/plik") << "x";
  SetEnv("WINEPREFIX", Tmp->Path() + "/plik");
  Run("Sklep", "(local)");
  ASSERT_EQ(MessageTexts().size(), 2u);
  EXPECT_EQ(MessageTexts()[0], "Tovinex: Wpisy zostały zapisane, ale nie udało się utworzyć katalogu logów Tovinex " +
                                   Tmp->Path() + "/plik/drive_c/Logi: Not a directory");
  EXPECT_EQ(MessageTexts()[1].rfind("Nowe połączenie Tovinex: Utworzono połączenie sieciowe Tovinex\n", 0), 0u);
  EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, kTovinexKey, "OdbcDsn"), "Sklep");
}

// Typed letter by letter, a name empties the field (no completion to a listed name), so
// Enter writes nothing for any database.
TEST_F(NetworkConnectionTest, TypingInTheDatabaseFieldNeverCompletesToAListedName) {
  Select(Node("Sklep"));
  Dialogs.DialogAnswers.push_back([&](QDialog* d) {
    auto* dlg = static_cast<TPasswordDlg2*>(d);
    dlg->show();
    dlg->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(dlg));
    dlg->ComboBox3->setFocus();
    dlg->ComboBox3->lineEdit()->selectAll();
    QTest::keyClick(dlg->ComboBox3->lineEdit(), Qt::Key_Backspace);
    QTest::keyClicks(dlg->ComboBox3->lineEdit(), "Hurt");
    EXPECT_EQ(dlg->ComboBox3->currentText(), QString());
    QTest::keyClick(dlg->ComboBox3->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(dlg->ComboBox3->currentText(), QString());
    return Click("OKBtn")(d);
  });
  Trigger();
  EXPECT_EQ(MessageTexts().back(), "Tworzenie połączenia sieciowego Tovinex: Brak nazwy bazy");
  EXPECT_EQ(ReadFile(UserOdbcIni()), "");
}

TEST_F(NetworkConnectionTest, AServerTextThatWouldAddKeysIsRefusedBeforeAnythingIsWritten) {
  Run("Sklep", "127.0.0.1;UID=sa");
  ASSERT_EQ(MessageTexts().size(), 1u) << ::testing::PrintToString(MessageTexts());
  EXPECT_NE(MessageTexts()[0].find("Tworzenie połączenia sieciowego Tovinex: Nazwa serwera \"127.0.0.1;UID=sa\""),
            std::string::npos)
      << MessageTexts()[0];
  EXPECT_EQ(ReadFile(UserOdbcIni()), "");
  EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, kAliasKey, "Sklep"), "<none>");
}

TEST_F(NetworkConnectionTest, ADatabaseNameNoLogFileCanCarryIsRefusedBeforeAnythingIsWritten) {
  for (const std::string name : {"..\\..\\x", "Sklep/Nowy", "Kasa:1"}) {
    Dialogs.Messages.clear();
    EXPECT_FALSE(clientsetup::WriteTovinexEntries(*Form, name, "Sklep", "(local)", clientsetup::TNetworkLibrary::TcpIp,
                                                  false));
    ASSERT_EQ(MessageTexts().size(), 1u) << ::testing::PrintToString(MessageTexts());
    EXPECT_EQ(MessageTexts()[0].rfind("Tovinex: Błąd zapisu konfiguracji bazy danych\n\nNazwa bazy \"" + name, 0), 0u)
        << MessageTexts()[0];
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, "SOFTWARE\\QUORVEL\\TovinexWin\\Bazy\\" + name, "Log"), "<none>");
  }
  EXPECT_EQ(ReadFile(UserOdbcIni()), "");
}

TEST_F(NetworkConnectionTest, ALaterFileThatCannotBeWrittenLeavesEveryFileAsItWas) {
  Run("Sklep", "KASA1");
  const std::string UserSources = ReadFile(UserOdbcIni());
  Dialogs.Messages.clear();
  // The machine's freetds.conf, written last, lies under a plain file.
  std::ofstream(Tmp->Path() + "/blocker") << "x";
  SetEnv("FREETDS", Tmp->Path() + "/blocker");
  Run("Sklep", "KASA2");
  ASSERT_EQ(MessageTexts().size(), 1u) << ::testing::PrintToString(MessageTexts());
  EXPECT_EQ(MessageTexts()[0].rfind("ODBC: Błąd zapisu konfiguracji bazy danych do ODBC\n\n", 0), 0u);
  EXPECT_NE(MessageTexts()[0].find(Tmp->Path() + "/blocker/etc/freetds.conf"), std::string::npos) << MessageTexts()[0];
  EXPECT_EQ(ReadFile(UserOdbcIni()), UserSources) << "the user's data source still names the first server";
  EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, kAliasKey, "Sklep"), "DBMSSOCN,KASA1");
}

TEST_F(NetworkConnectionTest, AMissingDriverLeavesDriverEmptyAfterItsMessage) {
  Form->OdbcDriverName = "SQL Native Client";
  Run("Sklep", "(local)");
  // A data source without its driver cannot connect: never said to be made.
  ASSERT_EQ(MessageTexts().size(), 3u) << ::testing::PrintToString(MessageTexts());
  EXPECT_EQ(MessageTexts()[0], "ODBC: Brak sterownika ODBC SQL Server!");
  EXPECT_EQ(MessageTexts()[1], "ODBC: Brak sterownika ODBC SQL Server!");
  EXPECT_EQ(MessageTexts()[2].rfind("Nowe połączenie Tovinex: Wpisy połączenia sieciowego Tovinex zostały zapisane, ale "
                                    "źródło danych \"Sklep\" nie łączy się z serwerem:",
                                    0),
            0u);
  EXPECT_EQ(Value(HKEY_CURRENT_USER, "SOFTWARE\\ODBC\\ODBC.INI\\Sklep", "Driver"), "");
  EXPECT_EQ(Value(HKEY_CURRENT_USER, "SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources", "Sklep"), "SQL Native Client");
}

TEST_F(NetworkConnectionTest, DialogDefaultsEditingRuleAndRefusal) {
  Select(Node("Sklep"));
  TPasswordDlg2* seen = nullptr;
  std::vector<QString> items;
  Dialogs.DialogAnswers.push_back([&](QDialog* d) {
    seen = static_cast<TPasswordDlg2*>(d);
    for (int i = 0; i < seen->ComboBox3->count(); ++i) items.push_back(seen->ComboBox3->itemText(i));
    EXPECT_EQ(seen->windowTitle(), QStringLiteral("Tworzenie połączenia sieciowego klienta"));
    EXPECT_EQ(seen->ComboBox3->currentText(), QStringLiteral("Sklep"));
    // The server as typed at the connection, not as the driver was given it ("127.0.0.1").
    EXPECT_EQ(seen->ComboBox2->currentText(), QStringLiteral("(local)"));
    EXPECT_EQ(seen->ComboBox1->currentText(), QStringLiteral("Gniazda TCP/IP"));
    EXPECT_FALSE(seen->BlokadaCheck->isChecked());
    // Typing a name letter by letter empties the field; a listed name stays.
    seen->ComboBox3->setEditText("S");
    EXPECT_EQ(seen->ComboBox3->currentText(), QString());
    seen->ComboBox3->setEditText("master");
    EXPECT_EQ(seen->ComboBox3->currentText(), QString());
    seen->ComboBox3->setEditText("Hurtownia");
    EXPECT_EQ(seen->ComboBox3->currentText(), QStringLiteral("Hurtownia"));
    seen->ComboBox3->setEditText("");
    seen->BlokadaCheck->setChecked(true);
    seen->ComboBox1->setEditText("Named Pipes");
    return Click("OKBtn")(d);  // refused: no database
  });
  Trigger();
  ASSERT_NE(seen, nullptr);
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"Tworzenie połączenia sieciowego Tovinex: Brak nazwy bazy"});
  EXPECT_EQ(Values(HKEY_LOCAL_MACHINE, kTovinexKey), std::vector<std::string>{"<no key>"});
  for (const QString& item : items) EXPECT_FALSE(item == "master" || item == "model" || item == "msdb" || item == "tempdb");
  EXPECT_NE(std::find(items.begin(), items.end(), QStringLiteral("Hurtownia")), items.end());

  // The next opening: the archive box is unticked again, the library kept; a table node
  // preselects nothing.
  Select(Node("Tabele"));
  Dialogs.DialogAnswers.push_back([&](QDialog* d) {
    EXPECT_EQ(d, seen);
    EXPECT_FALSE(seen->BlokadaCheck->isChecked());
    EXPECT_EQ(seen->ComboBox1->currentText(), QStringLiteral("Named Pipes"));
    EXPECT_EQ(seen->ComboBox3->currentText(), QString());
    return Click("CancelBtn")(d);
  });
  Trigger();
  EXPECT_EQ(Dialogs.Messages.size(), 1u);
}

TEST(TovinexPassword, EightCapitalLettersFromTheDatabaseNameAlone) {
  const std::string p = clientsetup::TovinexPassword("Sklep");
  ASSERT_EQ(p.size(), 8u);
  for (char c : p) EXPECT_TRUE(c >= 'A' && c <= 'Z') << p;
  EXPECT_EQ(clientsetup::TovinexPassword("Sklep"), p);
  EXPECT_EQ(clientsetup::TovinexPassword("SKLEP"), p);  // one database, whatever its case
  EXPECT_NE(clientsetup::TovinexPassword("Sklep1"), p);
  EXPECT_NE(clientsetup::TovinexPassword("Hurtownia"), p);
  EXPECT_EQ(clientsetup::TovinexPassword("Łódź"), clientsetup::TovinexPassword("łÓDŹ"));
}

TEST(TovinexPassword, HiddenWhereverAStatementCarriesOne) {
  using clientsetup::HidePasswords;
  EXPECT_EQ(HidePasswords("sp_addlogin 'O''Brien', 'AB''CDEFG', 'O''Brien'"),
            "sp_addlogin 'O''Brien', '********', 'O''Brien'");
  EXPECT_EQ(HidePasswords("EXEC SP_PASSWORD N'stare', N'nowe', 'kasa1'"),
            "EXEC SP_PASSWORD N'********', N'********', 'kasa1'");
  EXPECT_EQ(HidePasswords("sp_adduser 'Sklep','dba','db_owner'"), "sp_adduser 'Sklep','dba','db_owner'");
}

// Hurtownia has only its workers' logins: the command never tries one of them, asks to make
// the Tovinex login as an attach makes it ("Nie" the default, and with it nothing is written),
// and on "Tak" makes it, leaves the workers' users as they were and says what it wrote.
TEST_F(NetworkConnectionTest, ADatabaseWithoutATovinexLoginIsOfferedOneAndNoPersonsLoginIsTried) {
  const std::string sources = ReadFile(UserOdbcIni());
  Dialogs.MessageAnswers = {mbNo};
  Run("Hurtownia", "(local)");
  ASSERT_EQ(Dialogs.Messages.size(), 1u) << ::testing::PrintToString(MessageTexts());
  EXPECT_EQ(Dialogs.Messages[0].Buttons, mbYes | mbNo | mbDefaultNo);
  EXPECT_EQ(Dialogs.Messages[0].Text.rfind("Baza \"Hurtownia\" nie ma loginu Tovinex. Czy utworzyć go", 0), 0u)
      << Dialogs.Messages[0].Text;
  EXPECT_EQ(ReadFile(UserOdbcIni()), sources);
  EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, "SOFTWARE\\QUORVEL\\TovinexWin\\Bazy\\Hurtownia", "UserId"), "<none>");
  EXPECT_EQ(Dialogs.Messages[0].Text.find("magazyn"), std::string::npos) << "a worker's login is not the database's";

  Dialogs.Messages.clear();
  Dialogs.MessageAnswers = {mbYes};
  Run("Hurtownia", "(local)");
  ASSERT_EQ(Dialogs.Messages.size(), 2u) << ::testing::PrintToString(MessageTexts());
  EXPECT_EQ(Scalar("select dbname from syslogins where name = 'Hurtownia'"), "Hurtownia");
  EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, "SOFTWARE\\QUORVEL\\TovinexWin\\Bazy\\Hurtownia", "UserId"), "Hurtownia");
  EXPECT_EQ(Scalar("use Hurtownia select count(*) from sysusers where name = 'magazyn'"), "1");
  const std::string text = Dialogs.Messages[1].Text;
  EXPECT_EQ(Dialogs.Messages[1].Icon, MsgIcon::Information);
  EXPECT_EQ(text.rfind("Utworzono połączenie sieciowe Tovinex\n\nŹródło danych ODBC: Hurtownia\nLogin: Hurtownia", 0), 0u)
      << text;
  EXPECT_NE(text.find("Serwer: (local)"), std::string::npos) << text;
  EXPECT_NE(text.find(UserOdbcIni()), std::string::npos) << text;
  EXPECT_NE(text.find(SystemOdbcIni()), std::string::npos) << text;
  EXPECT_EQ(text.find(clientsetup::TovinexPassword("Hurtownia")), std::string::npos) << "never the password";
  EXPECT_NE(IsqlDatabase("Hurtownia", "Hurtownia", clientsetup::TovinexPassword("Hurtownia")).find("| Hurtownia"),
            std::string::npos);
}

// A data source that does not reach the server is never said to be made.
TEST_F(NetworkConnectionTest, ADataSourceThatDoesNotConnectIsSaidSo) {
  Run("Sklep", "KASA-NIEZNANA");
  ASSERT_EQ(Dialogs.Messages.size(), 1u) << ::testing::PrintToString(MessageTexts());
  EXPECT_EQ(Dialogs.Messages[0].Icon, MsgIcon::Error);
  EXPECT_EQ(Dialogs.Messages[0].Text.rfind("Wpisy połączenia sieciowego Tovinex zostały zapisane, ale źródło danych "
                                           "\"Sklep\" nie łączy się z serwerem:", 0),
            0u)
      << Dialogs.Messages[0].Text;
  EXPECT_NE(Dialogs.Messages[0].Text.find("Serwer: KASA-NIEZNANA"), std::string::npos);
}

// Reached at an address and port, the Named Pipes alias names a pipe the client can open: the
// host alone, never "host,port".
TEST_F(NetworkConnectionTest, TheNamedPipesAliasOfAnAddressAndPortIsAPipeName) {
  ConnectByAddress();
  Run("Sklep", "KASA9", "Named Pipes");
  EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, kAliasKey, "Sklep"), "DBNMPNTW,\\\\127.0.0.1\\pipe\\sql\\query");
}

}  // namespace
}  // namespace vandrel::app::testing
