#pragma once
// What BACKUP and RESTORE write to the error log when they succeed (18264, 18267).
#include <string>

#include "engine/BackupFile.h"
#include "engine/Model.h"

namespace msde {

void LogBackup(Model& model, const BackupSet& set, const std::string& device);
void LogRestore(Model& model, const BackupSet& set, const std::string& database, const std::string& device);

}  // namespace msde
