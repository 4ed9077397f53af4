#pragma once
// One server's check by vandrel-health: connect with the program's own link, read the facts
// with read-only statements, judge them. A server that cannot be reached says why.
#include <string>
#include <vector>

#include "app/health/HealthFacts.h"
#include "app/health/HealthRules.h"

namespace vandrel::healthtool {

struct TServerHealth {
  std::string Server;
  bool Reachable = false;
  std::string Error;  // why not, in the server's or the driver's words
  health::TServerFacts Facts;
  std::vector<health::TFinding> Findings;
};

TServerHealth CheckServer(const std::string& Server, const std::string& User, const std::string& Password);

// The exit status of a run over these servers (see HealthCommand.h).
int StatusOf(const TServerHealth& Server);
int ExitStatus(const std::vector<TServerHealth>& Servers);

}  // namespace vandrel::healthtool
