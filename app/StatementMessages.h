#pragma once
// Everything the server said about one statement, for a command that tells the user itself
// what it means (the consistency check): every informational and error record in the order
// they came, and, when the statement failed, the SQL error report's text, which is then left
// to the command instead of being shown.
#include <string>
#include <vector>

#include "app/ConnectFailure.h"

namespace vandrel::app {

struct TStatementMessages {
  std::vector<TDriverRecord> Records;
  std::string Report;  // empty unless the statement failed and its report was kept
};

// How many records of one failed statement are kept: enough for a check of a badly damaged
// database, bounded so that a runaway stream of messages cannot exhaust memory.
inline constexpr int kKeptRecordLimit = 1000;

// "[SQLSTATE/native] message", the form of a statement's informational lines, as a record.
TDriverRecord RecordOfInfoLine(const std::string& Line);

}  // namespace vandrel::app
