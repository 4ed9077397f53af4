#pragma once
// "Kopia zapasowa bazy...": a full backup of one database into a file on the server's disk,
// the server's account of the pages and the time shown at the end; and the backup offered
// before a repair that may lose data.
#include <string>

#include "app/CommandContext.h"

namespace vandrel::app::admin {

// The backup directory + Database + "_" + today as YYYYMMDD + ".bak": one file per database
// and day, as the scheduled backups name theirs.
std::string DefaultBackupFile(TCommandContext& Context, const std::string& Database);

// BACKUP DATABASE of Database into File: Init replaces the backups the file holds, else the
// new one is appended; the description goes with it when given.
std::string BackupStatement(const std::string& Database, const std::string& File, bool Init,
                            const std::string& Description);
// Runs the backup; on success shows the closing message and returns true.
bool BackupDatabase(TCommandContext& Context, const std::string& Database, const std::string& File, bool Init,
                    const std::string& Description);

// The menu command on the selected database node.
void BackupCommand(TCommandContext& Context);

// Before "Naprawa Full": offers a backup of Database. Yes makes it (with the default file,
// appended) and goes on only when it succeeded; No goes on; Cancel does not.
bool OfferBackupBeforeRepair(TCommandContext& Context, const std::string& Database);

}  // namespace vandrel::app::admin
