#pragma once
// ListView1: the report-style list of the main window over its own model; grid lines,
// whole-row selection, read-only, sorted by a click on a column header.
#include <QTableView>
#include <string>

#include "app/ListModel.h"

namespace vandrel::app {

class TListView : public QTableView {
  Q_OBJECT
 public:
  explicit TListView(QWidget* Parent = nullptr);

  TListModel* Model() const { return FModel; }
  int RowCount() const { return FModel->Rows(); }
  int ColumnCount() const { return FModel->columnCount(); }
  QString Caption(int Column) const;
  QString Text(int Row, int Column) const;
  // Automatic widths: each column as wide as its caption and the widest of a sample of its
  // texts (the first rows and rows spread over the rest), within bounds that keep a few
  // columns on screen.
  void FitColumnsToSample();
  // Column as wide as its caption and the widest of that sample, never narrower than it is.
  void WidenColumnToSample(int Column);
  // The selected row, -1 when none is selected.
  int SelectedRow() const;

 signals:
  // A row chosen by the user (a click, the keyboard); fills of the list never send it.
  void RowSelected();

 private:
  void ApplyColumns();
  int SampleWidth(int Column) const;

  TListModel* FModel;
  int FSortColumn = -1;
  Qt::SortOrder FSortOrder = Qt::AscendingOrder;
};

}  // namespace vandrel::app
