#include "app/ListView.h"

#include <QApplication>
#include <QClipboard>
#include <QFontMetrics>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QToolTip>
#include <QVBoxLayout>
#include <algorithm>
#include <numeric>
#include <vector>

namespace vandrel::app {

TListView::TListView(QWidget* Parent) : QTableView(Parent), FModel(new TListModel(this)) {
  setModel(FModel);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
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
  // The filter's reset keeps the columns as the user left them and the sort order shown.
  connect(FModel, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
    FKeptWidths.clear();
    if (FModel->Refiltering())
      for (int c = 0; c < ColumnCount(); ++c) FKeptWidths.push_back(columnWidth(c));
  });
  connect(FModel, &QAbstractItemModel::modelReset, this, [this] {
    if (FModel->Refiltering()) {
      for (size_t c = 0; c < FKeptWidths.size(); ++c) setColumnWidth(static_cast<int>(c), FKeptWidths[c]);
      if (FSortColumn >= 0) horizontalHeader()->setSortIndicator(FSortColumn, FSortOrder);
      return;
    }
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
constexpr int kCellMargins = 8;  // the text's margins inside its cell
}

int TListView::SampleWidth(int Column, bool WithCaption) const {
  constexpr int kFirstRows = 100, kSpreadRows = 100;
  const int rows = RowCount();
  const QFontMetrics text = fontMetrics(), caption(horizontalHeader()->font());
  int width = WithCaption ? caption.horizontalAdvance(Caption(Column)) + 2 * kPadding : 0;  // room for the sort mark
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

void TListView::WidenColumnToSample(int Column) { WidenColumn(Column, SampleWidth(Column)); }

void TListView::WidenColumnToTexts(int Column) {
  WidenColumn(Column, SampleWidth(Column, false) - kPadding + kCellMargins);  // only as far as no text is cut
}

void TListView::WidenColumn(int Column, int Wanted) {
  // Never wider than most of the list: a longer text shows whole in its tooltip.
  const int limit = std::max(kMaxWidth, viewport()->width() * 3 / 4);
  const int width = std::max(columnWidth(Column), std::min(Wanted, limit));
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
  return rows.size() == 1 ? rows.first().row() : -1;
}

std::vector<int> TListView::SelectedRows() const {
  std::vector<int> rows;
  for (const QModelIndex& index : selectionModel()->selectedRows()) rows.push_back(index.row());
  std::sort(rows.begin(), rows.end());
  return rows;
}

QWidget* TListView::PanelWithFilter() {
  auto* panel = new QWidget(parentWidget());
  panel->setObjectName("ListPanel");
  FilterEdit = new QLineEdit(panel);
  FilterEdit->setObjectName("ListFilter");
  FilterEdit->setPlaceholderText(QStringLiteral("Filtr: wpisz tekst, aby zawęzić listę"));
  FilterEdit->setClearButtonEnabled(true);
  auto* layout = new QVBoxLayout(panel);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  layout->addWidget(FilterEdit);
  layout->addWidget(this);
  connect(FilterEdit, &QLineEdit::textChanged, FModel, &TListModel::SetFilter);
  // A new list starts unfiltered, and its field says so.
  connect(FModel, &TListModel::FilterCleared, FilterEdit, [this] {
    const QSignalBlocker quiet(FilterEdit);
    FilterEdit->clear();
  });
  return panel;
}

namespace {

// A value kept on its line and in its cell of pasted text.
QString PastedValue(QString Text) {
  for (QChar& c : Text)
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  return Text;
}

std::string CsvValue(std::string Text, char Separator) {
  if (Text.find_first_of(std::string("\"\r\n") + Separator) == std::string::npos) return Text;
  std::string quoted = "\"";
  for (char c : Text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

}  // namespace

QString TListView::RowsText(bool Header, bool Selected) const {
  std::vector<int> rows = SelectedRows();
  if (!Selected) {
    rows.resize(static_cast<size_t>(RowCount()));
    std::iota(rows.begin(), rows.end(), 0);
  }
  QStringList lines;
  const auto line = [this](const auto& Value) {
    QStringList values;
    for (int c = 0; c < ColumnCount(); ++c) values << PastedValue(Value(c));
    return values.join('\t');
  };
  if (Header) lines << line([this](int c) { return Caption(c); });
  for (int r : rows) lines << line([this, r](int c) { return Text(r, c); });
  return lines.isEmpty() ? QString() : lines.join('\n') + '\n';
}

void TListView::CopyRows(bool Header) const {
  if (SelectedRows().empty()) return;
  QApplication::clipboard()->setText(RowsText(Header));
}

std::string TListView::CsvText(char Separator) const {
  std::string csv;
  const auto line = [&](const auto& Value) {
    for (int c = 0; c < ColumnCount(); ++c) csv += (c ? std::string(1, Separator) : "") + CsvValue(Value(c), Separator);
    csv += "\r\n";
  };
  line([this](int c) { return Caption(c).toStdString(); });
  for (int r = 0; r < RowCount(); ++r) line([this, r](int c) { return std::string(FModel->Text(r, c)); });
  return csv;
}

void TListView::keyPressEvent(QKeyEvent* Event) {
  if (Event->matches(QKeySequence::Copy)) return CopyRows(true);
  QTableView::keyPressEvent(Event);
}

bool TListView::viewportEvent(QEvent* Event) {
  if (Event->type() != QEvent::ToolTip) return QTableView::viewportEvent(Event);
  // Only a text the column cuts shows a tooltip: the whole text.
  const auto* help = static_cast<QHelpEvent*>(Event);
  const QModelIndex index = indexAt(help->pos());
  const QString text = index.isValid() ? Text(index.row(), index.column()) : QString();
  if (!text.isEmpty() && CutInColumn(text, index.column()))
    QToolTip::showText(help->globalPos(), text, viewport(), visualRect(index));
  else
    QToolTip::hideText();
  return true;
}

bool TListView::CutInColumn(const QString& Text, int Column) const {
  return fontMetrics().horizontalAdvance(Text) + kCellMargins > columnWidth(Column);
}

}  // namespace vandrel::app
