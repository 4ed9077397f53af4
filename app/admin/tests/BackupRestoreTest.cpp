// Backup and restore end to end against msde-sim: the backup dialog and its statement, the
// restore dialog's lists, a restore over the database (with the in-use guard) and one under a
// new name (files moved, the Tovinex set-up), damaged files, and the backup offered before
// "Naprawa Full". What was sent is read from the server's trace, the outcome from a second
// connection.
#include <gmock/gmock.h>

#include <QCheckBox>
#include <QDate>
#include <QLineEdit>
#include <QListWidget>
#include <QToolButton>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>

#include "app/StatementWaiter.h"
#include "app/admin/tests/AdminFixture.h"
#include "app/WaitWindow.h"
#include "app/admin/BackupDlg.h"
#include "app/admin/tests/AdminFixture.h"
#include "app/admin/RestoreDlg.h"
#include "app/admin/ServerFileDlg.h"
#include "app/clientsetup/tests/ClientSetupFixture.h"
#include "testkit/OdbcClient.h"
#include "testkit/TempDir.h"

namespace vandrel::app::testing {
namespace {

namespace fs = std::filesystem;
using admin::TBackupDlg;
using admin::TRestoreDlg;
using ::testing::HasSubstr;

const std::string kBackupDir = "C:\\Program Files\\Microsoft SQL Server\\MSSQL\\BACKUP\\";
const std::string kDataDir = "C:\\Program Files\\Microsoft SQL Server\\MSSQL\\Data\\";

class BackupRestoreTest : public ClientSetupTest {
 protected:
  msde::testkit::SimServerOptions ServerOptions() const override {
    msde::testkit::SimServerOptions options;
    options.files_dir = Files.Path();
    return options;
  }
  void SetUp() override {
    ClientSetupTest::SetUp();
    Connect();
    Dialogs.Messages.clear();
  }

  static std::string Today() { return QDate::currentDate().toString("yyyyMMdd").toStdString(); }
  std::string DefaultFile(const std::string& Database) const { return kBackupDir + Database + "_" + Today() + ".bak"; }
  // Where the server keeps a file named by its Windows path.
  std::string OnDisk(const std::string& Leaf) const { return Files.Path() + "/" + Leaf; }

  void Trigger(TCommandId Command) {
    const QList<QAction*> actions = Form->Commands(Command);
    ASSERT_FALSE(actions.isEmpty());
    actions.first()->trigger();
  }

  // "Kopia zapasowa bazy..." on Database: Fill sees the dialog, then "Wykonaj kopię".
  void Backup(const std::string& Database, std::function<void(TBackupDlg*)> Fill = {}) {
    Select(Node(QString::fromStdString(Database)));
    Dialogs.DialogAnswers.push_back(Click("OKBtn", [Fill](QDialog* d) {
      if (Fill) Fill(static_cast<TBackupDlg*>(d));
    }));
    Trigger(TCommandId::cmBackup);
  }

  // "Odtwórz bazę z kopii..." with File read in; Choose sets the dialog up and says whether to
  // press "Odtwórz" (true) or "Anuluj". Answers queued before are for the dialogs after it.
  void Restore(const std::string& File, std::function<bool(TRestoreDlg*)> Choose) {
    Dialogs.DialogAnswers.push_front([File, Choose](QDialog* d) {
      auto* dlg = static_cast<TRestoreDlg*>(d);
      dlg->FileEdit->setText(QString::fromStdString(File));
      dlg->ReadBtn->click();
      d->setResult(QDialog::Rejected);
      (Choose(dlg) ? dlg->OKBtn : dlg->CancelBtn)->click();
      return d->result();
    });
    Trigger(TCommandId::cmRestore);
  }
  static QStringList Row(QTreeWidget* List, int Index) {
    QStringList texts;
    for (int c = 0; c < List->columnCount(); ++c) texts << List->topLevelItem(Index)->text(c);
    return texts;
  }

  std::vector<std::string> Sent(size_t Mark, const std::string& Prefix) const {
    std::vector<std::string> texts;
    for (const auto& line : Sim->TraceSince(Mark))
      if (line.Application == "Vandrel" && line.Text.rfind(Prefix, 0) == 0) texts.push_back(line.Database + ": " + line.Text);
    return texts;
  }
  std::string LastText() const { return Dialogs.Messages.empty() ? "<none>" : Dialogs.Messages.back().Text; }

  msde::testkit::TempDir Files{"vandrel-backup"};
};

TEST_F(BackupRestoreTest, BackupOfSklepGoesToTheDefaultFileAndTellsPagesAndTime) {
  Select(Node("Sklep"));
  EXPECT_TRUE(Form->CommandEnabled(TCommandId::cmBackup));
  QString shownFile;
  bool replaces = true;
  const size_t mark = Sim->TraceMark();
  Backup("Sklep", [&](TBackupDlg* d) {
    shownFile = d->FileEdit->text();
    replaces = d->InitCheck->isChecked();
    d->DescriptionEdit->setText(QStringLiteral("Przed inwentaryzacją"));
  });
  EXPECT_EQ(shownFile.toStdString(), DefaultFile("Sklep"));
  EXPECT_FALSE(replaces) << "appending is the default";
  EXPECT_EQ(Sent(mark, "BACKUP"),
            std::vector<std::string>{"master: BACKUP DATABASE Sklep TO DISK = N'" + DefaultFile("Sklep") +
                                     "' WITH NOINIT, NAME = N'Sklep', DESCRIPTION = N'Przed inwentaryzacją', "
                                     "STATS = 10"});
  ASSERT_EQ(Dialogs.Messages.size(), 1u);
  EXPECT_EQ(Dialogs.Messages[0].Caption, "Kopia zapasowa bazy");
  EXPECT_THAT(Dialogs.Messages[0].Text, HasSubstr("Kopia zapasowa bazy \"Sklep\" została zapisana w pliku:\r\n" +
                                                  DefaultFile("Sklep") + "\r\nZapisano "));
  EXPECT_THAT(Dialogs.Messages[0].Text, ::testing::ContainsRegex("Zapisano [0-9]+ stron w [0-9]+[.,][0-9]+ s\\.$"));
  EXPECT_TRUE(fs::exists(OnDisk("Sklep_" + Today() + ".bak")));

  // Offline and damaged databases cannot be backed up: the command is not offered there.
  Select(Node("Archiwum2006 (Offline)"));
  EXPECT_FALSE(Form->CommandEnabled(TCommandId::cmBackup));
}

TEST_F(BackupRestoreTest, AppendingKeepsEveryBackupOfTheFileAndReplacingLeavesOne) {
  Backup("Sklep");
  Backup("Sklep", [](TBackupDlg* d) { d->DescriptionEdit->setText("druga"); });
  QStringList first, second, files;
  Restore(DefaultFile("Sklep"), [&](TRestoreDlg* d) {
    EXPECT_EQ(d->SetList->topLevelItemCount(), 2);
    if (d->SetList->topLevelItemCount() == 2) {
      first = Row(d->SetList, 0);
      second = Row(d->SetList, 1);
    }
    EXPECT_EQ(d->SelectedSet() ? d->SelectedSet()->Position : 0, 2) << "the newest is chosen";
    for (int i = 0; i < d->FileList->topLevelItemCount(); ++i) files << Row(d->FileList, i).join("|");
    return false;
  });
  EXPECT_EQ(first.value(0), "Sklep");
  EXPECT_EQ(first.value(2), "Sklep");
  EXPECT_FALSE(first.value(1).isEmpty()) << "the date of the backup";
  EXPECT_THAT(first.value(3).toStdString(), ::testing::EndsWith(" MB"));
  EXPECT_EQ(second.value(2), "Sklep");
  EXPECT_EQ(files, QStringList({QString::fromStdString("Sklep_Data|" + kDataDir + "Sklep_Data.MDF|dane"),
                                QString::fromStdString("Sklep_Log|" + kDataDir + "Sklep_Log.LDF|dziennik")}));

  Backup("Sklep", [](TBackupDlg* d) { d->InitCheck->setChecked(true); });
  int sets = -1;
  Restore(DefaultFile("Sklep"), [&](TRestoreDlg* d) {
    sets = d->SetList->topLevelItemCount();
    return false;
  });
  EXPECT_EQ(sets, 1);
}

TEST_F(BackupRestoreTest, RestoreOverSklepBringsBackWhatChangedSinceTheBackup) {
  Backup("Sklep");
  ASSERT_TRUE(Exec("use Sklep exec sp_changeobjectowner 'kasa1.Zmiany', 'dbo'").ok);
  ASSERT_FALSE(Exec("select count(*) from Sklep.kasa1.Zmiany").ok);
  Dialogs.Messages.clear();
  Dialogs.MessageAnswers = {mbYes};
  QString date;
  const size_t mark = Sim->TraceMark();
  Restore(DefaultFile("Sklep"), [&](TRestoreDlg* d) {
    date = d->SetList->topLevelItem(0)->text(1);
    EXPECT_TRUE(d->OverRadio->isChecked());
    return true;
  });
  ASSERT_EQ(Dialogs.Messages.size(), 2u);
  EXPECT_THAT(Dialogs.Messages[0].Text, HasSubstr("bazy \"Sklep\" zostanie zastąpiona kopią zapasową z dnia " +
                                                  date.toStdString()));
  EXPECT_EQ(Dialogs.Messages[0].Buttons, mbYes | mbNo);
  EXPECT_THAT(Dialogs.Messages[1].Text, HasSubstr("Baza \"Sklep\" została odtworzona"));
  EXPECT_THAT(Dialogs.Messages[1].Text, ::testing::ContainsRegex("Odtworzono [0-9]+ stron w "));
  EXPECT_EQ(Sent(mark, "RESTORE DATABASE"),
            std::vector<std::string>{"master: RESTORE DATABASE Sklep FROM DISK = N'" + DefaultFile("Sklep") +
                                     "' WITH FILE = 1, REPLACE, STATS = 10"});
  EXPECT_EQ(Scalar("select count(*) from Sklep.kasa1.Zmiany"), "12");

  // No to the confirmation restores nothing.
  Dialogs.MessageAnswers = {mbNo};
  const size_t later = Sim->TraceMark();
  Restore(DefaultFile("Sklep"), [](TRestoreDlg*) { return true; });
  EXPECT_TRUE(Sent(later, "RESTORE DATABASE").empty());
}

// The restore dialog starts in the server's backup directory; "..." opens the chooser of the
// server's disk there (the server runs on this machine, but its paths are its own), which
// lists the backup just made with its date. "Nie" to the overwrite question keeps the dialog
// open; "Tak" then restores.
TEST_F(BackupRestoreTest, RestoreOfABackupJustMadeThroughTheServersChooser) {
  Backup("Sklep");
  Dialogs.Messages.clear();
  Dialogs.MessageAnswers = {mbNo, mbYes};
  QString startedWith, chooserDirectory;
  QStringList listed, shown;
  bool openAfterNo = false;
  Dialogs.DialogAnswers.push_back([&](QDialog* d) {
    auto* dlg = static_cast<TRestoreDlg*>(d);
    startedWith = dlg->FileEdit->text();
    dlg->BrowseBtn->click();
    d->setResult(QDialog::Rejected);
    dlg->OKBtn->click();
    openAfterNo = d->result() != QDialog::Accepted && dlg->SetList->topLevelItemCount() == 1;
    dlg->OKBtn->click();
    return d->result();
  });
  Dialogs.DialogAnswers.push_back([&](QDialog* d) {
    auto* chooser = dynamic_cast<admin::TServerFileDlg*>(d);
    if (!chooser) return int(QDialog::Rejected);
    chooserDirectory = chooser->Directory();
    listed = chooser->Entries();
    for (int i = 0; i < chooser->FileList->count(); ++i) shown << chooser->FileList->item(i)->text();
    chooser->Choose(QString::fromStdString("Sklep_" + Today() + ".bak"));
    return chooser->result();
  });
  const size_t mark = Sim->TraceMark();
  Trigger(TCommandId::cmRestore);
  EXPECT_EQ(startedWith.toStdString(), kBackupDir);
  EXPECT_EQ(chooserDirectory.toStdString() + "\\", kBackupDir);
  EXPECT_TRUE(listed.contains(QString::fromStdString("Sklep_" + Today() + ".bak"))) << listed.join(", ").toStdString();
  EXPECT_TRUE(shown.filter(QString::fromStdString("Sklep_" + Today() + ".bak    (")).size() == 1)
      << "the backup's date beside it: " << shown.join(", ").toStdString();
  EXPECT_TRUE(openAfterNo);
  ASSERT_EQ(Dialogs.Messages.size(), 3u);  // asked, asked again, restored
  EXPECT_THAT(LastText(), HasSubstr("Baza \"Sklep\" została odtworzona"));
  EXPECT_EQ(Sent(mark, "RESTORE DATABASE").size(), 1u);
}

TEST_F(BackupRestoreTest, ARestoreOverAHeldDatabaseWaitsForItsHoldersToBeDisconnected) {
  Backup("Sklep");
  auto till = HolderOf(*Sim, "Sklep", "Kasa fiskalna");
  std::vector<Refusal> seen;
  AnswerRefusalOf(Dialogs, seen, false);
  Dialogs.MessageAnswers = {mbYes};
  size_t mark = Sim->TraceMark();
  Restore(DefaultFile("Sklep"), [](TRestoreDlg*) { return true; });
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].Programs, std::vector<std::string>{"Kasa fiskalna"});
  EXPECT_TRUE(Sent(mark, "RESTORE DATABASE").empty());

  AnswerRefusalOf(Dialogs, seen, true);
  Dialogs.MessageAnswers = {mbYes, mbYes};  // the restore, then the disconnection
  mark = Sim->TraceMark();
  Restore(DefaultFile("Sklep"), [](TRestoreDlg*) { return true; });
  EXPECT_EQ(Sent(mark, "KILL").size(), 1u);
  EXPECT_EQ(Sent(mark, "RESTORE DATABASE").size(), 1u);
  EXPECT_THAT(LastText(), HasSubstr("Baza \"Sklep\" została odtworzona"));
}

TEST_F(BackupRestoreTest, RestoreAsANewDatabaseMovesItsFilesAndSetsUpItsLogin) {
  Backup("Sklep");
  Dialogs.Messages.clear();
  Dialogs.MessageAnswers = {mbOK, mbYes};  // the restore's message, then the set-up offered
  QString proposed;
  const size_t mark = Sim->TraceMark();
  Restore(DefaultFile("Sklep"), [&](TRestoreDlg* d) {
    proposed = d->NameEdit->text();
    d->NewRadio->setChecked(true);
    return true;
  });
  EXPECT_EQ(proposed, "Sklep_kopia");
  EXPECT_EQ(Sent(mark, "xp_fileexist"),
            (std::vector<std::string>{"master: xp_fileexist '" + kDataDir + "Sklep_kopia_Data.MDF'",
                                      "master: xp_fileexist '" + kDataDir + "Sklep_kopia_Log.LDF'"}));
  EXPECT_EQ(Sent(mark, "RESTORE DATABASE"),
            std::vector<std::string>{"master: RESTORE DATABASE Sklep_kopia FROM DISK = N'" + DefaultFile("Sklep") +
                                     "' WITH FILE = 1, MOVE N'Sklep_Data' TO N'" + kDataDir +
                                     "Sklep_kopia_Data.MDF', MOVE N'Sklep_Log' TO N'" + kDataDir +
                                     "Sklep_kopia_Log.LDF', STATS = 10"});
  std::string moved = Scalar("select filename from sysaltfiles where dbid=DB_ID('Sklep_kopia') and fileid=2");
  moved.erase(moved.find_last_not_of(' ') + 1);
  EXPECT_EQ(moved, kDataDir + "Sklep_kopia_Log.LDF");
  ASSERT_GE(Dialogs.Messages.size(), 2u);
  EXPECT_THAT(Dialogs.Messages[0].Text, HasSubstr("została odtworzona jako baza \"Sklep_kopia\""));
  // The set-up of an attach: its own login with a user of its own (the copy's user "Sklep"
  // stays with the shop's login, whose SID it carries), the Tovinex key naming the login.
  EXPECT_EQ(Scalar("select name from syslogins where name='Sklep_kopia'"), "Sklep_kopia");
  EXPECT_TRUE(Sent(mark, "sp_change_users_login").empty());
  EXPECT_EQ(Sent(mark, "sp_adduser"),
            std::vector<std::string>{"Sklep_kopia: sp_adduser 'Sklep_kopia','Sklep_kopia','db_owner'"});
  EXPECT_EQ(Value(platform::HKEY_LOCAL_MACHINE, "SOFTWARE\\QUORVEL\\TovinexWin\\Bazy\\Sklep_kopia", "UserId"),
            "Sklep_kopia");
  EXPECT_NE(Node("Sklep_kopia"), nullptr);
  EXPECT_NE(Node("Sklep"), nullptr) << "the source stays";
}

// A set-up refused after the restore (its login name taken meanwhile) is said, and writes no
// Tovinex entries.
TEST_F(BackupRestoreTest, ASetUpRefusedAfterARestoreIsSaid) {
  Backup("Sklep");
  Dialogs.Messages.clear();
  Dialogs.MessageAnswers = {mbOK, mbYes};
  BeforeStatementOf(*Form, "sp_addlogin", [&] { ASSERT_TRUE(Exec("sp_addlogin 'Sklep_kopia', 'x'").ok); });
  Restore(DefaultFile("Sklep"), [&](TRestoreDlg* d) {
    d->NewRadio->setChecked(true);
    return true;
  });
  ASSERT_FALSE(Dialogs.Messages.empty());
  EXPECT_EQ(Dialogs.Messages.back().Text,
            "Baza \"Sklep_kopia\" nie została przygotowana dla programu Tovinex: polecenie sp_addlogin nie zostało "
            "wykonane.");
  EXPECT_EQ(Value(platform::HKEY_LOCAL_MACHINE, "SOFTWARE\\QUORVEL\\TovinexWin\\Bazy\\Sklep_kopia", "UserId"),
            "<none>");
}

TEST_F(BackupRestoreTest, ANewNameNeverTakesAnExistingDatabaseOrFileNorLeavesTheDataDirectory) {
  Backup("Sklep");
  std::ofstream(OnDisk("Zapas_Data.MDF")) << "someone's file";
  const std::pair<const char*, std::string> refusals[] = {
      {"Hurtownia", "już istnieje na serwerze"},
      {"Zapas", kDataDir + "Zapas_Data.MDF"},
      // Names that would lead the database's files out of the data directory.
      {"..\\..\\x", "nie może być częścią nazwy pliku na dysku serwera"},
      {"../x", "nie może być częścią nazwy pliku"},
      {"a:b", "nie może być częścią nazwy pliku"},
      {"Sklep?", "nie może być częścią nazwy pliku"}};
  for (const auto& [name, why] : refusals) {
    SCOPED_TRACE(name);
    Dialogs.Messages.clear();
    const size_t mark = Sim->TraceMark();
    Restore(DefaultFile("Sklep"), [name = name](TRestoreDlg* d) {
      d->NewRadio->setChecked(true);
      d->NameEdit->setText(name);
      return true;
    });
    EXPECT_TRUE(Sent(mark, "RESTORE DATABASE").empty());
    ASSERT_EQ(Dialogs.Messages.size(), 1u);
    EXPECT_EQ(Dialogs.Messages[0].Icon, MsgIcon::Error);
    EXPECT_THAT(LastText(), HasSubstr(why));
  }
  EXPECT_EQ(Scalar("select count(*) from Hurtownia.magazyn.Towary"), "25");
}

TEST_F(BackupRestoreTest, NamesWithABlankAQuoteOrAReservedWordAreQuoted) {
  Backup("Sklep Wschód");
  const std::string file = DefaultFile("Sklep Wschód");
  Dialogs.MessageAnswers = {mbOK, mbNo};
  size_t mark = Sim->TraceMark();
  Restore(file, [](TRestoreDlg* d) {
    d->NewRadio->setChecked(true);
    d->NameEdit->setText("Kopia O'Hara");
    return true;
  });
  EXPECT_EQ(Sent(mark, "RESTORE DATABASE"),
            std::vector<std::string>{"master: RESTORE DATABASE [Kopia O'Hara] FROM DISK = N'" + file +
                                     "' WITH FILE = 1, MOVE N'Sklep_Wschod_Data' TO N'" + kDataDir +
                                     "Kopia O''Hara_Sklep_Wschod_Data.MDF', MOVE N'Sklep_Wschod_Log' TO N'" +
                                     kDataDir + "Kopia O''Hara_Sklep_Wschod_Log.LDF', STATS = 10"});
  EXPECT_NE(Node("Kopia O'Hara"), nullptr);

  // A database called Order is backed up and restored over by its bracketed name.
  ASSERT_TRUE(Exec("RESTORE DATABASE [Order] FROM DISK = N'" + file + "' WITH MOVE N'Sklep_Wschod_Data' TO N'" +
                   kDataDir + "Order.mdf', MOVE N'Sklep_Wschod_Log' TO N'" + kDataDir + "Order_log.ldf'")
                  .ok);
  Form->RefreshTree();
  mark = Sim->TraceMark();
  Backup("Order", [](TBackupDlg* d) { d->InitCheck->setChecked(true); });
  EXPECT_THAT(Sent(mark, "BACKUP"), ::testing::ElementsAre(HasSubstr("BACKUP DATABASE [Order] TO DISK = N'")));
  Dialogs.MessageAnswers = {mbYes};
  mark = Sim->TraceMark();
  Restore(DefaultFile("Order"), [](TRestoreDlg*) { return true; });
  EXPECT_THAT(Sent(mark, "RESTORE DATABASE"), ::testing::ElementsAre(HasSubstr("RESTORE DATABASE [Order] FROM DISK")));
  EXPECT_THAT(LastText(), HasSubstr("Baza \"Order\" została odtworzona"));
}

TEST_F(BackupRestoreTest, ADamagedBackupFileIsRefusedAndNothingChanges) {
  Backup("Sklep");
  const std::string onDisk = OnDisk("Sklep_" + Today() + ".bak");
  // A sound backup is checked as sound.
  Dialogs.Messages.clear();
  Restore(DefaultFile("Sklep"), [](TRestoreDlg* d) {
    d->VerifyBtn->click();
    return false;
  });
  ASSERT_EQ(Dialogs.Messages.size(), 1u);
  EXPECT_EQ(Dialogs.Messages[0].Caption, "Sprawdzanie kopii zapasowej");
  EXPECT_THAT(Dialogs.Messages[0].Text, HasSubstr("jest poprawna"));

  {
    std::fstream f(onDisk, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(static_cast<std::streamoff>(fs::file_size(onDisk) / 2));
    f.put('#');
  }
  ASSERT_TRUE(Exec("use Sklep exec sp_changeobjectowner 'kasa1.Zmiany', 'dbo'").ok);
  Dialogs.Messages.clear();
  bool offered = true;
  const size_t mark = Sim->TraceMark();
  Restore(DefaultFile("Sklep"), [&](TRestoreDlg* d) {
    offered = d->OKBtn->isEnabled() || d->SetList->topLevelItemCount() > 0;
    return true;
  });
  EXPECT_FALSE(offered);
  EXPECT_TRUE(Sent(mark, "RESTORE DATABASE").empty());
  ASSERT_FALSE(Dialogs.Messages.empty());
  EXPECT_EQ(Dialogs.Messages[0].Caption, "Błąd");
  EXPECT_THAT(Dialogs.Messages[0].Text, HasSubstr("RESTORE HEADERONLY"));
  EXPECT_EQ(Scalar("select count(*) from Sklep.dbo.Zmiany"), "12") << "the database as it was";
}

TEST_F(BackupRestoreTest, NaprawaFullOffersABackupFirst) {
  Select(Node("SklepZachod"));
  const auto repairStatements = [this](size_t Mark) {
    std::vector<std::string> kinds;
    for (const auto& line : Sim->TraceSince(Mark))
      for (const char* kind : {"BACKUP", "ALTER", "DBCC"})
        if (line.Application == "Vandrel" && line.Text.rfind(kind, 0) == 0) kinds.push_back(kind);
    return kinds;
  };
  Dialogs.MessageAnswers = {mbCancel};
  size_t mark = Sim->TraceMark();
  Trigger(TCommandId::cmRepairFull);
  EXPECT_EQ(Dialogs.Messages.at(0).Buttons, mbYes | mbNo | mbCancel);
  EXPECT_THAT(Dialogs.Messages.at(0).Text, HasSubstr("\"SklepZachod\""));
  EXPECT_TRUE(repairStatements(mark).empty());

  Dialogs.MessageAnswers = {mbNo};
  mark = Sim->TraceMark();
  Trigger(TCommandId::cmRepairFull);
  // The repair reports what it mended as errors: a quiet check after it tells the outcome.
  EXPECT_EQ(repairStatements(mark), (std::vector<std::string>{"ALTER", "DBCC", "ALTER", "DBCC"}));

  Select(Node("SklepZachod"));
  Dialogs.MessageAnswers = {mbYes};
  mark = Sim->TraceMark();
  Trigger(TCommandId::cmRepairFull);
  EXPECT_EQ(repairStatements(mark), (std::vector<std::string>{"BACKUP", "ALTER", "DBCC", "ALTER"}));
  EXPECT_TRUE(fs::exists(OnDisk("SklepZachod_" + Today() + ".bak")));
}

// The demo server with its backups paced so that Sklep's lasts about one and a half seconds.
class SlowBackupTest : public BackupRestoreTest {
 protected:
  msde::testkit::SimServerOptions ServerOptions() const override {
    msde::testkit::SimServerOptions options = BackupRestoreTest::ServerOptions();
    options.data_file = DemoWithServerSettings(Settings.Path(), "\"backup_page_microseconds\": 20000");
    return options;
  }
  // "Przerwij" pressed as soon as the waiting window shows; what it named is kept.
  void StopAtOnce() {
    QObject::connect(&Form->Waiter, &TStatementWaiter::ElapsedChanged, [this](int) {
      if (TWaitWindow* window = Form->Waiter.Window()) {
        Named = window->WhatLabel->text().toStdString();
        window->StopButton->click();
      }
    });
  }
  std::vector<std::string> BackupFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(Files.Path()))
      if (entry.path().filename().string().rfind("Sklep", 0) == 0) names.push_back(entry.path().filename().string());
    return names;
  }
  msde::testkit::TempDir Settings;
  std::string Named;
};

TEST_F(SlowBackupTest, PrzerwijEndsTheBackupWithNoFileAndNoRepairAfterIt) {
  StopAtOnce();
  const size_t mark = Sim->TraceMark();
  Backup("Sklep");
  EXPECT_EQ(Named, "Trwa: Kopia zapasowa bazy \"Sklep\"");
  ASSERT_EQ(Sent(mark, "BACKUP").size(), 1u);
  ASSERT_EQ(Dialogs.Messages.size(), 1u) << "no success message after the stop";
  EXPECT_EQ(Dialogs.Messages[0].Caption, "Przerwano");
  EXPECT_TRUE(Form->Waiter.Cancelled());
  EXPECT_TRUE(BackupFiles().empty()) << "no backup file, whole or half-written";
  EXPECT_EQ(Scalar("select count(*) from Sklep.kasa1.Zmiany"), "12");
  EXPECT_EQ(Scalar("select CAST(DATABASEPROPERTYEX(N'Sklep', 'Status') AS nvarchar(128))"), "ONLINE");

  // A backup stopped before "Naprawa Full" stops the repair too: nothing may be lost
  // without the backup the user asked for.
  Select(Node("Sklep"));
  Dialogs.Messages.clear();
  Dialogs.MessageAnswers = {mbYes};
  const size_t repair = Sim->TraceMark();
  Trigger(TCommandId::cmRepairFull);
  for (const auto& line : Sim->TraceSince(repair))
    EXPECT_NE(line.Text.rfind("DBCC", 0), 0u) << line.Text;
  EXPECT_TRUE(BackupFiles().empty());

  // The connection goes on: the list of databases still shows.
  Select(Node("Bazy"));
  QStringList shown;
  for (int c = 0; c < Form->ListView1->ColumnCount(); ++c) shown << ListColumn(c);
  EXPECT_TRUE(shown.contains("Sklep")) << shown.join(",").toStdString();
}

}  // namespace
}  // namespace vandrel::app::testing
