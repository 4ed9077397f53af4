#pragma once
// One server's check by vandrel-health: connect with the program's own link, read the facts
// with read-only statements, judge them. A server that cannot be reached, or that refuses the
// login, says why.
#include <functional>
#include <string>
#include <vector>

#include "app/health/HealthFacts.h"
#include "app/health/HealthRules.h"

namespace vandrel::healthtool {

enum class TReach { rsReached, rsRefused, rsUnreachable };

struct TServerHealth {
  std::string Server;
  TReach Reach = TReach::rsUnreachable;
  std::string Error;  // why not, in the server's or the driver's words
  health::TServerFacts Facts;
  std::vector<health::TFinding> Findings;

  bool Reachable() const { return Reach == TReach::rsReached; }
};

struct TCheckOptions {
  std::string User = "sa";
  std::string Password;
  int LoginTimeout = 15;  // seconds
  int QueryTimeout = 60;  // seconds, each statement
  // Called once the server has taken the login, before the first statement.
  std::function<void()> OnConnected;
};

TServerHealth CheckServer(const std::string& Server, const TCheckOptions& Options);

// The stable identifier of a server that was not checked: "unreachable" or "login_refused".
const char* ReachCheck(TReach Reach);

// The exit status of a run over these servers (see HealthCommand.h).
int StatusOf(const TServerHealth& Server);
int ExitStatus(const std::vector<TServerHealth>& Servers);

}  // namespace vandrel::healthtool
