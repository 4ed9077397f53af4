// The query window's editor and its result of 10^6 rows: colours of T-SQL, indenting a
// selection, find and replace, the cursor's place in the status bar, and a big result that
// shows all its rows in one grid, through the real window against msde-sim.
#include <QAction>
#include <QLineEdit>
#include <QTest>
#include <QTextBlock>
#include <fstream>

#include "app/ListView.h"
#include "app/query/FindBar.h"
#include "app/query/MessagesPane.h"
#include "app/query/QueryEditor.h"
#include "app/query/QueryWindow.h"
#include "app/query/ResultGrids.h"
#include "app/query/SqlHighlighter.h"
#include "app/tests/SimFixture.h"

namespace vandrel::app::testing {
namespace {

using TKind = TSqlHighlighter::TKind;

class QueryEditorTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { TestApplication(); }
  TQueryEditor Editor;
};

TEST_F(QueryEditorTest, ColoursKeywordsStringsCommentsAndNumbers) {
  Editor.setPlainText(QStringLiteral("SELECT nazwa, 12 FROM Towary -- select\nwhere x = N'it''s /* no'\n/* a\nselect */ go"));
  TSqlHighlighter* h = Editor.Highlighter();
  EXPECT_EQ(h->KindAt(0, 0), TKind::Keyword);    // SELECT
  EXPECT_EQ(h->KindAt(0, 7), TKind::Plain);      // nazwa
  EXPECT_EQ(h->KindAt(0, 14), TKind::Number);    // 12
  EXPECT_EQ(h->KindAt(0, 17), TKind::Keyword);   // FROM
  EXPECT_EQ(h->KindAt(0, 33), TKind::Comment);   // -- select
  EXPECT_EQ(h->KindAt(1, 0), TKind::Keyword);    // where, in lower case
  EXPECT_EQ(h->KindAt(1, 10), TKind::String);    // N'it''s ...' with its doubled quote
  EXPECT_EQ(h->KindAt(1, 20), TKind::String);    // "/*" inside the string opens nothing
  EXPECT_EQ(h->KindAt(2, 0), TKind::Comment);    // a block comment over two lines
  EXPECT_EQ(h->KindAt(3, 2), TKind::Comment);
  EXPECT_EQ(h->KindAt(3, 10), TKind::Keyword);   // go, after the comment's end
  EXPECT_EQ(Editor.accessibleName(), QStringLiteral("Tekst zapytania"));
  EXPECT_TRUE(Editor.font().fixedPitch() || QFontInfo(Editor.font()).fixedPitch());
}

TEST_F(QueryEditorTest, TabAndShiftTabIndentTheSelectedLines) {
  Editor.setPlainText(QStringLiteral("select 1\nselect 2\nselect 3"));
  QTextCursor cursor(Editor.document()->findBlockByNumber(0));
  cursor.setPosition(Editor.document()->findBlockByNumber(1).position() + 3, QTextCursor::KeepAnchor);
  Editor.setTextCursor(cursor);
  QTest::keyClick(&Editor, Qt::Key_Tab);
  EXPECT_EQ(Editor.toPlainText(), QStringLiteral("\tselect 1\n\tselect 2\nselect 3"));
  QTest::keyClick(&Editor, Qt::Key_Backtab);
  EXPECT_EQ(Editor.toPlainText(), QStringLiteral("select 1\nselect 2\nselect 3"));
  // Four blanks are one level too; undo takes the whole indent back in one step.
  Editor.setPlainText(QStringLiteral("      x"));
  Editor.selectAll();
  QTest::keyClick(&Editor, Qt::Key_Backtab);
  EXPECT_EQ(Editor.toPlainText(), QStringLiteral("  x"));
  QTest::keyClick(&Editor, Qt::Key_Tab);
  EXPECT_EQ(Editor.toPlainText(), QStringLiteral("\t  x"));
  Editor.undo();
  EXPECT_EQ(Editor.toPlainText(), QStringLiteral("  x"));
  // Without a selection Tab is a tab.
  Editor.moveCursor(QTextCursor::End);
  QTest::keyClick(&Editor, Qt::Key_Tab);
  EXPECT_EQ(Editor.toPlainText(), QStringLiteral("  x\t"));
}

TEST_F(QueryEditorTest, FindsRoundTheEndAndReplacesInOneUndoStep) {
  Editor.setPlainText(QStringLiteral("select Cena from Towary\nupdate Towary set cena = 1"));
  TFindBar bar(&Editor);
  bar.FindEdit->setText(QStringLiteral("towary"));
  ASSERT_TRUE(bar.FindNext());
  EXPECT_EQ(Editor.textCursor().blockNumber(), 0);
  ASSERT_TRUE(bar.FindNext());
  EXPECT_EQ(Editor.textCursor().blockNumber(), 1);
  ASSERT_TRUE(bar.FindNext());  // round past the end
  EXPECT_EQ(Editor.textCursor().blockNumber(), 0);
  bar.FindEdit->setText(QStringLiteral("cena"));
  bar.ReplaceEdit->setText(QStringLiteral("CenaBrutto"));
  EXPECT_EQ(bar.ReplaceAll(), 2);
  EXPECT_EQ(Editor.toPlainText(), QStringLiteral("select CenaBrutto from Towary\nupdate Towary set CenaBrutto = 1"));
  Editor.undo();
  EXPECT_EQ(Editor.toPlainText(), QStringLiteral("select Cena from Towary\nupdate Towary set cena = 1"));
  bar.FindEdit->setText(QStringLiteral("brak"));
  EXPECT_FALSE(bar.FindNext());
}

// A server whose one table holds 10^6 rows of 10 columns (integers and texts in turn).
class BigResultTest : public SimWindowTest {
 protected:
  msde::testkit::SimServerOptions ServerOptions() const override {
    std::string j = R"({"server":{"name":"DUZY"},"logins":[{"name":"sa","sysadmin":true}],"databases":[)"
                    R"({"name":"master","dbid":1},{"name":"Duza","dbid":5,"tables":[{"owner":"dbo","name":"Wiersze",)"
                    R"("generate":1000000,"columns":[)";
    for (int c = 0; c < 10; ++c)
      j += std::string(c ? "," : "") + R"({"name":"K)" + std::to_string(c) + R"(","type":")" +
           (c % 2 ? "varchar\",\"length\":20" : "int\"") + "}";
    j += "]}]}]}";
    std::ofstream(Data.Path() + "/big.json") << j;
    msde::testkit::SimServerOptions options;
    options.data_file = Data.Path() + "/big.json";
    return options;
  }
  msde::testkit::TempDir Data{"big-result"};
};

TEST_F(BigResultTest, AMillionRowsShowInOneGridAndTheStatusBarCountsThem) {
  setenv("VANDREL_REGISTRY_DIR", Data.Path().c_str(), 1);
  Connect();
  TQueryWindow window(Form->DriverConnectionString(), "DUZY", "Duza");
  ASSERT_TRUE(window.Connect());
  window.Editor()->setPlainText(QStringLiteral("select * from dbo.Wiersze"));
  // The first rows are in the grid while the rest still arrives.
  int rowsAtFirstTurn = -1;
  QObject::connect(&window, &TQueryWindow::RunStarted, [&] {
    auto* probe = new QTimer(&window);
    QObject::connect(probe, &QTimer::timeout, [&, probe] {
      if (window.Grids()->Count() == 0 || window.Grids()->Grid(0)->RowCount() == 0) return;
      rowsAtFirstTurn = window.Grids()->Grid(0)->RowCount();
      probe->deleteLater();
    });
    probe->start(1);
  });
  window.Execute();
  ASSERT_EQ(window.Grids()->Count(), 1);
  TListView* grid = window.Grids()->Grid(0);
  EXPECT_EQ(grid->RowCount(), 1000000);
  EXPECT_EQ(grid->ColumnCount(), 10);
  EXPECT_GT(rowsAtFirstTurn, 0);
  EXPECT_LT(rowsAtFirstTurn, 1000000);
  EXPECT_FALSE(grid->Text(999999, 1).isEmpty());
  EXPECT_EQ(window.Messages()->Texts().back(), QStringLiteral("(1000000 wierszy)"));
  EXPECT_TRUE(window.StatusText().contains(QStringLiteral("Wierszy: 1000000"))) << window.StatusText().toStdString();
  unsetenv("VANDREL_REGISTRY_DIR");
}

}  // namespace
}  // namespace vandrel::app::testing
