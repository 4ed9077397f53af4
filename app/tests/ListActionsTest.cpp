// The detail list as a technician works with it: all rows selected and copied with their
// header as a spreadsheet pastes them, saved as CSV and read back, narrowed by the filter, a
// cut text shown whole, and the process list's pop-up keeping "Zabij proces".
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLineEdit>
#include <QTest>
#include <QToolTip>

#include "app/tests/SimFixture.h"
#include "platform/base/RegionalSettings.h"
#include "testkit/TempDir.h"

namespace vandrel::app::testing {
namespace {

class ListActions : public SimWindowTest {
 protected:
  void SetUp() override {
    SimWindowTest::SetUp();
    Connect();
    Form->resize(1000, 600);
    Form->show();
    QTest::qWait(0);
    Select(Node("Loginy"));
    ASSERT_GT(List()->RowCount(), 2);
  }
  TListView* List() const { return Form->ListView1; }
  void Run(TCommandId Command) {
    Form->PreparePopupMenu2();
    QAction* action = Form->Commands(Command).first();
    ASSERT_TRUE(action->isEnabled()) << CommandCaption(Command);
    action->trigger();
  }
  QString Line(const std::function<QString(int)>& Value, const QString& Separator) const {
    QStringList values;
    for (int c = 0; c < List()->ColumnCount(); ++c) values << Value(c);
    return values.join(Separator);
  }
  QString HeaderLine(const QString& Separator) const {
    return Line([this](int c) { return List()->Caption(c); }, Separator);
  }
  QString RowLine(int Row, const QString& Separator) const {
    return Line([this, Row](int c) { return List()->Text(Row, c); }, Separator);
  }
};

TEST_F(ListActions, CtrlASelectsAllAndCtrlCCopiesThemWithTheirHeader) {
  QTest::keyClick(List(), Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(static_cast<int>(List()->SelectedRows().size()), List()->RowCount());
  QApplication::clipboard()->clear();
  QTest::keyClick(List(), Qt::Key_C, Qt::ControlModifier);
  const QStringList lines = QApplication::clipboard()->text().split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), List()->RowCount() + 1);
  EXPECT_EQ(lines[0], HeaderLine("\t"));
  EXPECT_TRUE(lines[0].startsWith(QStringLiteral("Login\tBaza domyślna\t")));
  for (int r = 0; r < List()->RowCount(); ++r) EXPECT_EQ(lines[r + 1], RowLine(r, "\t"));

  // "Kopiuj" copies the rows alone; with several selected, no command acts on "the" row.
  List()->clearSelection();
  List()->selectRow(1);
  Run(TCommandId::cmCopy);
  EXPECT_EQ(QApplication::clipboard()->text(), RowLine(1, "\t") + "\n");
  Run(TCommandId::cmCopyWithHeader);
  EXPECT_EQ(QApplication::clipboard()->text(), HeaderLine("\t") + "\n" + RowLine(1, "\t") + "\n");
  QTest::keyClick(List(), Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(List()->SelectedRow(), -1);
}

// What Polish Excel opens as columns: the regional list separator, a UTF-8 byte-order mark,
// the ".csv" a name typed without extension lacks, and the message says the separator.
TEST_F(ListActions, CsvIsSavedForTheRegionalSettingsAndReadsBack) {
  msde::testkit::TempDir dir("vandrel-csv");
  struct Case {
    platform::TRegionalSettings Settings;
    QString Typed, Written, Separator;
  };
  const QString base = QString::fromStdString(dir.Path()) + "/";
  for (const Case& c : {Case{platform::TRegionalSettings::Polish(), "loginy", "loginy.csv", ";"},
                        Case{platform::TRegionalSettings::Posix(), "loginy.txt", "loginy.txt", ","}}) {
    SCOPED_TRACE(c.Written.toStdString());
    platform::TRegionalSettingsGuard regional(c.Settings);
    Dialogs.Messages.clear();
    Dialogs.SaveAnswers.push_back(base + c.Typed);
    Run(TCommandId::cmSaveCsv);
    ASSERT_EQ(Dialogs.Messages.size(), 1u);
    EXPECT_EQ(Dialogs.Messages[0].Icon, MsgIcon::Information);
    EXPECT_NE(Dialogs.Messages[0].Text.find((base + c.Written).toStdString()), std::string::npos);
    EXPECT_NE(Dialogs.Messages[0].Text.find("separator kolumn: \"" + c.Separator.toStdString() + "\""), std::string::npos)
        << Dialogs.Messages[0].Text;

    QFile saved(base + c.Written);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QByteArray bytes = saved.readAll();
    ASSERT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
    const QStringList lines = QString::fromUtf8(bytes.mid(3)).split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), List()->RowCount() + 1);
    EXPECT_EQ(lines[0], HeaderLine(c.Separator));  // "Baza domyślna" read back as UTF-8
    for (int r = 0; r < List()->RowCount(); ++r) EXPECT_EQ(lines[r + 1], RowLine(r, c.Separator));
  }
  // The extension added meets an existing file: asked first, "Nie" keeps it.
  Dialogs.Messages.clear();
  Dialogs.SaveAnswers.push_back(base + "loginy");
  Dialogs.MessageAnswers.push_back(mbNo);
  Run(TCommandId::cmSaveCsv);
  ASSERT_EQ(Dialogs.Messages.size(), 1u);
  EXPECT_EQ(Dialogs.Messages[0].Buttons, mbYes | mbNo | mbDefaultNo);
}

TEST_F(ListActions, CsvQuotesValuesThatHoldTheSeparatorQuotesOrLineBreaks) {
  List()->Model()->BeginFill({{"Nazwa"}, {"Opis"}});
  List()->Model()->AppendRow({"a;b", "powiedział \"tak\""});
  List()->Model()->AppendRow({"c", "dwa\nwiersze"});
  List()->Model()->EndFill();
  EXPECT_EQ(List()->CsvText(';'), "Nazwa;Opis\r\n\"a;b\";\"powiedział \"\"tak\"\"\"\r\nc;\"dwa\nwiersze\"\r\n");
  // Pasted text keeps one row per line and one value per cell.
  List()->selectAll();
  EXPECT_EQ(List()->RowsText(false), QStringLiteral("a;b\tpowiedział \"tak\"\nc\tdwa wiersze\n"));
}

TEST_F(ListActions, TheFilterNarrowsTheRowsAndANewListStartsUnfiltered) {
  const int all = List()->RowCount();
  // The order and the widths the user chose stay while the filter changes.
  QHeaderView* header = List()->horizontalHeader();
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(header->sectionViewportPosition(0) + 5, 5));
  List()->setColumnWidth(1, 333);
  List()->FilterEdit->setText(QStringLiteral("KIEROW"));  // any case
  ASSERT_EQ(List()->RowCount(), 1);
  EXPECT_EQ(List()->Text(0, 0), QStringLiteral("kierownik"));
  const std::string csv = List()->CsvText(',');  // saving takes the rows shown
  EXPECT_EQ(csv.substr(0, 5), "Login");
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 2);
  EXPECT_TRUE(header->isSortIndicatorShown());
  EXPECT_EQ(List()->columnWidth(1), 333);
  // Sorting keeps the filter; a match in any column counts.
  List()->Model()->sort(0, Qt::DescendingOrder);
  EXPECT_EQ(List()->RowCount(), 1);
  List()->FilterEdit->setText(QStringLiteral("master"));
  EXPECT_GT(List()->RowCount(), 1);
  EXPECT_LT(List()->RowCount(), all + 1);
  List()->FilterEdit->clear();
  EXPECT_EQ(List()->RowCount(), all);

  List()->FilterEdit->setText(QStringLiteral("kierow"));
  Select(Node("Bazy"));
  EXPECT_TRUE(List()->FilterEdit->text().isEmpty());
  EXPECT_GT(List()->RowCount(), 1);
}

TEST_F(ListActions, OnlyACutTextShowsItselfWholeAsATooltip) {
  const auto tooltipAt = [this](int Row, int Column) {
    QToolTip::hideText();
    const QRect cell = List()->visualRect(List()->model()->index(Row, Column));
    QHelpEvent help(QEvent::ToolTip, cell.center(), List()->viewport()->mapToGlobal(cell.center()));
    QApplication::sendEvent(List()->viewport(), &help);
    return QToolTip::isVisible() ? QToolTip::text() : QString();
  };
  EXPECT_EQ(tooltipAt(0, 0), QString());  // shown whole: no tooltip
  List()->setColumnWidth(0, 12);
  EXPECT_EQ(tooltipAt(0, 0), List()->Text(0, 0));
}

TEST_F(ListActions, TheProcessListsPopupKeepsZabijProcesAmongTheListCommands) {
  Form->Commands(TCommandId::cmProcesses).first()->trigger();
  List()->selectRow(0);
  Form->PreparePopupMenu2();
  EXPECT_TRUE(Form->Commands(TCommandId::cmKillProcess).first()->isVisible());
  EXPECT_TRUE(Form->CommandEnabled(TCommandId::cmCopy));
  EXPECT_TRUE(Form->CommandEnabled(TCommandId::cmSaveCsv));
  Select(Node("Bazy"));
  Form->PreparePopupMenu2();
  EXPECT_FALSE(Form->Commands(TCommandId::cmKillProcess).first()->isVisible());
  EXPECT_FALSE(Form->CommandEnabled(TCommandId::cmCopy));  // nothing selected in the new list
}

}  // namespace
}  // namespace vandrel::app::testing
