#pragma once
// The server's messages of a statement as the query window lists them: PRINT texts,
// RAISERROR and informational messages, and errors with their number, severity, state and
// line, read from the statement's diagnostic records in the order the server sent them.
#include <sql.h>

#include <string>
#include <vector>

namespace vandrel::app {

struct TServerMessage {
  bool Error = false;  // an error (severity above 10), else information
  int Number = 0;      // the server's message number; 0 for PRINT
  int Severity = 0;
  int State = -1;  // -1: the driver does not tell it
  int Line = 0;  // the line of its batch (from 1); 0 when the server named none
  std::string SqlState;
  std::string Text;  // without the driver's "[vendor][SQL Server]" prefixes
};

class TDriverDiagnostics;

// The diagnostic records of a statement, in order.
std::vector<TServerMessage> ReadServerMessages(const TDriverDiagnostics& Diagnostics);

// Whether Message says that the connection is gone (SQLSTATE class 08).
bool ConnectionGone(const TServerMessage& Message);
// Whether Message is the driver's answer to a cancelled call.
bool CancelledCall(const TServerMessage& Message);

// A message as the messages pane shows it: an error as "Błąd 208, poziom 16, stan 1,
// wiersz 3: text" (Line: the editor's line; the state and the line only when known),
// information as its text.
std::string MessageLine(const TServerMessage& Message, int Line);

// The database a "Changed database context to 'x'." message (5701) names; empty for any
// other message.
std::string ChangedDatabase(const TServerMessage& Message);

}  // namespace vandrel::app
