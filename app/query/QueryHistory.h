#pragma once
// The queries last run in the query window, kept per server in the user's registry store,
// newest first. A query that may hold a password (a login's creation, a password's change,
// a connection string) is never kept.
#include <string>
#include <vector>

namespace vandrel::app {

// At most this many are kept per server.
constexpr int kQueryHistory = 20;

// Whether Query may carry a password and so must not be kept.
bool MayHoldPassword(const std::string& Query);
// Newest first; empty when none were kept or the store cannot be read.
std::vector<std::string> ReadQueryHistory(const std::string& Server);
// Puts Query first (taking out its earlier place), unless it may hold a password or is
// blank. A store that cannot be written is left as it is.
void RememberQuery(const std::string& Server, const std::string& Query);

}  // namespace vandrel::app
