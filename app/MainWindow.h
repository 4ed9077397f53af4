#pragma once
// TForm1, the main window: tree of the server on the left, detail list on the right, menus
// and tool bar; it owns the one link and the one query through which the whole tool talks to
// the server. Its operations are spread over files named for their roles: MainWindow.cpp
// (components and events), MainMenus.cpp (command table), FirstShow.cpp (connection at
// start), QuerySteps.cpp, SqlErrorReport.cpp, ServerTree.cpp, DetailLists.cpp,
// DriverDetection.cpp, StatusLine.cpp.
#include <QElapsedTimer>
#include <QMainWindow>
#include <QString>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/ExeVersion.h"
#include "app/CommandContext.h"
#include "app/CommandTable.h"
#include "app/ListView.h"
#include "app/LoginRights.h"
#include "app/NodeKinds.h"
#include "app/StatementWaiter.h"
#include "app/StepOutcome.h"
#include "data/DbLink.h"
#include "data/OdbcLink.h"
#include "data/Query.h"

class QAction;
class QMenu;
class QSplitter;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;

namespace vandrel::app {

class TPasswordDlg;
class TStatusLine;

class TForm1 : public QMainWindow, public TCommandContext {
  Q_OBJECT
 public:
  explicit TForm1(QWidget* Parent = nullptr);
  ~TForm1() override;

  // State.
  std::string ConnectionString;
  std::string ServerName = "(local)";
  std::string OdbcDriverName;
  // The login the server accepted on the last connect (SUSER_SNAME()), which the status bar
  // shows: the user typed is only what was asked for.
  std::string ServerUser;
  // What that login may do, read with it; which databases it owns, as they are first chosen.
  TLoginRights Rights;
  // The command-line arguments after the program name (the first may select "ODBC").
  QStringList Arguments;
  // Set when the window told the application to end (the message loop then stops).
  bool Terminated = false;
  void Terminate();

  // Components.
  QToolBar* ToolBar1 = nullptr;
  QTreeWidget* TreeView1 = nullptr;
  QSplitter* Splitter1 = nullptr;
  TListView* ListView1 = nullptr;
  TStatusLine* StatusBar1 = nullptr;
  QMenu* PopupMenu1 = nullptr;  // the tree's
  QMenu* PopupMenu2 = nullptr;  // the list's: copying, saving, and on the process list "Zabij proces"
  QMenu* Narzdzia1 = nullptr;   // main menu "Narzędzia"
  std::unique_ptr<TMOdbcLink> MOdbcLink1;
  std::unique_ptr<TKMQuery> KMQuery1;
  // Every call of MOdbcLink1 that waits for the server waits through it (the waiting window).
  TStatementWaiter Waiter{this};
  TMExeVersion MExeVersion1;
  TPasswordDlg* PasswordDlg = nullptr;

  // Every place of a command (main menu, pop-up menu), in the order they were made.
  QList<QAction*> Commands(TCommandId Id) const;
  void SetCommandEnabled(TCommandId Id, bool Enabled);
  bool CommandEnabled(TCommandId Id) const;
  bool CommandChecked(TCommandId Id) const;

  // The status bar's server, user and connection state, read from the tree and the link.
  void UpdateConnectionStatus();

  // Events.
  void FormShow();
  void FormResize();
  void FormKeyDown(int Key);
  void TreeView1Change();
  void TreeView1ContextPopup();
  void ListView1SelectItem();
  void ListView1ContextPopup();
  // The list's pop-up menu made to fit the list and its selection, before it opens.
  void PreparePopupMenu2();
  void Narzdzia1Click();
  void MOdbcLink1GetConnectString(std::string& AConnectString, TMOdbcConnectOption& AOption);
  void MOdbcLink1Query(std::string& Text, TMParams* Params, TMQueryContext QueryContext,
                       const Exception* E);
  bool ConnectThroughDriverPrompt();
  // Asks for a server in the connection dialog until a connect to it succeeds (true) or the
  // user cancels (false, the window keeps the server it had); each failure says why.
  bool ConnectThroughDialog();
  // Connects the link with ConnectionString and rebuilds the tree; false after saying why not.
  bool ConnectToServer();
  // "Połącz z serwerem...": the connection dialog again.
  void ChooseServer() override;

  // Command enabling (every command by its table rule) and list look-ups.
  // Enables exactly the commands whose rules hold for the selected node; ends a hold.
  void EnableCommandsForSelection() override;
  // Holds the commands that must not run beside a check (cnNotDuringCheck) until the next
  // EnableCommandsForSelection: while a check runs, and after a connect, attach or detach.
  void DisableDatabaseCommands() override;
  // Every command's rule applied to the window as it is, without starting or ending a hold.
  void ApplyCommandRules();
  bool ListShowsColumn(const QString& Caption) const;
  QString SelectedListCaptionUnder(const QString& Caption) const override;
  QString SelectedListText(int Column) const override;
  void ShowQueryInList(const std::string& Query, const std::string& Database) override;

  // Query steps.
  // Closes KMQuery1 and clears its SQL: where every step starts.
  void ResetQuery();
  bool ProbeConnection() override;
  bool EnsureConnected() override;
  // After a connect: asks the server which login it accepted and its roles (quietly) and shows it.
  void ReadServerUser();
  // Whether the login owns the selected node's database, asked quietly the first time a node
  // in it is chosen by a login that is no sysadmin.
  void ReadDatabaseRights();
  // Connects the link afresh with ConnectionString under the waiting window ("Przerwij",
  // the login time-out); raises what the connect raised.
  void ConnectLink();
  // The server node and the status bar show the lost connection at once; the user is told
  // once, with what to do, until a connect succeeds again. Detail follows the first line.
  void ShowConnectionLost(const std::string& Detail = {});
  bool ExecInDatabase(const std::string& Statement, const std::string& Database) override;
  // ExecInDatabase that tells what became of the statement.
  TStepOutcome ExecStep(const std::string& Statement, const std::string& Database) override;
  // One statement on KMQuery1 in the current database, without a probe before it.
  TStepOutcome RunStep(const std::string& Statement) override;
  // While a command that reads back what the server did after "Przerwij" runs, a stopped
  // statement is not reported as stopped: the command says what happened instead.
  int CommandReportsStop = 0;
  int& StopsReportedByCommand() override { return CommandReportsStop; }
  // "Przerwij" ends the command it came in (a menu command, a selection's details, F5, or a
  // query step called on its own): once the user stopped one of its calls, outside the part
  // where the command reads back what a stopped statement did, its steps send nothing more:
  // no probe, no reconnect, no statement (they answer soStopped).
  bool CommandStopped() const override { return FCommandStopped; }
  // How long the connection probe waits for the server's answer, in seconds; the window's
  // statements wait for the query time-out.
  int ProbeTimeout = 15;
  // A connection that answered within this many seconds is taken as alive without a probe.
  int ProbeAfterIdle = 5;
  // EnsureConnected that asks the server even when the connection answered a moment ago.
  bool EnsureConnectedProbing() override;
  // "use" + Database, unless the connection is in Database already.
  TStepOutcome UseDatabase(const std::string& Database) override;
  int& QuietStatements() override { return FQuietStatements; }
  // Set when the tree is complete; selection changes are acted upon only then.
  bool TreeReady = false;
  QWidget* DialogParent() override { return this; }
  TKMQuery& MainQuery() override { return *KMQuery1; }
  void ResetMainQuery() override { ResetQuery(); }
  TStatementWaiter& StatementWaiter() override { return Waiter; }
  TStepOutcome RunStepKeepingMessages(const std::string& Statement, TStatementMessages& Messages) override;
  void ShowErrorReport(const std::string& Report) override;
  TStepOutcome QueryToList(TextList& List, const std::string& Query, const std::string& Database) override;
  void QueryTablesToList(TextList& List, const std::string& Query, const std::string& Database);
  TStepValue QueryScalar(const std::string& Query, const std::string& Database) override;
  std::string QueryField(const std::string& Query, int Column, const std::string& Database) override;
  TStepOutcome OpenStep(const std::string& Query, TextList& List) override;
  void QueryToListView(const std::string& Query, TListView* List, const std::string& Database);
  std::string ConnectionStringValue(const std::string& Key) const override;
  const std::string& DetectedOdbcDriver() const override { return OdbcDriverName; }
  void UserDatabaseNames(TextList& List) override;
  std::string FindUserDatabase(const TextList& Names, const std::string& Name) override;
  std::string ServerAsNamed() const override;
  std::string ConnectedServerName() const override { return ServerName; }
  std::string DriverConnectionString() const override;

  // Server tree.
  void RefreshTree() override;
  void ComposeServerName(const std::string& Server, const std::string& Instance);
  void ShowNodeDetails();
  int SelectedNodeKind();
  std::string SelectedDatabase() override;
  std::string SelectedDatabaseNode() override;
  std::string SelectedNodeText();
  std::string SelectedLoginName();
  // What the selected node stands for (kind 0 when nothing is selected).
  TNodeIdentity SelectedIdentity() const override;

  // Detail lists.
  void ShowDatabaseList(const TextList& List);
  void ShowLoginList();
  void ShowLogin(const std::string& Login);
  void ShowUserList(const TextList& List);
  void ShowTableList(const TextList& List);
  void ShowTable();
  void ShowDatabaseDetails() override;
  void SetTableDisplayMode(bool Contents) override;
  // The site health's list and its mends (NodeSelection.cpp).
  TListView* DetailList() override { return ListView1; }
  bool SelectServerNode() override;
  bool SelectDatabaseNode(const std::string& Database) override;
  bool RunCommand(TCommandId Id) override;

  // The SQL Server ODBC driver's name, looked up once after connecting.
  std::string DetectOdbcDriver();

  // The tree's node kinds: image and selected image of a node.
  static int NodeImage(const QTreeWidgetItem* Node);
  static int NodeSelectedImage(const QTreeWidgetItem* Node);
  // What a node stands for: its kind and the names set when it was added (its pictures are
  // display only).
  static TNodeIdentity NodeIdentity(const QTreeWidgetItem* Node);
  // Data names the node's object; its kind is Data.Kind, or SelectedImage when that is none.
  QTreeWidgetItem* AddNode(QTreeWidgetItem* Parent, const std::string& Text, int Image,
                           int SelectedImage, const TNodeIdentity& Data = {});
  static void SetNodeImages(QTreeWidgetItem* Node, int Image, int SelectedImage);

 protected:
  void showEvent(QShowEvent* Event) override;
  // Each query window closes through its own questions first; one the user keeps, keeps
  // this window open too.
  void closeEvent(QCloseEvent* Event) override;
  void resizeEvent(QResizeEvent* Event) override;
  bool eventFilter(QObject* Watched, QEvent* Event) override;

 private:
  void CreateComponents();
  void CreateMenus();
  void CreateToolBar();
  void CreateStatusBar();
  QAction* AddCommand(QMenu* Menu, const TCommand& Command);
  void FillMenu(QMenu* Menu, TCommandMenu Which);
  // The nodes that were expanded and the selected node with its ancestors, by identity.
  struct TTreeMemory {
    std::set<std::string> Known, Expanded;
    std::vector<std::string> SelectedPath;  // the selected node's key first
  };
  TTreeMemory RememberTree() const;
  void RestoreTree(const TTreeMemory& Memory);
  void FillTablesFolder(QTreeWidgetItem* Folder, TextList& List);
  void FillUsersFolder(QTreeWidgetItem* Folder, TextList& List);
  void FillFolder(QTreeWidgetItem* Folder, int ChildImage, const TextList& List, int Column);
  void AddLoginsFolder(const TextList& Logins);
  void ShowLoginRows(const TextList& List, bool ShortForm);
  void ReportCancelled(const std::string& Text);
  // What became of a query step that raised: stopped with "Przerwij", or failed.
  TStepOutcome FailedOutcome() const;
  // While it lives, a command runs: the outermost one begins and ends the hold of a stop.
  class TCommandRun {
   public:
    explicit TCommandRun(TForm1& Form);
    ~TCommandRun();
    TCommandRun(const TCommandRun&) = delete;
    TCommandRun& operator=(const TCommandRun&) = delete;

   private:
    TForm1& FForm;
  };
  int FCommandDepth = 0;
  bool FCommandStopped = false;
  // The connection was dropped during the command (the server did not answer in time): its
  // steps send nothing more either, and the next command connects again.
  bool FCommandLost = false;
  bool CommandEnded() const { return FCommandStopped || FCommandLost; }
  bool EnsureConnectedBy(bool Probe);
  // When the connection last answered a statement, and whether it is known to be lost since
  // (a statement lost it, or the waiter dropped it): the next step connects without a probe.
  QElapsedTimer FLastAnswer;
  bool FLinkLost = false;
  bool AnsweredLately() const;
  bool KnownLost() const;
  // A step's start: refused (raises) once the command was stopped; else KMQuery1 is reset.
  void StartStep();
  // Where the error report goes instead of the screen while RunStepKeepingMessages runs.
  TStatementMessages* FKeptMessages = nullptr;
  bool FLostReported = false;
  int FQuietStatements = 0;
  // While positive, the connection probe runs: its failures are the connection's, which the
  // probe reports itself.
  int FProbing = 0;
  std::string ObjectNameLookup(const std::string& Id, const std::string& Database);
  void OpenInDatabase(const std::string& Query, const std::string& Database);
  std::string ForDriver(const std::string& Connection) const;

  std::multimap<TCommandId, QAction*> FCommands;
  bool FCommandsHeld = false;
  bool FShown = false;
};

// The main window of the running program (null before it exists).
extern TForm1* Form1;

}  // namespace vandrel::app
