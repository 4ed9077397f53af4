#pragma once
// ListView1: the report-style list of the main window over its own model; grid lines,
// whole-row selection, read-only, sorted by a click on a column header, narrowed by a filter
// field above it; rows are selected one or many (Ctrl+A all), copied (Ctrl+C, with the
// header) and saved; a cut text shows whole in a tooltip.
#include <QTableView>
#include <string>
#include <vector>

#include "app/ListModel.h"

class QLineEdit;

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
  // Widens a column whose width was given to its longest text, never to its caption.
  void WidenColumnToTexts(int Column);
  // The selected row when exactly one is selected, else -1 (a command on "the selected
  // row" never guesses among several).
  int SelectedRow() const;
  // The selected rows, in the order shown.
  std::vector<int> SelectedRows() const;

  // A panel with the filter field above the list, put where the list was.
  QWidget* PanelWithFilter();
  QLineEdit* FilterEdit = nullptr;

  // The rows as text a spreadsheet pastes: values separated by tabs, a row per line, the
  // captions first when Header is set; the selected rows, or all shown when Selected is unset.
  QString RowsText(bool Header, bool Selected = true) const;
  void CopyRows(bool Header) const;
  // The rows shown with the captions first, as CSV (RFC 4180) with the Separator given.
  std::string CsvText(char Separator) const;
  // Whether Text is wider than the cells of Column show.
  bool CutInColumn(const QString& Text, int Column) const;

 signals:
  // A row chosen by the user (a click, the keyboard); fills of the list never send it.
  void RowSelected();

 protected:
  void keyPressEvent(QKeyEvent* Event) override;
  bool viewportEvent(QEvent* Event) override;

 private:
  void ApplyColumns();
  int SampleWidth(int Column, bool WithCaption = true) const;
  void WidenColumn(int Column, int Wanted);

  TListModel* FModel;
  int FSortColumn = -1;
  std::vector<int> FKeptWidths;  // the columns' widths across a change of the filter
  Qt::SortOrder FSortOrder = Qt::AscendingOrder;
};

}  // namespace vandrel::app
