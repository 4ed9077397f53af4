#pragma once
// The consistency check of a database and its repair at one of three levels. Both end with
// an account a technician can act on: what the server found, in which tables, and the repair
// that the server named; the server's own messages beneath it.
#include <QString>
#include <string>

#include "app/CommandContext.h"

namespace vandrel::app::admin {

enum class TRepairResult {
  rrRepaired,          // every statement succeeded
  rrRepairedAfterAll,  // the repair raised, but a check afterwards found the database clean (said so)
  rrNotRun,            // not repaired, or errors are left; the user has been told which
};

// Single-user, DBCC CHECKDB with Level (REPAIR_FAST, REPAIR_REBUILD, REPAIR_ALLOW_DATA_LOSS),
// multi-user; Question is asked first when given ("Nie" the default) and the in-use guard looks
// at Guarded when given. After a failure or a stop the database is set back to multi-user (on
// a new connection when the old one broke) and checked again, and the user is told the
// outcome; a switch to single-user that the login had no right to is said as such, with
// nothing more sent. Only rrRepaired is left to the caller to announce.
TRepairResult RepairDatabase(TCommandContext& Context, const std::string& Name, const char* Level,
                             const QString& Question = {}, const std::string& Guarded = {});

// The menu commands on the selected database node; a repair asks first when Ask is set.
void CheckCommand(TCommandContext& Context);
void RepairCommand(TCommandContext& Context, const char* Level, bool Ask);
// Their table entries, by the design's names: the check, and the three repairs ("Naprawa
// Full" offers a backup first).
void Sprawdspjnobazy1Click(TCommandContext& Context);
void NaprawaFast1Click(TCommandContext& Context);
void NaprawaRebuild1Click(TCommandContext& Context);
void NaprawaFull1Click(TCommandContext& Context);

}  // namespace vandrel::app::admin
