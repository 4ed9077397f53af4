#include "engine/BackupLog.h"

#include <cstdio>

#include "engine/ErrorLog.h"
#include "engine/SqlTime.h"

namespace msde {
namespace {

// "2006/01/10(10:00:00)"
std::string CreationDateText(SqlDateTime created) {
  std::string text = DateTimeText(created).substr(0, 19);
  text[4] = text[7] = '/';
  text[10] = '(';
  return text + ")";
}

// A log sequence number as the log writes it: virtual log file, block and slot.
std::string LsnText(int64_t lsn) {
  char text[64];
  std::snprintf(text, sizeof text, "%lld:%lld:%lld", static_cast<long long>(lsn / 1000000000000000LL),
                static_cast<long long>(lsn / 100000 % 10000000000LL), static_cast<long long>(lsn % 100000));
  return text;
}

std::string BackupDeviceText(const BackupSet& set, const std::string& device) {
  return "number of dump devices: 1, device information: (FILE=" + std::to_string(set.position) +
         ", TYPE=DISK: {'" + device + "'})";
}

}  // namespace

void LogBackup(Model& model, const BackupSet& set, const std::string& device) {
  const bool is2005 = model.server.Is2005();
  LogEvent(model, is2005 ? "Backup" : "backup",
           std::string(is2005 ? "Database backed up. " : "Database backed up: ") + "Database: " + set.database +
               ", creation date(time): " + CreationDateText(set.database_created) +
               ", pages dumped: " + std::to_string(set.pages) + ", first LSN: " + LsnText(set.first_lsn) +
               ", last LSN: " + LsnText(set.last_lsn) + ", " + BackupDeviceText(set, device) + "." +
               (is2005 ? " This is an informational message only. No user action is required." : ""));
}

void LogRestore(Model& model, const BackupSet& set, const std::string& database, const std::string& device) {
  const bool is2005 = model.server.Is2005();
  LogEvent(model, is2005 ? "Backup" : "backup",
           std::string(is2005 ? "Database was restored: " : "Database restored: ") + "Database: " + database +
               ", creation date(time): " + CreationDateText(set.database_created) +
               ", first LSN: " + LsnText(set.first_lsn) + ", last LSN: " + LsnText(set.last_lsn) + ", " +
               BackupDeviceText(set, device) + "." + (is2005 ? " Informational message. No user action required." : ""));
}

}  // namespace msde
