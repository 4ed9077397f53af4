#pragma once
// One batch of the query window run on the window's own link, its results read one after
// another as the server sends them: each result with columns as rows of texts (bound as
// the driver's text, a few hundred rows a fetch), each row count, and every message of the
// server in order. Every call that waits for the server goes through the link's
// OnStatementWait, so the window keeps handling its events and "Przerwij" reaches it.
#include <sql.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/query/ServerMessages.h"

namespace vandrel {
class TMOdbcHandle;
class TMOdbcLink;
}

namespace vandrel::app {

class TDriverDiagnostics;

struct TResultColumn {
  std::string Name;
  bool Numeric = false;
  bool Binary = false;  // shown as 0x followed by its hexadecimal digits
  SQLLEN Width = 0;     // bytes of one element, the terminator included
  std::unique_ptr<char[]> Data;
  std::unique_ptr<SQLLEN[]> Indicators;
};

// One cell of a fetched rowset.
struct TResultCell {
  std::string_view Text;  // the driver's text (for binary: the digits alone)
  bool Null = false;
  bool Cut = false;  // longer than the element: Text is its beginning
};

// The rows of one fetch.
class TRowset {
 public:
  // A text longer than its element of Width bytes (or of a length the driver does not
  // know): the element holds its beginning, terminated.
  static TResultCell CutCell(const char* Text, SQLLEN Width);

  TRowset(const std::vector<TResultColumn>& Columns, int Rows) : FColumns(Columns), FRows(Rows) {}
  int Rows() const { return FRows; }
  int Columns() const { return static_cast<int>(FColumns.size()); }
  TResultCell Cell(int Row, int Column) const {
    const TResultColumn& c = FColumns[static_cast<size_t>(Column)];
    const SQLLEN ind = c.Indicators[static_cast<size_t>(Row)];
    if (ind == SQL_NULL_DATA) return {{}, true, false};
    const char* text = c.Data.get() + static_cast<size_t>(Row) * static_cast<size_t>(c.Width);
    if (ind >= 0 && ind < c.Width) return {{text, static_cast<size_t>(ind)}, false, false};
    return CutCell(text, c.Width);
  }

 private:
  const std::vector<TResultColumn>& FColumns;
  int FRows;
};

// Where the results go, on the link's thread.
class TBatchSink {
 public:
  virtual ~TBatchSink() = default;
  virtual void BeginResult(const std::vector<TResultColumn>& Columns) = 0;
  virtual void AppendRows(const TRowset& Rows) = 0;
  virtual void EndResult() = 0;
  // A statement's count of rows (none under SET NOCOUNT ON, or for a statement that touches
  // no rows).
  virtual void RowsAffected(long long Rows) = 0;
  virtual void Message(const TServerMessage& Message) = 0;
  // Between fetches: the window's turn to paint and handle its events.
  virtual void Turn() = 0;
};

enum class TBatchEnd { Done, Stopped, ConnectionLost };

class TBatchRunner {
 public:
  TBatchRunner(TMOdbcLink& Link, TBatchSink& Sink) : FLink(Link), FSink(Sink) {}

  // Runs Text once as one batch. Errors of its statements are messages; the end says
  // whether the run may go on. A statement that cannot be made at all raises EMOdbcError.
  TBatchEnd Run(const std::string& Text);
  // Asks the running batch to end at its next step (the call waiting for the server is
  // cancelled by the link's waiter).
  void Stop() { FStop = true; }
  bool StopAsked() const { return FStop; }
  // Makes the next Run start afresh.
  void Reset() { FStop = false; }

 private:
  // Reports the statement's messages; false when they say the run must end.
  bool TakeMessages();
  bool Report(const std::vector<TServerMessage>& Messages);
  // Reads the rows of the current result; false when the run must end.
  bool ReadRows(const TMOdbcHandle& Statement, int Columns);
  void TakeRowCount(SQLHSTMT Statement);

  TMOdbcLink& FLink;
  TBatchSink& FSink;
  bool FStop = false;
  TBatchEnd FEnd = TBatchEnd::Done;
  const TDriverDiagnostics* FDiagnostics = nullptr;  // the running statement's
};

}  // namespace vandrel::app
