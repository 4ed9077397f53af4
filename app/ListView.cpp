#include "app/ListView.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <algorithm>
#include <vector>

namespace vandrel::app {

TListView::TListView(QWidget* Parent) : QTableView(Parent), FModel(new TListModel(this)) {
  setModel(FModel);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setShowGrid(true);
  setWordWrap(false);
  setCornerButtonEnabled(false);
  verticalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  horizontalHeader()->setStretchLastSection(false);
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setSectionsClickable(true);
  horizontalHeader()->setSortIndicatorShown(false);
  // A click on a header sorts by that column; a second click on it turns the order round.
  connect(horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int Column) {
    FSortOrder = Column == FSortColumn && FSortOrder == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    FSortColumn = Column;
    horizontalHeader()->setSortIndicatorShown(true);
    horizontalHeader()->setSortIndicator(Column, FSortOrder);
    FModel->sort(Column, FSortOrder);
  });
  connect(FModel, &QAbstractItemModel::modelReset, this, [this] {
    FSortColumn = -1;
    horizontalHeader()->setSortIndicatorShown(false);
    ApplyColumns();
  });
  connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this](const QItemSelection& Selected) {
            if (!FModel->Filling() && !Selected.isEmpty()) emit RowSelected();
          });
}

void TListView::ApplyColumns() {
  const auto& columns = FModel->Columns();
  for (int c = 0; c < static_cast<int>(columns.size()); ++c) setColumnWidth(c, columns[static_cast<size_t>(c)].Width);
  horizontalHeader()->setStretchLastSection(!columns.empty() && columns.back().FillsRest);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
}

namespace {
constexpr int kMinWidth = 40, kMaxWidth = 400, kPadding = 16;
}

int TListView::SampleWidth(int Column) const {
  constexpr int kFirstRows = 100, kSpreadRows = 100;
  const int rows = RowCount();
  const QFontMetrics text = fontMetrics(), caption(horizontalHeader()->font());
  int width = caption.horizontalAdvance(Caption(Column)) + 2 * kPadding;  // room for the sort mark
  const auto measure = [&](int Row) { width = std::max(width, text.horizontalAdvance(Text(Row, Column)) + kPadding); };
  for (int r = 0; r < std::min(rows, kFirstRows); ++r) measure(r);
  if (rows > kFirstRows)
    for (int i = 1; i <= kSpreadRows; ++i)
      measure(kFirstRows + static_cast<int>((static_cast<long long>(rows - kFirstRows) * i - 1) / kSpreadRows));
  return width;
}

void TListView::FitColumnsToSample() {
  for (int c = 0; c < ColumnCount(); ++c) {
    const int width = std::clamp(SampleWidth(c), kMinWidth, kMaxWidth);
    FModel->SetColumnWidth(c, width);
    setColumnWidth(c, width);
  }
}

void TListView::WidenColumnToSample(int Column) {
  const int width = std::max(columnWidth(Column), SampleWidth(Column));
  FModel->SetColumnWidth(Column, width);
  setColumnWidth(Column, width);
}

QString TListView::Caption(int Column) const {
  return FModel->headerData(Column, Qt::Horizontal, Qt::DisplayRole).toString();
}

QString TListView::Text(int Row, int Column) const {
  const std::string_view text = FModel->Text(Row, Column);
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

int TListView::SelectedRow() const {
  const QModelIndexList rows = selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.first().row();
}

}  // namespace vandrel::app
