// A server that stops answering (its process stopped, as a hung server looks from outside):
// "Przerwij" always gives the window back, the tool drops the connection and says so once,
// and the next command after the server resumes connects again.
#include <QLabel>
#include <QPushButton>

#include "app/NodeKinds.h"
#include "app/StatusLine.h"
#include "app/WaitWindow.h"
#include "app/tests/SimFixture.h"
#include "testkit/TestProxy.h"

namespace vandrel::app::testing {
namespace {

class HungServer : public SimWindowTest {
 protected:
  void SetUp() override {
    SimWindowTest::SetUp();
    Connect();
    Dialogs.Messages.clear();
    Form->Waiter.DropAfter = 300;
    // The user presses "Przerwij" as soon as the waiting window shows, after OnShown.
    QObject::connect(&Form->Waiter, &TStatementWaiter::WindowShown, [this] {
      if (OnShown) OnShown();
      if (!PressStop) return;
      ++Stops;
      Form->Waiter.Window()->StopButton->click();
    });
  }
  void TearDown() override {
    Thaw();
    SimWindowTest::TearDown();
  }
  void Freeze() {
    Sim->Freeze();
    Frozen = true;
  }
  void Thaw() {
    if (Frozen) Sim->Thaw();
    Frozen = false;
  }
  QString State() const { return Form->StatusBar1->StateLabel->text(); }

  std::function<void()> OnShown;
  bool PressStop = true;
  bool Frozen = false;
  int Stops = 0;
};

TEST_F(HungServer, PrzerwijGivesTheWindowBackAndTheLostServerIsSaidOnce) {
  QTreeWidgetItem* server = Form->TreeView1->topLevelItem(0);
  Freeze();
  // The probe hangs and is stopped; the reconnect hangs too (the server's system still
  // accepts the connection) and is stopped as well.
  EXPECT_FALSE(Form->ExecInDatabase("select 2", "master"));
  // The probe waited in the window (the reconnect too, unless the server's system refused it
  // at once); each "Przerwij" gave the window back.
  EXPECT_GE(Stops, 1);
  EXPECT_EQ(Form->Waiter.Window(), nullptr);
  ASSERT_EQ(Dialogs.Messages.size(), 1u);
  EXPECT_EQ(Dialogs.Messages[0].Caption, "Utracono połączenie");
  EXPECT_EQ(Dialogs.Messages[0].Text.rfind("Utracono połączenie z serwerem SKLEP-SERWER.", 0), 0u)
      << Dialogs.Messages[0].Text;
  EXPECT_NE(Dialogs.Messages[0].Text.find("naciśnij F5"), std::string::npos);
  EXPECT_EQ(TForm1::NodeImage(server), nkServerLost);
  EXPECT_EQ(State(), QStringLiteral("Połączenie przerwane"));

  // The server resumes: the next command connects again and works.
  Thaw();
  PressStop = false;
  EXPECT_EQ(Form->QueryScalar("select 3", "master").Value, "3");
  EXPECT_EQ(TForm1::NodeImage(server), nkServer);
  EXPECT_EQ(Dialogs.Messages.size(), 1u);
}

TEST_F(HungServer, AStatementTheServerNeverAcknowledgesStoppingIsDroppedAndSaidUnknown) {
  // The server hangs while the statement runs; the cancel is never answered.
  OnShown = [this] { Freeze(); };
  const size_t mark = Sim->TraceMark();
  EXPECT_FALSE(Form->ExecInDatabase("WAITFOR DELAY '00:00:20'", "master"));
  EXPECT_EQ(Stops, 1);
  EXPECT_TRUE(Form->Waiter.Dropped());
  EXPECT_TRUE(Form->Waiter.Cancelled());
  ASSERT_EQ(Dialogs.Messages.size(), 1u);
  EXPECT_EQ(Dialogs.Messages[0].Caption, "Utracono połączenie");
  EXPECT_NE(Dialogs.Messages[0].Text.find("nie wiadomo, czy serwer wykonał polecenie:\r\nWAITFOR DELAY '00:00:20'"),
            std::string::npos)
      << Dialogs.Messages[0].Text;
  EXPECT_EQ(State(), QStringLiteral("Połączenie przerwane"));

  Thaw();
  OnShown = nullptr;
  PressStop = false;
  EXPECT_EQ(Form->QueryScalar("select 4", "master").Value, "4");
  bool traced = false;
  for (const auto& line : Sim->TraceSince(mark)) traced = traced || line.Text == "select 4";
  EXPECT_TRUE(traced);
}

// A query the server never answers (held in a relay): the driver sends a cancel when the query
// time-out passes and would wait as long again for its answer; the tool ends the wait itself.
class QueryTimeout : public SimWindowTest {
 protected:
  void SetUp() override {
    SimWindowTest::SetUp();
    Proxy = std::make_unique<msde::testkit::TestProxy>(Sim->Port());
    setenv("TDSPORT", std::to_string(Proxy->Port()).c_str(), 1);
    Connect();
    Dialogs.Messages.clear();
  }
  void TearDown() override {
    Form.reset();
    Proxy.reset();
    SimWindowTest::TearDown();
  }
  std::unique_ptr<msde::testkit::TestProxy> Proxy;
};

TEST_F(QueryTimeout, AnUnansweredQueryEndsAtItsTimeOutNotTwiceThat) {
  // The driver's second wait lasts the time-out again (3 s here); the tool's own end of the
  // wait comes a tenth of a second after the first.
  Form->MOdbcLink1->SetQueryTimeout(3);
  Form->Waiter.DropAfter = 100;
  Proxy->HoldAt("select 42");
  EXPECT_EQ(Form->QueryScalar("select 42", "master").Value, "");
  EXPECT_TRUE(Proxy->Holding());  // the statement never reached the server
  EXPECT_TRUE(Form->Waiter.Dropped());
  EXPECT_FALSE(Form->Waiter.Cancelled());  // nobody pressed "Przerwij"
  ASSERT_EQ(Dialogs.Messages.size(), 1u);
  EXPECT_EQ(Dialogs.Messages[0].Caption, "Utracono połączenie");
  EXPECT_NE(Dialogs.Messages[0].Text.find("select 42"), std::string::npos) << Dialogs.Messages[0].Text;

  Proxy->Release();
  EXPECT_EQ(Form->QueryScalar("select 43", "master").Value, "43");  // the next command connects again
}

}  // namespace
}  // namespace vandrel::app::testing
