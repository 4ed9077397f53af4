#pragma once
// The files vandrel-backup makes: one per database and day, named DATABASE_YYYYMMDD.bak in
// the backup directory, and which of them go when more than N are kept. Only names of
// exactly that form count as this program's files; anything else in the directory stays.
#include <optional>
#include <string>
#include <vector>

#include "app/ServerPaths.h"

namespace vandrel::backup {

// The file names and path joins the tool uses for the same files, and when their directory is
// this machine's.
using app::BackupFileName;
using app::PathInDirectory;
// The day of a file name this program made for `Database` (compared without regard to
// case, as the server's disk compares names), or nothing for any other name.
std::optional<std::string> BackupDay(const std::string& FileName, const std::string& Database);
// Of the names in a directory, those of `Database`'s backups beyond the newest `Keep`.
std::vector<std::string> BackupsBeyond(const std::vector<std::string>& FileNames,
                                       const std::string& Database, int Keep);
using app::IsThisMachine;

}  // namespace vandrel::backup
