#include "app/ListModel.h"

#include <QColor>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numeric>
#include <string>

#include "platform/base/Collation.h"
#include "platform/base/RegionalSettings.h"

namespace vandrel::app {
namespace {

// A number as the list shows it (the user's decimal separator); text that is no number
// sorts after every number.
double SortValue(std::string_view Text, char Separator) {
  std::string s(Text);
  std::erase(s, ' ');
  std::replace(s.begin(), s.end(), Separator, '.');
  char* end = nullptr;
  const double v = std::strtod(s.c_str(), &end);
  return s.empty() || end == s.c_str() ? HUGE_VAL : v;
}

}  // namespace

TListModel::TListModel(QObject* Parent) : QAbstractTableModel(Parent) {
  FReleaseTimer.setSingleShot(true);
  // Only chunks that no text uses go, so the release is safe at any moment.
  connect(&FReleaseTimer, &QTimer::timeout, this, [this] { FTextChunks.ReleaseUnused(); });
}

void TListModel::BeginFill(std::vector<TListColumn> Columns) {
  if (!FFilling) beginResetModel();
  FFilling = true;
  FStreaming = false;
  FColumns = std::move(Columns);
  ResetTexts();
  FOrder.clear();
  FRows = 0;
  if (!FFilter.isEmpty()) {
    FFilter.clear();
    FPassed.clear();
    emit FilterCleared();
  }
}

void TListModel::ResetTexts() {
  FTexts.clear();
  FNulls.clear();
  FReleaseTimer.stop();
  FTextChunks.Recycle();
  FTexts.reserve(FColumns.size());
  for (size_t c = 0; c < FColumns.size(); ++c) FTexts.emplace_back(&FTextChunks);
}

void TListModel::BeginStream(std::vector<TListColumn> Columns) {
  BeginFill(std::move(Columns));
  FFilling = false;
  FStreaming = true;
  endResetModel();
}

void TListModel::ShowAppended() {
  if (!FStreaming || FTexts.empty()) return;
  // A row shows once every column has its text.
  size_t complete = FTexts.front().Count();
  for (const TTextColumn& column : FTexts) complete = std::min(complete, column.Count());
  if (complete <= FRows) return;
  if (!FFilter.isEmpty()) {
    // Only the new rows that pass show, after those shown.
    const std::vector<std::uint32_t> added = PassingRows(FRows, complete);
    FRows = complete;
    if (added.empty()) return;
    const int shown = static_cast<int>(FPassed.size());
    beginInsertRows({}, shown, shown + static_cast<int>(added.size()) - 1);
    FPassed.insert(FPassed.end(), added.begin(), added.end());
    endInsertRows();
    return;
  }
  beginInsertRows({}, static_cast<int>(FRows), static_cast<int>(complete - 1));
  FRows = complete;
  endInsertRows();
}

void TListModel::AppendRow(std::initializer_list<std::string_view> Texts) {
  AppendRow(std::vector<std::string_view>(Texts));
}

void TListModel::AppendRow(const std::vector<std::string_view>& Texts) {
  for (size_t c = 0; c < FTexts.size(); ++c) FTexts[c].Append(c < Texts.size() ? Texts[c] : std::string_view());
}

void TListModel::AppendNullCell(int Column, std::string_view Text) {
  const auto c = static_cast<size_t>(Column);
  const size_t row = FTexts[c].Count();
  if (FNulls.size() < FTexts.size()) FNulls.resize(FTexts.size());
  std::vector<std::uint64_t>& bits = FNulls[c];
  if (bits.size() <= row / 64) bits.resize(row / 64 + 1);
  bits[row / 64] |= std::uint64_t{1} << (row % 64);
  FTexts[c].Append(Text);
}

bool TListModel::IsNull(int Row, int Column) const {
  if (FNulls.empty() || Row < 0 || Row >= Rows() || Column < 0 || static_cast<size_t>(Column) >= FNulls.size())
    return false;
  const size_t source = SourceRow(Row);
  const std::vector<std::uint64_t>& bits = FNulls[static_cast<size_t>(Column)];
  return source / 64 < bits.size() && (bits[source / 64] >> (source % 64) & 1) != 0;
}

void TListModel::EndFill(bool Keep) {
  if (!Filling()) return;
  // A streamed fill has shown its rows; one that failed takes them back in one reset.
  const bool reset = FFilling || !Keep;
  if (FStreaming && reset) beginResetModel();
  if (!Keep) {
    ResetTexts();
    FRows = 0;
    FPassed.clear();
  }
  const size_t rows = FTexts.empty() ? 0 : FTexts.front().Count();
  for (TTextColumn& column : FTexts) {
    while (column.Count() < rows) column.Append({});
    column.Compact();
  }
  if (reset)
    FRows = rows;
  else
    ShowAppended();
  FFilling = FStreaming = false;
  if (reset) endResetModel();
  ReleaseUnusedTexts();
}

void TListModel::ReleaseUnusedTexts() {
  if (FRows == 0)
    FReleaseTimer.start(KeepTextsMs);
  else
    FTextChunks.ReleaseUnused();
}

void TListModel::Clear() {
  BeginFill({});
  EndFill();
}

void TListModel::SetColumnWidth(int Column, int Width) {
  if (Column >= 0 && Column < static_cast<int>(FColumns.size())) FColumns[static_cast<size_t>(Column)].Width = Width;
}

std::string_view TListModel::Text(int Row, int Column) const {
  if (Row < 0 || Row >= Rows() || Column < 0 || static_cast<size_t>(Column) >= FTexts.size())
    return {};
  return FTexts[static_cast<size_t>(Column)].At(SourceRow(Row));
}

size_t TListModel::MemoryBytes() const {
  size_t bytes = FOrder.capacity() * sizeof(std::uint32_t) + FTextChunks.GetReservedBytes();
  for (const TTextColumn& column : FTexts) bytes += column.MemoryBytes();
  return bytes;
}

int TListModel::rowCount(const QModelIndex& Parent) const {
  return Parent.isValid() || FFilling ? 0 : Rows();
}

int TListModel::columnCount(const QModelIndex& Parent) const {
  return Parent.isValid() ? 0 : static_cast<int>(FColumns.size());
}

QVariant TListModel::data(const QModelIndex& Index, int Role) const {
  if (!Index.isValid() || FFilling) return {};
  if (Role == Qt::DisplayRole) {
    const std::string_view text = Text(Index.row(), Index.column());
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  }
  if (Role == Qt::TextAlignmentRole) return QVariant::fromValue(FColumns[static_cast<size_t>(Index.column())].Alignment);
  if (Role == Qt::ForegroundRole && IsNull(Index.row(), Index.column())) return QColor(Qt::gray);
  if (Role == Qt::DecorationRole && FColumns[static_cast<size_t>(Index.column())].Icon)
    return FColumns[static_cast<size_t>(Index.column())].Icon(Text(Index.row(), Index.column()));
  return {};
}

QVariant TListModel::headerData(int Section, Qt::Orientation Orientation, int Role) const {
  if (Orientation != Qt::Horizontal || Section < 0 || Section >= static_cast<int>(FColumns.size())) return {};
  const TListColumn& column = FColumns[static_cast<size_t>(Section)];
  if (Role == Qt::DisplayRole) return column.Caption;
  if (Role == Qt::TextAlignmentRole) return QVariant::fromValue(column.Alignment);
  return {};
}

void TListModel::sort(int Column, Qt::SortOrder Order) {
  if (FFilling) return;
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  const QModelIndexList before = persistentIndexList();
  std::vector<size_t> sources;
  sources.reserve(static_cast<size_t>(before.size()));
  for (const QModelIndex& index : before) sources.push_back(SourceRow(index.row()));

  if (Column < 0 || static_cast<size_t>(Column) >= FTexts.size()) {
    FOrder.clear();
    FOrder.shrink_to_fit();
  } else {
    FOrder.resize(FRows);
    std::iota(FOrder.begin(), FOrder.end(), 0u);
    const TTextColumn& texts = FTexts[static_cast<size_t>(Column)];
    const bool descending = Order == Qt::DescendingOrder;
    if (FColumns[static_cast<size_t>(Column)].Numeric) {
      const char separator = platform::RegionalSettings().DecimalSeparator;
      std::vector<double> values(FRows);
      for (size_t r = 0; r < FRows; ++r) values[r] = SortValue(texts.At(r), separator);
      std::stable_sort(FOrder.begin(), FOrder.end(), [&](std::uint32_t a, std::uint32_t b) {
        return descending ? values[b] < values[a] : values[a] < values[b];
      });
    } else {
      std::stable_sort(FOrder.begin(), FOrder.end(), [&](std::uint32_t a, std::uint32_t b) {
        const std::string x(texts.At(a)), y(texts.At(b));
        return descending ? platform::CollateCompareText(y, x) < 0 : platform::CollateCompareText(x, y) < 0;
      });
    }
  }

  if (!FFilter.isEmpty()) FPassed = PassingRows(0, FRows);
  // The selection and the current row stay on the rows they were on.
  std::vector<std::uint32_t> shownAt(FRows);
  for (int r = 0; r < Rows(); ++r) shownAt[SourceRow(r)] = static_cast<std::uint32_t>(r);
  QModelIndexList after;
  for (qsizetype i = 0; i < before.size(); ++i)
    after.append(index(static_cast<int>(shownAt[sources[static_cast<size_t>(i)]]), before[i].column()));
  changePersistentIndexList(before, after);
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

bool TListModel::Passes(size_t Source) const {
  for (const TTextColumn& column : FTexts) {
    const std::string_view text = column.At(Source);
    if (QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).contains(FFilter, Qt::CaseInsensitive))
      return true;
  }
  return false;
}

std::vector<std::uint32_t> TListModel::PassingRows(size_t From, size_t To) const {
  std::vector<std::uint32_t> passing;
  for (size_t shown = From; shown < To; ++shown)
    if (const size_t source = OrderedRow(shown); Passes(source)) passing.push_back(static_cast<std::uint32_t>(source));
  return passing;
}

void TListModel::SetFilter(const QString& Text) {
  if (Text == FFilter || FFilling) return;
  FRefiltering = true;
  beginResetModel();
  FFilter = Text;
  FPassed = FFilter.isEmpty() ? std::vector<std::uint32_t>() : PassingRows(0, FRows);
  endResetModel();
  FRefiltering = false;
}

}  // namespace vandrel::app
