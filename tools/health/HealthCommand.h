#pragma once
// The command line of vandrel-health: the servers to check (--server repeated, or a file
// with one a line), the login, the output format and an optional Prometheus file. The
// password comes as vandrel-backup takes its own: from VANDREL_HEALTH_PASSWORD or a file
// only its owner may read (--password-file), never from the command line.
#include <optional>
#include <string>
#include <vector>

#include "tools/backup/BackupCommand.h"

namespace vandrel::healthtool {

// Exit statuses a scheduler or a monitoring system acts on: the worst of all servers.
constexpr int kAllWell = 0;
constexpr int kWarnings = 1;
constexpr int kErrors = 2;
constexpr int kUnreachable = 3;   // some server could not be reached (the others were checked)
constexpr int kUsage = 4;         // the command line cannot be run; nothing was checked
constexpr int kLoginRefused = 5;  // some server refused the login (the others were checked)
constexpr int kNoDriver = 6;      // no SQL Server ODBC driver on this machine; nothing was checked
// The worst status of a run is the one latest in this order; the command line is judged
// before any server, so kUsage never meets the others.
constexpr int kStatusOrder[] = {kAllWell, kWarnings, kErrors, kLoginRefused, kUnreachable};
// Whether status A is worse than B by that order.
bool WorseStatus(int A, int B);

constexpr const char* kPasswordVariable = "VANDREL_HEALTH_PASSWORD";

enum class TFormat { fmTable, fmCsv, fmJson };

struct HealthCommand {
  std::vector<std::string> servers;  // in the order given, the file's after the options'
  std::string user = "sa";
  TFormat format = TFormat::fmTable;
  std::optional<std::string> password_file;
  std::optional<std::string> prometheus_file;
  int jobs = 16;  // servers asked at once
  // The login and query time-out of each server, in seconds; empty: the defaults of
  // CheckServer.
  std::optional<int> timeout;
};

using backup::UsageError;

const char* UsageText();
// Reads --servers files as it goes; a missing file is a UsageError.
HealthCommand ParseCommand(const std::vector<std::string>& arguments);
// The servers of a file: one a line, blank lines and lines starting with "#" skipped, and
// "#" after a name starting a comment.
std::vector<std::string> ServersOfText(const std::string& Text);

}  // namespace vandrel::healthtool
