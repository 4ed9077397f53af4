// The detail list as a user meets it: what stays after a failure, what a click in it
// enables, whether a selected row can be read, sorting by a header and automatic widths.
#include <QAction>
#include <QHeaderView>
#include <QImage>
#include <QRegularExpression>
#include <QStyle>
#include <QTest>

#include "app/NodeKinds.h"
#include "app/tests/SimFixture.h"
#include "platform/base/RegionalSettings.h"
#include "testkit/OdbcClient.h"

using namespace vandrel::app;
using namespace vandrel::app::testing;

namespace {

class DetailList : public SimWindowTest {
 protected:
  void ClickRow(int Row) {
    TListView* list = Form->ListView1;
    const QRect cell = list->visualRect(list->model()->index(Row, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
  }
  void ClickHeader(int Column) {
    QHeaderView* header = Form->ListView1->horizontalHeader();
    const int x = header->sectionViewportPosition(Column) + header->sectionSize(Column) / 2;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
  }
  void ShowWindow() {
    Form->resize(1000, 600);
    Form->show();
    QTest::qWait(0);
  }
  QTreeWidgetItem* OfflineNode() const {
    const auto found = Form->TreeView1->findItems(" (Offline)", Qt::MatchEndsWith | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.first();
  }
};

TEST_F(DetailList, AFailedDisplayLeavesNoRowsOfTheNodeBefore) {
  Connect();
  Select(Node("Loginy"));
  ASSERT_TRUE(ListColumn(0).contains("sa"));
  // Another connection takes a database offline that the tree still shows as usable.
  msde::testkit::OdbcClient other(Sim->ConnectionString("sa", kSaPassword));
  ASSERT_TRUE(other.Exec("ALTER DATABASE Hurtownia SET OFFLINE WITH ROLLBACK IMMEDIATE").ok);
  Dialogs.Messages.clear();
  Select(NodeUnder(Node("Hurtownia"), "Tabele"));
  EXPECT_FALSE(Dialogs.Messages.empty());  // the failed "use" is reported
  EXPECT_EQ(Form->ListView1->RowCount(), 0);
  EXPECT_TRUE(Headers().isEmpty());

  // The contents of a table in that database: no logins' columns carry over either.
  Select(Node("Loginy"));
  Form->Commands(TCommandId::cmShowTableContents).first()->trigger();
  Form->QueryToListView("select * from dbo.Towary", Form->ListView1, "Hurtownia");
  EXPECT_EQ(Form->ListView1->RowCount(), 0);
  EXPECT_TRUE(Headers().isEmpty());
}

TEST_F(DetailList, AClickInTheListThenAnotherNodeEnablesThatNodesCommands) {
  Connect();
  ShowWindow();
  Select(Node("Loginy"));
  ClickRow(1);
  // A login of the list names no database: the database commands stay disabled.
  EXPECT_FALSE(Form->CommandEnabled(TCommandId::cmTakeOffline));
  QTreeWidgetItem* offline = OfflineNode();
  ASSERT_NE(offline, nullptr);
  Select(offline);
  EXPECT_TRUE(Form->CommandEnabled(TCommandId::cmBringOnline));
  EXPECT_FALSE(Form->CommandEnabled(TCommandId::cmTakeOffline));
  EXPECT_FALSE(Form->CommandEnabled(TCommandId::cmDatabaseOptions));
  // The server node shows nothing new and keeps the offline database's enabling.
  Select(Form->TreeView1->topLevelItem(0));
  EXPECT_FALSE(Form->CommandEnabled(TCommandId::cmTakeOffline));
}

TEST_F(DetailList, ASelectedRowKeepsItsTextReadable) {
  Connect();
  ShowWindow();
  Select(Node("Loginy"));
  const int row = ListColumn(0).indexOf("kierownik");
  ASSERT_GE(row, 0);
  ClickRow(row);
  ASSERT_EQ(Form->ListView1->SelectedRow(), row);
  const QImage shot = Form->ListView1->viewport()->grab().toImage();
  const QRect cell = Form->ListView1->visualRect(Form->ListView1->model()->index(row, 0)).adjusted(2, 2, -2, -2);
  // The cell's most frequent colour is the selection's; the text must stand out from it.
  std::map<QRgb, int> colours;
  for (int y = cell.top(); y <= cell.bottom(); ++y)
    for (int x = cell.left(); x <= cell.right(); ++x) ++colours[shot.pixel(x, y)];
  QRgb background = 0;
  int most = 0;
  for (auto [colour, count] : colours)
    if (count > most) most = count, background = colour;
  EXPECT_NE(QColor(background), Form->ListView1->palette().color(QPalette::Base));  // drawn selected
  int text = 0;
  for (auto [colour, count] : colours) {
    const int distance = std::abs(qRed(colour) - qRed(background)) + std::abs(qGreen(colour) - qGreen(background)) +
                         std::abs(qBlue(colour) - qBlue(background));
    if (distance > 150) text += count;
  }
  EXPECT_GT(text, 20) << "no readable text in the selected row";
}

TEST_F(DetailList, AHeaderClickSortsAndASecondTurnsTheOrderRound) {
  Connect();
  ShowWindow();
  Select(Node("Loginy"));
  const QStringList asCame = ListColumn(0);
  ClickRow(asCame.indexOf("kasa1"));
  ClickHeader(0);
  QStringList ascending = ListColumn(0);
  EXPECT_TRUE(std::is_sorted(ascending.begin(), ascending.end(),
                             [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; }))
      << ascending.join(",").toStdString();
  EXPECT_EQ(Form->SelectedListCaptionUnder("Login"), "kasa1");  // the selection stays on its row
  EXPECT_EQ(ListColumn(5)[ascending.indexOf("kierownik")], "Brak");  // rows stay whole
  ClickHeader(0);
  QStringList descending = ListColumn(0);
  std::reverse(descending.begin(), descending.end());
  EXPECT_EQ(descending, ascending);

  // Numbers sort by value: the contents of a table, by its price column.
  Select(NodeUnder(Node("Sklep"), "Tabele"));
  Form->Commands(TCommandId::cmShowTableContents).first()->trigger();
  Select(NodeUnder(NodeUnder(Node("Sklep"), "Tabele"), "dbo.Towary"));
  const int price = Headers().indexOf("Cena");
  ASSERT_GE(price, 0);
  ClickHeader(price);
  std::vector<double> prices;
  const char separator = vandrel::platform::RegionalSettings().DecimalSeparator;
  for (QString p : ListColumn(price)) prices.push_back(p.replace(QChar(separator), ".").toDouble());
  EXPECT_TRUE(std::is_sorted(prices.begin(), prices.end()));
  EXPECT_GT(prices.back(), prices.front());
  // A new display starts in the order its rows came.
  Select(Node("Loginy"));
  EXPECT_EQ(ListColumn(0), asCame);
}

TEST_F(DetailList, TableContentsGetWidthsFromTheirTextsAndNumbersAlignRight) {
  Connect();
  Form->Commands(TCommandId::cmShowTableContents).first()->trigger();
  Select(NodeUnder(Node("Sklep"), "Tabele"));
  Select(NodeUnder(NodeUnder(Node("Sklep"), "Tabele"), "dbo.Towary"));
  TListView* list = Form->ListView1;
  const QStringList headers = Headers();
  const int name = headers.indexOf("Nazwa"), id = headers.indexOf("IdTowaru");
  ASSERT_GE(name, 0);
  ASSERT_GE(id, 0);
  int widest = 0;
  for (const QString& text : ListColumn(name)) widest = std::max(widest, list->fontMetrics().horizontalAdvance(text));
  EXPECT_GE(list->columnWidth(name), widest);  // every name reads whole
  EXPECT_LT(list->columnWidth(id), list->columnWidth(name));
  const auto alignment = [&](int column) {
    return list->model()->index(0, column).data(Qt::TextAlignmentRole).value<Qt::Alignment>();
  };
  EXPECT_TRUE(alignment(id) & Qt::AlignRight);
  EXPECT_TRUE(alignment(name) & Qt::AlignLeft);
  // The fixed displays keep their widths and their centred columns.
  Select(Node("Loginy"));
  EXPECT_EQ(list->columnWidth(0), 170);
  EXPECT_EQ(list->columnWidth(4), 130);
  EXPECT_TRUE(alignment(4) & Qt::AlignHCenter);
}

// The database details keep the caption's width for "Parametr"; "Wartość", sized to its
// caption too, takes the rest of the list so that paths and dates read whole.
TEST_F(DetailList, TheDatabaseDetailsNamesReadWholeAndTheValuesTakeTheRestOfTheList) {
  Connect();
  ShowWindow();
  Select(Node("Sklep"));
  TListView* list = Form->ListView1;
  ASSERT_EQ(Headers(), QStringList({QStringLiteral("Parametr"), QStringLiteral("Wartość")}));
  // Both columns are sized to their captions as a report list sizes them: the first to the
  // widest of its caption and its names, the last to the rest of the list.
  EXPECT_GE(list->columnWidth(0), list->fontMetrics().horizontalAdvance(QStringLiteral("Parametr")) + 24);
  for (int r = 0; r < list->RowCount(); ++r)
    EXPECT_GE(list->columnWidth(0), list->fontMetrics().horizontalAdvance(list->Text(r, 0))) << list->Text(r, 0).toStdString();
  EXPECT_GE(list->columnWidth(0) + list->columnWidth(1), list->viewport()->width() - 1);
  const QString path = DetailValue(QStringLiteral("Lokalizacja pliku bazy: "));
  ASSERT_NE(path, QStringLiteral("<none>"));
  EXPECT_GE(list->columnWidth(1), list->fontMetrics().horizontalAdvance(path));
  // A display of fixed widths keeps them and leaves the rest empty.
  Select(Node("Loginy"));
  EXPECT_EQ(list->columnWidth(0), 170);
  EXPECT_EQ(list->columnWidth(5), Form->ListView1->Model()->Columns()[5].Width);
}

// Decimal columns read with the decimals they declare and the user's separator, whatever
// the value: a stock of 278 in a column of scale 3 reads 278,000 for a Polish user and
// 278.000 under the C locale; integers stay as they are; the numbers still sort by value.
TEST_F(DetailList, DecimalColumnsShowTheirScaleWithTheUsersSeparator) {
  Connect();
  Form->Commands(TCommandId::cmShowTableContents).first()->trigger();
  QTreeWidgetItem* tables = NodeUnder(Node("Sklep"), "Tabele");
  Select(tables);
  for (const auto& [settings, separator] :
       {std::pair{vandrel::platform::TRegionalSettings::Polish(), QStringLiteral(",")},
        std::pair{vandrel::platform::TRegionalSettings::Posix(), QStringLiteral(".")}}) {
    SCOPED_TRACE(separator.toStdString());
    vandrel::platform::TRegionalSettingsGuard user(settings);
    Select(tables);
    Select(NodeUnder(tables, "dbo.Towary"));
    const QStringList headers = Headers();
    const int id = headers.indexOf("IdTowaru"), price = headers.indexOf("Cena"), stock = headers.indexOf("Stan");
    ASSERT_GE(id, 0);
    ASSERT_GE(price, 0);
    ASSERT_GE(stock, 0);
    const int bread = ListColumn(id).indexOf("1");
    ASSERT_GE(bread, 0);
    EXPECT_EQ(ListColumn(price)[bread], "2" + separator + "49");
    EXPECT_EQ(ListColumn(stock)[bread], "278" + separator + "000");
    const QRegularExpression scale3("^-?[0-9]+" + QRegularExpression::escape(separator) + "[0-9]{3}$");
    for (const QString& text : ListColumn(stock)) EXPECT_TRUE(scale3.match(text).hasMatch()) << text.toStdString();
    for (const QString& text : ListColumn(id)) EXPECT_FALSE(text.contains(separator)) << text.toStdString();
    EXPECT_TRUE(Form->ListView1->model()->index(0, stock).data(Qt::TextAlignmentRole).value<Qt::Alignment>() &
                Qt::AlignRight);
    Form->ListView1->Model()->sort(stock, Qt::AscendingOrder);
    std::vector<double> stocks;
    for (QString text : ListColumn(stock)) stocks.push_back(text.replace(separator, ".").toDouble());
    EXPECT_TRUE(std::is_sorted(stocks.begin(), stocks.end()));
  }
}

// A 2005 Express site on a 1280 pixel wide window: the tree's texts ("Serwer (...\\SQLEXPRESS)",
// "SklepPoludnie (Uszkodzona)") and the files' paths read whole, and each node's tooltip is
// its text.
class DetailList2005 : public DetailList {
 protected:
  static int icon(const QTreeWidget* Tree) { return Tree->style()->pixelMetric(QStyle::PM_SmallIconSize); }
  msde::testkit::SimServerOptions ServerOptions() const override {
    msde::testkit::SimServerOptions options;
    options.data_file = std::string(MSDE_DATA_DIR) + "/demo2005.json";
    return options;
  }
};

TEST_F(DetailList2005, TheTreeAndThePathColumnsShowTheirTextsWhole) {
  Form->resize(1280, 800);
  Form->show();
  QTest::qWait(0);
  Connect();
  QTreeWidget* tree = Form->TreeView1;
  for (const QString& text : {QStringLiteral("SklepPoludnie (Uszkodzona)")}) {
    QTreeWidgetItem* node = Node(text);
    ASSERT_NE(node, nullptr) << text.toStdString();
    EXPECT_EQ(node->toolTip(0), text);
    const QRect rect = tree->visualItemRect(node);
    const int icon = tree->style()->pixelMetric(QStyle::PM_SmallIconSize);
    EXPECT_LE(rect.left() + icon + tree->fontMetrics().horizontalAdvance(text), tree->viewport()->width())
        << text.toStdString();
  }
  QTreeWidgetItem* server = tree->topLevelItem(0);
  ASSERT_NE(server, nullptr);
  EXPECT_TRUE(server->text(0).contains(QStringLiteral("SQLEXPRESS"))) << server->text(0).toStdString();
  EXPECT_LE(tree->fontMetrics().horizontalAdvance(server->text(0)) + icon(tree), tree->viewport()->width());

  Select(Node("Bazy"));
  const QStringList headers = Headers();
  const int path = static_cast<int>(headers.indexOf(QStringLiteral("Lokalizacja pliku bazy")));
  ASSERT_GE(path, 0);
  for (int row = 0; row < Form->ListView1->RowCount(); ++row)
    EXPECT_FALSE(Form->ListView1->CutInColumn(Form->ListView1->Text(row, path), path))
        << Form->ListView1->Text(row, path).toStdString();
}

}  // namespace
