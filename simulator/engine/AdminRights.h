#pragma once
// Who may administer a database: the rule SQL Server applies to ALTER DATABASE, DBCC and the
// security procedures run inside a database.
#include "engine/Statements.h"

namespace msde {

// A sysadmin, the database's owner, or a member of its db_owner role.
bool IsDbOwner(Context& ctx, Database& db);

}  // namespace msde
