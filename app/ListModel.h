#pragma once
// The rows of the detail list: the texts of each column kept column by column (no object per
// row), the columns' captions, widths and alignments, and an order of the rows for sorting.
// A display fills it between BeginFill and EndFill; views see one reset, or, for a fill
// begun with BeginStream, the columns at once and the rows in chunks as ShowAppended
// publishes them. A new fill reuses the memory of the texts it replaces: what it does not
// need goes back at its end, or a moment after the list was emptied.
#include <QAbstractTableModel>
#include <QTimer>
#include <string_view>
#include <vector>

#include "app/TextColumn.h"

namespace vandrel::app {

struct TListColumn {
  QString Caption;
  int Width = 100;
  Qt::Alignment Alignment = Qt::AlignLeft | Qt::AlignVCenter;
  // Sorted by value, not by text (numbers as the user reads them).
  bool Numeric = false;
  // The last column sized to its caption takes the rest of the list's width, as a report
  // list does with such a column, so its values are not cut at the caption's width.
  bool FillsRest = false;
  // An icon drawn before a cell's text, chosen by the text (null: none).
  QVariant (*Icon)(std::string_view Text) = nullptr;
};

class TListModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  explicit TListModel(QObject* Parent = nullptr);

  // Empties the list and gives it these columns (none: an empty list without columns).
  void BeginFill(std::vector<TListColumn> Columns);
  // One row: the texts of its columns from the first on; missing ones stay empty.
  void AppendRow(std::initializer_list<std::string_view> Texts);
  void AppendRow(const std::vector<std::string_view>& Texts);
  // The next text of one column; every column must get one per row before EndFill.
  void AppendCell(int Column, std::string_view Text) { FTexts[static_cast<size_t>(Column)].Append(Text); }
  // The next text of one column standing for no value (a NULL): shown in grey.
  void AppendNullCell(int Column, std::string_view Text);
  // Whether the text of a row (in the current order) stands for no value.
  bool IsNull(int Row, int Column) const;
  // Empties the list and gives it these columns, which views show at once; rows appended
  // from now on show at each ShowAppended (one insertion of all of them) and at EndFill.
  void BeginStream(std::vector<TListColumn> Columns);
  // Shows the whole rows appended since the last call.
  void ShowAppended();
  // Ends a fill; with Keep false the rows added so far are dropped (a fill that failed).
  void EndFill(bool Keep = true);
  // Between BeginFill or BeginStream and EndFill: the list is neither sorted nor selected.
  bool Filling() const { return FFilling || FStreaming; }
  void Clear();

  const std::vector<TListColumn>& Columns() const { return FColumns; }
  void SetColumnWidth(int Column, int Width);
  // The rows shown (those the filter lets through).
  int Rows() const { return FFilter.isEmpty() ? static_cast<int>(FRows) : static_cast<int>(FPassed.size()); }
  // The text of a row as shown (row in the current order).
  std::string_view Text(int Row, int Column) const;
  // How long an emptied list keeps the memory of its texts for the next fill, in milliseconds.
  int KeepTextsMs = 2000;
  // The bytes that the texts and their index take on the heap.
  size_t MemoryBytes() const;

  int rowCount(const QModelIndex& Parent = {}) const override;
  int columnCount(const QModelIndex& Parent = {}) const override;
  QVariant data(const QModelIndex& Index, int Role) const override;
  QVariant headerData(int Section, Qt::Orientation Orientation, int Role) const override;
  // A negative column restores the order of the rows as they came.
  void sort(int Column, Qt::SortOrder Order = Qt::AscendingOrder) override;

  // Shows only the rows with Text in one of their columns (any case); an empty text shows all.
  // Every new fill shows all rows again.
  void SetFilter(const QString& Text);
  const QString& Filter() const { return FFilter; }
  // While the filter changes the rows shown: a reset that keeps the columns and the order.
  bool Refiltering() const { return FRefiltering; }
  // The rows the filter lets through, before it: how many rows the list holds.
  int AllRows() const { return static_cast<int>(FRows); }

 signals:
  // A new fill dropped the filter.
  void FilterCleared();

 private:
  size_t SourceRow(int Row) const {
    if (!FFilter.isEmpty()) return FPassed[static_cast<size_t>(Row)];
    return OrderedRow(static_cast<size_t>(Row));
  }
  // Rows streamed in after a sort follow the sorted ones as they came.
  size_t OrderedRow(size_t Shown) const { return Shown < FOrder.size() ? FOrder[Shown] : Shown; }
  bool Passes(size_t Source) const;
  // The rows From to To (in the current order, To excluded) that pass the filter.
  std::vector<std::uint32_t> PassingRows(size_t From, size_t To) const;

  // Empties the texts, making one column for each of FColumns; their memory stays for the
  // texts that come next.
  void ResetTexts();
  // After a fill: the memory the texts no longer use goes now, or, when the list is empty, a
  // moment later unless a new fill takes it first (a refresh empties the list, then fills it).
  void ReleaseUnusedTexts();

  std::vector<TListColumn> FColumns;
  TMRowsetArena FTextChunks;  // the columns' chunks past their first few; outlives FTexts
  QTimer FReleaseTimer;
  std::vector<TTextColumn> FTexts;
  // Per column, a bit per row as it came: the text stands for no value; empty: none does.
  std::vector<std::vector<std::uint64_t>> FNulls;
  std::vector<std::uint32_t> FOrder;  // shown row -> row as it came; empty: as they came
  QString FFilter;
  bool FRefiltering = false;
  std::vector<std::uint32_t> FPassed;  // with a filter: shown row -> row as it came
  size_t FRows = 0;
  bool FFilling = false;    // rows hidden until EndFill
  bool FStreaming = false;  // rows shown as they are published
};

}  // namespace vandrel::app
