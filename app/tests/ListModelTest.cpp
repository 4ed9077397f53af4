// The list's own store: texts kept whole across blocks, chunks and long texts, memory close to the
// texts' own bytes, memory reused by a refill, sorting that keeps rows whole and the selection
// on its row.
#include <gtest/gtest.h>

#include <QItemSelectionModel>
#include <QTest>
#include <string>

#include "app/ListModel.h"
#include "app/TextColumn.h"
#include "app/tests/ScriptedDialogs.h"

using namespace vandrel::app;

namespace {

// Alone, and with its chunks past the first few taken from an arena two columns share.
TEST(TextColumn, TextsComeBackWholeAcrossBlocksChunksAndLongTexts) {
  vandrel::TMRowsetArena arena;
  for (vandrel::TMRowsetArena* chunks : {static_cast<vandrel::TMRowsetArena*>(nullptr), &arena}) {
    TTextColumn column(chunks), other(chunks);
    std::vector<std::string> texts;
    for (int i = 0; i < 200; ++i) texts.push_back(i % 7 ? "wiersz " + std::to_string(i) : std::string());
    // Texts of a few kilobytes fill chunks inside blocks; texts longer than a chunk get one of
    // their own, also as a block's first row and one after another.
    for (int i = 0; i < 300; ++i)
      texts.push_back(std::string(static_cast<size_t>(1000 + 37 * i), char('a' + i % 26)));
    const std::string big(40000, 'x');
    texts.push_back(big);
    texts.push_back("za");
    texts.push_back(big + "y");
    texts.push_back(big + "yy");
    while (texts.size() % 64 != 0) texts.push_back("do bloku");
    texts.push_back(big);
    texts.push_back(std::string());
    texts.push_back("ostatni");
    for (const std::string& text : texts) {
      column.Append(text);
      other.Append(std::string(text.size() % 3000, 'o'));
    }
    column.Compact();
    ASSERT_EQ(column.Count(), texts.size());
    for (size_t r = 0; r < texts.size(); ++r) {
      EXPECT_EQ(column.At(r), texts[r]) << r;
      EXPECT_EQ(other.At(r), std::string(texts[r].size() % 3000, 'o')) << r;
    }
    EXPECT_EQ(column.At(texts.size()), "");
  }
  EXPECT_GT(arena.GetReservedBytes(), 0u);
}

TEST(TextColumn, MemoryStaysNearTheTextsBytes) {
  TTextColumn column;
  size_t bytes = 0;
  for (int i = 0; i < 100000; ++i) {
    const std::string text = std::to_string(i * 7);
    bytes += text.size();
    column.Append(text);
  }
  column.Compact();
  EXPECT_LT(double(column.MemoryBytes()), 1.5 * double(bytes));
  // Rows appended after the column was compacted join the ones before it.
  for (int i = 100000; i < 100100; ++i) column.Append(std::to_string(i * 7));
  for (int i = 0; i < 100100; i += 997) EXPECT_EQ(column.At(static_cast<size_t>(i)), std::to_string(i * 7)) << i;
  EXPECT_EQ(column.At(100099), std::to_string(100099 * 7));

  // With its chunks from an arena a column keeps its last chunk's room when compacted, while
  // its page of ends shrinks: rows appended then go on past the short page.
  vandrel::TMRowsetArena arena;
  TTextColumn shared(&arena);
  const std::string filler(200, 'x');
  for (int i = 0; i < 1100; ++i) {
    if (i == 1000) shared.Compact();
    shared.Append(filler + std::to_string(i));
  }
  for (int i = 0; i < 1100; ++i) ASSERT_EQ(shared.At(static_cast<size_t>(i)), filler + std::to_string(i)) << i;
}

TEST(ListModel, SortingKeepsRowsWholeAndTheSelectionOnItsRow) {
  TListModel model;
  TListColumn number{"Ilość"};
  number.Numeric = true;
  model.BeginFill({{"Nazwa"}, number});
  model.AppendRow({"Łopata", "10"});
  model.AppendRow({"lina", "9.5"});
  model.AppendRow({"Akumulator", ""});
  model.AppendRow({"Zszywacz", "100"});
  model.EndFill();
  QItemSelectionModel selection(&model);
  selection.select(model.index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);

  model.sort(1, Qt::AscendingOrder);  // by value, the empty one last
  EXPECT_EQ(model.Text(0, 1), "9.5");
  EXPECT_EQ(model.Text(0, 0), "lina");
  EXPECT_EQ(model.Text(2, 1), "100");
  EXPECT_EQ(model.Text(3, 0), "Akumulator");
  ASSERT_EQ(selection.selectedRows().size(), 1);
  EXPECT_EQ(selection.selectedRows().first().row(), 0);

  model.sort(0, Qt::DescendingOrder);
  EXPECT_EQ(model.Text(3, 0), "Akumulator");
  model.sort(-1);  // the rows as they came
  EXPECT_EQ(model.Text(0, 0), "Łopata");
  EXPECT_EQ(selection.selectedRows().first().row(), 1);
}

// A header clicked while a table's rows still arrive: the rows that come after the sort follow
// the sorted ones, and a filter set meanwhile takes the new rows that match.
TEST(ListModel, RowsStreamedAfterASortOrAFilterAreShownWhole) {
  TListModel model;
  model.BeginStream({{"Nazwa"}});
  for (const char* name : {"c", "a", "b"}) model.AppendRow({name});
  model.ShowAppended();
  model.sort(0);
  for (const char* name : {"e", "d"}) model.AppendRow({name});
  model.ShowAppended();
  ASSERT_EQ(model.rowCount(), 5);
  EXPECT_EQ(model.Text(3, 0), "e");
  EXPECT_EQ(model.Text(4, 0), "d");
  model.SetFilter(QStringLiteral("D"));
  EXPECT_EQ(model.rowCount(), 1);
  model.AppendRow({"dd"});
  model.AppendRow({"x"});
  model.EndFill();
  ASSERT_EQ(model.rowCount(), 2);
  EXPECT_EQ(model.Text(1, 0), "dd");
}

TEST(ListModel, AFailedFillKeepsItsColumnsAndNoRows) {
  TListModel model;
  model.BeginFill({{"A"}, {"B"}});
  model.AppendRow({"1"});  // a short row: B stays empty
  model.EndFill();
  EXPECT_EQ(model.rowCount(), 1);
  EXPECT_EQ(model.Text(0, 1), "");
  model.BeginFill({{"K"}});
  model.AppendCell(0, "x");
  EXPECT_EQ(model.rowCount(), 0);  // nothing is shown half-filled
  model.EndFill(false);
  EXPECT_EQ(model.rowCount(), 0);
  EXPECT_EQ(model.columnCount(), 1);
  EXPECT_EQ(model.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), "K");
}

// A refill, which empties the list first, writes its texts over the memory of the last ones;
// what a fill leaves unused goes at its end, and an emptied list's memory soon after.
TEST(ListModel, ARefillReusesTheTextsMemoryAndAnEmptiedListGivesItBack) {
  vandrel::app::testing::TestApplication();  // for the timer
  TListModel model;
  model.KeepTextsMs = 50;
  const auto fill = [&model](int Rows, char Mark) {
    model.Clear();
    model.BeginStream({{"A"}, {"B"}});
    for (int r = 0; r < Rows; ++r) model.AppendRow({std::string(30, Mark) + std::to_string(r), std::to_string(r)});
    model.EndFill();
    for (int r = 0; r < Rows; r += 9973) ASSERT_EQ(model.Text(r, 0), std::string(30, Mark) + std::to_string(r)) << r;
    ASSERT_EQ(model.Text(Rows - 1, 1), std::to_string(Rows - 1));
  };
  fill(300000, 'a');
  const size_t full = model.MemoryBytes();
  const char* last = model.Text(299999, 0).data();
  fill(300000, 'b');
  EXPECT_EQ(model.MemoryBytes(), full);
  EXPECT_EQ(model.Text(299999, 0).data(), last);  // in the same place
  fill(10, 'c');
  EXPECT_LT(model.MemoryBytes(), full / 10);

  fill(300000, 'd');
  model.Clear();
  EXPECT_GT(model.MemoryBytes(), full / 2);  // kept for a moment
  EXPECT_TRUE(QTest::qWaitFor([&model, full] { return model.MemoryBytes() < full / 10; }, 2000));
}

}  // namespace
