// vandrel-backup --server S [--user U] DATABASE... --to DIRECTORY [--keep N]
//                [--password-file FILE]
// Backs up each database into DIRECTORY (on the server's disk) as DATABASE_YYYYMMDD.bak and
// prints one line per database; the exit status tells a scheduler what happened (see
// tools/backup/BackupCommand.h).
#include <iostream>
#include <string>
#include <vector>

#include "tools/backup/BackupCommand.h"
#include "tools/backup/BackupRun.h"
#include "tools/backup/ServerConnection.h"

int main(int argc, char** argv) {
  using namespace vandrel::backup;
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  if (!arguments.empty() && (arguments[0] == "--help" || arguments[0] == "-h")) {
    std::cout << UsageText();
    return kAllDone;
  }
  try {
    const BackupCommand command = ParseCommand(arguments);
    if (const std::string missing = MissingDriverText(); !missing.empty()) {
      std::cerr << "vandrel-backup: " << missing << "\n";
      return kNoDriver;
    }
    const std::string password = ReadPassword(command);
    return RunBackups(command, password, BackupDayToday(), std::cout, std::cerr);
  } catch (const UsageError& e) {
    std::cerr << "vandrel-backup: " << e.what() << "\n" << UsageText();
    return kUsageOrConnection;
  }
}
