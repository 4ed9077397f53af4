#pragma once
// The main window's own commands: the tree's refresh, the connection dialog again, the tree's
// and the table's display modes, and the end of the program.
#include "app/CommandContext.h"

namespace vandrel::app {

// "Odśwież listę baz     F5": the tree again once the connection answers.
void RefreshDatabasesCommand(TCommandContext& Context);
// "Połącz z serwerem...".
void Poczzserwerem1Click(TCommandContext& Context);
// "Nie wyświetlaj bazy systemowych": its mark has changed; the tree follows it.
void HideSystemDatabasesCommand(TCommandContext& Context);
// "Wyświetlanie kolumn - struktura danych" and "- zawartość".
void ShowColumnStructureCommand(TCommandContext& Context);
void ShowTableContentsCommand(TCommandContext& Context);
// "Zamknij".
void CloseCommand(TCommandContext& Context);

}  // namespace vandrel::app
