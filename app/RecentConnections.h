#pragma once
// The servers and users the connection dialog offers: the ones connected to before, newest
// first, kept in the user's registry store (never a password).
#include <string>
#include <vector>

namespace vandrel::app {

struct TRecentConnection {
  std::string Server, User;
  bool operator==(const TRecentConnection&) const = default;
};

// At most this many are kept.
constexpr int kRecentConnections = 10;

// Newest first; empty when none were kept or the store cannot be read.
std::vector<TRecentConnection> ReadRecentConnections();
// Puts Connection first (taking out its earlier place). A store that cannot be written is
// left as it is: the history never stands in the way of a connection.
void RememberConnection(const TRecentConnection& Connection);

}  // namespace vandrel::app
