#pragma once
// "Nowe zapytanie": a query window of its own connection, on the selected node's database
// (master when the node lies in none).
namespace vandrel::app {

class TCommandContext;
class TQueryWindow;

// Opens the window and connects it; the window, or null when there is no connection to
// copy (never connected).
TQueryWindow* NewQueryCommand(TCommandContext& Context);
// The command as the command table runs it.
inline void NewQuery(TCommandContext& Context) { NewQueryCommand(Context); }

}  // namespace vandrel::app
