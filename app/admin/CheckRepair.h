#pragma once
// The consistency check of a database and its repair at one of three levels.
#include <string>

namespace vandrel::app {
class TForm1;
}

namespace vandrel::app::admin {

// DBCC CHECKDB of Name; the errors it finds are shown by the error report. True when clean.
bool CheckDatabase(TForm1& Form, const std::string& Name);
enum class TRepairResult {
  rrRepaired,          // every statement succeeded
  rrRepairedAfterAll,  // the repair raised, but a check afterwards found the database clean (said so)
  rrNotRun,            // not repaired, or errors are left; the user has been told which
};

// Single-user, DBCC CHECKDB with Level (REPAIR_FAST, REPAIR_REBUILD, REPAIR_ALLOW_DATA_LOSS),
// multi-user. After a failure or a stop the database is set back to multi-user (on a new
// connection when the old one broke) and checked again quietly, and the user is told the
// outcome; only rrRepaired is left to the caller to announce.
TRepairResult RepairDatabase(TForm1& Form, const std::string& Name, const char* Level);

// The menu commands on the selected database node.
void CheckCommand(TForm1& Form);
void RepairCommand(TForm1& Form, const char* Level);

}  // namespace vandrel::app::admin
