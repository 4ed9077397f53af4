#pragma once
// One run of vandrel-backup: connect once, back up each database into its file of the day
// (WITH INIT, so a second run on the same day replaces that day's file), and after each
// backup that succeeded remove that database's oldest files beyond the number kept. A
// database that fails leaves its older files alone and the others still go on.
#include <ostream>
#include <string>

#include "tools/backup/BackupCommand.h"

namespace vandrel::backup {

// Day: the day the files are named for ("YYYYMMDD"). Returns the exit status; one line per
// database goes to Out, a connection failure to Err.
int RunBackups(const BackupCommand& Command, const std::string& Password, const std::string& Day,
               std::ostream& Out, std::ostream& Err);

// Today on this machine's clock, "YYYYMMDD"; VANDREL_BACKUP_DATE, when set, names another
// day (for tests that play several nights in one).
std::string BackupDayToday();

}  // namespace vandrel::backup
