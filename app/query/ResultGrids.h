#pragma once
// The results of a run in the query window: one grid ("Wyniki") per result set, each the
// detail list's own list view (copy, copy with header, CSV, filter), one under another.
#include <QWidget>
#include <vector>

class QSplitter;

namespace vandrel::app {

class TListView;

class TResultGrids : public QWidget {
  Q_OBJECT
 public:
  explicit TResultGrids(QWidget* Parent = nullptr);

  // A new grid under the others, empty.
  TListView* AddGrid();
  // Takes every grid away.
  void Clear();
  int Count() const { return static_cast<int>(FGrids.size()); }
  TListView* Grid(int Index) const { return FGrids.at(static_cast<size_t>(Index)); }

 private:
  void ShowMenu(TListView* Grid, const QPoint& At);

  QSplitter* FSplitter;
  std::vector<TListView*> FGrids;
};

}  // namespace vandrel::app
