#pragma once
// "Procesy" and "Zabij proces": the server's processes in the main window's list, and the end
// of the one selected there.
#include <string>

#include "app/CommandContext.h"

namespace vandrel::app::admin {

// The statement behind the process list.
extern const char* const kProcessListQuery;

void ShowProcesses(TCommandContext& Context);
void KillSelectedProcess(TCommandContext& Context);

// True when Text is a process number: decimal digits only, nothing around them.
bool IsProcessNumber(const std::string& Text);

}  // namespace vandrel::app::admin
