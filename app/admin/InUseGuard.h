#pragma once
// The in-use guard that every command changing a database's state runs first, and the
// database identifier look-up. The guard runs in master, so the tool's own connection never
// counts as a user of the database.
#include <string>

#include "app/CommandContext.h"

namespace vandrel::app::admin {

// True when a server process uses the database and the user has been told so. The user may
// instead have the holders disconnected: then the guard runs again, and false means that it
// passed on that run and the command may go on.
bool DatabaseInUse(TCommandContext& Context, const std::string& Name);

// The database's dbid as text, or an empty text when the server has no such database.
std::string DatabaseIdentifier(TCommandContext& Context, const std::string& Name);

}  // namespace vandrel::app::admin
