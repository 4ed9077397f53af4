// The query window through its real widgets, offscreen, against msde-sim: batches split on
// GO with an error's line in the editor's numbering, messages in order, "Przerwij" of a long
// WAITFOR while the main window's tree still answers, a transaction left open and the close
// question, a Windows-1250 file saved back unchanged, the window's own session.
#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <QTreeWidget>
#include <fstream>
#include <sstream>

#include "app/ListView.h"
#include "app/query/MessagesPane.h"
#include "app/query/NewQuery.h"
#include "app/query/QueryEditor.h"
#include "app/query/QueryWindow.h"
#include "app/query/ResultGrids.h"
#include "app/tests/SimFixture.h"
#include "foundation/Trim.h"

namespace vandrel::app::testing {
namespace {

class QueryWindowTest : public SimWindowTest {
 protected:
  void SetUp() override {
    SimWindowTest::SetUp();
    setenv("VANDREL_REGISTRY_DIR", Dir.Path().c_str(), 1);
    Connect();
    Dialogs.Messages.clear();
  }
  void TearDown() override {
    delete Window.data();
    unsetenv("VANDREL_REGISTRY_DIR");
    SimWindowTest::TearDown();
  }

  // "Nowe zapytanie" with the node of Database selected (none: the server's node).
  TQueryWindow* Open(const QString& Database = {}) {
    if (!Database.isEmpty()) Select(Node(Database));
    Window = NewQueryCommand(*Form);
    return Window;
  }
  void Run(const QString& Text) {
    Window->Editor()->setPlainText(Text);
    Window->Action(QStringLiteral("Wykonaj"))->trigger();
  }
  QStringList Messages() const { return Window->Messages()->Texts(); }
  QString Cell(int Grid, int Row, int Column) const { return Window->Grids()->Grid(Grid)->Text(Row, Column); }
  // Asked on the main window's own connection.
  std::string Session(const std::string& Column, int Spid) {
    const std::string value =
        Form->QueryScalar("select " + Column + " from sysprocesses where spid = " + std::to_string(Spid), "master").Value;
    return std::string(Trim(value));
  }

  // The close question about an open transaction, answered with Button; its buttons and
  // default as shown.
  void AnswerOpenTransaction(const QString& Button) {
    Dialogs.DialogAnswers.push_back([this, Button](QDialog* d) {
      auto* box = static_cast<QMessageBox*>(d);
      EXPECT_EQ(box->text(), QStringLiteral("Zatwierdzić otwartą transakcję?"));
      QuestionButtons.clear();
      for (QAbstractButton* b : box->buttons()) QuestionButtons << b->text();
      QuestionDefault = box->defaultButton() ? box->defaultButton()->text() : QString();
      for (QAbstractButton* b : box->buttons())
        if (b->text() == Button) b->click();
      return int(QDialog::Accepted);
    });
  }
  // The main window on screen, its first show's connection made.
  void ShowMain() {
    AnswerLogin();
    Form->show();
    QTRY_VERIFY(Dialogs.DialogAnswers.empty() && Node(QStringLiteral("Sklep")));
    Dialogs.Messages.clear();
  }

  msde::testkit::TempDir Dir{"query-window"};
  QPointer<TQueryWindow> Window;
  QStringList QuestionButtons;
  QString QuestionDefault;
};

TEST_F(QueryWindowTest, OpensOnTheSelectedDatabaseWithASessionOfItsOwn) {
  // One command, in "Narzędzia" and the tree's pop-up, with its key shown.
  const QList<QAction*> entries = Form->Commands(TCommandId::cmNewQuery);
  ASSERT_EQ(entries.size(), 2);
  EXPECT_EQ(entries.first()->text(), QStringLiteral("Now&e zapytanie"));
  EXPECT_EQ(entries.first()->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+N")));
  Select(Node(QStringLiteral("Sklep")));
  entries.first()->trigger();
  const auto opened = Form->findChildren<TQueryWindow*>();
  ASSERT_EQ(opened.size(), 1);
  Window = opened.first();
  EXPECT_EQ(Window->windowTitle(), QStringLiteral("Zapytanie - SKLEP-SERWER - Sklep"));
  EXPECT_EQ(Window->Editor()->accessibleName(), QStringLiteral("Tekst zapytania"));
  EXPECT_EQ(Window->Messages()->accessibleName(), QStringLiteral("Komunikaty"));
  EXPECT_EQ(Window->DatabaseBox()->currentText(), QStringLiteral("Sklep"));
  EXPECT_GE(Window->DatabaseBox()->findText(QStringLiteral("master")), 0);
  const int spid = Window->Spid();
  ASSERT_GT(spid, 0);
  EXPECT_NE(std::to_string(spid), Form->QueryScalar("select @@SPID", "master").Value);
  EXPECT_EQ(Session("program_name", spid), "Vandrel - zapytanie");
  EXPECT_EQ(Session("db_name(dbid)", spid), "Sklep");
  EXPECT_TRUE(Window->StatusText().contains(QStringLiteral("SPID: %1").arg(spid)));
  // Closing the window ends its session.
  Window->close();
  QTRY_VERIFY(Window.isNull());
  // The server ends the session once it reads the closed connection, on its own thread.
  QTRY_VERIFY(Session("count(*)", spid) == "0");
}

TEST_F(QueryWindowTest, RunsEveryBatchAndNamesTheEditorsLineOfAnError) {
  ASSERT_TRUE(Open());
  EXPECT_EQ(Window->Database(), "master");
  Run(QStringLiteral("select 1 as jeden\nGO\n\nselect 2 as dwa\nselect * from brak_tabeli\nGO\nselect 3 as trzy\nGO 2"));
  EXPECT_FALSE(Window->Running());
  ASSERT_EQ(Window->Grids()->Count(), 4);
  EXPECT_EQ(Window->Grids()->Grid(0)->Caption(0), QStringLiteral("jeden"));
  EXPECT_EQ(Cell(1, 0, 0), QStringLiteral("2"));
  EXPECT_EQ(Cell(3, 0, 0), QStringLiteral("3"));
  const QStringList messages = Messages();
  int error = -1;
  for (int i = 0; i < messages.size(); ++i)
    if (messages[i].startsWith(QStringLiteral("Błąd 208"))) error = i;
  ASSERT_GE(error, 0) << messages.join('\n').toStdString();
  // The second batch begins on the editor's line 3; its error is on its third line.
  EXPECT_TRUE(messages[error].startsWith(QStringLiteral("Błąd 208, poziom 16, wiersz 5: ")))
      << messages[error].toStdString();
  EXPECT_EQ(messages.count(QStringLiteral("(1 wierszy)")), 4) << messages.join('\n').toStdString();
  // A double click on the error puts the editor's cursor on its line.
  QListWidgetItem* item = Window->Messages()->item(error);
  emit Window->Messages()->itemDoubleClicked(item);
  EXPECT_EQ(Window->Editor()->CursorLine(), 5);

  // Only the selection runs; its lines keep the editor's numbers.
  QTextCursor cursor(Window->Editor()->document()->findBlockByNumber(4));
  cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
  Window->Editor()->setTextCursor(cursor);
  Window->Action(QStringLiteral("Wykonaj"))->trigger();
  EXPECT_EQ(Window->Grids()->Count(), 0);
  ASSERT_EQ(Messages().size(), 1);
  EXPECT_TRUE(Messages()[0].contains(QStringLiteral("wiersz 5:"))) << Messages()[0].toStdString();
}

TEST_F(QueryWindowTest, ListsPrintsAndRaiserrorsInOrderAndFollowsUse) {
  ASSERT_TRUE(Open());
  Run(QStringLiteral("print 'pierwszy'\nraiserror('drugi', 10, 1)\nselect 1 as a\nprint 'trzeci'\n"
                     "raiserror('czwarty', 16, 2)\nset nocount on\nselect 2 as b\nuse Sklep\nprint 'koniec'"));
  const QStringList messages = Messages();
  ASSERT_GE(messages.size(), 6) << messages.join('\n').toStdString();
  EXPECT_EQ(messages[0], QStringLiteral("pierwszy"));
  EXPECT_EQ(messages[1], QStringLiteral("drugi"));
  EXPECT_EQ(messages[2], QStringLiteral("(1 wierszy)"));
  EXPECT_EQ(messages[3], QStringLiteral("trzeci"));
  EXPECT_EQ(messages[4], QStringLiteral("Błąd 50000, poziom 16, wiersz 5: czwarty"));
  // Under SET NOCOUNT ON no count follows the second result.
  EXPECT_EQ(messages.count(QStringLiteral("(1 wierszy)")), 1);
  EXPECT_EQ(messages.back(), QStringLiteral("koniec"));
  EXPECT_EQ(Window->Grids()->Count(), 2);
  // "Baza:" follows the script's USE, and the next run starts there.
  EXPECT_EQ(Window->DatabaseBox()->currentText(), QStringLiteral("Sklep"));
  EXPECT_TRUE(Window->windowTitle().endsWith(QStringLiteral(" - Sklep")));
  Run(QStringLiteral("select db_name() as baza"));
  EXPECT_EQ(Cell(0, 0, 0), QStringLiteral("Sklep"));
}

TEST_F(QueryWindowTest, AJoinWithASumAndABatchsVariables) {
  ASSERT_TRUE(Open(QStringLiteral("Sklep")));
  Run(QStringLiteral("select k.Nazwisko, sum(p.Wartosc) as suma, count(*) as paragony\n"
                     "from Paragony p join Kasjerzy k on k.IdKasjera = p.IdKasjera\n"
                     "group by k.Nazwisko order by k.Nazwisko\n"
                     "select sum(Wartosc) as razem, count(*) as paragony from Paragony"));
  ASSERT_EQ(Window->Grids()->Count(), 2) << Messages().join('\n').toStdString();
  TListView* groups = Window->Grids()->Grid(0);
  ASSERT_GT(groups->RowCount(), 1);
  EXPECT_EQ(groups->Caption(1), QStringLiteral("suma"));
  double sum = 0;
  int receipts = 0;
  for (int r = 0; r < groups->RowCount(); ++r) {
    sum += groups->Text(r, 1).toDouble();
    receipts += groups->Text(r, 2).toInt();
    if (r > 0) {
      EXPECT_LT(groups->Text(r - 1, 0), groups->Text(r, 0));
    }
  }
  EXPECT_NEAR(sum, Cell(1, 0, 0).toDouble(), 0.005);
  EXPECT_EQ(receipts, Cell(1, 0, 1).toInt());

  Run(QStringLiteral("declare @n int, @t varchar(20)\nset @n = 21\nset @t = 'wynik'\nselect @t as opis, @n * 2 as wartosc"));
  ASSERT_EQ(Window->Grids()->Count(), 1) << Messages().join('\n').toStdString();
  EXPECT_EQ(Cell(0, 0, 0), QStringLiteral("wynik"));
  EXPECT_EQ(Cell(0, 0, 1), QStringLiteral("42"));
}

TEST_F(QueryWindowTest, RaiserrorWithArgumentsAndPrintsOfALoopInOrder) {
  ASSERT_TRUE(Open());
  Run(QStringLiteral("declare @i int\nset @i = 1\nwhile @i <= 3\nbegin\n  print 'krok ' + convert(varchar(5), @i)\n"
                     "  set @i = @i + 1\nend\nraiserror('Brak towaru %s: stan %d', 16, 1, 'Mleko', 3)"));
  const QStringList messages = Messages();
  ASSERT_EQ(messages.size(), 4) << messages.join('\n').toStdString();
  EXPECT_EQ(messages.mid(0, 3), QStringList({"krok 1", "krok 2", "krok 3"}));
  EXPECT_EQ(messages[3], QStringLiteral("Błąd 50000, poziom 16, wiersz 8: Brak towaru Mleko: stan 3"));
}

TEST_F(QueryWindowTest, ShowsNullInGreyAndBinaryAsHexadecimal) {
  ASSERT_TRUE(Open());
  Run(QStringLiteral("select NULL as n, 'NULL' as t, 0x0AFF as b, 12.50 as d, "
                     "convert(datetime, '2026-12-10 14:30:05') as czas"));
  ASSERT_EQ(Window->Grids()->Count(), 1) << Messages().join('\n').toStdString();
  TListModel* model = Window->Grids()->Grid(0)->Model();
  EXPECT_EQ(Cell(0, 0, 0), QStringLiteral("NULL"));
  EXPECT_TRUE(model->IsNull(0, 0));
  EXPECT_EQ(model->data(model->index(0, 0), Qt::ForegroundRole).value<QColor>(), QColor(Qt::gray));
  // The text "NULL" is a value like any other.
  EXPECT_EQ(Cell(0, 0, 1), QStringLiteral("NULL"));
  EXPECT_FALSE(model->IsNull(0, 1));
  EXPECT_EQ(Cell(0, 0, 2), QStringLiteral("0x0AFF"));
  EXPECT_EQ(Cell(0, 0, 3), QStringLiteral("12.50"));
  // A date as the server sent it, not in the user's regional format.
  EXPECT_EQ(Cell(0, 0, 4), QStringLiteral("2026-12-10 14:30:05.000"));
  // The grid is the detail list's: its rows copy with the header.
  EXPECT_EQ(Window->Grids()->Grid(0)->RowsText(true, false).split('\n').first(), QStringLiteral("n\tt\tb\td\tczas"));
}

TEST_F(QueryWindowTest, PrzerwijStopsALongWaitWhileTheTreeAnswers) {
  ASSERT_TRUE(Open());
  QTreeWidgetItem* databases = Node(QStringLiteral("Bazy"));
  ASSERT_TRUE(databases);
  QElapsedTimer sinceStop;
  bool treeAnswered = false;
  // Once the batch waits for the server: the main window's tree is used, then Esc is pressed.
  QTimer probe;
  probe.setInterval(5);
  QObject::connect(&probe, &QTimer::timeout, [&] {
    if (!Window->Waiting()) return;
    probe.stop();
    Form->ListView1->Model()->Clear();
    Select(databases);
    treeAnswered = Form->ListView1->RowCount() > 0;
    sinceStop.start();
    QApplication::setActiveWindow(Window);
    QTest::keyClick(Window->Editor(), Qt::Key_Escape);
  });
  probe.start();
  Run(QStringLiteral("select 1 as przed\nwaitfor delay '00:01:00'\nselect 2 as po"));
  ASSERT_TRUE(sinceStop.isValid());
  EXPECT_LT(sinceStop.elapsed(), 3000);
  EXPECT_TRUE(treeAnswered);
  EXPECT_FALSE(Window->Running());
  EXPECT_EQ(Messages().back(), QStringLiteral("Zapytanie przerwane przez użytkownika."));
  EXPECT_TRUE(Dialogs.Messages.empty());
  // The connection stays: the next run goes on it.
  const int spid = Window->Spid();
  Run(QStringLiteral("select @@spid as s"));
  EXPECT_EQ(Cell(0, 0, 0), QString::number(spid));
}

TEST_F(QueryWindowTest, ClosingWhileABatchRunsStopsItFirst) {
  ASSERT_TRUE(Open());
  const int spid = Window->Spid();
  QTimer probe;
  probe.setInterval(5);
  QObject::connect(&probe, &QTimer::timeout, [&] {
    if (!Window->Waiting()) return;
    probe.stop();
    Window->close();
    EXPECT_FALSE(Window.isNull());  // not while its batch runs
  });
  probe.start();
  Window->Editor()->document()->setModified(false);
  Run(QStringLiteral("waitfor delay '00:01:00'"));
  QTRY_VERIFY(Window.isNull());
  // The server ends the closed connection's session on a thread of its own, once it reads the
  // close: a look that came first would still find it.
  QTRY_VERIFY_WITH_TIMEOUT(Session("count(*)", spid) == "0", 30000);
}

TEST_F(QueryWindowTest, AWindowBlockedByAnothersTransactionGoesOnAfterItsCommit) {
  ASSERT_TRUE(Open(QStringLiteral("Sklep")));
  QPointer<TQueryWindow> holder = Window;
  holder->Editor()->setPlainText(QStringLiteral("begin tran\nupdate Towary set Cena = Cena where IdTowaru = 1"));
  holder->Execute();
  ASSERT_EQ(holder->OpenTransactions(), 1) << holder->Messages()->Texts().join('\n').toStdString();
  ASSERT_TRUE(Open(QStringLiteral("Sklep")));
  ASSERT_NE(Window->Spid(), holder->Spid());
  std::string blockedBy;
  bool editable = false;
  // While the reader waits for the row: the server names the holder, the holder's window
  // still runs its own statements, and its COMMIT lets the reader go on.
  QTimer probe;
  probe.setInterval(5);
  QObject::connect(&probe, &QTimer::timeout, [&] {
    if (!Window->Waiting()) return;
    blockedBy = Session("blocked", Window->Spid());
    if (blockedBy == "0") return;  // not waiting for the lock yet
    probe.stop();
    editable = !holder->Running() && holder->Action(QStringLiteral("Wykonaj"))->isEnabled();
    holder->Editor()->setPlainText(QStringLiteral("commit"));
    holder->Execute();
  });
  probe.start();
  Run(QStringLiteral("select Cena from Towary where IdTowaru = 1"));
  EXPECT_EQ(blockedBy, std::to_string(holder->Spid()));
  EXPECT_TRUE(editable);
  EXPECT_EQ(holder->OpenTransactions(), 0);
  ASSERT_EQ(Window->Grids()->Count(), 1) << Messages().join('\n').toStdString();
  EXPECT_EQ(Window->Grids()->Grid(0)->RowCount(), 1);
  delete holder.data();
}

TEST_F(QueryWindowTest, AnOpenTransactionIsAskedAboutOnClose) {
  ASSERT_TRUE(Open(QStringLiteral("Sklep")));
  const int spid = Window->Spid();
  Run(QStringLiteral("begin tran\nselect @@trancount as t"));
  EXPECT_EQ(Window->OpenTransactions(), 1);
  EXPECT_EQ(Session("open_tran", spid), "1");
  AnswerOpenTransaction(QStringLiteral("Anuluj"));
  Window->close();
  EXPECT_FALSE(Window.isNull());
  EXPECT_EQ(QuestionButtons.size(), 3);
  EXPECT_TRUE(QuestionButtons.contains(QStringLiteral("Zatwierdź")) && QuestionButtons.contains(QStringLiteral("Wycofaj")));
  EXPECT_EQ(QuestionDefault, QStringLiteral("Anuluj"));
  EXPECT_EQ(Session("open_tran", spid), "1");
  AnswerOpenTransaction(QStringLiteral("Wycofaj"));
  Window->Editor()->document()->setModified(false);
  Window->close();
  QTRY_VERIFY(Window.isNull());
  // The server ends the session once it reads the closed connection, on its own thread.
  QTRY_VERIFY(Session("count(*)", spid) == "0");
}

TEST_F(QueryWindowTest, ClosingTheMainWindowAsksEachQueryWindowFirst) {
  ShowMain();
  ASSERT_TRUE(Open(QStringLiteral("Sklep")));
  QPointer<TQueryWindow> holder = Window;
  Run(QStringLiteral("begin tran\nselect @@trancount as t"));
  ASSERT_EQ(holder->OpenTransactions(), 1);
  const int spid = holder->Spid();
  ASSERT_TRUE(Open());
  Window->Editor()->setPlainText(QStringLiteral("select 1"));
  Window->Editor()->document()->setModified(true);
  // "Anuluj" to the transaction keeps every window, the main one too, and the transaction.
  AnswerOpenTransaction(QStringLiteral("Anuluj"));
  EXPECT_FALSE(Form->close());
  EXPECT_TRUE(Form->isVisible());
  EXPECT_TRUE(holder && holder->isVisible() && Window->isVisible());
  EXPECT_TRUE(Dialogs.Messages.empty());
  EXPECT_EQ(Session("open_tran", spid), "1");
  // Rolled back, the first goes; "Anuluj" to the changed text keeps the second and the main one.
  AnswerOpenTransaction(QStringLiteral("Wycofaj"));
  Dialogs.MessageAnswers.push_back(mbCancel);
  EXPECT_FALSE(Form->close());
  EXPECT_TRUE(Form->isVisible());
  ASSERT_EQ(Dialogs.Messages.size(), 1u);
  EXPECT_EQ(Dialogs.Messages[0].Text, "Tekst zapytania został zmieniony. Zapisać zmiany?");
  EXPECT_TRUE(Window->isVisible());
  QTRY_VERIFY(holder.isNull());
  Dialogs.MessageAnswers.push_back(mbNo);
  EXPECT_TRUE(Form->close());
  EXPECT_FALSE(Form->isVisible());
  QTRY_VERIFY(Window.isNull());
  QTRY_VERIFY(Session("count(*)", spid) == "0");
}

TEST_F(QueryWindowTest, ZamknijWhileABatchRunsClosesOnceItHasEnded) {
  ShowMain();
  ASSERT_TRUE(Open());
  const int spid = Window->Spid();
  QAction* close = Form->Commands(TCommandId::cmClose).first();
  bool keptWhileRunning = false;
  int answer = mbCancel;
  QTimer probe;
  probe.setInterval(5);
  QObject::connect(&probe, &QTimer::timeout, [&] {
    if (!Window->Waiting()) return;
    probe.stop();
    // Changed meanwhile: once the batch is stopped the window asks, and is kept.
    Window->Editor()->document()->setModified(true);
    Dialogs.MessageAnswers.push_back(answer);
    close->trigger();
    keptWhileRunning = Form->isVisible() && !Window.isNull();
  });
  probe.start();
  Run(QStringLiteral("waitfor delay '00:01:00'"));
  EXPECT_TRUE(keptWhileRunning);
  ASSERT_EQ(Dialogs.Messages.size(), 1u);
  EXPECT_EQ(Messages().back(), QStringLiteral("Zapytanie przerwane przez użytkownika."));
  EXPECT_FALSE(Window.isNull());
  EXPECT_TRUE(Form->isVisible());
  // Asked again and stopped the same way, the window goes and then the main window.
  answer = mbNo;
  probe.start();
  Run(QStringLiteral("waitfor delay '00:01:00'"));
  QTRY_VERIFY(Window.isNull());
  QTRY_VERIFY(!Form->isVisible());
  QTRY_VERIFY(Session("count(*)", spid) == "0");
}

TEST_F(QueryWindowTest, AWindows1250FileIsSavedBackByteForByte) {
  ASSERT_TRUE(Open());
  const std::string bytes = "-- Ceny w sklepie \xA3\xF3\x64\x9F\r\nselect 'za\xBF\xF3\xB3\xE6' as tekst\r\n";
  const std::string path = Dir.Path() + "/ceny.sql", copy = Dir.Path() + "/kopia.sql";
  std::ofstream(path, std::ios::binary) << bytes;
  Dialogs.FileAnswers.push_back(QString::fromStdString(path));
  Window->Action(QStringLiteral("Otwórz..."))->trigger();
  EXPECT_EQ(Window->FileEncoding(), TScriptEncoding::Windows1250);
  EXPECT_EQ(Window->Editor()->toPlainText(), QStringLiteral("-- Ceny w sklepie Łódź\nselect 'zażółć' as tekst\n"));
  Window->Action(QStringLiteral("Wykonaj"))->trigger();
  EXPECT_EQ(Cell(0, 0, 0), QStringLiteral("zażółć"));
  Dialogs.SaveAnswers.push_back(QString::fromStdString(copy));
  Window->Action(QStringLiteral("Zapisz jako..."))->trigger();
  std::ifstream in(copy, std::ios::binary);
  std::stringstream saved;
  saved << in.rdbuf();
  EXPECT_EQ(saved.str(), bytes);

  // A changed text is asked about before it goes; "Anuluj" keeps the window.
  Window->Editor()->appendPlainText(QStringLiteral("select 2"));
  Dialogs.MessageAnswers.push_back(mbCancel);
  Window->close();
  ASSERT_FALSE(Window.isNull());
  ASSERT_FALSE(Dialogs.Messages.empty());
  EXPECT_EQ(Dialogs.Messages.back().Text, "Tekst zapytania został zmieniony. Zapisać zmiany?");
  Dialogs.MessageAnswers.push_back(mbNo);
  Window->close();
  QTRY_VERIFY(Window.isNull());
}

TEST_F(QueryWindowTest, ALostConnectionIsSaidAndTheNextRunConnectsAgain) {
  ASSERT_TRUE(Open());
  const int spid = Window->Spid();
  Form->ExecInDatabase("KILL " + std::to_string(spid), "master");
  Run(QStringLiteral("select 1 as a"));
  ASSERT_FALSE(Dialogs.Messages.empty());
  EXPECT_EQ(Dialogs.Messages.back().Caption, "Utracono połączenie");
  EXPECT_TRUE(Dialogs.Messages.back().Text.starts_with("Utracono połączenie z serwerem SKLEP-SERWER."));
  Run(QStringLiteral("select 2 as b"));
  ASSERT_EQ(Window->Grids()->Count(), 1);
  EXPECT_EQ(Cell(0, 0, 0), QStringLiteral("2"));
  EXPECT_GT(Window->Spid(), 0);
}

TEST_F(QueryWindowTest, TemplatesAndHistoryFillTheEditorWithoutRunning) {
  ASSERT_TRUE(Open());
  const QList<QAction*> templates = Window->TemplatesMenu()->actions();
  ASSERT_GE(templates.size(), 7);
  templates.first()->trigger();
  EXPECT_TRUE(Window->Editor()->toPlainText().contains(QStringLiteral("sp_who2")));
  EXPECT_EQ(Window->Grids()->Count(), 0);
  Run(QStringLiteral("select 'historia' as h"));
  Run(QStringLiteral("sp_addlogin 'kasa', 'tajne'"));
  emit Window->HistoryMenu()->aboutToShow();
  const QList<QAction*> history = Window->HistoryMenu()->actions();
  ASSERT_EQ(history.size(), 1);
  Window->Editor()->clear();
  history.first()->trigger();
  EXPECT_EQ(Window->Editor()->toPlainText(), QStringLiteral("select 'historia' as h"));
}

}  // namespace
}  // namespace vandrel::app::testing
