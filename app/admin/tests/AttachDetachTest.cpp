// "Podłącz bazę" and "Odłącz bazę" end to end against msde-sim: the dialog and its browsing
// rules, the attach statements, the post-attach set-up for each owner case (read back from the
// server's statement trace), the entries written for Tovinex, and detach with its guard.
#include <gmock/gmock.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <filesystem>
#include <utility>

#include "app/admin/PodlPlik.h"
#include "app/admin/ServerFileDlg.h"
#include "app/admin/tests/AdminFixture.h"
#include "app/clientsetup/TovinexPassword.h"
#include "platform/WindowsPaths.h"
#include "app/clientsetup/tests/ClientSetupFixture.h"
#include "testkit/OdbcClient.h"
#include "testkit/TestProxy.h"

namespace vandrel::app::testing {
namespace {

namespace fs = std::filesystem;
using admin::TPodlPlik;
using platform::HKEY_LOCAL_MACHINE;

const char* const kAddLoginNote =
    "-- 'sp_addlogin' was found in the text of this event. The text has been replaced with this comment for "
    "security reasons.";

class AttachDetachTest : public ClientSetupTest {
 protected:
  // The demo's attachable files and the owner cases, in one directory the server may change.
  AttachDetachTest() {
    for (const char* dir : {"files", "owner-cases"})
      for (const auto& entry : fs::directory_iterator(std::string(MSDE_DATA_DIR) + "/" + dir))
        fs::copy(entry.path(), Files.Path() + "/" + entry.path().filename().string());
  }
  msde::testkit::SimServerOptions ServerOptions() const override {
    msde::testkit::SimServerOptions options;
    options.files_dir = Files.Path();
    options.private_files = true;
    return options;
  }
  // The server on this machine keeps its data directory where this machine sees it, as a
  // server run under Wine does, so that the ordinary file chooser serves.
  void SetUp() override {
    ClientSetupTest::SetUp();
    Connect();
    fs::create_directories(LocalDataDirectory());
    Dialogs.Messages.clear();
  }
  std::string LocalDataDirectory() {
    const std::string master = Scalar("select filename from sysaltfiles where dbid=1 and fileid=1");
    return platform::LocalPathOf(master.substr(0, master.rfind('\\')));
  }

  std::string File(const std::string& Name) const { return Sim->FilesDir() + "/" + Name; }

  // The command as the tree's pop-up menu offers it.
  void Trigger(TCommandId Command) {
    for (QAction* a : Form->Commands(Command))
      if (Form->PopupMenu1->actions().contains(a)) return a->trigger();
    FAIL() << "no command " << CommandCaption(Command);
  }

  // Runs "Podłącz bazę": Name typed first (when given), the data file browsed for through the
  // scripted chooser, "Zapisz" clicked.
  void Attach(const std::string& DataFile, const std::string& Name = "", std::function<void(TPodlPlik*)> More = {}) {
    Dialogs.FileAnswers.push_back(QString::fromStdString(DataFile));
    Dialogs.DialogAnswers.push_back(Click("OKBtn", [=](QDialog* d) {
      auto* dlg = static_cast<TPodlPlik*>(d);
      if (!Name.empty()) dlg->Edit1->setText(QString::fromStdString(Name));
      dlg->SpeedButton2->click();
      if (More) More(dlg);
    }));
    Trigger(TCommandId::cmAttach);
    // The set-up tries the new data source as a till would, and the server ends that session
    // once it reads the closed connection, on a thread of its own: a command that follows at
    // once would rightly find the database in use.
    QTRY_VERIFY_WITH_TIMEOUT(
        Scalar("select count(*) from sysprocesses where spid > 50 and dbid > 4 and loginame <> 'sa'") == "0", 30000);
  }

  // The statements the window sent since Mark, its connection probes left out.
  std::vector<std::string> Sent(size_t Mark) const {
    std::vector<std::string> texts;
    for (const auto& line : Sim->TraceSince(Mark))
      if (line.Text != "select 1") texts.push_back(line.Text);
    return texts;
  }
  static bool Has(const std::vector<std::string>& Texts, const std::string& Text) {
    return std::find(Texts.begin(), Texts.end(), Text) != Texts.end();
  }
  std::vector<std::string> MessageTexts() const {
    std::vector<std::string> texts;
    for (const auto& m : Dialogs.Messages) texts.push_back(m.Caption + ": " + m.Text);
    return texts;
  }

  msde::testkit::TempDir Files{"vandrel-attach"};
};

const std::vector<std::string> kSuccess = {"Dodawanie nowej bazy: Baza została podlaczona"};

TEST_F(AttachDetachTest, Sklep2WithItsLogIsAttachedPreparedAndReachableThroughItsDataSource) {
  const size_t mark = Sim->TraceMark();
  Attach(File("Sklep2.mdf"));
  ASSERT_EQ(MessageTexts(), kSuccess);
  EXPECT_NE(Node("Sklep2"), nullptr);
  EXPECT_NE(NodeUnder(Node("Loginy"), "Sklep2"), nullptr);
  // Its tables belong to its user sklep2, which exists: no sp_adduser, the user is tied.
  EXPECT_EQ(Sent(mark).size() >= 11, true);
  const std::vector<std::string> expected = {
      "use master",
      "sp_attach_db @dbname = N'Sklep2',@filename1 = N'" + File("Sklep2.mdf") + "',@filename2 = N'" +
          File("Sklep2_log.ldf") + "'",
      "use Sklep2",
      "sp_tables @table_type = \"'TABLE'\"",
      "sp_helpuser",
      "use master",
      "select name from syslogins",
      kAddLoginNote,
      "use Sklep2",
      "sp_change_users_login 'update_one','sklep2','Sklep2'",
      "use master"};
  // From the attach on (browsing read the server's data directory before it).
  std::vector<std::string> sent = Sent(mark);
  const auto attach = std::find(sent.begin(), sent.end(), expected[1]);
  ASSERT_NE(attach, sent.begin());
  sent.erase(sent.begin(), attach - 1);
  EXPECT_EQ(std::vector<std::string>(sent.begin(), sent.begin() + std::min(sent.size(), expected.size())), expected);
  EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, "SOFTWARE\\QUORVEL\\TovinexWin\\Bazy\\Sklep2", "UserId"), "Sklep2");
  EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, "SOFTWARE\\QUORVEL\\TovinexWin\\Bazy\\Sklep2", "Blokada"), "<none>");
  // Tovinex logs in with the login and the password derived from the database name, through
  // the data source the tool wrote, straight into the database.
  const std::string password = clientsetup::TovinexPassword("Sklep2");
  const std::string out = IsqlDatabase("Sklep2", "Sklep2", password);
  EXPECT_NE(out.find("| Sklep2"), std::string::npos) << out;
  EXPECT_EQ(ReadFile(Sim->TraceFile()).find(password), std::string::npos);
}

TEST_F(AttachDetachTest, WithoutALogFileTheSingleFileAttachIsUsed) {
  fs::remove(File("Sklep2_log.ldf"));
  const size_t mark = Sim->TraceMark();
  Attach(File("Sklep2.mdf"), "", [](TPodlPlik* d) {
    EXPECT_EQ(d->Edit4->text(), QString());
    EXPECT_EQ(d->Edit1->text(), QStringLiteral("Sklep2"));
    d->BlokadaCheck->setChecked(true);
  });
  ASSERT_EQ(MessageTexts(), kSuccess);
  EXPECT_TRUE(Has(Sent(mark), "sp_attach_single_file_db 'Sklep2','" + File("Sklep2.mdf") + "'"));
  EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, "SOFTWARE\\QUORVEL\\TovinexWin\\Bazy\\Sklep2", "Blokada"), "1");
}

TEST_F(AttachDetachTest, BrowsingKeepsATypedNameAndCutsTheStemAtTheFirstDot) {
  fs::copy(File("Sklep2.mdf"), File("a.b.mdf"));
  fs::copy(File("Sklep2_log.ldf"), File("a_log.ldf"));
  Attach(File("a.b.mdf"), "", [&](TPodlPlik* d) {
    EXPECT_EQ(d->Edit3->text().toStdString(), File("a.b.mdf"));
    EXPECT_EQ(d->Edit4->text().toStdString(), File("a_log.ldf"));
    EXPECT_EQ(d->Edit1->text(), QStringLiteral("a"));
  });
  ASSERT_EQ(MessageTexts(), kSuccess);
  EXPECT_NE(Node("a"), nullptr);

  // A name typed before browsing stays; the dialog opens empty again, the box kept.
  Attach(File("Sklep2.mdf"), "Nowa", [](TPodlPlik* d) {
    EXPECT_EQ(d->Edit1->text(), QStringLiteral("Nowa"));
    EXPECT_TRUE(d->CheckBox1->isChecked());
  });
  EXPECT_NE(Node("Nowa"), nullptr);
  EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, "SOFTWARE\\QUORVEL\\TovinexWin\\Bazy\\Nowa", "UserId"), "Nowa");
}

// With the default-directory box ticked the local chooser starts in the server's data
// directory as it lies on this machine; unticked, where the chooser itself would.
TEST_F(AttachDetachTest, TheLocalChooserStartsInTheServersDataDirectory) {
  const std::string local = LocalDataDirectory();
  Attach(File("Sklep2.mdf"));
  ASSERT_FALSE(Dialogs.FileDirectories.empty());
  EXPECT_EQ(Dialogs.FileDirectories.back().toStdString(), local);
  Attach(File("Dbo.mdf"), "", [](TPodlPlik* d) {
    d->CheckBox1->setChecked(false);
    d->SpeedButton3->click();
    d->CheckBox1->setChecked(true);
  });
  EXPECT_EQ(Dialogs.FileDirectories.back(), QString());
}

TEST_F(AttachDetachTest, ValidationKeepsTheDialogOpenAndNeedsANewChoice) {
  TPodlPlik* seen = nullptr;
  Dialogs.DialogAnswers.push_back([&](QDialog* d) {
    seen = static_cast<TPodlPlik*>(d);
    EXPECT_EQ(seen->windowTitle(), QStringLiteral("Podłączanie nowej bazy"));
    EXPECT_FALSE(seen->OKBtn->isEnabled());
    EXPECT_EQ(seen->SpeedButton2->toolTip(), QStringLiteral("Wyszukaj plik bazy danych"));
    EXPECT_EQ(Click("OKBtn")(d), QDialog::Rejected);  // disabled: nothing happens
    Dialogs.FileAnswers.push_back(QString::fromStdString(File("Sklep2.mdf")));
    seen->SpeedButton2->click();
    EXPECT_TRUE(seen->OKBtn->isEnabled());
    seen->Edit1->clear();
    EXPECT_EQ(Click("OKBtn")(d), QDialog::Rejected);  // no name
    EXPECT_FALSE(seen->OKBtn->isEnabled());
    // A missing file chosen changes nothing.
    Dialogs.FileAnswers.push_back(QString::fromStdString(File("Brak.mdf")));
    seen->SpeedButton2->click();
    EXPECT_FALSE(seen->OKBtn->isEnabled());
    return Click("CancelBtn")(d);
  });
  Trigger(TCommandId::cmAttach);
  ASSERT_NE(seen, nullptr);
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"Podłączanie pliku bazy: Nie podano nazwy bazy"});
  EXPECT_EQ(Node("Sklep2"), nullptr);
}

TEST_F(AttachDetachTest, RefusalsAreShownByTheErrorReportWithoutSuccessOrRebuild) {
  QTreeWidgetItem* bazy = Node("Bazy");
  Attach(File("Sklep2.mdf"), "Sklep");
  ASSERT_EQ(Dialogs.Messages.size(), 1u);
  EXPECT_EQ(Dialogs.Messages[0].Caption, "Błąd");
  EXPECT_NE(Dialogs.Messages[0].Text.find("Database 'Sklep' already exists."), std::string::npos);
  EXPECT_EQ(Node("Bazy"), bazy);  // the same node: no rebuild

}

// A file this machine has in a directory the server cannot see is refused as it is chosen,
// with the reason, before any attach statement; the dialog waits for another choice.
TEST_F(AttachDetachTest, AFileTheServerCannotSeeIsRefusedBeforeAnyStatement) {
  msde::testkit::TempDir elsewhere("vandrel-elsewhere");
  fs::copy(File("Sklep2.mdf"), elsewhere.Path() + "/Obca.mdf");
  const size_t mark = Sim->TraceMark();
  bool enabled = true;
  Dialogs.FileAnswers.push_back(QString::fromStdString(elsewhere.Path() + "/Obca.mdf"));
  Dialogs.DialogAnswers.push_back([&](QDialog* d) {
    auto* dlg = static_cast<TPodlPlik*>(d);
    dlg->CheckBox1->setChecked(false);
    dlg->SpeedButton2->click();
    enabled = dlg->OKBtn->isEnabled();
    EXPECT_TRUE(dlg->Edit3->text().isEmpty());
    return Click("CancelBtn")(d);
  });
  Trigger(TCommandId::cmAttach);
  EXPECT_FALSE(enabled);
  ASSERT_EQ(Dialogs.Messages.size(), 1u);
  EXPECT_EQ(Dialogs.Messages[0].Caption, TPodlPlik::kDataTitle.toStdString());
  EXPECT_EQ(Dialogs.Messages[0].Text, "Serwer nie widzi pliku \"" + elsewhere.Path() + "/Obca.mdf\": katalog " +
                                          elsewhere.Path() + " nie istnieje na dysku serwera. Wybierz plik w katalogu "
                                          "danych serwera albo w innym katalogu, który serwer widzi.");
  for (const std::string& text : Sent(mark)) EXPECT_EQ(text.find("sp_attach"), std::string::npos) << text;
  EXPECT_EQ(Node("Obca"), nullptr);
}

// A server on this machine whose data directory has no place on this machine's disk (the
// chooser would open in the home directory): its disk is browsed through the server, from its
// data directory, and the server's own path is attached.
TEST_F(AttachDetachTest, AServerHereWhoseDataDirectoryIsNotHereIsBrowsedThroughTheServer) {
  fs::remove_all(LocalDataDirectory());
  const QString data = QStringLiteral("C:\\Program Files\\Microsoft SQL Server\\MSSQL\\Data");
  QString opened;
  Dialogs.DialogAnswers.push_back(Click("OKBtn", [&](QDialog* d) {
    Dialogs.DialogAnswers.push_front([&](QDialog* chooser) {
      auto* c = static_cast<admin::TServerFileDlg*>(chooser);
      opened = c->Directory();
      c->FileNameEdit->setText("Sklep2.mdf");
      c->OKBtn->click();
      return c->result();
    });
    static_cast<TPodlPlik*>(d)->SpeedButton2->click();
  }));
  const size_t mark = Sim->TraceMark();
  Trigger(TCommandId::cmAttach);
  EXPECT_TRUE(Dialogs.FileDirectories.empty()) << "the local chooser was opened";
  EXPECT_EQ(opened, data);
  EXPECT_EQ(MessageTexts(), kSuccess);
  EXPECT_TRUE(Has(Sent(mark), "sp_attach_db @dbname = N'Sklep2',@filename1 = N'" + data.toStdString() +
                                  "\\Sklep2.mdf',@filename2 = N'" + data.toStdString() + "\\Sklep2_log.ldf'"));
}

TEST_F(AttachDetachTest, OwnersDecideTheUserAndSeveralOwnersAsk) {
  size_t mark = Sim->TraceMark();
  Attach(File("Dbo.mdf"));
  EXPECT_EQ(MessageTexts(), kSuccess);
  std::vector<std::string> sent = Sent(mark);
  EXPECT_TRUE(Has(sent, "sp_adduser 'Dbo','dba','db_owner'"));
  EXPECT_TRUE(Has(sent, "sp_change_users_login 'update_one','dba','Dbo'"));
  // The Tovinex key names the login, which Tovinex logs in with and detach drops, not the user.
  EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, "SOFTWARE\\QUORVEL\\TovinexWin\\Bazy\\Dbo", "UserId"), "Dbo");

  Dialogs.Messages.clear();
  mark = Sim->TraceMark();
  Attach(File("Jan.mdf"));
  EXPECT_EQ(MessageTexts(), kSuccess);
  sent = Sent(mark);
  EXPECT_FALSE(Has(sent, "sp_adduser 'Jan','jan','db_owner'"));  // jan is a user of the file already
  EXPECT_TRUE(Has(sent, "sp_change_users_login 'update_one','jan','Jan'"));

  // jan and ewa: the user is "dba" and the question comes after the entries; No leaves them.
  Dialogs.Messages.clear();
  Dialogs.MessageAnswers = {mbNo};
  mark = Sim->TraceMark();
  Attach(File("JanEwa.mdf"));
  ASSERT_EQ(Dialogs.Messages.size(), 2u);
  EXPECT_EQ(Dialogs.Messages[0].Caption, "Uwaga!");
  EXPECT_EQ(Dialogs.Messages[0].Buttons, mbYes | mbNo);
  EXPECT_EQ(Dialogs.Messages[0].Text,
            "Niektóre tabele należą do innych userów. W takiej sytuacji Tovinex może nie zobaczyć wszystkich "
            "danych! Czy chcesz to naprawić?");
  sent = Sent(mark);
  EXPECT_TRUE(Has(sent, "sp_adduser 'JanEwa','dba','db_owner'"));
  for (const auto& s : sent) EXPECT_EQ(s.find("sp_changeobjectowner"), std::string::npos) << s;
}

TEST_F(AttachDetachTest, YesToTheQuestionHandsTheTablesToDbo) {
  Dialogs.MessageAnswers = {mbYes};
  const size_t mark = Sim->TraceMark();
  Attach(File("JanEwa.mdf"));
  int changes = 0;
  for (const auto& s : Sent(mark)) changes += s.rfind("sp_changeobjectowner N'", 0) == 0;
  EXPECT_EQ(changes, 3);
  const auto tables = Exec("use JanEwa exec sp_tables @table_type = \"'TABLE'\"");
  ASSERT_TRUE(tables.ok);
  ASSERT_EQ(tables.sets.size(), 1u);
  for (const auto& row : tables.sets[0].rows) EXPECT_EQ(row.at(1).value_or(""), "dbo");
}

// Taken names compare without regard to case, as the server compares them ("k9" takes K9).
TEST_F(AttachDetachTest, LoginNamesAreNumberedPastTakenOnes) {
  for (const char* login : {"Lada", "Lada1", "k9"}) {
    const auto added = Exec(std::string("sp_addlogin '") + login + "', 'x'");
    ASSERT_TRUE(added.ok) << (added.diagnostics.empty() ? "" : added.diagnostics[0].text);
  }
  Attach(File("Sklep2.mdf"), "Lada");
  Attach(File("Dbo.mdf"), "K9");
  EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, "SOFTWARE\\QUORVEL\\TovinexWin\\Bazy\\Lada", "UserId"), "Lada2");
  EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, "SOFTWARE\\QUORVEL\\TovinexWin\\Bazy\\K9", "UserId"), "K10");
  EXPECT_EQ(Scalar("select dbname from syslogins where name = 'K10'"), "K9");
}

// The attach is done and said so, with the entries that were not written: never plain success.
TEST_F(AttachDetachTest, AnUnwritableStoreIsReportedAndTheAttachIsSaidToBePartial) {
  SetEnv("VANDREL_REGISTRY_DIR", "/dev/null/registry");
  Attach(File("Sklep2.mdf"));
  // The message names the file that could not be written and why, and that nothing was.
  ASSERT_EQ(MessageTexts().size(), 2u) << ::testing::PrintToString(MessageTexts());
  EXPECT_EQ(MessageTexts()[0],
            "Tovinex: Błąd zapisu konfiguracji bazy danych\n\nNie można zablokować dziennika zmian konfiguracji "
            "/dev/null/registry/client-setup.journal.lock: Not a directory\n\nNie zapisano żadnego wpisu dla bazy "
            "\"Sklep2\" (klucz Tovinex, źródła danych ODBC, alias klienta): pliki konfiguracji pozostały bez zmian.");
  EXPECT_EQ(MessageTexts()[1],
            "Dodawanie nowej bazy: Baza \"Sklep2\" została podłączona i ma login \"Sklep2\", ale wpisy dla programu "
            "Tovinex nie zostały zapisane. Zapisz je poleceniem \"Utwórz połączenie sieciowe Tovinex\".");
  EXPECT_NE(Node("Sklep2"), nullptr);
}

// The question asked before a detach.
std::string DetachQuestion(const std::string& Name) {
  return "Czy odłączyć bazę \"" + Name + "\" od serwera? Programy stracą do niej dostęp, a jej login zostanie usunięty.";
}

TEST_F(AttachDetachTest, DetachDropsTheLoginOfTheTovinexKey) {
  Attach(File("Sklep2.mdf"));
  ASSERT_NE(Node("Sklep2"), nullptr);
  Dialogs.Messages.clear();
  Select(Node("Sklep2"));
  const size_t mark = Sim->TraceMark();
  Trigger(TCommandId::cmDetach);
  EXPECT_EQ(MessageTexts(), (std::vector<std::string>{"Odlaczanie baz: " + DetachQuestion("Sklep2"),
                                                      "Odlaczanie baz: Baza została odlaczona"}));
  const std::vector<std::string> sent = Sent(mark);
  EXPECT_TRUE(Has(sent, "sp_detach_db N'Sklep2'"));
  // The statement goes with its leading blank; the trace shows batches without it.
  EXPECT_TRUE(Has(sent, "sp_droplogin 'Sklep2'")) << ::testing::PrintToString(sent);
  EXPECT_EQ(Node("Sklep2"), nullptr);
  EXPECT_EQ(Scalar("select count(*) from syslogins where name = 'Sklep2'"), "0");
  // The entries for Tovinex stay.
  EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, "SOFTWARE\\QUORVEL\\TovinexWin\\Bazy\\Sklep2", "OdbcDsn"), "Sklep2");
}

TEST_F(AttachDetachTest, DetachOfADatabaseGoneMeanwhileIsTranslatedAndDropsNothing) {
  Attach(File("Dbo.mdf"));
  Select(Node("Dbo"));
  ASSERT_TRUE(Exec("sp_detach_db 'Dbo'").ok);
  Dialogs.Messages.clear();
  const size_t mark = Sim->TraceMark();
  Trigger(TCommandId::cmDetach);
  EXPECT_EQ(MessageTexts(), (std::vector<std::string>{"Odlaczanie baz: " + DetachQuestion("Dbo"),
                                                      "Błąd: Nie można usunąć bazy. Podana baza nie istnieje"}));
  for (const auto& s : Sent(mark)) EXPECT_EQ(s.find("sp_droplogin"), std::string::npos);
  EXPECT_EQ(Scalar("select count(*) from syslogins where name = 'Dbo'"), "1");
}

TEST_F(AttachDetachTest, ATableNodeOrAHolderDetachesNothing) {
  Select(NodeUnder(Node("Sklep"), "Tabele"));
  QTreeWidgetItem* bazy = Node("Bazy");
  size_t mark = Sim->TraceMark();
  Trigger(TCommandId::cmDetach);
  for (const auto& s : Sent(mark)) EXPECT_EQ(s.find("sp_detach_db"), std::string::npos);
  EXPECT_NE(Node("Bazy"), bazy);  // rebuilt
  EXPECT_TRUE(Dialogs.Messages.empty());

  msde::testkit::OdbcClient holder(Sim->ConnectionString("sa", kSaPassword) + "APP=Kasa;");
  holder.Exec("use Sklep");
  Select(Node("Sklep"));
  mark = Sim->TraceMark();
  const size_t dialogs = Dialogs.DialogsRun.size();
  Trigger(TCommandId::cmDetach);
  EXPECT_EQ(Dialogs.DialogsRun.size(), dialogs + 1);  // the guard's refusal, declined
  for (const auto& s : Sent(mark)) EXPECT_EQ(s.find("sp_detach_db"), std::string::npos);
  EXPECT_NE(Node("Sklep"), nullptr);
}

// A login "sklep2" left from an earlier site: the attach numbers its own login Sklep3, the
// network command keeps it, and detach never drops a login that is not the database's own.
TEST_F(AttachDetachTest, ANumberedLoginIsKeptAndDetachDropsOnlyTheDatabasesOwn) {
  ASSERT_TRUE(Exec("sp_addlogin 'sklep2', 'x'").ok);
  Attach(File("Sklep2.mdf"));
  const std::string key = "SOFTWARE\\QUORVEL\\TovinexWin\\Bazy\\Sklep2";
  ASSERT_EQ(Value(HKEY_LOCAL_MACHINE, key, "UserId"), "Sklep3");
  Select(Node("Sklep2"));
  Dialogs.DialogAnswers.push_back(Click("OKBtn"));
  Trigger(TCommandId::cmTovinexConnection);
  EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, key, "UserId"), "Sklep3");
  // Tovinex logs in with what the key names.
  EXPECT_NE(IsqlDatabase("Sklep2", "Sklep3", clientsetup::TovinexPassword("Sklep2")).find("| Sklep2"),
            std::string::npos);
  // isql has ended, and the server ends its session once it reads the closed connection, on
  // a thread of its own: until then the detach below rightly finds the database in use.
  QTRY_VERIFY_WITH_TIMEOUT(Scalar("select count(*) from sysprocesses where dbid = db_id(N'Sklep2')") == "0", 30000);

  // A key that names the other login (as an earlier run of the tool wrote it) drops nothing.
  {
    platform::TRegistry reg(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg.OpenKey(key, false));
    reg.WriteString("UserId", "sklep2");
  }
  Dialogs.Messages.clear();
  Select(Node("Sklep2"));
  const size_t mark = Sim->TraceMark();
  Trigger(TCommandId::cmDetach);
  for (const auto& s : Sent(mark)) EXPECT_EQ(s.find("sp_droplogin"), std::string::npos) << s;
  EXPECT_EQ(Scalar("select count(*) from syslogins where name = 'sklep2'"), "1");
  EXPECT_EQ(Node("Sklep2"), nullptr);
  EXPECT_EQ(MessageTexts().back(),
            "Odlaczanie baz: Baza została odlaczona\n\nLogin \"sklep2\" nie został usunięty: żaden użytkownik bazy nie "
            "jest z nim związany, więc nie jest loginem tej bazy.");
}

// A file whose table owner's user belongs to a login on the server (a person who works in
// the database): the attach leaves that user to its login and gives the Tovinex login a user
// of its own, and says so; both logins reach the database.
TEST_F(AttachDetachTest, AUserOfALiveLoginStaysItsOwnAndTheTovinexLoginGetsItsOwn) {
  Attach(File("Jan.mdf"));
  ASSERT_EQ(MessageTexts(), kSuccess);
  ASSERT_TRUE(Exec("sp_addlogin 'kowalski', 'haslo', 'Jan'").ok);
  ASSERT_TRUE(Exec("use Jan exec sp_change_users_login 'update_one','jan','kowalski'").ok);
  ASSERT_TRUE(Exec("sp_detach_db 'Jan'").ok);
  ASSERT_TRUE(Exec("sp_droplogin 'Jan'").ok);

  Dialogs.Messages.clear();
  const size_t mark = Sim->TraceMark();
  Attach(File("Jan.mdf"), "Jan2");
  const std::vector<std::string> sent = Sent(mark);
  for (const auto& s : sent) EXPECT_EQ(s.find("sp_change_users_login"), std::string::npos) << s;
  EXPECT_TRUE(Has(sent, "sp_adduser 'Jan2','Jan2','db_owner'"));
  ASSERT_EQ(MessageTexts().size(), 1u) << ::testing::PrintToString(MessageTexts());
  EXPECT_EQ(MessageTexts()[0],
            "Dodawanie nowej bazy: Baza została podlaczona\n\nUżytkownik \"jan\" bazy należy do loginu \"kowalski\" i "
            "pozostał bez zmian; login Tovinex \"Jan2\" dostał własnego użytkownika \"Jan2\".");
  msde::testkit::OdbcClient person(Sim->ConnectionString("kowalski", "haslo"));
  EXPECT_TRUE(person.Exec("use Jan2").ok) << "the person keeps the database";
  EXPECT_NE(IsqlDatabase("Jan2", "Jan2", clientsetup::TovinexPassword("Jan2")).find("| Jan2"), std::string::npos);
}

// A database whose own user and login are gone: the network command names no login (not the
// owner's either), offers to make one, and with "Nie" writes nothing.
TEST_F(AttachDetachTest, TheNetworkCommandNamesNoLoginWhenTheDatabaseHasNone) {
  Attach(File("Dbo.mdf"));
  ASSERT_TRUE(Exec("use Dbo exec sp_dropuser 'dba'").ok);
  ASSERT_TRUE(Exec("sp_droplogin 'Dbo'").ok);
  const std::string sources = ReadFile(UserOdbcIni());
  Dialogs.Messages.clear();
  Dialogs.MessageAnswers = {mbNo};
  Select(Node("Dbo"));
  Dialogs.DialogAnswers.push_back(Click("OKBtn"));
  Trigger(TCommandId::cmTovinexConnection);
  ASSERT_EQ(Dialogs.Messages.size(), 1u) << ::testing::PrintToString(MessageTexts());
  EXPECT_EQ(MessageTexts()[0].rfind("Nowe połączenie Tovinex: Baza \"Dbo\" nie ma loginu Tovinex.", 0), 0u)
      << MessageTexts()[0];
  EXPECT_EQ(ReadFile(UserOdbcIni()), sources);
  EXPECT_EQ(Scalar("select count(*) from syslogins where name = 'Dbo'"), "0");
}

// A store that cannot be read ends the detach before anything changes, and says which file
// and line are at fault.
TEST_F(AttachDetachTest, ADamagedStoreEndsTheDetachWithNoLoginDropped) {
  Attach(File("Dbo.mdf"));
  const std::string store = Tmp->Path() + "/registry/HKEY_LOCAL_MACHINE.reg";
  ASSERT_NE(ReadFile(store), "");
  std::ofstream(store, std::ios::app) << "to nie jest wpis rejestru\n";
  Dialogs.Messages.clear();
  Select(Node("Dbo"));
  const size_t mark = Sim->TraceMark();
  Trigger(TCommandId::cmDetach);
  for (const auto& s : Sent(mark)) {
    EXPECT_EQ(s.find("sp_detach_db"), std::string::npos) << s;
    EXPECT_EQ(s.find("sp_droplogin"), std::string::npos) << s;
  }
  ASSERT_EQ(Dialogs.Messages.size(), 2u) << ::testing::PrintToString(MessageTexts());
  EXPECT_EQ(Dialogs.Messages[1].Icon, MsgIcon::Error);
  EXPECT_THAT(Dialogs.Messages[1].Text, ::testing::StartsWith("Baza \"Dbo\" nie została odłączona i żaden login nie "
                                                             "został usunięty"));
  EXPECT_THAT(Dialogs.Messages[1].Text, ::testing::HasSubstr(store + ", wiersz "));
  EXPECT_EQ(Scalar("select count(*) from syslogins where name = 'Dbo'"), "1");
  EXPECT_NE(Node("Dbo"), nullptr);
}

// What the attach says when Name is attached but Step of its set-up was not done; LoginMade:
// the set-up's login was made first, and taken back.
std::string NotPrepared(const std::string& Name, const std::string& Step, bool LoginMade = true) {
  return "Dodawanie nowej bazy: Baza \"" + Name + "\" została podłączona, ale nie została przygotowana dla programu "
         "Tovinex (login, użytkownik bazy, wpisy w rejestrze): polecenie " + Step + " nie zostało wykonane." +
         (LoginMade ? " Login \"" + Name + "\", utworzony przez przygotowanie, został usunięty." : "") +
         "\n\nAby ją przygotować, odłącz bazę i podłącz ją ponownie.";
}

// A set-up statement refused after the attach: the database stays attached and is shown, the
// message says its set-up was not done, and what the set-up had made is taken back.
TEST_F(AttachDetachTest, AFailedSetUpLeavesTheDatabaseAttachedWithNothingHalfMade) {
  // sp_addlogin refused (the name taken meanwhile): its report hides the password.
  bool once = true;
  BeforeStatementOf(*Form, "sp_addlogin", [&] {
    if (std::exchange(once, false)) {
      ASSERT_TRUE(Exec("sp_addlogin 'Dbo', 'x'").ok);
    }
  });
  Attach(File("Dbo.mdf"));
  ASSERT_EQ(Dialogs.Messages.size(), 2u) << ::testing::PrintToString(MessageTexts());
  EXPECT_EQ(Dialogs.Messages[0].Caption, "Błąd");
  EXPECT_THAT(Dialogs.Messages[0].Text, ::testing::HasSubstr("sp_addlogin 'Dbo', '********', 'Dbo'"));
  for (const auto& m : Dialogs.Messages)
    EXPECT_EQ(m.Text.find(clientsetup::TovinexPassword("Dbo")), std::string::npos) << m.Text;
  EXPECT_EQ(MessageTexts()[1], NotPrepared("Dbo", "sp_addlogin", false));
  EXPECT_NE(Node("Dbo"), nullptr);  // the tree was rebuilt
  EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, "SOFTWARE\\QUORVEL\\TovinexWin\\Bazy\\Dbo", "UserId"), "<none>");

  // sp_adduser refused: the login it was for goes again, and no question follows.
  Dialogs.Messages.clear();
  BeforeStatementOf(*Form, "sp_adduser", [&] { ASSERT_TRUE(Exec("use JanEwa exec sp_adduser 'kasa1', 'dba'").ok); });
  Attach(File("JanEwa.mdf"));
  ASSERT_FALSE(Dialogs.Messages.empty());
  EXPECT_EQ(MessageTexts().back(), NotPrepared("JanEwa", "sp_adduser"));
  EXPECT_EQ(Scalar("select count(*) from syslogins where name = 'JanEwa'"), "0");
  EXPECT_NE(Node("JanEwa"), nullptr);
  for (const auto& m : Dialogs.Messages) EXPECT_NE(m.Caption, "Uwaga!");
}

// The connection breaks during the attach: on a new connection the tool asks the server what
// it holds, takes back the login it made, and says what happened; never success.
class AttachLostConnectionTest : public AttachDetachTest {
 protected:
  void SetUp() override {
    ClientSetupTest::SetUp();
    Proxy = std::make_unique<msde::testkit::TestProxy>(Sim->Port());
    SetEnv("TDSPORT", std::to_string(Proxy->Port()));
    Connect();
    fs::create_directories(LocalDataDirectory());
    Dialogs.Messages.clear();
  }
  void TearDown() override {
    Form.reset();
    Proxy.reset();
    AttachDetachTest::TearDown();
  }
  std::unique_ptr<msde::testkit::TestProxy> Proxy;
};

TEST_F(AttachLostConnectionTest, TheToolSaysWhatTheServerHolds) {
  Proxy->CutAt("sp_change_users_login");
  Attach(File("Jan.mdf"));
  EXPECT_EQ(Proxy->Cuts(), 1);
  EXPECT_FALSE(Has(MessageTexts(), kSuccess[0]));
  EXPECT_EQ(Dialogs.Messages.front().Caption, "Utracono połączenie");
  EXPECT_EQ(MessageTexts().back(), NotPrepared("Jan", "sp_change_users_login"));
  EXPECT_EQ(Scalar("select count(*) from syslogins where name = 'Jan'"), "0");
  EXPECT_EQ(Scalar("select count(*) from sysdatabases where name = 'Jan'"), "1");

  // Cut after the set-up added its user: the user goes before the login.
  Proxy->CutAt("sp_change_users_login");
  Attach(File("Dbo.mdf"));
  EXPECT_EQ(MessageTexts().back(),
            "Dodawanie nowej bazy: Baza \"Dbo\" została podłączona, ale nie została przygotowana dla programu Tovinex "
            "(login, użytkownik bazy, wpisy w rejestrze): polecenie sp_change_users_login nie zostało wykonane. Login "
            "\"Dbo\" i użytkownik \"dba\" bazy, utworzeni przez przygotowanie, zostali usunięci.\n\nAby ją przygotować, "
            "odłącz bazę i podłącz ją ponownie.");
  EXPECT_EQ(Scalar("select count(*) from syslogins where name = 'Dbo'"), "0");
  EXPECT_EQ(Scalar("select count(*) from Dbo..sysusers where name = 'dba'"), "0");

  // Cut at the attach itself: the server never saw it, and the tool says so.
  Dialogs.Messages.clear();
  Proxy->CutAt("sp_attach_db");
  Attach(File("Sklep2.mdf"));
  EXPECT_EQ(Proxy->Cuts(), 3);
  EXPECT_EQ(MessageTexts().back(), "Dodawanie nowej bazy: Baza \"Sklep2\" nie została podłączona.");
  EXPECT_FALSE(Has(MessageTexts(), kSuccess[0]));
  EXPECT_EQ(Scalar("select count(*) from sysdatabases where name = 'Sklep2'"), "0");
}

// The server named by address is not this machine: its disk is browsed through the server.
class ServerDiskTest : public AttachDetachTest {
 protected:
  void SetUp() override {
    ClientSetupTest::SetUp();
    ConnectByAddress();
  }
};

TEST_F(ServerDiskTest, TheChoosersBrowseTheServersDataDirectory) {
  const QString data = QStringLiteral("C:\\Program Files\\Microsoft SQL Server\\MSSQL\\Data");
  QStringList listed;
  Dialogs.DialogAnswers.push_back(Click("OKBtn", [&](QDialog* d) {
    Dialogs.DialogAnswers.push_front([&](QDialog* chooser) {
      auto* c = static_cast<admin::TServerFileDlg*>(chooser);
      EXPECT_EQ(c->windowTitle(), TPodlPlik::kDataTitle);
      EXPECT_EQ(c->Directory(), data);
      listed = c->Entries();
      c->Up();
      EXPECT_EQ(c->Directory(), QStringLiteral("C:\\Program Files\\Microsoft SQL Server\\MSSQL"));
      EXPECT_TRUE(c->Entries().contains("Data\\"));
      c->Choose("Data\\");
      c->FileNameEdit->setText("Sklep2.mdf");
      c->OKBtn->click();
      return c->result();
    });
    static_cast<TPodlPlik*>(d)->SpeedButton2->click();
    EXPECT_EQ(static_cast<TPodlPlik*>(d)->Edit4->text(), data + "\\Sklep2_log.ldf");
  }));
  const size_t mark = Sim->TraceMark();
  Trigger(TCommandId::cmAttach);
  EXPECT_TRUE(listed.contains("Sklep2.mdf"));
  EXPECT_TRUE(listed.contains("JanEwa.mdf"));
  EXPECT_FALSE(listed.contains("Sklep2_log.ldf"));  // the filter shows data files
  EXPECT_EQ(MessageTexts(), kSuccess);
  EXPECT_TRUE(Has(Sent(mark), "sp_attach_db @dbname = N'Sklep2',@filename1 = N'" + data.toStdString() +
                                  "\\Sklep2.mdf',@filename2 = N'" + data.toStdString() + "\\Sklep2_log.ldf'"));
  EXPECT_TRUE(Has(Sent(mark), "xp_fileexist '" + data.toStdString() + "\\Sklep2.mdf'"));
}

// A SQL Server 2005 Express site reached at its address and port: the data sources the attach
// writes name the server that way, and plain isql connects through both, with the Tovinex
// login, no TDSPORT to help it.
class Express2005AttachTest : public AttachDetachTest {
 protected:
  msde::testkit::SimServerOptions ServerOptions() const override {
    msde::testkit::SimServerOptions options = AttachDetachTest::ServerOptions();
    options.data_file = std::string(MSDE_DATA_DIR) + "/demo2005.json";
    return options;
  }
  void SetUp() override {
    ClientSetupTest::SetUp();
    ConnectByAddress();
  }
};

TEST_F(Express2005AttachTest, TheDataSourcesReachTheServerAsTheToolDidAndAreTriedFirst) {
  Dialogs.DialogAnswers.push_back(Click("OKBtn", [&](QDialog* d) {
    Dialogs.DialogAnswers.push_front([](QDialog* chooser) {
      auto* c = static_cast<admin::TServerFileDlg*>(chooser);
      c->FileNameEdit->setText("Sklep2.mdf");
      c->OKBtn->click();
      return c->result();
    });
    static_cast<TPodlPlik*>(d)->SpeedButton2->click();
  }));
  Trigger(TCommandId::cmAttach);
  ASSERT_EQ(MessageTexts(), kSuccess);
  const std::string server = "127.0.0.1," + std::to_string(Sim->Port());
  EXPECT_NE(ReadFile(UserOdbcIni()).find("Servername=" + server), std::string::npos) << ReadFile(UserOdbcIni());
  EXPECT_EQ(ReadFile(UserOdbcIni()).find("SQLEXPRESS"), std::string::npos);
  const std::string password = clientsetup::TovinexPassword("Sklep2");
  for (const char* env : {"env -u TDSPORT", "env -u TDSPORT ODBCINI=/nonexistent"}) {
    const std::string out = IsqlDatabase("Sklep2", "Sklep2", password, env);
    EXPECT_NE(out.find("| Sklep2"), std::string::npos) << env << "\n" << out;
  }
}

}  // namespace
}  // namespace vandrel::app::testing
