// The contents of a table at any size: the list shows rows while the rest still comes, the
// window keeps handling its events, "Przerwij" keeps what was read and says so in the status
// bar, no other statement starts meanwhile, and the table is read with one select.
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>

#include "app/StatusLine.h"
#include "app/TableContents.h"
#include "app/WaitWindow.h"
#include "app/tests/SimFixture.h"
#include "testkit/TestProxy.h"
#include "testkit/TempDir.h"

namespace vandrel::app::testing {
namespace {

constexpr int kSmallRows = 3000;
constexpr int kLargeRows = 300000;

// A server with one user database whose tables' rows are generated from their numbers: row
// N holds Nr = N and Opis = "Opis N".
std::string DataSet() {
  const auto table = [](const char* Name, int Rows) {
    return std::string(R"({"owner":"dbo","name":")") + Name + R"(","generate":)" + std::to_string(Rows) +
           R"(,"columns":[{"name":"Nr","type":"int"},{"name":"Opis","type":"varchar","length":20},)"
           R"({"name":"Kwota","type":"numeric","precision":12,"scale":2},{"name":"Kiedy","type":"datetime"}]})";
  };
  return R"({"server":{"name":"WIERSZE"},"logins":[{"name":"sa","password":"","sysadmin":true}],"databases":[)"
         R"({"name":"master","dbid":1,"users":[{"name":"guest","login":""}]},)"
         R"({"name":"Duza","dbid":5,"tables":[)" +
         table("Male", kSmallRows) + "," + table("Duze", kLargeRows) + "]}]}";
}

int TraceCount(const std::vector<msde::testkit::TraceLine>& Trace, const std::string& Text) {
  int count = 0;
  for (const auto& line : Trace) count += line.Text.find(Text) != std::string::npos;
  return count;
}

class TableContents : public SimWindowTest {
 protected:
  msde::testkit::SimServerOptions ServerOptions() const override {
    const std::string path = Files.Path() + "/data.json";
    std::ofstream(path) << DataSet();
    msde::testkit::SimServerOptions options;
    options.data_file = path;
    return options;
  }
  void SetUp() override {
    SimWindowTest::SetUp();
    // The connection goes through a relay that can hold the server's answer.
    Proxy = std::make_unique<msde::testkit::TestProxy>(Sim->Port());
    setenv("TDSPORT", std::to_string(Proxy->Port()).c_str(), 1);
    Connect();
    Dialogs.Messages.clear();
    Form->resize(1000, 600);
    Form->show();
    Form->Commands(TCommandId::cmShowTableContents).first()->trigger();
    Select(NodeUnder(Node("Duza"), "Tabele"));
    // Every row count the list shows as it grows, in order.
    QObject::connect(Form->ListView1->Model(), &QAbstractItemModel::rowsInserted,
                     [this](const QModelIndex&, int, int Last) { Shown.push_back(Last + 1); });
  }
  void ShowTable(const char* Name) { Select(NodeUnder(NodeUnder(Node("Duza"), "Tabele"), Name)); }
  QString RowsText() const { return Form->StatusBar1->RowsLabel->text(); }

  void TearDown() override {
    Form.reset();
    Proxy.reset();
    SimWindowTest::TearDown();
  }

  msde::testkit::TempDir Files;
  std::unique_ptr<msde::testkit::TestProxy> Proxy;
  std::vector<int> Shown;
};

TEST_F(TableContents, ATableShowsEveryRowAndTheFirstOnesBeforeTheEnd) {
  // Each time rows show while the read goes on, an event is posted to the window's thread:
  // it is handled before the read ends only if the window handles its events meanwhile.
  // (The count is shared: an event posted at the read's end may be handled after the test.)
  const auto turnsWhileReading = std::make_shared<int>(0);
  TListView* list = Form->ListView1;
  QObject::connect(list->Model(), &QAbstractItemModel::rowsInserted, Form.get(), [list, turnsWhileReading] {
    if (!TTableContents::Reading()) return;
    QMetaObject::invokeMethod(
        list,
        [list, turnsWhileReading] {
          const int rows = list->RowCount();
          if (TTableContents::Reading() && rows > 0 && rows < kSmallRows) ++*turnsWhileReading;
        },
        Qt::QueuedConnection);
  });
  const size_t mark = Sim->TraceMark();
  ShowTable("dbo.Male");

  ASSERT_EQ(Form->ListView1->RowCount(), kSmallRows);
  EXPECT_EQ(Headers(), (QStringList{"Nr", "Opis", "Kwota", "Kiedy"}));
  EXPECT_EQ(Form->ListView1->Text(0, 0), "1");
  EXPECT_EQ(Form->ListView1->Text(1233, 1), "Opis 1234");
  EXPECT_EQ(Form->ListView1->Text(99, 2), "1.00") << "a decimal column shows the decimals it declares";
  EXPECT_EQ(Form->ListView1->Text(kSmallRows - 1, 0), QString::number(kSmallRows));
  ASSERT_GE(Shown.size(), 2u);
  EXPECT_LT(Shown.front(), kSmallRows) << "the first rows show before the last one is read";
  EXPECT_EQ(Shown.back(), kSmallRows);
  EXPECT_TRUE(std::is_sorted(Shown.begin(), Shown.end()));
  EXPECT_GT(*turnsWhileReading, 0) << "the window handled its events while rows came";
  EXPECT_EQ(RowsText(), QString("Wierszy: %1").arg(kSmallRows));
  EXPECT_TRUE(Dialogs.Messages.empty());
  EXPECT_FALSE(TTableContents::Reading());
  // One select reads the table: nothing counts its rows or reads them again.
  EXPECT_EQ(TraceCount(Sim->TraceSince(mark), "select * from"), 1);
  EXPECT_EQ(TraceCount(Sim->TraceSince(mark), "Male"), 1);
}

TEST_F(TableContents, PrzerwijKeepsTheRowsReadAndTheStatusBarSaysSo) {
  Form->Waiter.ShowAfter = 0;  // the waiting window comes with the first turn
  // The view paints the rows that came while later ones are still on their way.
  int paintsWhileReading = 0;
  struct PaintCounter : QObject {
    std::function<void()> Painted;
    bool eventFilter(QObject*, QEvent* Event) override {
      if (Event->type() == QEvent::Paint) Painted();
      return false;
    }
  } counter;
  counter.Painted = [&] {
    if (Form->ListView1->RowCount() > 0 && TTableContents::Reading()) ++paintsWhileReading;
  };
  Form->ListView1->viewport()->installEventFilter(&counter);
  // Once the window shows and more rows have come, a look-up is tried (no statement may start
  // beside the read) and then the user presses "Przerwij".
  std::string during = "<not tried>";
  int rowsAtStop = -1;
  QString what;
  QObject::connect(Form->ListView1->Model(), &QAbstractItemModel::rowsInserted, [&](const QModelIndex&, int, int Last) {
    auto* window = qobject_cast<TWaitWindow*>(QApplication::activeModalWidget());
    if (!window || rowsAtStop >= 0) return;
    what = window->WhatLabel->text();
    during = Form->QueryScalar("select 2", "master").Value;
    rowsAtStop = Last + 1;
    window->StopButton->click();
  });
  const size_t mark = Sim->TraceMark();
  ShowTable("dbo.Duze");
  Form->ListView1->viewport()->removeEventFilter(&counter);

  ASSERT_GT(rowsAtStop, 0) << "the waiting window never showed while rows came";
  ASSERT_LT(rowsAtStop, kLargeRows);
  EXPECT_EQ(Form->ListView1->RowCount(), rowsAtStop);
  EXPECT_EQ(Form->ListView1->Text(rowsAtStop - 1, 0), QString::number(rowsAtStop));
  EXPECT_EQ(Form->ListView1->Text(rowsAtStop - 1, 1), QString("Opis %1").arg(rowsAtStop));
  EXPECT_EQ(RowsText(), QString("przerwano po %1 wierszach").arg(rowsAtStop));
  EXPECT_EQ(what, "Trwa: select * from dbo.Duze");
  EXPECT_EQ(during, "") << "a second statement started beside the read";
  EXPECT_GT(paintsWhileReading, 0);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "the waiting window went";
  EXPECT_TRUE(Dialogs.Messages.empty()) << "a read the user stopped is no error";
  const auto trace = Sim->TraceSince(mark);
  EXPECT_EQ(TraceCount(trace, "select * from"), 1);
  EXPECT_EQ(TraceCount(trace, "select 2"), 0);

  // The connection goes on: the next display lists the other table in full, and the status
  // bar counts its rows again.
  ShowTable("dbo.Male");
  EXPECT_EQ(Form->ListView1->RowCount(), kSmallRows);
  EXPECT_EQ(RowsText(), QString("Wierszy: %1").arg(kSmallRows));
}

// A fill that shows its rows as they come and then fails takes them back in one reset and
// keeps its columns; one that ends well shows the rest in one insertion.
TEST(ListModelStream, RowsShowInChunksAndAFailedFillTakesThemBack) {
  TListModel model;
  QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
  QSignalSpy inserts(&model, &QAbstractItemModel::rowsInserted);
  model.BeginStream(std::vector<TListColumn>(2));
  EXPECT_EQ(resets.count(), 1);
  EXPECT_EQ(model.columnCount(), 2);
  EXPECT_TRUE(model.Filling());
  model.AppendRow({"a", "1"});
  model.AppendRow({"b", "2"});
  model.AppendCell(0, "c");  // a row with one of its two texts does not show yet
  model.ShowAppended();
  EXPECT_EQ(model.rowCount(), 2);
  EXPECT_EQ(model.index(1, 1).data().toString(), "2");
  model.AppendCell(1, "3");
  model.EndFill();
  EXPECT_EQ(model.rowCount(), 3);
  EXPECT_FALSE(model.Filling());
  EXPECT_EQ(inserts.count(), 2);
  EXPECT_EQ(resets.count(), 1);

  model.BeginStream(std::vector<TListColumn>(2));
  model.AppendRow({"x", "9"});
  model.ShowAppended();
  EXPECT_EQ(model.rowCount(), 1);
  model.EndFill(false);
  EXPECT_EQ(model.rowCount(), 0);
  EXPECT_EQ(model.columnCount(), 2);
  EXPECT_EQ(resets.count(), 3);
}

TEST_F(TableContents, PrzerwijOfAFetchWaitingForTheServerKeepsTheRowsRead) {
  // The server's answer stops after its first packet: the fetch that needs the next rows
  // waits through the statement waiter, whose window the user stops; then the rest comes.
  Proxy->HoldAnswerAt("dbo.Male");
  QObject::connect(&Form->Waiter, &TStatementWaiter::WindowShown, Form.get(), [this] {
    if (!Proxy->Holding()) return;
    Form->Waiter.Window()->StopButton->click();
    Proxy->Release();
  });
  ShowTable("dbo.Male");

  const int rows = Form->ListView1->RowCount();
  ASSERT_GT(rows, 0) << "the rows of the first packet stay";
  ASSERT_LT(rows, kSmallRows);
  EXPECT_EQ(Form->ListView1->Text(rows - 1, 0), QString::number(rows));
  EXPECT_EQ(RowsText(), QString("przerwano po %1 wierszach").arg(rows));
  EXPECT_FALSE(TTableContents::Reading());
}

}  // namespace
}  // namespace vandrel::app::testing
