// vandrel-health --server S [--server S...] [--servers FILE] [--format table|csv|json]
//                [--prometheus FILE] [--user U] [--password-file FILE] [--jobs N] [--timeout S]
// Checks each server's health with read-only statements and prints a row per finding; the
// exit status tells a scheduler or a monitoring system the worst (tools/health/HealthCommand.h).
#include <iostream>
#include <string>
#include <vector>

#include "tools/health/HealthCommand.h"
#include "tools/health/HealthFleet.h"
#include "tools/health/HealthReport.h"
#include "tools/health/HealthRun.h"
#include "tools/health/PrometheusFile.h"
#include "tools/backup/ServerConnection.h"

int main(int argc, char** argv) {
  using namespace vandrel::healthtool;
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  if (!arguments.empty() && (arguments[0] == "--help" || arguments[0] == "-h")) {
    std::cout << UsageText();
    return kAllWell;
  }
  try {
    const HealthCommand command = ParseCommand(arguments);
    if (const std::string missing = vandrel::backup::MissingDriverText(); !missing.empty()) {
      std::cerr << "vandrel-health: " << missing << "\n";
      return kNoDriver;
    }
    TCheckOptions options;
    options.User = command.user;
    options.Password = vandrel::backup::ReadPasswordFrom(command.password_file, kPasswordVariable);
    if (command.timeout) options.LoginTimeout = options.QueryTimeout = *command.timeout;
    const std::vector<TServerHealth> servers = CheckServers(command.servers, options, command.jobs);
    WriteReport(servers, command.format, std::cout);
    if (command.prometheus_file) {
      std::string error;
      if (!WritePrometheusFile(*command.prometheus_file, servers, error))
        std::cerr << "vandrel-health: nie można zapisać " << *command.prometheus_file << ": " << error << "\n";
    }
    return ExitStatus(servers);
  } catch (const UsageError& e) {
    std::cerr << "vandrel-health: " << e.what() << "\n" << UsageText();
    return kUsage;
  }
}
