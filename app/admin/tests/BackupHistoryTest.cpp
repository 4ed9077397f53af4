// "Historia kopii" through the window against msde-sim: the demo's history of Sklep with two
// backups made on another connection, one of whose files was then moved away; the moved file
// and the demo's own (never written) files are marked, each file is asked for once, "Sprawdź
// kopię" checks the chosen backup and says so, and "Odtwórz" opens the restore dialog on that
// file with that backup chosen.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <filesystem>

#include "app/admin/BackupHistoryDlg.h"
#include "app/admin/RestoreDlg.h"
#include "app/admin/tests/AdminFixture.h"
#include "platform/base/RegionalSettings.h"

using namespace vandrel::app;
using namespace vandrel::app::testing;

namespace {

namespace fs = std::filesystem;
using admin::TBackupHistoryDlg;

const std::string kBackupDir = "C:\\Program Files\\Microsoft SQL Server\\MSSQL\\BACKUP\\";

class BackupHistory : public AdminWindowTest {
 protected:
  vandrel::platform::TRegionalSettingsGuard Polish{vandrel::platform::TRegionalSettings::Polish()};

  void BackupOnTheSide(const std::string& File) {
    msde::testkit::OdbcClient c(Sim->Utf8ConnectionString("sa", ""));
    ASSERT_TRUE(c.Exec("BACKUP DATABASE Sklep TO DISK = N'" + kBackupDir + File + "' WITH NOINIT").ok);
  }
  // Runs "Historia kopii" on Sklep; Look sees the window and returns how it is closed. The
  // history's answer comes after those queued already, or before them when they are for the
  // windows it opens (Before).
  void History(std::function<int(TBackupHistoryDlg*)> Look, bool Before = false) {
    SelectDatabase("Sklep");
    auto answer = [Look](QDialog* d) { return Look(static_cast<TBackupHistoryDlg*>(d)); };
    if (Before) Dialogs.DialogAnswers.push_front(answer);
    else Dialogs.DialogAnswers.push_back(answer);
    Run(TCommandId::cmBackupHistory);
  }
  static QStringList Row(QTreeWidget* List, int Index) {
    QStringList texts;
    for (int c = 0; c < List->columnCount(); ++c) texts << List->topLevelItem(Index)->text(c);
    return texts;
  }
  static void Choose(TBackupHistoryDlg* D, int Row) { D->HistoryList->setCurrentItem(D->HistoryList->topLevelItem(Row)); }
};

TEST_F(BackupHistory, ListsEveryBackupNewestFirstAndMarksTheFilesThatAreGone) {
  BackupOnTheSide("Sklep_zostaje.bak");
  BackupOnTheSide("Sklep_zostaje.bak");
  BackupOnTheSide("Sklep_przeniesiona.bak");
  fs::create_directory(Sim->FilesDir() + "/gdzie-indziej");
  fs::rename(Sim->FilesDir() + "/Sklep_przeniesiona.bak", Sim->FilesDir() + "/gdzie-indziej/Sklep_przeniesiona.bak");

  std::vector<QStringList> rows;
  std::string movedNote, demoNote;
  bool movedVerifiable = true, movedRestorable = true, keptVerifiable = false, keptRestorable = false;
  const size_t mark = Sim->TraceMark();
  History([&](TBackupHistoryDlg* d) {
    for (int r = 0; r < d->HistoryList->topLevelItemCount(); ++r) rows.push_back(Row(d->HistoryList, r));
    movedNote = d->NoteLabel->text().toStdString();
    movedVerifiable = d->VerifyBtn->isEnabled();
    movedRestorable = d->RestoreBtn->isEnabled();
    Choose(d, 1);
    keptVerifiable = d->VerifyBtn->isEnabled();
    keptRestorable = d->RestoreBtn->isEnabled();
    Choose(d, 3);
    demoNote = d->NoteLabel->text().toStdString();
    return int(QDialog::Rejected);
  });
  ASSERT_EQ(rows.size(), 4u);
  for (const QStringList& r : rows) {
    EXPECT_EQ(r.value(1), QStringLiteral("pełna"));
    EXPECT_THAT(r.value(2).toStdString(), ::testing::EndsWith(" MB"));
  }
  EXPECT_EQ(rows[0].value(4).toStdString(), kBackupDir + "Sklep_przeniesiona.bak");
  EXPECT_EQ(rows[0].value(5), "brak");
  EXPECT_EQ(rows[1].value(4).toStdString(), kBackupDir + "Sklep_zostaje.bak");
  EXPECT_EQ(rows[1].value(5), "jest");
  EXPECT_EQ(rows[2].value(4), rows[1].value(4));
  // The demo's history names a file the server never had; its backup took a minute.
  EXPECT_EQ(rows[3].value(4).toStdString(), kBackupDir + "Sklep.bak");
  EXPECT_EQ(rows[3].value(5), "brak");
  EXPECT_EQ(rows[3].value(3), "1 min 00 s");
  EXPECT_THAT(rows[3].value(0).toStdString(), ::testing::HasSubstr("2007"));
  EXPECT_THAT(movedNote, ::testing::HasSubstr("Pliku tej kopii nie ma na dysku serwera"));
  EXPECT_THAT(demoNote, ::testing::HasSubstr("Sklep.bak"));
  EXPECT_FALSE(movedVerifiable);
  EXPECT_FALSE(movedRestorable);
  EXPECT_TRUE(keptVerifiable);
  EXPECT_TRUE(keptRestorable);
  EXPECT_EQ(SentStarting(mark, "xp_fileexist").size(), 3u) << "one question a file, not one a backup";
  EXPECT_TRUE(Dialogs.Messages.empty()) << LastText();
}

TEST_F(BackupHistory, VerifySaysTheResultOfTheChosenBackup) {
  BackupOnTheSide("Sklep_zostaje.bak");
  BackupOnTheSide("Sklep_zostaje.bak");
  const std::string file = kBackupDir + "Sklep_zostaje.bak";

  // "Sprawdź kopię" on the older of the file's two backups.
  size_t mark = Sim->TraceMark();
  History([&](TBackupHistoryDlg* d) {
    Choose(d, 1);
    d->VerifyBtn->click();
    return int(QDialog::Rejected);
  });
  EXPECT_EQ(SentStarting(mark, "RESTORE"),
            std::vector<std::string>{"RESTORE VERIFYONLY FROM DISK = N'" + file + "' WITH FILE = 1"});
  EXPECT_EQ(LastText(), "Kopia zapasowa nr 1 w pliku " + file + " jest poprawna.");

  // A damaged file: the server's refusal is the result, and no word of success follows.
  fs::resize_file(Sim->FilesDir() + "/Sklep_zostaje.bak", 100);
  Dialogs.Messages.clear();
  History([&](TBackupHistoryDlg* d) {
    d->VerifyBtn->click();
    return int(QDialog::Rejected);
  });
  ASSERT_EQ(Dialogs.Messages.size(), 1u);
  EXPECT_EQ(Dialogs.Messages[0].Caption, "Błąd");
  EXPECT_THAT(LastText(), Not(HasSubstr("jest poprawna")));
}

TEST_F(BackupHistory, RestoreOpensTheRestoreDialogOnThatFileWithThatBackupChosen) {
  BackupOnTheSide("Sklep_zostaje.bak");
  BackupOnTheSide("Sklep_zostaje.bak");
  // The answers in the order the windows come: the history first, then the restore dialog.
  std::string shownFile;
  int sets = 0, chosen = 0;
  Dialogs.DialogAnswers.push_back([&](QDialog* d) {
    auto* dlg = static_cast<admin::TRestoreDlg*>(d);
    shownFile = dlg->FileEdit->text().toStdString();
    sets = dlg->SetList->topLevelItemCount();
    chosen = dlg->SelectedSet() ? dlg->SelectedSet()->Position : 0;
    return int(QDialog::Rejected);
  });
  const size_t mark = Sim->TraceMark();
  Dialogs.DialogsRun.clear();
  History([](TBackupHistoryDlg* d) {
    Choose(d, 1);
    d->RestoreBtn->click();
    return d->result();
  }, true);
  EXPECT_EQ(Dialogs.DialogsRun, (std::vector<std::string>{"BackupHistoryDlg", "RestoreDlg"}));
  EXPECT_EQ(shownFile, kBackupDir + "Sklep_zostaje.bak");
  EXPECT_EQ(sets, 2);
  EXPECT_EQ(chosen, 1) << "the backup chosen in the history, not the file's newest";
  EXPECT_TRUE(SentStarting(mark, "RESTORE DATABASE").empty()) << "the restore dialog was cancelled";
}

}  // namespace
