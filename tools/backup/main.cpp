// vandrel-backup --server S [--user U] DATABASE... --to DIRECTORY [--keep N]
//                [--password-file FILE] [--log FILE]
// Backs up each database into DIRECTORY (on the server's disk) as DATABASE_YYYYMMDD.bak and
// prints one line per database; the exit status tells a scheduler what happened (see
// tools/backup/BackupCommand.h).
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "tools/backup/BackupCommand.h"
#include "app/BackupLog.h"
#include "tools/backup/BackupRun.h"
#include "tools/backup/ServerConnection.h"

int main(int argc, char** argv) {
  using namespace vandrel::backup;
  using vandrel::app::kExitLine;
  using vandrel::app::LogTime;
  using vandrel::app::TLoggedStream;
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
    std::ofstream log;
    if (command.log_file) {
      log.open(*command.log_file, std::ios::app);
      if (!log) throw UsageError("nie można dopisać do dziennika " + *command.log_file);
    }
    std::ostream* logged = command.log_file ? &log : nullptr;
    int status = kUsageOrConnection;
    {
      TLoggedStream outLines(std::cout, logged), errLines(std::cerr, logged);
      std::ostream out(&outLines), err(&errLines);
      try {
        status = RunBackups(command, ReadPassword(command), BackupDayToday(), out, err);
      } catch (const UsageError& e) {
        err << "vandrel-backup: " << e.what() << "\n";
      }
    }
    if (logged) log << LogTime() << " " << kExitLine << status << std::endl;
    return status;
  } catch (const UsageError& e) {
    std::cerr << "vandrel-backup: " << e.what() << "\n" << UsageText();
    return kUsageOrConnection;
  }
}
