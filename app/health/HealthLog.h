#pragma once
// The server's error log as the checks read it: SQL Server 2000's xp_readerrorlog gives each
// line as one text that begins with its date ("2007-04-01 22:00:00.12 spid52   Error: 823,
// Severity: 24, State: 2"); SQL Server 2005's gives the date, the process and the text in
// columns. Of either only the entries a check weighs are kept.
#include <string>
#include <vector>

#include "app/health/HealthFacts.h"
#include "app/health/HealthRead.h"

namespace vandrel::health {

// A failed login's number: its entries are counted, not reported one by one.
constexpr int kLoginFailedError = 18456;

// The errors the log check reports whatever their severity.
bool WatchedLogError(int Error);

// The entries of Rows from Since on ("YYYY-MM-DD hh:mm:ss"), oldest first as the log has them.
std::vector<TLogEntry> LogEntriesOf(const THealthRows& Rows, const std::string& Since);

// A date and time as a cell shows it (ISO, or in the regional settings' order of day, month
// and year) as "YYYY-MM-DD hh:mm:ss"; "" when it is none.
std::string NormalTime(const std::string& Text);

}  // namespace vandrel::health
