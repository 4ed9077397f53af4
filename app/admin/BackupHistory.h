#pragma once
// "Historia kopii": every backup of one database that the server's history (msdb) knows,
// newest first, with the file each was written to and whether the server still has that file
// (a backup whose file is gone cannot be restored); the backup chosen there is checked or
// opened in the restore dialog.
#include <QString>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/CommandContext.h"

namespace vandrel::app::admin {

struct TBackupHistoryEntry {
  std::string Finished;             // as the server's date reads
  std::string Type;                 // "D" full, "I" differential, "L" log
  std::string Size;                 // bytes
  std::optional<int64_t> Seconds;   // how long it took
  std::string File;                 // on the server's disk
  int Position = 1;                 // in its file
  std::optional<bool> FileThere;    // empty: the server would not say
};

// The history of Database, newest first; false when msdb could not be read (the error report
// has said why). Each file is asked for once, however many backups it holds.
bool ReadBackupHistory(TCommandContext& Context, const std::string& Database, std::vector<TBackupHistoryEntry>& Entries);

// "pełna", "różnicowa", "dziennika" (a backup of the log).
QString BackupTypeText(const std::string& Type);
// "45 s", "2 min 05 s", "1 h 02 min"; empty when not known.
QString DurationText(const std::optional<int64_t>& Seconds);

// The tree pop-up's command, on the database of the selected node.
void BackupHistoryCommand(TCommandContext& Context);

}  // namespace vandrel::app::admin
