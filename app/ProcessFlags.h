#pragma once
// Process-wide flags shared by the main window and its commands; one GUI thread reads and
// writes them, so they need no locking.

namespace vandrel::app {

// Set before a command's statements; cleared by the SQL error report when it shows an error.
inline bool StatementOk = true;
// Set while the connection probe runs: its failures are silent.
inline bool ProbeRunning = false;
// Set when the tree is complete; selection changes are acted upon only then.
inline bool TreeReady = false;
// Set by the database accessibility test just before its statement: its failure is silent.
inline bool QuietErrors = false;

}  // namespace vandrel::app
