// Long statements through the main window: the window keeps handling its events while a
// statement runs, the waiting window says what runs and for how long, "Przerwij" ends the
// statement and the connection goes on, no second statement starts meanwhile, and a
// backup's progress messages reach the window.
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <fstream>
#include <atomic>
#include <set>
#include <thread>

#include "app/WaitWindow.h"
#include "app/tests/SimFixture.h"
#include "testkit/TempDir.h"

namespace vandrel::app::testing {
namespace {

bool Mentions(const std::vector<msde::testkit::TraceLine>& Trace, const std::string& Text) {
  for (const auto& line : Trace)
    if (line.Text.find(Text) != std::string::npos) return true;
  return false;
}

class WaitingWindow : public SimWindowTest {
 protected:
  void SetUp() override {
    SimWindowTest::SetUp();
    Connect();
    Dialogs.Messages.clear();
    QObject::connect(&Heartbeat, &QTimer::timeout, [this] { ++Beats; });
    Heartbeat.start(20);
  }

  QTimer Heartbeat;  // a timer of the GUI thread: it fires only while the window is alive
  int Beats = 0;
};

TEST_F(WaitingWindow, PrzerwijEndsALongStatementAndTheConnectionGoesOn) {
  // A short statement shows no window.
  int windows = 0;
  QObject::connect(&Form->Waiter, &TStatementWaiter::WindowShown, [&] { ++windows; });
  EXPECT_EQ(Form->QueryScalar("select 1", "master").Value, "1");
  EXPECT_EQ(windows, 0);

  // Once the window has counted a second, a look-up is tried (no statement may start
  // beside the running one), and then the user presses "Przerwij".
  QStringList elapsed, what;
  std::string during = "<not tried>";
  int beatsAtStop = 0;
  QObject::connect(&Form->Waiter, &TStatementWaiter::ElapsedChanged, [&](int Seconds) {
    TWaitWindow* window = Form->Waiter.Window();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(QApplication::activeModalWidget(), window) << "the main window takes no input meanwhile";
    elapsed << window->ElapsedLabel->text();
    what << window->WhatLabel->text();
    if (Seconds < 1) return;
    during = Form->QueryScalar("select 2", "master").Value;
    beatsAtStop = Beats;
    window->StopButton->click();
  });
  const size_t mark = Sim->TraceMark();
  QElapsedTimer clock;
  clock.start();
  EXPECT_FALSE(Form->ExecInDatabase("WAITFOR DELAY '00:00:03'", "master"));
  const qint64 took = clock.elapsed();
  RecordProperty("cancelled_after_ms", static_cast<int>(took));

  EXPECT_EQ(windows, 1);
  EXPECT_EQ(elapsed.mid(0, 2), (QStringList{"Czas: 0 s", "Czas: 1 s"}));
  ASSERT_FALSE(what.isEmpty());
  EXPECT_EQ(what.first(), "Trwa: WAITFOR DELAY '00:00:03'");
  EXPECT_GT(beatsAtStop, 10) << "the GUI thread's timer kept firing while the statement ran";
  EXPECT_EQ(during, "") << "a second statement started beside the running one";
  EXPECT_EQ(Form->Waiter.Window(), nullptr);
  EXPECT_TRUE(Form->Waiter.Cancelled());
  // The refused look-up is silent; the stopped statement is reported as stopped.
  ASSERT_EQ(Dialogs.Messages.size(), 1u);
  EXPECT_EQ(Dialogs.Messages[0].Caption, "Przerwano");
  EXPECT_EQ(Dialogs.Messages[0].Text,
            "Polecenie SQL zostało przerwane na żądanie użytkownika:\r\nWAITFOR DELAY '00:00:03'\r\n");

  // The link still serves statements: the next displays list the logins, then the databases.
  Select(Node("Loginy"));
  Select(Node("Bazy"));
  QStringList shown;
  for (int c = 0; c < Form->ListView1->ColumnCount(); ++c) shown << ListColumn(c);
  EXPECT_TRUE(shown.contains("Sklep")) << shown.join(",").toStdString();
  const auto trace = Sim->TraceSince(mark);
  EXPECT_TRUE(Mentions(trace, "WAITFOR DELAY '00:00:03'"));
  EXPECT_FALSE(Mentions(trace, "select 2"));
  EXPECT_TRUE(Mentions(trace, "sysdatabases"));
  EXPECT_FALSE(Form->Waiter.Cancelled()) << "the next statement clears the mark";
}

// "Przerwij" can come before the driver has sent the statement (on a loaded machine the
// worker thread may not have run yet): the driver then has nothing to cancel, and a request
// made once is lost, so the statement would run on until the connection was dropped.
TEST_F(WaitingWindow, PrzerwijBeforeTheStatementIsSentStillStopsIt) {
  std::atomic<bool> stopAsked{false};
  const auto waits = Form->MOdbcLink1->OnStatementWait;
  Form->MOdbcLink1->OnStatementWait = [&](TMOdbcLink* Link, const TMOdbcLink::TStatementCall& Call) {
    if (Form->KMQuery1->GetSQL().GetText().find("WAITFOR") == std::string::npos) return waits(Link, Call);
    // The statement reaches the driver only after "Przerwij".
    return waits(Link, [&, Call] {
      while (!stopAsked) std::this_thread::yield();
      return Call();
    });
  };
  QObject::connect(&Form->Waiter, &TStatementWaiter::WindowShown, [&] {
    Form->Waiter.Window()->StopButton->click();
    stopAsked = true;
  });
  // Time enough to tell a cancelled statement from a dropped connection.
  Form->Waiter.DropAfter = 30000;
  EXPECT_FALSE(Form->ExecInDatabase("WAITFOR DELAY '00:00:20'", "master"));
  Form->MOdbcLink1->OnStatementWait = waits;
  EXPECT_TRUE(Form->Waiter.Cancelled());
  EXPECT_FALSE(Form->Waiter.Dropped());
  ASSERT_EQ(Dialogs.Messages.size(), 1u);
  EXPECT_EQ(Dialogs.Messages[0].Caption, "Przerwano");
  EXPECT_EQ(Form->QueryScalar("select 3", "master").Value, "3") << "the connection goes on";
}

// Calls that end within the quiet time leave nothing for the window to handle afterwards: a
// long read makes thousands of them, one for each rowset.
TEST_F(WaitingWindow, QuickStatementsLeaveNoEventsBehind) {
  struct CountCalls : QObject {
    int Calls = 0;
    bool eventFilter(QObject*, QEvent* Event) override {
      if (Event->type() == QEvent::MetaCall) ++Calls;
      return false;
    }
  } counter;
  // Every call here must end within the quiet time, also on a loaded machine: a call that
  // takes longer rightly waits in the event loop.
  Form->Waiter.Quiet = std::chrono::seconds(60);
  QCoreApplication::processEvents();
  Form->Waiter.installEventFilter(&counter);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(Form->QueryScalar("select 1", "master").Value, "1");
  QCoreApplication::processEvents();
  Form->Waiter.removeEventFilter(&counter);
  EXPECT_EQ(counter.Calls, 0);
}

// The demo server with a backup pace that makes Sklep's backup last about one and a half
// seconds, and a directory of its own for the backup file.
class WaitingForABackup : public WaitingWindow {
 protected:
  msde::testkit::SimServerOptions ServerOptions() const override {
    msde::testkit::SimServerOptions options;
    options.data_file = DemoWithServerSettings(Files.Path(), "\"backup_page_microseconds\": 20000");
    options.files_dir = Files.Path();
    return options;
  }
  msde::testkit::TempDir Files;
};

TEST_F(WaitingForABackup, ProgressMessagesReachTheWaitingWindow) {
  std::vector<int> percents;
  std::vector<int> barValues;
  std::string caption;
  bool windowAtEveryMessage = true;
  {
    WaitTask task(Form->Waiter, "Kopia zapasowa bazy \"Sklep\"", [&](int Percent, const std::string&) {
      if (Percent < 0) return;
      percents.push_back(Percent);
      TWaitWindow* window = Form->Waiter.Window();
      windowAtEveryMessage = windowAtEveryMessage && window;
      if (window) caption = window->WhatLabel->text().toStdString();
    });
    QObject::connect(&Form->Waiter, &TStatementWaiter::WindowShown, [&] {
      QObject::connect(Form->Waiter.Window()->ProgressBar, &QProgressBar::valueChanged,
                       [&](int Value) { barValues.push_back(Value); });
    });
    EXPECT_TRUE(Form->ExecInDatabase(
        "BACKUP DATABASE Sklep TO DISK = N'C:\\Program Files\\Microsoft SQL Server\\MSSQL\\BACKUP\\Sklep.bak' "
        "WITH INIT, STATS = 10",
        "master"));
  }
  EXPECT_TRUE(Dialogs.Messages.empty());
  const std::vector<int> expected{10, 20, 30, 40, 50, 60, 70, 80, 90, 100};
  EXPECT_EQ(percents, expected);
  EXPECT_TRUE(windowAtEveryMessage) << "the messages came while the waiting window was up";
  EXPECT_EQ(caption, "Trwa: Kopia zapasowa bazy \"Sklep\"");
  EXPECT_EQ(barValues, expected);
  EXPECT_EQ(Form->Waiter.Window(), nullptr);
  EXPECT_TRUE(std::ifstream(Files.Path() + "/Sklep.bak").good());
}

}  // namespace
}  // namespace vandrel::app::testing
