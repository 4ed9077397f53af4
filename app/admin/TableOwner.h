#pragma once
// Hands every table of a database to one owner, and the command "Zmień właściciela tabel"
// that hands them to dbo.
#include <string>

#include "app/CommandContext.h"

namespace vandrel::app::admin {

// Every table of Database whose owner differs from NewOwner (case-sensitive) goes to
// NewOwner, in the order the server lists the tables. The list is read whole before the
// first change; the first failure ends the work quietly (the error report has shown it).
// True when every change went through; Changed and Wanted count the tables handed over and
// the tables that were to be.
bool ChangeTableOwner(TCommandContext& Context, const std::string& Database, const std::string& NewOwner,
                      int* Changed = nullptr, int* Wanted = nullptr);

// The command: the selected database's tables to dbo, then the closing message and a new tree.
void ChangeTableOwnerCommand(TCommandContext& Context);
// Its table entry, by the design's name.
void Zmiewacicielatabel1Click(TCommandContext& Context);

}  // namespace vandrel::app::admin
