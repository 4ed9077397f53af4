// Databases whose names hold a state word, a leading "@", a bracket, a quote, an en dash or
// 128 characters, beside the databases those names could be mistaken for: every command acts
// on the database the user selected, as another connection sees it and as the server's trace
// shows, asks first where it takes a database away, and leaves the tree as the user had it.
#include <gmock/gmock.h>

#include "app/NodeKinds.h"
#include "app/admin/tests/AdminFixture.h"

using namespace vandrel::app;
using namespace vandrel::app::testing;

namespace {

const std::string kLong = [] {
  std::string name;
  while (name.size() < 300) name += "Sklep numer jeden w Łodzi przy ulicy Piotrkowskiej ";
  // 127 characters, then "Z": the name fills the 128 characters SQL Server allows.
  QString text = QString::fromStdString(name).left(127) + "Z";
  return text.toStdString();
}();

class NameCases : public AdminWindowTest {
 protected:
  std::string DataFile() const override { return DataSet("name_cases.json"); }

  // The questions asked so far (the message boxes with "Tak" and "Nie").
  std::vector<ShownMessage> Questions() const {
    std::vector<ShownMessage> asked;
    for (const auto& m : Dialogs.Messages)
      if (m.Buttons & mbYes) asked.push_back(m);
    return asked;
  }
  bool Exists(const std::string& Database) {
    msde::testkit::OdbcClient c(Sim->Utf8ConnectionString("sa", ""));
    return c.Scalar("select count(*) from sysdatabases where name=N'" + Escaped(Database) + "'") == "1";
  }
};

struct NameCase {
  std::string name, sql, lookalike;  // the name, as the statement names it, and the database it could be taken for
};

std::vector<NameCase> Cases() {
  return {{"Sklep (Offline) stara", "[Sklep (Offline) stara]", "Sklep"},
          {"Archiwum (Uszkodzona) 2006", "[Archiwum (Uszkodzona) 2006]", "Archiwum"},
          {"@Sklep", "[@Sklep]", "Sklep"},
          {"Sklep]Nowy", "[Sklep]]Nowy]", "Sklep"},
          {"O'Brien", "[O'Brien]", "Sklep"},
          {"Łódź–Centrum", "[Łódź–Centrum]", "Sklep"},
          {kLong, "[" + kLong + "]", "Sklep"}};
}

TEST_F(NameCases, TheTreeTheDetailsAndTheTablesNameEachDatabaseAsItself) {
  ASSERT_EQ(kLong.size() > 128, true);  // 128 characters, some of them two bytes
  for (const NameCase& c : Cases()) {
    SCOPED_TRACE(c.name);
    QTreeWidgetItem* node = SelectDatabase(c.name);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(Form->SelectedDatabase(), c.name);
    EXPECT_EQ(Form->SelectedDatabaseNode(), c.name);
    EXPECT_EQ(DetailValue(QStringLiteral("Nazwa bazy: ")).toStdString(), c.name) << "the details are this database's";
    Select(NodeUnder(node, "Tabele"));
    EXPECT_EQ(Form->SelectedDatabase(), c.name);
    EXPECT_EQ(Form->SelectedDatabaseNode(), "");
    EXPECT_THAT(ListColumn(0), Contains(QStringLiteral("dbo.Towary")));
  }
}

// "Wyłącz bazę" and "Włącz bazę" on each name: the question names the database, "Nie" is the
// default, the statement brackets the name, only that database changes state, and the tree
// comes back with the same database selected.
TEST_F(NameCases, OfflineAndOnlineTakeExactlyTheSelectedDatabase) {
  for (const NameCase& c : Cases()) {
    SCOPED_TRACE(c.name);
    SelectDatabase(c.name);
    Dialogs.Messages.clear();
    size_t mark = Sim->TraceMark();
    Run(TCommandId::cmTakeOffline);
    ASSERT_EQ(Questions().size(), 1u);
    EXPECT_THAT(Questions()[0].Text, HasSubstr("\"" + c.name + "\""));
    EXPECT_TRUE(Questions()[0].Buttons & mbDefaultNo);
    EXPECT_THAT(SentStarting(mark, "ALTER"), ElementsAre("ALTER DATABASE " + c.sql + " SET OFFLINE"));
    EXPECT_EQ(Property(c.name, "Status"), "OFFLINE");
    EXPECT_EQ(Property(c.lookalike, "Status"), "ONLINE");
    EXPECT_EQ(LastText(), "Baza \"" + c.name + "\" została wyłączona");
    EXPECT_EQ(Form->SelectedDatabaseNode(), c.name) << "the selection stays on the database";
    EXPECT_EQ(Form->SelectedNodeKind(), nkDatabaseOffline);
    EXPECT_TRUE(Form->CommandEnabled(TCommandId::cmBringOnline));

    mark = Sim->TraceMark();
    Run(TCommandId::cmBringOnline);
    EXPECT_THAT(SentStarting(mark, "ALTER"), ElementsAre("ALTER DATABASE " + c.sql + " SET ONLINE"));
    EXPECT_EQ(Property(c.name, "Status"), "ONLINE");
    EXPECT_EQ(LastText(), "Baza \"" + c.name + "\" została włączona");
    EXPECT_EQ(Form->SelectedNodeKind(), nkDatabase);
  }
}

TEST_F(NameCases, NieSendsNothing) {
  SelectDatabase("Sklep (Offline) stara");
  const size_t mark = Sim->TraceMark();
  for (TCommandId command : {TCommandId::cmTakeOffline, TCommandId::cmSingleUser, TCommandId::cmDetach,
                             TCommandId::cmChangeTableOwner}) {
    SCOPED_TRACE(CommandCaption(command));
    Dialogs.Messages.clear();
    Dialogs.MessageAnswers.push_back(mbNo);
    Run(command);
    ASSERT_EQ(Questions().size(), 1u);
    EXPECT_THAT(Questions()[0].Text, HasSubstr("\"Sklep (Offline) stara\""));
    EXPECT_TRUE(Questions()[0].Buttons & mbDefaultNo);
    EXPECT_EQ(Dialogs.Messages.size(), 1u) << LastText();
  }
  for (const std::string& sent : SentSince(mark))
    EXPECT_THAT(sent, ::testing::Not(::testing::AnyOf(HasSubstr("ALTER"), HasSubstr("sp_detach_db"),
                                                      HasSubstr("sp_changeobjectowner"), HasSubstr("DB_ID"))));
  EXPECT_EQ(Property("Sklep (Offline) stara", "UserAccess"), "MULTI_USER");
  EXPECT_TRUE(Exists("Sklep (Offline) stara"));
}

// The detach takes the selected database and drops its own login, never the look-alike's.
TEST_F(NameCases, DetachTakesExactlyTheSelectedDatabase) {
  SelectDatabase("Hurtownia (Offline) stara");
  const size_t mark = Sim->TraceMark();
  Run(TCommandId::cmDetach);
  ASSERT_EQ(Questions().size(), 1u);
  EXPECT_THAT(Questions()[0].Text, HasSubstr("\"Hurtownia (Offline) stara\""));
  EXPECT_THAT(SentStarting(mark, "sp_detach_db"), ElementsAre("sp_detach_db N'Hurtownia (Offline) stara'"));
  EXPECT_FALSE(Exists("Hurtownia (Offline) stara"));
  EXPECT_TRUE(Exists("Hurtownia"));
  EXPECT_EQ(Node("Hurtownia (Offline) stara"), nullptr);
  // No login of that name is the database's: none is dropped, and the message says so.
  EXPECT_THAT(SentStarting(mark, "sp_droplogin"), IsEmpty());
  EXPECT_EQ(LastText(), "Baza została odlaczona\n\nLogin \"Hurtownia (Offline) stara\" nie został usunięty: żaden "
                        "użytkownik bazy nie jest z nim związany, więc nie jest loginem tej bazy.");
}

// A suspect database that "Włącz bazę" cannot bring online is not reported as brought online.
TEST_F(NameCases, OnlineOfASuspectDatabaseSaysWhatTheServerReports) {
  SelectDatabase("Podejrzana (Uszkodzona)");
  Run(TCommandId::cmBringOnline);
  EXPECT_EQ(Property("Podejrzana", "Status"), "SUSPECT");
  EXPECT_EQ(LastText(), "Serwer wykonał polecenie, ale baza \"Podejrzana\" jest w stanie SUSPECT");
  for (const auto& m : Dialogs.Messages) EXPECT_THAT(m.Text, ::testing::Not(HasSubstr("została włączona")));
}

// The expanded nodes and the selection come back after F5 and after a command, found by what
// they stand for; the commands follow the selection without a new click.
TEST_F(NameCases, TheTreeKeepsWhatTheUserHadOpen) {
  QTreeWidgetItem* tables = NodeUnder(Node("Sklep (Offline) stara"), "Tabele");
  Select(tables);
  tables->setExpanded(true);
  Node("Loginy")->setExpanded(true);
  Node("Sklep")->setExpanded(false);
  Select(NodeUnder(tables, "jan.Kasa"));
  Form->FormKeyDown(Qt::Key_F5);
  EXPECT_EQ(Form->SelectedNodeText(), "jan.Kasa");
  EXPECT_EQ(Form->SelectedDatabase(), "Sklep (Offline) stara");
  EXPECT_TRUE(Node("Loginy")->isExpanded());
  EXPECT_TRUE(NodeUnder(Node("Sklep (Offline) stara"), "Tabele")->isExpanded());
  EXPECT_FALSE(Node("Sklep")->isExpanded());

  SelectDatabase("Sklep");
  Run(TCommandId::cmCheck);
  EXPECT_EQ(LastSummary(), "Baza danych nie zawiera błędów");
  EXPECT_TRUE(Form->CommandEnabled(TCommandId::cmRepairFast)) << "enabled again without a new click";
  Run(TCommandId::cmChangeTableOwner);
  EXPECT_EQ(Form->SelectedDatabaseNode(), "Sklep");
  EXPECT_TRUE(Form->CommandEnabled(TCommandId::cmDatabaseOptions));
}

// Commands that cannot act on the selection are disabled: a repair on "Tabele" or "Bazy", the
// database commands on "Loginy".
TEST_F(NameCases, CommandsThatCannotActOnTheSelectionAreDisabled) {
  Select(NodeUnder(Node("Sklep"), "Tabele"));
  for (TCommandId c : {TCommandId::cmCheck, TCommandId::cmRepairFast, TCommandId::cmDatabaseOptions,
                       TCommandId::cmTakeOffline})
    EXPECT_FALSE(Form->CommandEnabled(c)) << CommandCaption(c);
  EXPECT_TRUE(Form->CommandEnabled(TCommandId::cmSetReadOnly));
  Select(Node("Loginy"));
  for (TCommandId c : {TCommandId::cmRepairMenu, TCommandId::cmTakeOffline, TCommandId::cmBringOnline,
                       TCommandId::cmSetReadOnly, TCommandId::cmClearReadOnly})
    EXPECT_FALSE(Form->CommandEnabled(c)) << CommandCaption(c);
  Select(Node("Bazy"));
  EXPECT_FALSE(Form->CommandEnabled(TCommandId::cmCheck));
}

// A holder that ends while the question is open gives its number to a till working in another
// database: only what still holds the database is ended, never that till.
TEST_F(NameCases, DisconnectEndsOnlyWhatStillHoldsTheDatabase) {
  auto holder = Holder("Sklep", "KasaA");
  const std::string spid = holder->Scalar("select @@SPID");
  std::unique_ptr<msde::testkit::OdbcClient> till;
  std::vector<Refusal> seen;
  AnswerRefusal(seen, true);
  Dialogs.DuringModal = [&] {
    if (till || Dialogs.Messages.empty() || Dialogs.Messages.back().Caption != "Rozłącz użytkowników i ponów") return;
    holder.reset();
    // The server frees the number when it notices the holder gone: the till connects until it has it.
    for (int attempt = 0; attempt < 200 && !till; ++attempt) {
      till = Holder("Hurtownia", "Kasa fiskalna");
      if (till->Scalar("select @@SPID") != spid) till.reset();
    }
  };
  SelectDatabase("Sklep");
  const size_t mark = Sim->TraceMark();
  Run(TCommandId::cmTakeOffline);
  ASSERT_EQ(seen.size(), 1u);
  ASSERT_NE(till, nullptr) << "the till never got the holder's number";
  EXPECT_THAT(SentStarting(mark, "KILL"), IsEmpty());
  EXPECT_TRUE(till->Exec("select 1").ok) << "the till keeps its connection";
  EXPECT_EQ(Property("Sklep", "Status"), "OFFLINE");
}

}  // namespace
