#pragma once
// The facts beyond the catalogues that the checks read from the server itself: whether the
// backups' files are still on its disk (xp_fileexist), the free space of its drives
// (xp_fixeddrives), its error log (xp_readerrorlog) and the sessions waiting for another's
// locks (sysprocesses). Each leaves a note in TServerFacts::Unread when it cannot be read.
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/health/HealthFacts.h"
#include "app/health/HealthRead.h"

namespace vandrel::health {

// A backup msdb lists, with the file it was written to.
struct TBackupRecord {
  std::string Database;
  std::string Type;      // "D" full, "I" differential, "L" log
  std::string Finished;  // "YYYY-MM-DD hh:mm:ss"
  std::string Device;    // the file on the server's disk
  int64_t Id = 0;        // msdb's backup_set_id
};

// Lower-case database name to its facts.
using TDatabaseIndex = std::map<std::string, TDatabaseFacts*>;

// The newest full backup of each database whose file the server still has sets its age; a
// newer one whose file is gone is named in MissingBackupFile. Backups is newest first.
void ReadBackupFiles(THealthReader& Reader, const std::vector<TBackupRecord>& Backups, const std::string& Now,
                     TDatabaseIndex& ByName, TServerFacts& Facts);
// The free space of the drives among Letters (upper case).
void ReadDrives(THealthReader& Reader, const std::set<std::string>& Letters, TServerFacts& Facts);
// The error log's entries of the last Days days before Now.
void ReadErrorLog(THealthReader& Reader, const std::string& Now, int Days, TServerFacts& Facts);
// The blocked sessions and the sessions they wait for.
void ReadBlocking(THealthReader& Reader, const std::map<std::string, std::string>& NameOfId, TServerFacts& Facts);

// The drive letter of a Windows path ("C:\..." gives "C"); "" for none.
std::string DriveOf(const std::string& Path);
// Time ("YYYY-MM-DD hh:mm:ss") moved by Seconds; "" when it is not such a text.
std::string ShiftedTime(const std::string& Time, int64_t Seconds);

}  // namespace vandrel::health
