// Commands whose connection breaks, or whose statement the user stops with "Przerwij", at a
// chosen statement: a relay between the window and msde-sim cuts or holds the connection there.
// Each command reconnects where it must, says what the server actually did, and never
// reports success for what was not done.
#include <gmock/gmock.h>

#include <QComboBox>
#include <QPushButton>
#include <QTimer>
#include <algorithm>

#include "app/NodeKinds.h"
#include "app/WaitWindow.h"
#include "app/StatementWaiter.h"
#include "app/admin/OKBottomDlg.h"
#include "app/admin/tests/AdminFixture.h"
#include "testkit/TestProxy.h"

using namespace vandrel::app;
using namespace vandrel::app::testing;

namespace {

class LostConnection : public RelayedAdminWindowTest {
 protected:
  std::string DataFile() const override { return DataSet("name_cases.json"); }

  // The next statement holding Fragment waits in the relay; as soon as the waiting window
  // shows, the user presses "Przerwij" and the relay lets the statement reach the server, which
  // carries it out before it sees the stop.
  void StopLateAt(const std::string& Fragment) {
    Proxy->HoldAt(Fragment);
    Form->Waiter.ShowAfter = 0;
    QObject::connect(&Form->Waiter, &TStatementWaiter::WindowShown, Form.get(), [this] {
      if (!Proxy->Holding()) return;
      Form->Waiter.Window()->StopButton->click();
      Proxy->Release();
    });
  }
  // The next connection probe waits in the relay, as for a server that hangs between two
  // commands; as soon as the waiting window shows, the user presses "Przerwij" and the server
  // answers again. Named keeps what the window named.
  void StopTheProbe(std::string& Named) {
    Proxy->HoldAt("select 1");
    Form->Waiter.ShowAfter = 0;
    QObject::connect(&Form->Waiter, &TStatementWaiter::WindowShown, Form.get(), [this, &Named] {
      if (!Proxy->Holding()) return;
      Named = Form->Waiter.Window()->WhatLabel->text().toStdString();
      Form->Waiter.Window()->StopButton->click();
      Proxy->Release();
    });
  }
  // The options dialog confirmed after Change.
  void AnswerOptions(std::function<void(admin::TOKBottomDlg&)> Change) {
    Dialogs.DialogAnswers.push_back([Change](QDialog* d) {
      Change(*static_cast<admin::TOKBottomDlg*>(d));
      return int(QDialog::Accepted);
    });
  }
  bool Shown(const std::string& Caption) const {
    for (const auto& m : Dialogs.Messages)
      if (m.Caption == Caption) return true;
    return false;
  }
};

const std::string kDamaged = "Zepsuta (Offline) kopia";

// The connection breaks while the repair runs: the database goes back to multi-user on a new
// connection, and the user learns that the errors are still there.
TEST_F(LostConnection, RepairReconnectsToLeaveSingleUser) {
  SelectDatabase(kDamaged);
  Proxy->CutAt("DBCC CHECKDB");
  const size_t mark = Sim->TraceMark();
  Run(TCommandId::cmRepairRebuild);
  EXPECT_EQ(Proxy->Cuts(), 1);
  EXPECT_EQ(Property(kDamaged, "UserAccess"), "MULTI_USER");
  EXPECT_THAT(SentStarting(mark, "ALTER"), ElementsAre("ALTER DATABASE [" + kDamaged + "] SET SINGLE_USER",
                                                       "ALTER DATABASE [" + kDamaged + "] SET MULTI_USER"));
  EXPECT_THAT(LastSummary(), HasSubstr("Baza \"" + kDamaged + "\" nadal zawiera błędy."));
}

// When no connection can be had any more, the user is told that the database stays in
// single-user mode and how to end it.
TEST_F(LostConnection, RepairThatCannotReconnectSaysTheDatabaseStaysSingleUser) {
  SelectDatabase(kDamaged);
  BeforeStatement("DBCC CHECKDB", [&] { Sim->Stop(); });
  Run(TCommandId::cmRepairRebuild);
  EXPECT_THAT(LastText(), HasSubstr("Baza \"" + kDamaged + "\" pozostaje w trybie \"Single User\""));
  EXPECT_THAT(LastText(), HasSubstr("ALTER DATABASE [" + kDamaged + "] SET MULTI_USER"));
  for (const auto& m : Dialogs.Messages) EXPECT_THAT(m.Text + m.Summary, Not(HasSubstr("została naprawiona")));
}

// A repair that mended the database through its errors is reported as repaired.
TEST_F(LostConnection, RepairThatRaisedButMendedIsReportedAsRepaired) {
  SelectDatabase(kDamaged);
  Run(TCommandId::cmRepairRebuild);
  EXPECT_THAT(LastSummary(), ::testing::StartsWith("Baza danych została naprawiona"));
  EXPECT_EQ(Property(kDamaged, "UserAccess"), "MULTI_USER");
}

// "Przerwij" on a statement the server carried out all the same: the command reads the state
// back and reports it done, without any "przerwano".
TEST_F(LostConnection, OfflineStoppedTooLateIsReportedAsDone) {
  SelectDatabase("Sklep (Offline) stara");
  StopLateAt("SET OFFLINE");
  Run(TCommandId::cmTakeOffline);
  EXPECT_EQ(Property("Sklep (Offline) stara", "Status"), "OFFLINE");
  EXPECT_EQ(LastText(), "Baza \"Sklep (Offline) stara\" została wyłączona");
  EXPECT_FALSE(Shown("Przerwano"));
}

// "Przerwij" while the connection probe waits ends the command there: once the server answers
// again, nothing but the probe has reached it, the database is as it was, and the tool says
// the command was stopped, never that it was done. The next command goes ahead as usual.
TEST_F(LostConnection, PrzerwijDuringTheProbeEndsTheCommand) {
  struct Case {
    TCommandId Command;
    std::string Caption, Done;
  };
  for (const Case& c : {Case{TCommandId::cmTakeOffline, "Ustawianie trybu Offline", "została wyłączona"},
                        Case{TCommandId::cmSetReadOnly, "Ustawianie trybu bazy tylko do odczytu", "została przestawiona"},
                        Case{TCommandId::cmCheck, "Sprawdzanie spójności bazy", "nie zawiera błędów"}}) {
    SCOPED_TRACE(c.Caption);
    Form->ProbeAfterIdle = 5;
    SelectDatabase("Sklep");
    Form->ProbeAfterIdle = 0;  // the server hung while the connection was idle
    Dialogs.Messages.clear();
    std::string named;
    StopTheProbe(named);
    const size_t mark = Sim->TraceMark();
    Run(c.Command);
    EXPECT_EQ(named, "Trwa: select 1");
    EXPECT_THAT(SentSince(mark), ElementsAre(::testing::EndsWith(": select 1")));
    EXPECT_EQ(Property("Sklep", "Status"), "ONLINE");
    EXPECT_EQ(Property("Sklep", "Updateability"), "READ_WRITE");
    EXPECT_EQ(LastCaption(), c.Caption);
    EXPECT_THAT(LastText(), HasSubstr("zostało przerwane, zanim"));
    for (const auto& m : Dialogs.Messages) EXPECT_THAT(m.Text + m.Summary, Not(HasSubstr(c.Done)));
    QObject::disconnect(&Form->Waiter, &TStatementWaiter::WindowShown, Form.get(), nullptr);
  }
  Dialogs.Messages.clear();
  Run(TCommandId::cmSetReadOnly);
  EXPECT_EQ(Property("Sklep", "Updateability"), "READ_ONLY");
  EXPECT_EQ(LastText(), "Baza \"Sklep\" została przestawiona w tryb tylko do odczytu");
}

// A server that stops answering, nobody pressing "Przerwij": the probe, a statement and a login
// each end at their time-out (a second here), the tool says the connection was lost, and the
// next command connects again.
TEST_F(LostConnection, EveryWaitForAHungServerEnds) {
  Form->ProbeTimeout = 1;
  Form->Waiter.CallTimeout = 1;
  Form->Waiter.DropAfter = 300;
  Form->MOdbcLink1->SetConnectionTimeout(1);
  Form->ProbeAfterIdle = 0;  // the server hangs while the connection is idle
  bool frozen = false;
  // A wait without end would hold the test for good: the server comes back now and then, and
  // the checks fail.
  QTimer watchdog;
  int rescued = 0;
  QObject::connect(&watchdog, &QTimer::timeout, [&] {
    ++rescued;
    if (frozen) Sim->Thaw();
    frozen = false;
    Proxy->Release();
  });
  watchdog.start(30000);
  auto serverImage = [&] { return TForm1::NodeImage(Form->TreeView1->topLevelItem(0)); };
  auto lost = [&] {
    return std::count_if(Dialogs.Messages.begin(), Dialogs.Messages.end(),
                         [](const auto& m) { return m.Caption == "Utracono połączenie"; });
  };

  // Clicking a database: the probe never reaches the server.
  Proxy->HoldAt("select 1");
  SelectDatabase("Sklep");
  EXPECT_TRUE(Proxy->Holding());
  EXPECT_EQ(lost(), 1);
  EXPECT_EQ(serverImage(), nkServerLost);
  Proxy->Release();

  // The next command connects again; its statement never reaches the server.
  Proxy->HoldAt("SET OFFLINE");
  Run(TCommandId::cmTakeOffline);
  EXPECT_TRUE(Proxy->Holding());
  EXPECT_EQ(lost(), 2);
  EXPECT_THAT(LastText(), HasSubstr("nie wiadomo, czy serwer wykonał polecenie:\r\nALTER DATABASE Sklep SET OFFLINE"));
  Proxy->Release();

  // The server hangs before the next command: its login ends at the login time-out.
  Sim->Freeze();
  frozen = true;
  Run(TCommandId::cmTakeOffline);
  EXPECT_EQ(serverImage(), nkServerLost);
  Sim->Thaw();
  frozen = false;
  Form->MOdbcLink1->SetConnectionTimeout(60);

  for (const auto& m : Dialogs.Messages) EXPECT_THAT(m.Text, Not(HasSubstr("została wyłączona")));
  Run(TCommandId::cmTakeOffline);
  EXPECT_EQ(LastText(), "Baza \"Sklep\" została wyłączona");
  EXPECT_EQ(serverImage(), nkServer);
  EXPECT_EQ(rescued, 0) << "every wait ended on its own";
}

// "Przerwij" during the options: nothing after the stopped statement is sent, and the message
// names exactly the options the server does not hold as chosen.
TEST_F(LostConnection, OptionsStopAtPrzerwijAndNameWhatWasNotChanged) {
  SelectDatabase("Sklep");
  AnswerOptions([](admin::TOKBottomDlg& d) {
    d.ComboBox4->setCurrentText(QStringLiteral("Włączony"));  // AUTO_CLOSE: carried out, then stopped
    d.ComboBox8->setCurrentText(QStringLiteral("FULL"));      // recovery: never sent
  });
  StopLateAt("SET AUTO_CLOSE");
  const size_t mark = Sim->TraceMark();
  Run(TCommandId::cmDatabaseOptions);
  EXPECT_THAT(SentStarting(mark, "ALTER"), ElementsAre("ALTER DATABASE Sklep SET MULTI_USER", "ALTER DATABASE Sklep SET READ_WRITE",
                                                       "ALTER DATABASE Sklep SET AUTO_CLOSE ON"));
  EXPECT_EQ(Property("Sklep", "IsAutoClose"), "1");
  EXPECT_EQ(Property("Sklep", "Recovery"), "SIMPLE");
  EXPECT_EQ(LastText(), "Polecenie zostało przerwane. Nie zmieniono parametrów bazy \"Sklep\": AUTO_CREATE_STATISTICS, "
                        "Tryb autokompresji, AUTO_UPDATE_STATISTICS, Recovery model, Wykrywanie niekompletnych stron");
  EXPECT_FALSE(Shown("Przerwano"));
}

// The connection breaks during the options: the rest is not sent, and the message names the
// options not changed; no success is shown.
TEST_F(LostConnection, OptionsStopWhereTheConnectionBroke) {
  SelectDatabase("Sklep");
  AnswerOptions([](admin::TOKBottomDlg& d) {
    d.ComboBox4->setCurrentText(QStringLiteral("Włączony"));
    d.ComboBox6->setCurrentText(QStringLiteral("Włączony"));
  });
  Proxy->CutAt("SET AUTO_CLOSE");
  const size_t mark = Sim->TraceMark();
  Run(TCommandId::cmDatabaseOptions);
  EXPECT_EQ(Proxy->Cuts(), 1);
  EXPECT_THAT(SentStarting(mark, "ALTER"), ElementsAre("ALTER DATABASE Sklep SET MULTI_USER", "ALTER DATABASE Sklep SET READ_WRITE"));
  EXPECT_EQ(LastText(), "Nie zmieniono parametrów bazy \"Sklep\": AUTO_CLOSE, AUTO_CREATE_STATISTICS, Tryb autokompresji, "
                        "AUTO_UPDATE_STATISTICS, Recovery model, Wykrywanie niekompletnych stron");
  for (const auto& m : Dialogs.Messages) EXPECT_NE(m.Text, "Modyfikacja parametrów bazy zakończona pomyślnie");
}

}  // namespace
