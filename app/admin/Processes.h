#pragma once
// "Procesy": the server's processes in the main window's list, as the activity view shows
// them (ActivityView.h); ending them is KillSessions.h's.
#include <string>

#include "app/CommandContext.h"

namespace vandrel::app::admin {

// The statement behind the process list; the activity view reads more columns after these.
extern const char* const kProcessListQuery;

void ShowProcesses(TCommandContext& Context);

// True when Text is a process number: decimal digits only, nothing around them.
bool IsProcessNumber(const std::string& Text);

}  // namespace vandrel::app::admin
