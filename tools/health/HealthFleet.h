#pragma once
// Many servers asked side by side: each server's check runs in a process of its own (the
// data-access library keeps one ODBC environment per process and runs on one thread), at most
// Jobs at once, so that a run takes about as long as its slowest server rather than the sum.
// A check that outlives its bound is ended and its server counted unreachable: the driver
// does not always give up a login when its time-out passes (a server that accepts the
// connection and never answers holds it for good), so the login is bounded here as well.
#include <string>
#include <vector>

#include "tools/health/HealthRun.h"

namespace vandrel::healthtool {

// The longest the login may take (its time-out and a second), and after it the rest of the
// check (ten statements' time-outs).
int LoginBoundSeconds(const TCheckOptions& Options);
int StatementsBoundSeconds(const TCheckOptions& Options);

// The servers' checks, in the order of Servers.
std::vector<TServerHealth> CheckServers(const std::vector<std::string>& Servers, const TCheckOptions& Options, int Jobs);

}  // namespace vandrel::healthtool
