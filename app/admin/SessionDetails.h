#pragma once
// What a session of the process list does: "Pokaż ostatnie polecenie" (DBCC INPUTBUFFER) and
// "Blokady" (the locks it holds or waits for, with database and object names), each in a
// report window. The session is checked to be the one the list showed right before it is
// asked about; one that ended meanwhile is said to have ended.
#include "app/CommandContext.h"

namespace vandrel::app::admin {

void ShowSessionLastBatch(TCommandContext& Context);
void ShowSessionLocks(TCommandContext& Context);

}  // namespace vandrel::app::admin
