// The consistency check and the three repairs on the demo server's clean and damaged
// databases, from the menus, with the statements read from the server's trace.
#include <gmock/gmock.h>

#include <QClipboard>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <algorithm>

#include "app/PasswordDlg.h"
#include "app/ReportDlg.h"
#include "app/admin/tests/AdminFixture.h"
#include "data/OdbcError.h"

using namespace vandrel::app;
using namespace vandrel::app::testing;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

class CheckRepair : public AdminWindowTest {
 protected:
  // Runs a repair on the damaged database and returns the tool's statements from "use master" on.
  std::vector<std::string> Repair(TCommandId Command) {
    SelectDatabase("SklepZachod");
    // "Naprawa Full" first offers a backup: declined here, so only the repair runs.
    if (Command == TCommandId::cmRepairFull) Dialogs.MessageAnswers.push_front(mbNo);
    const size_t mark = Sim->TraceMark();
    Run(Command);
    std::vector<std::string> sent = SentSince(mark);
    // From the "use master" just before the switch to single-user (the guard runs earlier).
    auto single = std::find_if(sent.begin(), sent.end(),
                               [](const std::string& s) { return s.find("SET SINGLE_USER") != std::string::npos; });
    if (single != sent.begin() && single != sent.end()) sent.erase(sent.begin(), single - 1);
    return sent;
  }
  bool CheckIsClean(const std::string& Database) {
    SelectDatabase(Database);
    Dialogs.Messages.clear();
    Run(TCommandId::cmCheck);
    return Dialogs.Messages.size() == 1 && LastSummary() == "Baza danych nie zawiera błędów" &&
           LastCaption() == "Sprawdzanie spójności bazy";
  }
};

TEST_F(CheckRepair, CheckOfACleanAndOfTheDamagedDatabase) {
  SelectDatabase("Sklep");
  size_t mark = Sim->TraceMark();
  EXPECT_TRUE(CheckIsClean("Sklep"));
  const std::vector<std::string> sent = SentSince(mark);
  // The connection answered a moment ago (the details): no probe, and no use before it.
  EXPECT_THAT(sent, ElementsAre(::testing::EndsWith(": DBCC CHECKDB (N'Sklep')")));

  Select(NodeUnder(Node("Sklep"), "Tabele"));
  EXPECT_FALSE(Form->CommandEnabled(TCommandId::cmCheck)) << "a folder of tables is no database";
  mark = Sim->TraceMark();
  Run(TCommandId::cmCheck);
  EXPECT_TRUE(SentStarting(mark, "DBCC").empty());

  // One account of the damage instead of forty raw lines: the counts from the server's closing
  // message, the two tables, and the repair level it named (which comes after the sixteenth
  // message) with the command that runs it; the whole text beneath, object numbers as names.
  EXPECT_FALSE(CheckIsClean("SklepZachod"));
  ASSERT_EQ(Dialogs.Messages.size(), 1u);
  EXPECT_EQ(LastCaption(), "Sprawdzanie spójności bazy");
  EXPECT_EQ(Dialogs.Messages[0].Icon, MsgIcon::Warning);
  EXPECT_EQ(LastSummary(),
            "Serwer znalazł 0 błędów alokacji i 2 błędy spójności.\n"
            "Obiekty z błędami: Paragony, Pozycje.\n"
            "Minimalny poziom naprawy według serwera: REPAIR_ALLOW_DATA_LOSS, czyli polecenie \"Naprawa Full\" "
            "(Bazy → Naprawa baz danych).");
  EXPECT_THAT(LastText(), HasSubstr("Obiekt: \"Paragony\""));
  EXPECT_THAT(LastText(), HasSubstr("repair_allow_data_loss is the minimum repair level"));
}

TEST_F(CheckRepair, FullRepairRunsItsStatementsInOrderAndLeavesACleanDatabase) {
  // The server reports the errors it repaired as errors of the statement: the repair goes back
  // to multi-user, checks again quietly and, the database being clean, says it was repaired.
  const std::vector<std::string> sent = Repair(TCommandId::cmRepairFull);
  // (The error report looks up the names of the objects the repair reported in between.)
  const std::vector<std::string> after(std::find(sent.begin(), sent.end(), "SklepZachod: use master"), sent.end());
  // The connection is probed once, before the database is taken from its users; the session
  // is in master already.
  EXPECT_THAT(std::vector<std::string>(sent.begin(), sent.begin() + 3),
              ElementsAre("master: select 1", "master: ALTER DATABASE SklepZachod SET SINGLE_USER",
                          "master: DBCC CHECKDB (N'SklepZachod',REPAIR_ALLOW_DATA_LOSS)"));
  EXPECT_THAT(after, ElementsAre("SklepZachod: use master", "master: ALTER DATABASE SklepZachod SET MULTI_USER",
                                 "master: DBCC CHECKDB (N'SklepZachod')"));
  EXPECT_EQ(LastSummary(), "Baza danych została naprawiona\nNaprawa usunęła 0 błędów alokacji i 2 błędy spójności.");
  EXPECT_EQ(LastCaption(), "Naprawa bazy danych");
  // Beneath it the server's own account of what it repaired, never an error report.
  EXPECT_THAT(LastText(), HasSubstr("Table error: Obiekt: \"Pozycje\" , index ID 0, page (1:212)."));
  EXPECT_THAT(LastText(), HasSubstr("The error has been repaired."));
  EXPECT_THAT(LastText(), HasSubstr("CHECKDB fixed 0 allocation errors and 2 consistency errors in database 'SklepZachod'."));
  EXPECT_THAT(LastText(), Not(HasSubstr("Błąd polecenia SQL")));
  EXPECT_THAT(LastText(), Not(HasSubstr("SQL_ERROR")));
  EXPECT_THAT(LastText(), Not(HasSubstr("Changed database context"))) << "the name look-ups are no part of it";
  EXPECT_EQ(Property("SklepZachod", "UserAccess"), "MULTI_USER");
  EXPECT_TRUE(CheckIsClean("SklepZachod"));

  // On the mended database every statement succeeds: the question, the four in order, then
  // the message.
  Dialogs.Messages.clear();
  EXPECT_THAT(Repair(TCommandId::cmRepairRebuild),
              ElementsAre("master: select 1", "master: ALTER DATABASE SklepZachod SET SINGLE_USER",
                          "master: DBCC CHECKDB (N'SklepZachod',REPAIR_REBUILD)",
                          "master: ALTER DATABASE SklepZachod SET MULTI_USER"));
  ASSERT_EQ(Dialogs.Messages.size(), 2u) << LastText();
  EXPECT_EQ(Dialogs.Messages[0].Icon, MsgIcon::Question);
  EXPECT_EQ(LastText(), "Baza danych została naprawiona");
  EXPECT_EQ(LastCaption(), "Naprawa bazy danych");
  EXPECT_EQ(Dialogs.Messages[1].Icon, MsgIcon::Information);
  EXPECT_EQ(Property("SklepZachod", "UserAccess"), "MULTI_USER");
}

// "Naprawa Fast" and "Naprawa Rebuild" take the database from its users for the time of the
// repair: they ask first, "Nie" the default, and "Nie" sends nothing, not even the guard's look.
TEST_F(CheckRepair, FastAndRebuildAskFirstAndNieSendsNothing) {
  for (TCommandId command : {TCommandId::cmRepairFast, TCommandId::cmRepairRebuild}) {
    SCOPED_TRACE(CommandCaption(command));
    SelectDatabase("SklepZachod");
    Dialogs.Messages.clear();
    Dialogs.MessageAnswers.push_back(mbNo);
    const size_t mark = Sim->TraceMark();
    Run(command);
    EXPECT_THAT(SentSince(mark), IsEmpty());
    ASSERT_EQ(Dialogs.Messages.size(), 1u);
    EXPECT_EQ(Dialogs.Messages[0].Text, "Czy wykonać \"" + CommandCaption(command) +
                                            "\" bazy \"SklepZachod\"? Na czas naprawy baza zostanie ustawiona w tryb "
                                            "\"Single User\" i programy nie będą mogły z niej korzystać.");
    EXPECT_EQ(Dialogs.Messages[0].Caption, "Naprawa bazy danych");
    EXPECT_EQ(Dialogs.Messages[0].Buttons, mbYes | mbNo | mbDefaultNo);
  }
  EXPECT_EQ(Property("SklepZachod", "UserAccess"), "MULTI_USER");
}

TEST_F(CheckRepair, LowerLevelsLeaveTheDatabaseMultiUserWhateverTheyFix) {
  for (TCommandId command : {TCommandId::cmRepairFast, TCommandId::cmRepairRebuild}) {
    SCOPED_TRACE(CommandCaption(command));
    Dialogs.Messages.clear();
    const std::vector<std::string> sent = Repair(command);
    ASSERT_GE(sent.size(), 3u);
    EXPECT_EQ(sent[1], "master: ALTER DATABASE SklepZachod SET SINGLE_USER");
    EXPECT_THAT(sent, ::testing::Contains("master: ALTER DATABASE SklepZachod SET MULTI_USER"));
    EXPECT_EQ(Property("SklepZachod", "UserAccess"), "MULTI_USER");
    // What the level could not mend is said, with the table and the repair that would.
    EXPECT_THAT(LastSummary(), HasSubstr("Baza \"SklepZachod\" nadal zawiera błędy."));
    EXPECT_THAT(LastSummary(), HasSubstr("Pozycje"));
    EXPECT_THAT(LastSummary(), HasSubstr("czyli polecenie \"Naprawa Full\""));
    EXPECT_THAT(LastText(), HasSubstr("Table error: Obiekt: \"Pozycje\""));
    for (const auto& m : Dialogs.Messages) EXPECT_NE(m.Summary, "Baza danych została naprawiona");
  }
  EXPECT_FALSE(CheckIsClean("SklepZachod")) << "the data-loss error needs the full repair";
}

TEST_F(CheckRepair, RepairRefusedByTheServerSetsTheDatabaseBackToMultiUser) {
  std::unique_ptr<msde::testkit::OdbcClient> late;
  BeforeStatement("ALTER DATABASE SklepZachod SET SINGLE_USER", [&] { late = Holder("SklepZachod", "Kasa"); });
  const std::vector<std::string> sent = Repair(TCommandId::cmRepairFull);
  // The refusal was the server's answer: the recovery follows on the same connection, in the
  // database the session is in already.
  EXPECT_THAT(sent, ElementsAre("master: select 1", "master: ALTER DATABASE SklepZachod SET SINGLE_USER",
                                "master: ALTER DATABASE SklepZachod SET MULTI_USER"));
  ASSERT_EQ(Dialogs.Messages.size(), 2u);  // the backup offered, then the refusal
  EXPECT_EQ(LastCaption(), "Błąd");
  EXPECT_EQ(Property("SklepZachod", "UserAccess"), "MULTI_USER");
}

// A login that may no longer alter the database (it owned it when the tool asked, and lost
// that since): the server refuses the switch to single-user, the tool says in one box that
// nothing was repaired and nothing changed, and sends nothing more (no way back from a state
// the database never entered).
TEST_F(CheckRepair, ARepairRefusedForLackOfRightsChangesNothingAndSaysSoOnce) {
  msde::testkit::OdbcClient sa(Sim->Utf8ConnectionString("sa", ""));
  ASSERT_TRUE(sa.Exec("sp_addlogin 'planista', 'plan1', 'Hurtownia'").ok);
  const auto user = [&](const char* Role) {
    sa.Exec("use Hurtownia exec sp_dropuser 'planista'");
    ASSERT_TRUE(sa.Exec(std::string("use Hurtownia exec sp_adduser 'planista', 'planista'") + Role).ok);
  };
  user(", 'db_owner'");
  Dialogs.DialogAnswers.push_back([](QDialog* d) {
    static_cast<TPasswordDlg*>(d)->Edit2->setText("planista");
    static_cast<TPasswordDlg*>(d)->Edit3->setText("plan1");
    return int(QDialog::Accepted);
  });
  Run(TCommandId::cmConnect);
  SelectDatabase("Hurtownia");
  ASSERT_TRUE(Form->CommandEnabled(TCommandId::cmRepairFast));
  user("");
  sa.Exec("use master");  // out of the database the repair wants to itself
  Dialogs.Messages.clear();
  const size_t mark = Sim->TraceMark();
  Run(TCommandId::cmRepairFast);
  EXPECT_THAT(SentStarting(mark, "ALTER"), ElementsAre("ALTER DATABASE Hurtownia SET SINGLE_USER"));
  EXPECT_THAT(SentStarting(mark, "DBCC"), IsEmpty());
  std::vector<ShownMessage> after;  // what the tool said once the user agreed
  for (const ShownMessage& m : Dialogs.Messages)
    if (m.Icon != MsgIcon::Question) after.push_back(m);
  ASSERT_EQ(after.size(), 1u) << LastText();
  EXPECT_EQ(after[0].Caption, "Naprawa bazy danych");
  EXPECT_EQ(after[0].Summary,
            "Baza \"Hurtownia\" nie została naprawiona: login \"planista\" nie ma uprawnień do zmiany tej bazy "
            "(potrzebna jest rola sysadmin albo prawa właściciela bazy). Baza nie została zmieniona.");
  EXPECT_THAT(after[0].Text, HasSubstr("User does not have permission to alter database 'Hurtownia'."));
  EXPECT_EQ(Property("Hurtownia", "UserAccess"), "MULTI_USER");
}

TEST_F(CheckRepair, RepairIsGuarded) {
  auto till = Holder("SklepZachod", "Kasa fiskalna");
  std::vector<Refusal> seen;
  AnswerRefusal(seen, false);
  SelectDatabase("SklepZachod");
  const size_t mark = Sim->TraceMark();
  Run(TCommandId::cmRepairFast);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_TRUE(SentStarting(mark, "ALTER").empty());
  EXPECT_TRUE(SentStarting(mark, "DBCC").empty());
}

}  // namespace

namespace {

// Where a test keeps a picture of a window, when the run asks for pictures.
void KeepPicture(QWidget* Window, const char* Name) {
  const QByteArray dir = qgetenv("VANDREL_SCREENSHOT_DIR");
  if (!dir.isEmpty()) Window->grab().save(QString::fromUtf8(dir) + "/" + Name);
}

// Looks at a report window while it is up: its size against the screen it must fit, whether
// its text scrolls, and what "Kopiuj" puts on the clipboard.
struct SeenReport {
  QSize Size;
  bool Scrolls = false;
  std::string Copied;
};
std::function<int(QDialog*)> LookAtReport(SeenReport& Seen, const char* Picture) {
  return [&Seen, Picture](QDialog* d) {
    auto* report = dynamic_cast<TReportDlg*>(d);
    if (!report) return int(QDialog::Rejected);
    report->show();
    QApplication::processEvents();
    Seen.Size = report->frameGeometry().size();
    Seen.Scrolls = report->TextBox->verticalScrollBar()->maximum() > 0;
    report->CopyButton->click();
    Seen.Copied = QApplication::clipboard()->text().toStdString();
    KeepPicture(report, Picture);
    return int(QDialog::Accepted);
  };
}

}  // namespace

// The check's account and a raw failure of forty messages both open in a window that fits a
// 1280x800 screen, scroll their text and copy it whole.
TEST_F(CheckRepair, ReportsFitTheScreenScrollAndCopy) {
  Dialogs.RunReportWindows = true;
  SeenReport check, failure;
  Dialogs.DialogAnswers.push_back(LookAtReport(check, "checkrepair-check-summary.png"));
  SelectDatabase("SklepZachod");
  Run(TCommandId::cmCheck);
  EXPECT_LE(check.Size.width(), 1280);
  EXPECT_LE(check.Size.height(), 800);
  EXPECT_TRUE(check.Scrolls);
  EXPECT_THAT(check.Copied, ::testing::StartsWith("Serwer znalazł 0 błędów alokacji i 2 błędy spójności."));
  EXPECT_THAT(check.Copied, HasSubstr("DBCC execution completed."));

  // The same statement through an ordinary step, every record kept: the SQL error report.
  Dialogs.DialogAnswers.push_back(LookAtReport(failure, "checkrepair-error-report.png"));
  {
    vandrel::TMDiagRecordLimit all(100);
    EXPECT_FALSE(Form->ExecInDatabase("DBCC CHECKDB (N'SklepZachod')", "master"));
  }
  ASSERT_FALSE(Dialogs.Messages.empty());
  EXPECT_EQ(LastCaption(), "Błąd");
  EXPECT_EQ(Dialogs.Messages.back().Icon, MsgIcon::Error);
  const std::string report = LastText();
  EXPECT_GE(std::count(report.begin(), report.end(), '\n'), 80) << "forty records, two lines each";
  EXPECT_THAT(LastSummary(), ::testing::StartsWith("Polecenie SQL nie zostało wykonane.\nPrzyczyna: Obiekt: \"Paragony\""));
  EXPECT_THAT(LastSummary(), HasSubstr("Serwer przysłał 38 komunikatów, w tym 2 błędy; pełny tekst poniżej."));
  EXPECT_LE(failure.Size.width(), 1280);
  EXPECT_LE(failure.Size.height(), 800);
  EXPECT_TRUE(failure.Scrolls);
  EXPECT_THAT(failure.Copied, HasSubstr("Błąd polecenia SQL:\nDBCC CHECKDB (N'SklepZachod')"));
}
