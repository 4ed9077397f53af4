// The six state commands and the in-use guard, driven from the menus against msde-sim, with
// other programs holding databases on connections of their own.
#include <gmock/gmock.h>

#include "app/NodeKinds.h"
#include "app/admin/tests/AdminFixture.h"

using namespace vandrel::app;
using namespace vandrel::app::testing;

namespace {

class StateCommands : public AdminWindowTest {
 protected:
  std::string DataFile() const override { return DataSet("admin_names.json"); }
};

// The demo server, with its offline archive.
using StateCommandsOnTheDemo = AdminWindowTest;

// Every state command on names that need care in SQL text: the statement as the server got it,
// the state another connection sees, the message with its caption, and the refresh.
TEST_F(StateCommands, EachCommandOnRegularBlankQuoteAndReservedNames) {
  struct Case {
    std::string name, sql;
  };
  for (const Case& c : {Case{"Sklep", "Sklep"}, Case{"Sklep Wschód", "[Sklep Wschód]"},
                        Case{"Kasa 'Centrum'", "[Kasa 'Centrum']"}, Case{"Order", "[Order]"}}) {
    SCOPED_TRACE(c.name);
    const QString name = QString::fromStdString(c.name);

    SelectDatabase(c.name);
    size_t mark = Sim->TraceMark();
    Run(TCommandId::cmTakeOffline);
    EXPECT_THAT(SentStarting(mark, "ALTER"), ElementsAre("ALTER DATABASE " + c.sql + " SET OFFLINE"));
    EXPECT_EQ(Property(c.name, "Status"), "OFFLINE");
    EXPECT_EQ(LastText(), "Baza \"" + c.name + "\" została wyłączona");
    EXPECT_EQ(LastCaption(), "Ustawianie trybu Offline");
    EXPECT_NE(Node(name + " (Offline)"), nullptr) << "the tree is rebuilt";

    SelectDatabase(c.name + " (Offline)");
    EXPECT_TRUE(Form->CommandEnabled(TCommandId::cmBringOnline));
    mark = Sim->TraceMark();
    Run(TCommandId::cmBringOnline);
    EXPECT_THAT(SentStarting(mark, "ALTER"), ElementsAre("ALTER DATABASE " + c.sql + " SET ONLINE"));
    EXPECT_EQ(Property(c.name, "Status"), "ONLINE");
    EXPECT_EQ(LastText(), "Baza \"" + c.name + "\" została włączona");
    EXPECT_EQ(LastCaption(), "Ustawianie trybu Offline");
    ASSERT_NE(Node(name), nullptr) << "the node loses its suffix";

    SelectDatabase(c.name);
    mark = Sim->TraceMark();
    Run(TCommandId::cmSingleUser);
    EXPECT_EQ(SentStarting(mark, "SELECT fileid").size(), 1u) << "the details are shown again";
    EXPECT_THAT(SentStarting(mark, "ALTER"), ElementsAre("ALTER DATABASE " + c.sql + " SET SINGLE_USER"));
    EXPECT_EQ(Property(c.name, "UserAccess"), "SINGLE_USER");
    EXPECT_EQ(LastText(), "Baza \"" + c.name + "\" została ustawiona w tryb \"Single User\"");
    EXPECT_EQ(LastCaption(), "Ustawianie trybu: \"Single User\"");
    EXPECT_EQ(DetailValue(QStringLiteral("Tryb single user: ")), QStringLiteral("Włączony"));

    Run(TCommandId::cmMultiUser);
    EXPECT_EQ(Property(c.name, "UserAccess"), "MULTI_USER");
    EXPECT_EQ(LastText(), "Tryb \"Single User\" został wyłączony dla bazy \"" + c.name + "\"");
    EXPECT_EQ(LastCaption(), "Ustawianie trybu: \"Single User\"");
    EXPECT_EQ(DetailValue(QStringLiteral("Tryb single user: ")), QStringLiteral("Wyłączony"));

    mark = Sim->TraceMark();
    Run(TCommandId::cmSetReadOnly);
    EXPECT_THAT(SentStarting(mark, "ALTER"), ElementsAre("ALTER DATABASE " + c.sql + " SET READ_ONLY"));
    EXPECT_EQ(Property(c.name, "Updateability"), "READ_ONLY");
    EXPECT_EQ(LastText(), "Baza \"" + c.name + "\" została przestawiona w tryb tylko do odczytu");
    EXPECT_EQ(LastCaption(), "Ustawianie trybu bazy tylko do odczytu");
    EXPECT_EQ(DetailValue(QStringLiteral("Baza w trybie tylko do odczytu: ")), QStringLiteral("Włączony"));

    mark = Sim->TraceMark();
    Run(TCommandId::cmClearReadOnly);
    EXPECT_THAT(SentStarting(mark, "ALTER"), ElementsAre("ALTER DATABASE " + c.sql + " SET READ_WRITE "));
    EXPECT_EQ(Property(c.name, "Updateability"), "READ_WRITE");
    EXPECT_EQ(LastText(), "Wyłączono tryb tylko do odczytu dla bazy:\"" + c.name + "\"");
    EXPECT_EQ(DetailValue(QStringLiteral("Baza w trybie tylko do odczytu: ")), QStringLiteral("Wyłączony"));
  }
  for (const auto& m : Dialogs.Messages) EXPECT_NE(m.Caption, "Błąd") << m.Text;
}

TEST_F(StateCommands, ReadOnlyRefreshesTheDetailsOnlyOnADatabaseNode) {
  QTreeWidgetItem* sklep = SelectDatabase("Sklep");
  Select(NodeUnder(sklep, "Tabele"));
  const size_t mark = Sim->TraceMark();
  Run(TCommandId::cmSetReadOnly);
  EXPECT_EQ(Property("Sklep", "Updateability"), "READ_ONLY");
  EXPECT_THAT(SentStarting(mark, "SELECT dbid from sysdatabases"), IsEmpty());
  EXPECT_EQ(Headers(), QStringList({QStringLiteral("Nazwa tabeli")})) << "the table list stays";
}

TEST_F(StateCommands, GuardWithoutAProgramNameRefusesAndSendsNothing) {
  std::vector<Refusal> seen;
  auto anonymous = Holder("Sklep", "");
  SelectDatabase("Sklep");
  AnswerRefusal(seen, false);
  const size_t mark = Sim->TraceMark();
  Run(TCommandId::cmTakeOffline);
  EXPECT_THAT(SentStarting(mark, "ALTER"), IsEmpty());
  EXPECT_THAT(SentStarting(mark, "select status, dbid"), IsEmpty()) << "no refresh after a refusal";
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].Text, "Nie można wykonać tej operacji, baza jest w użyciu");
  EXPECT_EQ(seen[0].Caption, "Niedozwolona operacja");
  EXPECT_EQ(Property("Sklep", "Status"), "ONLINE");
}

// A test of its own: a session that ended just before could lend its SPID to the second
// holder, which would then come first.
TEST_F(StateCommands, GuardNamesTheFirstProgramAndListsEveryHolder) {
  std::vector<Refusal> seen;
  auto till = Holder("Sklep", "Kasa fiskalna");
  auto stock = Holder("Sklep", "Magazyn");
  SelectDatabase("Sklep");
  AnswerRefusal(seen, false);
  Dialogs.Messages.clear();
  const size_t mark = Sim->TraceMark();
  Run(TCommandId::cmSetReadOnly);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].Text, "Nie można wykonać tej operacji, baza jest używana przez aplikacje: Kasa fiskalna");
  EXPECT_THAT(seen[0].Programs, ElementsAre("Kasa fiskalna", "Magazyn")) << "every holder is listed";
  EXPECT_THAT(SentStarting(mark, "select dbid from sysprocesses"),
              ElementsAre("select dbid from sysprocesses where dbid=DB_ID(N'Sklep') and spid>50"));
  EXPECT_THAT(SentStarting(mark, "ALTER"), IsEmpty());
  ASSERT_EQ(Dialogs.Messages.size(), 1u) << "only the command's question: " << LastText();
  EXPECT_EQ(Dialogs.Messages[0].Icon, MsgIcon::Question);
}

// Read-only stops every program's writing: it asks first, "Nie" the default, and "Nie" sends
// nothing; read-write, which gives the writing back, asks nothing.
TEST_F(StateCommands, ReadOnlyAsksFirstAndNieSendsNothing) {
  SelectDatabase("Sklep");
  Dialogs.MessageAnswers.push_back(mbNo);
  size_t mark = Sim->TraceMark();
  Run(TCommandId::cmSetReadOnly);
  EXPECT_THAT(SentStarting(mark, "ALTER"), IsEmpty());
  EXPECT_THAT(SentStarting(mark, "select dbid from sysprocesses"), IsEmpty()) << "asked before the guard";
  ASSERT_EQ(Dialogs.Messages.size(), 1u);
  EXPECT_EQ(Dialogs.Messages[0].Text, "Czy ustawić w tryb tylko do odczytu bazę \"Sklep\"? Programy nie będą mogły "
                                      "zapisywać w niej danych, dopóki ten tryb nie zostanie wyłączony.");
  EXPECT_EQ(Dialogs.Messages[0].Caption, "Ustawianie trybu bazy tylko do odczytu");
  EXPECT_EQ(Dialogs.Messages[0].Buttons, mbYes | mbNo | mbDefaultNo);
  EXPECT_EQ(Property("Sklep", "Updateability"), "READ_WRITE");

  Dialogs.MessageAnswers.push_back(mbYes);
  Run(TCommandId::cmSetReadOnly);
  EXPECT_EQ(Property("Sklep", "Updateability"), "READ_ONLY");
  Dialogs.Messages.clear();
  mark = Sim->TraceMark();
  Run(TCommandId::cmClearReadOnly);
  EXPECT_THAT(SentStarting(mark, "ALTER"), ElementsAre("ALTER DATABASE Sklep SET READ_WRITE "));
  ASSERT_EQ(Dialogs.Messages.size(), 1u);
  EXPECT_EQ(Dialogs.Messages[0].Icon, MsgIcon::Information);
}

TEST_F(StateCommands, GuardLooksUpQuotedNamesAsLiterals) {
  auto till = Holder("Kasa 'Centrum'", "Kasa fiskalna");
  std::vector<Refusal> seen;
  AnswerRefusal(seen, false);
  SelectDatabase("Kasa 'Centrum'");
  const size_t mark = Sim->TraceMark();
  Run(TCommandId::cmTakeOffline);
  EXPECT_THAT(SentStarting(mark, "select dbid from sysprocesses"),
              ElementsAre("select dbid from sysprocesses where dbid=DB_ID(N'Kasa ''Centrum''') and spid>50"));
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(Property("Kasa 'Centrum'", "Status"), "ONLINE");
}

TEST_F(StateCommands, TheToolsOwnConnectionDoesNotCount) {
  QTreeWidgetItem* sklep = SelectDatabase("Sklep");
  Select(NodeUnder(sklep, "Tabele"));  // the tool's connection now uses Sklep
  Select(sklep);
  Run(TCommandId::cmTakeOffline);
  EXPECT_THAT(Dialogs.DialogsRun, Not(Contains("TInUseDlg")));
  EXPECT_EQ(Property("Sklep", "Status"), "OFFLINE");
}

TEST_F(StateCommands, DisconnectingTheHoldersEndsThemAndTheCommandGoesOn) {
  auto till = Holder("Sklep", "Kasa fiskalna");
  auto stock = Holder("Sklep", "Magazyn");
  const std::string tillSpid = till->Scalar("select @@SPID"), stockSpid = stock->Scalar("select @@SPID");
  std::vector<Refusal> seen;
  AnswerRefusal(seen, true);
  SelectDatabase("Sklep");
  const size_t mark = Sim->TraceMark();
  Run(TCommandId::cmTakeOffline);
  ASSERT_EQ(seen.size(), 1u) << "the guard passes on its second run";
  ASSERT_GE(Dialogs.Messages.size(), 3u);
  EXPECT_EQ(Dialogs.Messages[0].Caption, "Ustawianie trybu Offline") << "the command's own question first";
  EXPECT_EQ(Dialogs.Messages[1].Caption, "Rozłącz użytkowników i ponów") << "asked once";
  EXPECT_EQ(Dialogs.Messages[1].Icon, MsgIcon::Question);
  EXPECT_THAT(SentStarting(mark, "KILL"), ElementsAre("KILL " + tillSpid, "KILL " + stockSpid));
  EXPECT_EQ(SentStarting(mark, "select dbid from sysprocesses").size(), 2u);
  EXPECT_FALSE(till->Exec("select 1").ok) << "the holder was ended";
  EXPECT_EQ(Property("Sklep", "Status"), "OFFLINE");
  EXPECT_EQ(LastText(), "Baza \"Sklep\" została wyłączona");
}

TEST_F(StateCommands, DeclinedConfirmationOrAFailedKillStopsTheCommand) {
  auto till = Holder("Sklep", "Kasa fiskalna");
  std::vector<Refusal> seen;
  AnswerRefusal(seen, true);
  Dialogs.MessageAnswers.push_back(mbNo);
  SelectDatabase("Sklep");
  size_t mark = Sim->TraceMark();
  Run(TCommandId::cmTakeOffline);
  EXPECT_THAT(SentStarting(mark, "KILL"), IsEmpty());
  EXPECT_THAT(SentStarting(mark, "ALTER"), IsEmpty());
  EXPECT_TRUE(till->Exec("select 1").ok);

  // The holder is ended elsewhere between the listing and the KILL: the server refuses the
  // KILL, the error report shows it, and the command does not go on.
  AnswerRefusal(seen, true);
  Dialogs.MessageAnswers.push_back(mbYes);
  const std::string spid = till->Scalar("select @@SPID");
  msde::testkit::OdbcClient admin(Sim->Utf8ConnectionString("sa", ""));
  BeforeStatement("KILL", [&] { EXPECT_TRUE(admin.Exec("KILL " + spid).ok); });
  mark = Sim->TraceMark();
  Run(TCommandId::cmTakeOffline);
  EXPECT_EQ(SentStarting(mark, "KILL").size(), 1u);
  EXPECT_THAT(SentStarting(mark, "ALTER"), IsEmpty());
  EXPECT_EQ(LastCaption(), "Błąd");
  EXPECT_EQ(Property("Sklep", "Status"), "ONLINE");
}

// A program that enters the database after the guard ran: the server refuses (5070), the
// error report shows it, no success message, and the tree is still rebuilt.
TEST_F(StateCommands, ServerRefusalAfterTheGuardIsReportedAndTheTreeStillRefreshed) {
  std::unique_ptr<msde::testkit::OdbcClient> late;
  BeforeStatement("ALTER DATABASE", [&] { late = Holder("Sklep", "Kasa"); });
  SelectDatabase("Sklep");
  const size_t mark = Sim->TraceMark();
  Run(TCommandId::cmTakeOffline);
  ASSERT_EQ(Dialogs.Messages.size(), 2u);  // the question, then the refusal
  EXPECT_EQ(LastCaption(), "Błąd");
  EXPECT_NE(LastText().find("Database state cannot be changed while other users are using the database 'Sklep'"),
            std::string::npos)
      << LastText();
  EXPECT_EQ(SentStarting(mark, "select status, dbid").size(), 1u) << "the tree is rebuilt";
  EXPECT_EQ(Property("Sklep", "Status"), "ONLINE");
}

// A user's sequence: a row of the list, then an offline database, then a normal one; the
// commands enabled follow the node each time (a row of the database list names no database of
// its own: the commands stay as the "Bazy" folder has them).
TEST_F(StateCommands, EnablingFollowsTheSelectedNode) {
  Run(TCommandId::cmTakeOffline);  // nothing selected: nothing happens but the refresh
  EXPECT_TRUE(Dialogs.Messages.empty());
  SelectDatabase("Sklep Wschód");
  Run(TCommandId::cmTakeOffline);
  Select(Node(QStringLiteral("Bazy")));
  ASSERT_GT(Form->ListView1->RowCount(), 0);
  Form->ListView1->selectRow(0);
  Form->ListView1SelectItem();
  EXPECT_FALSE(Form->CommandEnabled(TCommandId::cmTakeOffline));
  SelectDatabase("Sklep Wschód (Offline)");
  for (TCommandId off : {TCommandId::cmTakeOffline, TCommandId::cmDatabaseOptions, TCommandId::cmChangeTableOwner,
                         TCommandId::cmRepairMenu})
    EXPECT_FALSE(Form->CommandEnabled(off)) << CommandCaption(off);
  for (TCommandId on : {TCommandId::cmBringOnline, TCommandId::cmAttach, TCommandId::cmDetach, TCommandId::cmSetReadOnly})
    EXPECT_TRUE(Form->CommandEnabled(on)) << CommandCaption(on);
  Form->Narzdzia1Click();
  EXPECT_FALSE(Form->CommandEnabled(TCommandId::cmSingleUser));
  SelectDatabase("Sklep");
  Form->Narzdzia1Click();
  EXPECT_TRUE(Form->CommandEnabled(TCommandId::cmSingleUser));
  EXPECT_TRUE(Form->CommandEnabled(TCommandId::cmTakeOffline));
  EXPECT_FALSE(Form->CommandEnabled(TCommandId::cmBringOnline));
}

// "Włącz bazę" on the offline archive while another administrator detaches it: the server
// refuses, the error report shows why, no success message follows, the tree is rebuilt
// without the archive, and the next click shows that node's list and commands.
TEST_F(StateCommandsOnTheDemo, ARefusedOnlineIsReportedAndTheTreeStillRebuilt) {
  msde::testkit::OdbcClient other(Sim->Utf8ConnectionString("sa", ""));
  bool detached = false;
  BeforeStatement("ALTER DATABASE Archiwum2006 SET ONLINE",
                  [&] { detached = other.Exec("sp_detach_db 'Archiwum2006'").ok; });
  SelectDatabase("Archiwum2006 (Offline)");
  const size_t mark = Sim->TraceMark();
  Run(TCommandId::cmBringOnline);
  ASSERT_TRUE(detached);
  EXPECT_THAT(SentStarting(mark, "select dbid from sysprocesses"),
              ElementsAre("select dbid from sysprocesses where dbid=DB_ID(N'Archiwum2006') and spid>50"));
  EXPECT_THAT(SentStarting(mark, "ALTER"), ElementsAre("ALTER DATABASE Archiwum2006 SET ONLINE"));
  ASSERT_EQ(Dialogs.Messages.size(), 1u) << LastText();
  EXPECT_EQ(LastCaption(), "Błąd");
  EXPECT_EQ(Dialogs.Messages[0].Icon, MsgIcon::Error);
  EXPECT_THAT(LastText(), HasSubstr("Could not locate entry in sysdatabases for database 'Archiwum2006'"));
  EXPECT_EQ(SentStarting(mark, "select status, dbid").size(), 1u) << "the tree is rebuilt";
  EXPECT_EQ(Node(QStringLiteral("Archiwum2006 (Offline)")), nullptr);
  EXPECT_EQ(Node(QStringLiteral("Archiwum2006")), nullptr);

  SelectDatabase("Sklep");
  EXPECT_EQ(Headers(), QStringList({QStringLiteral("Parametr"), QStringLiteral("Wartość")}));
  EXPECT_THAT(ListColumn(0), Contains(QStringLiteral("Logiczna nazwa pliku bazy: ")));
  EXPECT_TRUE(Form->CommandEnabled(TCommandId::cmTakeOffline));
  EXPECT_FALSE(Form->CommandEnabled(TCommandId::cmBringOnline));
  EXPECT_EQ(Dialogs.Messages.size(), 1u) << LastText();
}

// The state commands and the options are not offered on the server's own databases; the
// other commands are.
TEST_F(StateCommandsOnTheDemo, TheServersOwnDatabasesAreNotOfferedTheStateCommands) {
  Run(TCommandId::cmHideSystemDatabases);  // show the system databases
  const TCommandId state[] = {TCommandId::cmTakeOffline, TCommandId::cmSetReadOnly, TCommandId::cmClearReadOnly,
                              TCommandId::cmSingleUser, TCommandId::cmMultiUser, TCommandId::cmDatabaseOptions};
  for (const char* system : {"master", "model", "msdb", "tempdb"}) {
    SelectDatabase(system);
    for (TCommandId command : state) EXPECT_FALSE(Form->CommandEnabled(command)) << system << " " << CommandCaption(command);
    EXPECT_TRUE(Form->CommandEnabled(TCommandId::cmCheck)) << system;
  }
  SelectDatabase("Sklep");
  for (TCommandId command : state) EXPECT_TRUE(Form->CommandEnabled(command)) << CommandCaption(command);
}

}  // namespace

// The server's own sessions sit in master: the guard lists and offers to end only a program's
// session, and one Return at the question ends nothing.
TEST_F(StateCommandsOnTheDemo, TheDisconnectQuestionOffersOnlyProgramsAndDefaultsToNo) {
  Run(TCommandId::cmHideSystemDatabases);  // show the system databases
  auto till = Holder("master", "Kasa fiskalna");
  const std::string spid = till->Scalar("select @@SPID");
  std::vector<Refusal> seen;
  Dialogs.MessageAnswers.push_back(mbYes);  // the repair's own question
  AnswerRefusal(seen, true);
  Dialogs.MessageAnswers.push_back(mbNo);
  SelectDatabase("master");
  const size_t mark = Sim->TraceMark();
  Run(TCommandId::cmRepairFast);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_THAT(seen[0].Programs, ElementsAre("Kasa fiskalna"));
  const auto question = std::find_if(Dialogs.Messages.begin(), Dialogs.Messages.end(),
                                     [](const ShownMessage& m) { return m.Caption == "Rozłącz użytkowników i ponów"; });
  ASSERT_NE(question, Dialogs.Messages.end());
  EXPECT_THAT(question->Text, HasSubstr("(SPID: " + spid + ")"));
  EXPECT_EQ(question->Buttons, mbYes | mbNo | mbDefaultNo);
  EXPECT_THAT(SentStarting(mark, "KILL"), IsEmpty());
  EXPECT_TRUE(till->Exec("select 1").ok);
}
