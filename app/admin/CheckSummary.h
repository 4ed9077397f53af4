#pragma once
// What DBCC CHECKDB found, read from the server's messages by their numbers: the closing
// count for the database (8989), the count per table (8990) and for what belongs to no single
// object (8954), the minimum repair level (8958), and the errors themselves; and the account
// of it a technician can act on.
#include <QString>
#include <string>
#include <vector>

#include "app/ConnectFailure.h"

namespace vandrel::app::admin {

struct TCheckFindings {
  bool Counted = false;  // the server's closing count for the database arrived
  long long AllocationErrors = 0, ConsistencyErrors = 0;
  bool Repairing = false;  // the server said what its repair fixed
  long long FixedAllocation = 0, FixedConsistency = 0;
  std::vector<std::string> Objects;  // the tables with errors, as the server named them
  std::string MinimumLevel;          // REPAIR_FAST, REPAIR_REBUILD or REPAIR_ALLOW_DATA_LOSS
  int ErrorRecords = 0;              // the consistency errors among the records

  // Whether the messages are a check's account at all (else the statement failed otherwise).
  bool IsCheck() const { return Counted || !MinimumLevel.empty() || ErrorRecords > 0; }
  bool Clean() const { return Counted && AllocationErrors == 0 && ConsistencyErrors == 0 && ErrorRecords == 0; }
};

TCheckFindings ReadCheckFindings(const std::vector<TDriverRecord>& Records);

// The repair command of the main window for a level the server named ("Naprawa Full" for
// REPAIR_ALLOW_DATA_LOSS), or empty.
QString RepairCommandFor(const std::string& Level);

// The account of a check with errors: the counts, the objects, the minimum repair level with
// its command; or "Baza danych nie zawiera błędów".
QString CheckSummaryText(const TCheckFindings& Findings);

// What a repair statement fixed, as one sentence (empty when the server did not say).
QString RepairFixedText(const TCheckFindings& Findings);

// The server's messages one per line, as the check's full text when nothing failed.
QString MessagesText(const std::vector<TDriverRecord>& Records);

// A repair's messages one per line, as its account of what it repaired: every object number
// named by the table the server counted it under, the lines of the statements run between
// (the tool's own name look-ups) left out.
QString RepairAccountText(const std::vector<TDriverRecord>& Records);

}  // namespace vandrel::app::admin
