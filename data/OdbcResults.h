#pragma once
// The results of one executed statement. SQL Server sends a batch, or a procedure, as a
// sequence of results (row counts, messages, rows), and an error that follows the first
// result reaches the client only when it moves on with SQLMoreResults. This reader judges
// the result of the execution and of every move, collects informational records where
// asked, keeps the first error found with all its records and raises it once the results
// have been read, so that a batch whose later statement failed is never reported as a
// success.
#include <sql.h>

#include <exception>
#include <vector>

#include "foundation/Exception.h"

namespace vandrel {

class TMOdbcHandle;
class TMOdbcLink;

class TMOdbcResults {
 public:
  // Code: the library's error code of a failed result. Info: where informational records
  // go, null when nobody collects them. Link: through whom the moves wait for the server
  // and to whom informational records are reported as they come; null: nobody.
  TMOdbcResults(const TMOdbcHandle& Statement, int Code, std::vector<AnsiString>* Info,
                TMOdbcLink* Link = nullptr)
      : FStatement(Statement), FCode(Code), FInfo(Info), FLink(Link) {}

  // Judges the return code of the call that produced the current result (the execution
  // or a move): an error is kept when it is the first, information is collected.
  void Take(SQLRETURN Rc);
  // Moves on to the next result (SQLMoreResults); false at the end of the results, with a
  // driver that has no further results, and after too many failed results to expect an
  // end (a connection that is gone).
  bool Next();
  // Reads every result that is left.
  void Drain() {
    while (Next()) {
    }
  }
  bool Failed() const { return static_cast<bool>(FFirstError); }
  // Raises the first error found, if any.
  void RaiseFirstError() const;

 private:
  // The move failed because the driver has no SQLMoreResults (IM001): a driver of
  // single results, whose one result has been read.
  bool Unsupported() const;

  const TMOdbcHandle& FStatement;
  int FCode;
  std::vector<AnsiString>* FInfo;
  TMOdbcLink* FLink;
  std::exception_ptr FFirstError;
  int FFailedResults = 0;
};

}  // namespace vandrel
