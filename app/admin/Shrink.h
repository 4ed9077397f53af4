#pragma once
// "Zmniejsz bazę": the selected database's files give their free pages back to the disk
// (DBCC SHRINKDATABASE), after a question whose default is "Nie", under the waiting window;
// the user is told the size of the files before and after.
#include "app/CommandContext.h"

namespace vandrel::app::admin {

void ShrinkDatabaseCommand(TCommandContext& Context);

}  // namespace vandrel::app::admin
