// The activity view against msde-sim: a back-office session holds a changed row of Towary in
// an open transaction and two tills wait behind it; the view names the head of the chain, the
// refresh keeps the user's place, and ending sessions asks once and says what ended.
#include <QComboBox>
#include <QTest>
#include <QTimer>
#include <future>
#include <sstream>

#include "app/admin/ActivityView.h"
#include "app/admin/tests/AdminFixture.h"

namespace vandrel::app::testing {
namespace {

using msde::testkit::ExecResult;
using msde::testkit::OdbcClient;

constexpr int kNote = 9, kBlockedBy = 10, kWait = 11, kOpenTran = 12;
// What the back office last sent: its change of Towary, left open.
const char* const kHolderBatch = "begin tran update Towary set Nazwa = N'Zmieniona' where IdTowaru = 1";

// The line of a report's locks that holds every one of Parts, or "" when none does.
std::string LockLine(const std::string& Table, const std::vector<std::string>& Parts) {
  std::istringstream lines(Table);
  for (std::string line; std::getline(lines, line);) {
    bool all = true;
    for (const std::string& part : Parts) all = all && line.find(part) != std::string::npos;
    if (all) return line;
  }
  return {};
}

class Activity : public AdminWindowTest, public ::testing::WithParamInterface<const char*> {
 protected:
  std::string DataFile() const override { return DataSet(GetParam()); }

  void SetUp() override {
    AdminWindowTest::SetUp();
    Holder = Client("Zaplecze");
    HolderSpid = Holder->Scalar("select @@SPID");
    ASSERT_TRUE(Holder->Exec(kHolderBatch).ok);
    for (const char* program : {"Kasa1", "Kasa2"}) {
      Tills.push_back(Client(program));
      TillSpids.push_back(Tills.back()->Scalar("select @@SPID"));
    }
    for (auto& till : Tills) {
      OdbcClient* c = till.get();
      Reads.push_back(std::async(std::launch::async, [c] { return c->Exec("select Nazwa from Towary where IdTowaru = 1"); }));
    }
    for (const std::string& spid : TillSpids) AwaitBlocked(spid);
  }
  void TearDown() override {
    if (Holder) Holder->Exec("rollback");
    for (auto& read : Reads) read.wait();
    AdminWindowTest::TearDown();
  }

  std::unique_ptr<OdbcClient> Client(const std::string& Program) {
    return std::make_unique<OdbcClient>(Sim->Utf8ConnectionString("sa", "") + "APP=" + Program + ";DATABASE=Sklep;");
  }
  // Waits until the server shows the session waiting for another (a condition, not a time).
  void AwaitBlocked(const std::string& Spid) {
    OdbcClient monitor(Sim->Utf8ConnectionString("sa", ""));
    while (monitor.Scalar("select blocked from master..sysprocesses where spid = " + Spid) == "0") {
    }
  }
  int RowOf(const std::string& Spid) const {
    for (int r = 0; r < Form->ListView1->RowCount(); ++r)
      if (Form->ListView1->Text(r, 0).toStdString() == Spid) return r;
    return -1;
  }
  std::string Cell(const std::string& Spid, int Column) const {
    const int row = RowOf(Spid);
    return row < 0 ? "<no row>" : Form->ListView1->Text(row, Column).toStdString();
  }
  void SelectSessions(const std::vector<std::string>& Spids) {
    Form->ListView1->clearSelection();
    for (const std::string& spid : Spids) {
      const QModelIndex index = Form->ListView1->model()->index(RowOf(spid), 0);
      Form->ListView1->selectionModel()->select(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
  }
  admin::TActivityBar* Bar() const { return Form->findChild<admin::TActivityBar*>(); }
  // The first till ends by itself (after the list was read). The server ends the session once
  // it reads the closed connection, on a thread of its own; until then the session is there.
  // (The look-up names the program too: the checking connection may be given its number.)
  void EndFirstTill() {
    Tills[0]->Cancel();
    Reads[0].wait();
    Tills[0].reset();
    OdbcClient check(Sim->Utf8ConnectionString("sa", ""));
    QTRY_VERIFY_WITH_TIMEOUT(check.Scalar("select count(*) from master..sysprocesses where spid = " + TillSpids[0] +
                                          " and program_name = 'Kasa1'") == "0",
                             30000);
  }
  std::string OwnSpid() { return Form->QueryScalar("select @@SPID", "master").Value; }

  std::unique_ptr<OdbcClient> Holder;
  std::string HolderSpid;
  std::vector<std::unique_ptr<OdbcClient>> Tills;
  std::vector<std::string> TillSpids;
  std::vector<std::future<ExecResult>> Reads;
};

TEST_P(Activity, TheHeadOfTheChainComesFirstWithTheSessionsItBlocks) {
  Run(TCommandId::cmProcesses);
  EXPECT_EQ(Form->ListView1->Text(0, 0).toStdString(), HolderSpid) << "the head of the chain is sorted first";
  EXPECT_EQ(Cell(HolderSpid, kNote), "blokuje 2");
  EXPECT_EQ(Cell(HolderSpid, kOpenTran), "1");
  EXPECT_EQ(Cell(HolderSpid, kBlockedBy), "");
  for (const std::string& till : TillSpids) {
    EXPECT_LE(RowOf(till), 2) << "its chain follows it";
    EXPECT_EQ(Cell(till, kBlockedBy), HolderSpid);
    EXPECT_EQ(Cell(till, kNote), "w łańcuchu " + HolderSpid);
    EXPECT_EQ(Cell(till, kWait).rfind("LCK_M_S, ", 0), 0u) << Cell(till, kWait);
  }
  EXPECT_EQ(Cell(OwnSpid(), kNote), "(ten program)");
  EXPECT_EQ(Cell("1", kNote), "(systemowy)");
  EXPECT_TRUE(Dialogs.Messages.empty()) << LastText();
}

TEST_P(Activity, TheRefreshIsOffByDefaultAndKeepsTheSelectionInPlace) {
  Run(TCommandId::cmProcesses);
  admin::TActivityBar* bar = Bar();
  ASSERT_NE(bar, nullptr);
  EXPECT_TRUE(bar->isVisibleTo(Form.get()));
  EXPECT_EQ(bar->Interval->currentText(), "wyłączone");
  EXPECT_FALSE(bar->Timer->isActive());
  bar->Interval->setCurrentIndex(bar->Interval->findText("5 s"));
  EXPECT_TRUE(bar->Timer->isActive());
  EXPECT_EQ(bar->Timer->interval(), 5000);

  SelectSessions({TillSpids[1]});
  // The holder gives up its transaction: the next turn shows the chain gone, the same till
  // still selected, and asks nothing.
  ASSERT_TRUE(Holder->Exec("rollback").ok);
  for (auto& read : Reads) EXPECT_TRUE(read.get().ok);
  Reads.clear();
  const size_t mark = Sim->TraceMark();
  bar->Tick();
  EXPECT_THAT(SentStarting(mark, "select spid AS SPID"), Not(IsEmpty()));
  EXPECT_EQ(Cell(HolderSpid, kNote), "");
  EXPECT_EQ(Cell(TillSpids[1], kBlockedBy), "");
  ASSERT_EQ(Form->ListView1->SelectedRows().size(), 1u);
  EXPECT_EQ(Form->ListView1->Text(Form->ListView1->SelectedRow(), 0).toStdString(), TillSpids[1]);
  EXPECT_TRUE(Dialogs.Messages.empty()) << LastText();

  // Another list in its place: the bar and its refresh go.
  SelectDatabase("Sklep");
  EXPECT_FALSE(bar->isVisibleTo(Form.get()));
  EXPECT_FALSE(bar->Timer->isActive());
}

TEST_P(Activity, KillingTheHeadAsksOnceWithNieTheDefaultAndEndsTheWaits) {
  Run(TCommandId::cmProcesses);
  SelectSessions({HolderSpid});
  Form->PreparePopupMenu2();
  ASSERT_TRUE(Form->CommandEnabled(TCommandId::cmKillProcess));
  // "Nie": nothing is sent.
  Dialogs.MessageAnswers.push_back(mbNo);
  size_t mark = Sim->TraceMark();
  Run(TCommandId::cmKillProcess);
  ASSERT_EQ(Dialogs.Messages.size(), 1u);
  EXPECT_EQ(Dialogs.Messages[0].Buttons, mbYes | mbNo | mbDefaultNo);
  EXPECT_NE(Dialogs.Messages[0].Text.find(HolderSpid + ": program \"Zaplecze\""), std::string::npos);
  EXPECT_NE(Dialogs.Messages[0].Text.find("baza Sklep, otwarte transakcje: 1 (transakcja zostanie wycofana)"),
            std::string::npos)
      << Dialogs.Messages[0].Text;
  EXPECT_THAT(SentStarting(mark, "KILL"), IsEmpty());

  Dialogs.Messages.clear();
  mark = Sim->TraceMark();
  Run(TCommandId::cmKillProcess);
  EXPECT_THAT(SentStarting(mark, "KILL"), ElementsAre("KILL " + HolderSpid));
  ASSERT_EQ(Dialogs.Messages.size(), 2u);
  EXPECT_EQ(Dialogs.Messages[1].Text, "Zakończone:\r\n" + HolderSpid + " (Zaplecze)");
  // The tills' reads go on, with the row as it was before the rolled-back change.
  for (auto& read : Reads) {
    const ExecResult answer = read.get();
    ASSERT_TRUE(answer.ok);
    EXPECT_NE(answer.Rows().at(0).at(0), "Zmieniona");
  }
  Reads.clear();
  Holder.reset();
  OdbcClient check(Sim->Utf8ConnectionString("sa", ""));
  EXPECT_EQ(check.Scalar("select count(*) from master..sysprocesses where blocked <> 0"), "0");
  EXPECT_EQ(RowOf(HolderSpid), -1);
}

TEST_P(Activity, SeveralSessionsEndTogetherAndOneThatEndedMeanwhileIsNotKilled) {
  Run(TCommandId::cmProcesses);
  // The own session among the chosen is left out of the question.
  SelectSessions({TillSpids[0], TillSpids[1], OwnSpid()});
  // The first till ends by itself after the list was read: its number is not killed.
  EndFirstTill();
  const size_t mark = Sim->TraceMark();
  Run(TCommandId::cmKillProcess);
  ASSERT_EQ(Dialogs.Messages.size(), 2u);
  const std::string& question = Dialogs.Messages[0].Text;
  EXPECT_EQ(question.rfind("Czy zakończyć 2 procesy?", 0), 0u) << question;
  EXPECT_NE(question.find(TillSpids[0] + ": program \"Kasa1\""), std::string::npos);
  EXPECT_NE(question.find(TillSpids[1] + ": program \"Kasa2\""), std::string::npos);
  EXPECT_EQ(question.find(OwnSpid() + ": "), std::string::npos);
  EXPECT_THAT(SentStarting(mark, "KILL"), ElementsAre("KILL " + TillSpids[1]));
  EXPECT_EQ(Dialogs.Messages[1].Text, "Zakończone:\r\n" + TillSpids[1] +
                                          " (Kasa2)\r\n\r\nZakończyły się same, zanim je zakończono (nic nie wysłano):\r\n" +
                                          TillSpids[0] + " (Kasa1)");
  EXPECT_FALSE(Reads[1].get().ok) << "the killed till's read ends with its connection";
  Reads.clear();
}

// What the head of the chain last sent and the locks it holds, and a till's lock that waits,
// each in a report window, read from the server as it is now.
TEST_P(Activity, TheHeadShowsItsLastBatchAndItsLocks) {
  Run(TCommandId::cmProcesses);
  SelectSessions({HolderSpid});
  Form->PreparePopupMenu2();
  ASSERT_TRUE(Form->CommandEnabled(TCommandId::cmSessionLastBatch));
  ASSERT_TRUE(Form->CommandEnabled(TCommandId::cmSessionLocks));
  size_t mark = Sim->TraceMark();
  Run(TCommandId::cmSessionLastBatch);
  EXPECT_THAT(SentStarting(mark, "DBCC INPUTBUFFER"), ElementsAre("DBCC INPUTBUFFER(" + HolderSpid + ")"));
  ASSERT_EQ(Dialogs.Messages.size(), 1u);
  const std::string session = HolderSpid + " (program \"Zaplecze\", login sa)";
  EXPECT_EQ(Dialogs.Messages[0].Caption, "Ostatnie polecenie");
  EXPECT_EQ(Dialogs.Messages[0].Summary, "Ostatnie polecenie procesu " + session + ":");
  EXPECT_EQ(Dialogs.Messages[0].Text, kHolderBatch);

  Dialogs.Messages.clear();
  mark = Sim->TraceMark();
  Run(TCommandId::cmSessionLocks);
  const bool is2005 = std::string(GetParam()) == "demo2005.json";
  EXPECT_THAT(SentStarting(mark, is2005 ? "select resource_type" : "sp_lock"), Not(IsEmpty()));
  ASSERT_EQ(Dialogs.Messages.size(), 1u);
  const ShownMessage& locks = Dialogs.Messages[0];
  EXPECT_EQ(locks.Caption, "Blokady");
  EXPECT_EQ(locks.Summary.rfind("Blokady procesu " + session + ": ", 0), 0u) << locks.Summary;
  EXPECT_EQ(locks.Summary.find("oczekując"), std::string::npos) << "the head waits for nothing";
  EXPECT_NE(LockLine(locks.Text, {"Sklep, baza: S, przyznana"}), "") << locks.Text;
  EXPECT_NE(LockLine(locks.Text, {"Sklep, tabela Towary: IX, przyznana"}), "") << locks.Text;
  EXPECT_NE(LockLine(locks.Text, {"Sklep, strona ", " w tabeli Towary: IX, przyznana"}), "") << locks.Text;
  EXPECT_NE(LockLine(locks.Text, {"Sklep, ", " w tabeli Towary: X, przyznana"}), "") << "the changed row, " << locks.Text;

  // A till behind it waits for that row.
  Dialogs.Messages.clear();
  SelectSessions({TillSpids[0]});
  Run(TCommandId::cmSessionLocks);
  ASSERT_EQ(Dialogs.Messages.size(), 1u);
  EXPECT_NE(Dialogs.Messages[0].Summary.find(", w tym 1 oczekująca."), std::string::npos) << Dialogs.Messages[0].Summary;
  EXPECT_NE(LockLine(Dialogs.Messages[0].Text, {"Sklep, ", " w tabeli Towary: S, oczekuje"}), "") << Dialogs.Messages[0].Text;
}

// A session that ended after the list was read is said to have ended; nothing is asked of it.
TEST_P(Activity, ASessionThatEndedMeanwhileIsSaidToHaveEnded) {
  Run(TCommandId::cmProcesses);
  SelectSessions({TillSpids[0]});
  EndFirstTill();
  // The list still shows the till as it was read.
  ASSERT_NE(RowOf(TillSpids[0]), -1);
  const size_t mark = Sim->TraceMark();
  Run(TCommandId::cmSessionLastBatch);
  EXPECT_THAT(SentStarting(mark, "DBCC"), IsEmpty());
  ASSERT_EQ(Dialogs.Messages.size(), 1u);
  EXPECT_EQ(Dialogs.Messages[0].Text,
            "Proces " + TillSpids[0] + " (program \"Kasa1\", login sa) już się zakończył: serwer go nie wymienia.");
  // The list shows the sessions as they are now (the number may be another session's by then).
  EXPECT_NE(Cell(TillSpids[0], 4), "Kasa1");
}

// A server whose rollbacks take their time, as a long transaction's does: the killed head is
// still listed while it rolls back, and the account says how far it is, in the server's words.
class SlowRollback : public Activity {
 protected:
  std::string DataFile() const override {
    return DemoWithServerSettings(Dir.Path(), "\"kill_rollback_seconds\": 3600", GetParam());
  }
  msde::testkit::TempDir Dir{"vandrel-rollback"};
};

TEST_P(SlowRollback, AKilledHeadStillRollingBackIsSaidToBeSoWithItsProgress) {
  Run(TCommandId::cmProcesses);
  SelectSessions({HolderSpid});
  Form->PreparePopupMenu2();
  const size_t mark = Sim->TraceMark();
  Run(TCommandId::cmKillProcess);
  EXPECT_THAT(SentStarting(mark, "KILL"), ElementsAre("KILL " + HolderSpid, "KILL " + HolderSpid + " WITH STATUSONLY"));
  ASSERT_EQ(Dialogs.Messages.size(), 2u);
  const std::string account = Dialogs.Messages[1].Text;
  EXPECT_EQ(account.rfind("Jeszcze wycofują transakcję:\r\n" + HolderSpid + " (Zaplecze): SPID " + HolderSpid +
                              ": transaction rollback in progress. Estimated rollback completion: ",
                          0),
            0u)
      << account;
  EXPECT_EQ(account.find("Zakończone:"), std::string::npos) << account;
}

INSTANTIATE_TEST_SUITE_P(Demo, SlowRollback, ::testing::Values("demo.json", "demo2005.json"),
                         [](const auto& Info) { return std::string(Info.index == 0 ? "SqlServer2000" : "SqlServer2005Express"); });

INSTANTIATE_TEST_SUITE_P(Demo, Activity, ::testing::Values("demo.json", "demo2005.json"),
                         [](const auto& Info) { return std::string(Info.index == 0 ? "SqlServer2000" : "SqlServer2005Express"); });

}  // namespace
}  // namespace vandrel::app::testing

namespace vandrel::app::admin {
namespace {

TSession S(int Spid, int BlockedBy) {
  TSession s;
  s.Spid = Spid;
  s.BlockedBy = BlockedBy;
  return s;
}

std::vector<std::string> Shown(const std::vector<TSession>& Sessions) {
  std::vector<std::string> texts;
  for (const TSession& s : Sessions) texts.push_back(std::to_string(s.Spid) + ":" + SessionNote(s));
  return texts;
}

TEST(ActivityOrder, LargerChainsFirstDeepChainsCountedAndCirclesAndStrangersLeftAlone) {
  // 60 blocks 61, which blocks 62; 55 blocks 56; 70 and 71 wait for each other (no head);
  // 80 waits for itself, 81 for a session no longer listed.
  const auto ordered = ActivityOrder({S(55, 0), S(56, 55), S(60, 0), S(61, 60), S(62, 61), S(70, 71), S(71, 70),
                                      S(80, 80), S(81, 99)});
  EXPECT_THAT(Shown(ordered), ::testing::ElementsAre("60:blokuje 2", "61:w łańcuchu 60", "62:w łańcuchu 60",
                                                     "55:blokuje 1", "56:w łańcuchu 55", "70:", "71:", "80:", "81:"));
  EXPECT_EQ(ordered[2].Depth, 2);
}

}  // namespace
}  // namespace vandrel::app::admin
