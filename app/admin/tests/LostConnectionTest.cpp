// Commands whose connection breaks, or whose statement the user stops with "Przerwij", at a
// chosen statement: a relay between the window and msde-sim cuts or holds the connection there.
// Each command reconnects where it must, says what the server actually did, and never
// reports success for what was not done.
#include <gmock/gmock.h>

#include <QComboBox>
#include <QPushButton>

#include "app/WaitWindow.h"
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
