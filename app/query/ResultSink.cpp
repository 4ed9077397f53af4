#include "app/query/ResultSink.h"

#include <QCoreApplication>
#include <algorithm>

#include "app/ListView.h"
#include "app/query/MessagesPane.h"
#include "app/query/ResultGrids.h"

namespace vandrel::app {
namespace {

// As the detail list's read: rows are fetched for a slice before the window gets a turn,
// and at least this many times as long as the last turn took, so that painting takes a
// small share of a long read while the window still paints several times a second.
constexpr qint64 kGridSliceMs = 40;
constexpr qint64 kGridSlicePerTurn = 39;

}  // namespace

void TResultSink::Begin() {
  FRows = 0;
  FGrid = nullptr;
  FClock.start();
  FNextTurn = 0;
}

void TResultSink::BeginResult(const std::vector<TResultColumn>& Columns) {
  FGrid = FGrids.AddGrid();
  std::vector<TListColumn> layout;
  FBinary.clear();
  for (const TResultColumn& c : Columns) {
    TListColumn column;
    column.Caption = QString::fromStdString(c.Name);
    column.Numeric = c.Numeric;
    if (c.Numeric) column.Alignment = Qt::AlignRight | Qt::AlignVCenter;
    layout.push_back(column);
    FBinary.push_back(c.Binary);
  }
  FGrid->Model()->BeginStream(std::move(layout));
  FFirstTurn = true;
  FNextTurn = 0;  // the first rows show with the first turn
}

void TResultSink::AppendRows(const TRowset& Rows) {
  TListModel* model = FGrid->Model();
  const int columns = Rows.Columns();
  for (int r = 0; r < Rows.Rows(); ++r) {
    for (int c = 0; c < columns; ++c) {
      const TResultCell cell = Rows.Cell(r, c);
      if (cell.Null) {
        model->AppendNullCell(c, "NULL");
      } else if (!cell.Cut && !FBinary[static_cast<size_t>(c)]) {
        model->AppendCell(c, cell.Text);
      } else {
        FCell.clear();
        if (FBinary[static_cast<size_t>(c)]) {
          // As the server's own tools write binary: 0x and upper-case digits.
          FCell = "0x";
          for (char d : cell.Text) FCell += d >= 'a' && d <= 'f' ? static_cast<char>(d - 'a' + 'A') : d;
        } else {
          FCell.append(cell.Text);
        }
        if (cell.Cut) FCell += "…";
        model->AppendCell(c, FCell);
      }
    }
  }
  FRows += Rows.Rows();
}

void TResultSink::Turn() {
  const qint64 now = FClock.elapsed();
  if (now < FNextTurn) return;
  if (FGrid) {
    FGrid->Model()->ShowAppended();
    if (FFirstTurn) FGrid->FitColumnsToSample();
    FFirstTurn = false;
  }
  QCoreApplication::processEvents();
  const qint64 after = FClock.elapsed();
  FNextTurn = after + std::max(kGridSliceMs, kGridSlicePerTurn * (after - now));
}

void TResultSink::EndResult() {
  FGrid->Model()->EndFill();
  FGrid->FitColumnsToSample();
}

void TResultSink::RowsAffected(long long Rows) {
  FMessages.AddMessage(QStringLiteral("(%1 wierszy)").arg(Rows));
}

void TResultSink::Message(const TServerMessage& Message) {
  if (const std::string database = ChangedDatabase(Message); !database.empty() && OnDatabaseChanged)
    OnDatabaseChanged(database);
  const int line = Message.Line > 0 ? FBatchLine + Message.Line : 0;
  FMessages.AddMessage(QString::fromStdString(MessageLine(Message, line)), Message.Error, Message.Error ? line : 0);
}

}  // namespace vandrel::app
