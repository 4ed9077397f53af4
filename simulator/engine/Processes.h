#pragma once
// The server's processes as master..sysprocesses shows them, and the ending of a connection
// (KILL, ALTER DATABASE ... WITH ROLLBACK IMMEDIATE).
#include "engine/Statements.h"

namespace msde {

// Every process, system ones first, then the connections by spid, with SQL Server 2000's
// columns (those of type binary left out). `caller` shows as the running process.
ResultSet SysprocessesTable(Model& model, const Session& caller);

// Ends another connection: it is marked killed at once (no longer listed, using no
// database) and its socket is closed after the statement, outside the engine lock.
void EndSession(Context& ctx, Session& victim);

}  // namespace msde
