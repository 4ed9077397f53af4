#pragma once
// What a command family may use of the main window: the query steps, the typed selection,
// the window that owns its dialogs and message boxes, and the refresh of the tree and the
// details. TForm1 provides it; a family that needs no more takes this instead of the window.
#include <string>
#include <vector>

#include "app/CommandId.h"
#include "app/NodeKinds.h"
#include "app/StatementMessages.h"
#include "app/StepOutcome.h"

class QString;
class QWidget;

namespace vandrel {
class TKMQuery;
}

namespace vandrel::app {

class TListView;
class TStatementWaiter;

using TextList = std::vector<std::string>;

class TCommandContext {
 public:
  virtual ~TCommandContext() = default;

  // The query steps.
  virtual bool EnsureConnected() = 0;
  // EnsureConnected before a statement that takes a database away from its users: the
  // connection is always asked whether it still answers.
  virtual bool EnsureConnectedProbing() { return EnsureConnected(); }
  // "use" + Database, unless the connection is in Database already.
  virtual TStepOutcome UseDatabase(const std::string& Database) = 0;
  virtual bool ExecInDatabase(const std::string& Statement, const std::string& Database) = 0;
  virtual TStepOutcome ExecStep(const std::string& Statement, const std::string& Database) = 0;
  virtual TStepOutcome RunStep(const std::string& Statement) = 0;
  // Column 0 of the first row of Query, run in Database, with what became of the query.
  virtual TStepValue QueryScalar(const std::string& Query, const std::string& Database) = 0;
  // The flat result list of Query, run in Database (empty unless done, or without columns).
  virtual TStepOutcome QueryToList(TextList& List, const std::string& Query, const std::string& Database) = 0;
  // While positive, a statement stopped with "Przerwij" is left to the command to report.
  virtual int& StopsReportedByCommand() = 0;
  // The user stopped the command that runs now ("Przerwij") where it does not read back what
  // the server did: its steps send nothing more and answer soStopped.
  virtual bool CommandStopped() const = 0;
  // While positive, a failed statement is left to its caller, which reads quietly (an option
  // hidden from the login, a registry value the server may not give): no error report.
  virtual int& QuietStatements() = 0;

  // The typed selection.
  virtual TNodeIdentity SelectedIdentity() const = 0;
  virtual std::string SelectedDatabase() = 0;

  // The window that owns the command's dialogs and message boxes.
  virtual QWidget* DialogParent() = 0;

  // Refresh after a command.
  virtual void RefreshTree() = 0;
  virtual void ShowDatabaseDetails() = 0;
  virtual void EnableCommandsForSelection() = 0;

  // The value of Key in the connection string the connection dialog built ("SERVER", "UID").
  virtual std::string ConnectionStringValue(const std::string& Key) const = 0;
  // Column Column of the first row of Query, run in Database; a failure is raised again after
  // the SQL error report has shown it.
  virtual std::string QueryField(const std::string& Query, int Column, const std::string& Database) = 0;
  // The ODBC driver detected after connecting ("SQL Server" or "SQL Native Client").
  virtual const std::string& DetectedOdbcDriver() const = 0;

  // What attach, detach and the client set-up need besides.
  // A query in the current database, without a probe before it; List as QueryToList fills it.
  virtual TStepOutcome OpenStep(const std::string& Query, TextList& List) = 0;
  // True when the connection still answers (asked quietly).
  virtual bool ProbeConnection() = 0;
  // Holds the commands a check must not run beside until EnableCommandsForSelection.
  virtual void DisableDatabaseCommands() = 0;
  // The selected node's database when the node is a database node, else empty.
  virtual std::string SelectedDatabaseNode() = 0;
  virtual void UserDatabaseNames(TextList& List) = 0;
  virtual std::string FindUserDatabase(const TextList& Names, const std::string& Name) = 0;
  // The server as the user named it at the connection ("(local)", a host, an instance).
  virtual std::string ServerAsNamed() const = 0;
  // The server's name as the tree shows it (with its instance).
  virtual std::string ConnectedServerName() const = 0;
  // The connection string the window's link connects with, as the driver is given it (it
  // holds the password): what another connection of the tool (a query window) opens with.
  virtual std::string DriverConnectionString() const { return {}; }

  // A command whose result is a list the user acts on (the site health): the detail list,
  // the tree's selection set by the command, and another command run as its menu item runs
  // it. A context without a window has none of them.
  virtual TListView* DetailList() { return nullptr; }
  virtual bool SelectServerNode() { return false; }
  // The node of Database, whatever its state; false when the tree shows none.
  virtual bool SelectDatabaseNode(const std::string&) { return false; }
  // Runs the command Id when it is enabled for the selection; false when not run.
  virtual bool RunCommand(TCommandId) { return false; }

  // One statement as RunStep, keeping every message of the server; when it fails, the error
  // report's text is kept in Messages instead of being shown (a stop or a lost connection is
  // reported as always).
  virtual TStepOutcome RunStepKeepingMessages(const std::string& Statement, TStatementMessages& Messages) = 0;
  // The SQL error report of a text the report built (as kept by RunStepKeepingMessages).
  virtual void ShowErrorReport(const std::string& Report) = 0;

  // The detail list: the text of the selected row under the column Caption, or in column
  // Column (from 0); and a query's rows shown in it.
  virtual QString SelectedListCaptionUnder(const QString& Caption) const = 0;
  virtual QString SelectedListText(int Column) const = 0;
  virtual void ShowQueryInList(const std::string& Query, const std::string& Database) = 0;

  // Backup and restore read the window's query themselves (a backup file's rows, the
  // server's informational lines on the way): the query, its reset (closed and its SQL
  // cleared, where every step starts) and the waiting window a long statement runs under.
  virtual TKMQuery& MainQuery() = 0;
  virtual void ResetMainQuery() = 0;
  virtual TStatementWaiter& StatementWaiter() = 0;

  // The window's own commands: the connection dialog again, and the table's display mode
  // (its contents, or the structure of its columns).
  virtual void ChooseServer() {}
  virtual void SetTableDisplayMode(bool) {}
};

// Counts itself in Count while it lives.
class TScopedCount {
 public:
  explicit TScopedCount(int& Count) : FCount(Count) { ++FCount; }
  ~TScopedCount() { --FCount; }
  TScopedCount(const TScopedCount&) = delete;
  TScopedCount& operator=(const TScopedCount&) = delete;

 private:
  int& FCount;
};

// While it lives, a statement of Context that fails is not reported.
class TQuietErrors : TScopedCount {
 public:
  explicit TQuietErrors(TCommandContext& Context) : TScopedCount(Context.QuietStatements()) {}
};

// While it lives, the commands that must not run beside a check or repair are off; at its
// end the enabling follows the selection again.
class TCheckRunning {
 public:
  explicit TCheckRunning(TCommandContext& Context) : FContext(Context) { FContext.DisableDatabaseCommands(); }
  ~TCheckRunning() { FContext.EnableCommandsForSelection(); }
  TCheckRunning(const TCheckRunning&) = delete;
  TCheckRunning& operator=(const TCheckRunning&) = delete;

 private:
  TCommandContext& FContext;
};

}  // namespace vandrel::app
