#pragma once
// Where the query window's batches put what they read: each result set into a new grid,
// whose first rows show at once and the rest in one insertion per turn while they arrive;
// the row counts and the server's messages into "Komunikaty", an error's line turned into
// the editor's line. Between fetches the window gets a turn: it paints and handles its
// events (its own "Przerwij", the main window's tree).
#include <QElapsedTimer>
#include <functional>
#include <string>

#include "app/query/BatchRunner.h"

namespace vandrel::app {

class TListView;
class TMessagesPane;
class TResultGrids;

class TResultSink : public TBatchSink {
 public:
  TResultSink(TResultGrids& Grids, TMessagesPane& Messages) : FGrids(Grids), FMessages(Messages) {}

  // A new run: counts start again.
  void Begin();
  // The editor's line (from 0) on which the running batch begins.
  void SetBatchLine(int Line) { FBatchLine = Line; }
  // The rows the grids received in this run.
  long long Rows() const { return FRows; }
  // Called with the database a USE of the script changed to (the server's message 5701).
  std::function<void(const std::string& Database)> OnDatabaseChanged;

  void BeginResult(const std::vector<TResultColumn>& Columns) override;
  void AppendRows(const TRowset& Rows) override;
  void EndResult() override;
  void RowsAffected(long long Rows) override;
  void Message(const TServerMessage& Message) override;
  void Turn() override;

 private:
  TResultGrids& FGrids;
  TMessagesPane& FMessages;
  TListView* FGrid = nullptr;
  std::vector<bool> FBinary;
  std::string FCell;  // a cell's text built from the driver's (0x..., a cut text)
  int FBatchLine = 0;
  long long FRows = 0;
  bool FFirstTurn = true;
  QElapsedTimer FClock;
  qint64 FNextTurn = 0;
};

}  // namespace vandrel::app
