#pragma once
// The consistency check of a database and its repair at one of three levels.
#include <string>

namespace vandrel::app {
class TForm1;
}

namespace vandrel::app::admin {

// DBCC CHECKDB of Name; the errors it finds are shown by the error report. True when clean.
bool CheckDatabase(TForm1& Form, const std::string& Name);
// Single-user, DBCC CHECKDB with Level (REPAIR_FAST, REPAIR_REBUILD, REPAIR_ALLOW_DATA_LOSS),
// multi-user; after any failure the database is set back to multi-user. True on success.
bool RepairDatabase(TForm1& Form, const std::string& Name, const char* Level);

// The menu commands on the selected database node.
void CheckCommand(TForm1& Form);
void RepairCommand(TForm1& Form, const char* Level);

}  // namespace vandrel::app::admin
