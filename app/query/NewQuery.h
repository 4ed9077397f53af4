#pragma once
// "Nowe zapytanie": a query window of its own connection, on the selected node's database
// (master when the node lies in none).
class QWidget;

namespace vandrel::app {

class TCommandContext;
class TQueryWindow;

// Opens the window and connects it; the window, or null when there is no connection to
// copy (never connected).
TQueryWindow* NewQueryCommand(TCommandContext& Context);
// Closes the query windows Owner opened, each through its own close (its open transaction and
// its changed text asked about); false while one stays open. A window whose batch runs stops
// it and closes once it has ended: then Owner is closed again, unless the user kept that window.
bool CloseQueryWindows(QWidget* Owner);
// The command as the command table runs it.
inline void NewQuery(TCommandContext& Context) { NewQueryCommand(Context); }

}  // namespace vandrel::app
