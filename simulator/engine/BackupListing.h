#pragma once
// What RESTORE HEADERONLY and RESTORE FILELISTONLY answer about the sets of a backup file, in
// the columns SQL Server 2000 lists or, on SQL Server 2005, its longer layout.
#include <vector>

#include "engine/BackupFile.h"
#include "engine/Statements.h"

namespace msde {

void SendBackupHeaders(Context& ctx, const std::vector<BackupSet>& sets);
void SendBackupFileList(Context& ctx, const BackupSet& set);

}  // namespace msde
