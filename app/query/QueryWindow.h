#pragma once
// The query window ("Zapytanie - server - database"): the technician's own SQL, run batch
// by batch on the window's own connection (its own session, program name "Vandrel -
// zapytanie"), never on the main window's, so a long query leaves the tree free. Results go
// into grids, the server's messages into "Komunikaty"; "Przerwij" cancels the running batch
// through the driver. A transaction left open stays until the user ends it, and closing the
// window asks about it; .sql files open and save in their own encoding.
#include <QMainWindow>
#include <memory>
#include <string>

#include "app/query/ScriptEncoding.h"

class QAction;
class QComboBox;
class QLabel;
class QMenu;

namespace vandrel {
class TKMQuery;
class TMOdbcLink;
}

namespace vandrel::app {

class TBatchRunner;
class TFindBar;
class TMessagesPane;
class TQueryEditor;
class TResultGrids;
class TResultSink;
class TStatementWaiter;

class TQueryWindow : public QMainWindow {
  Q_OBJECT
 public:
  // ConnectString: the main window's connection string as its link was given it (the
  // program name is replaced by the window's). Server: the server's name as the tree shows
  // it. Database: where the window starts (empty: master).
  TQueryWindow(const std::string& ConnectString, const std::string& Server, const std::string& Database,
               QWidget* Parent = nullptr);
  ~TQueryWindow() override;

  // Opens the window's connection, reads the server's databases and its session's SPID;
  // false after saying why not.
  bool Connect();
  // "Wykonaj": runs the selection, else the whole text.
  void Execute();
  // "Przerwij": cancels the running batch.
  void Stop();
  bool Running() const { return FRunning; }
  // A call waits for the server now.
  bool Waiting() const;

  // The session's SPID, 0 before a connect; the open transactions the last run left.
  int Spid() const { return FSpid; }
  int OpenTransactions() const { return FTranCount; }
  std::string Database() const;

  // Files: "Otwórz..." and "Zapisz" / "Zapisz jako..."; false when nothing was read or
  // written.
  bool OpenFile(const QString& Path);
  bool SaveFile(const QString& Path);
  const QString& FilePath() const { return FFilePath; }
  TScriptEncoding FileEncoding() const { return FScript.Encoding; }

  TQueryEditor* Editor() const { return FEditor; }
  TResultGrids* Grids() const { return FGrids; }
  TMessagesPane* Messages() const { return FMessages; }
  QComboBox* DatabaseBox() const { return FDatabaseBox; }
  TFindBar* FindBar() const { return FFindBar; }
  // The status bar's fields as shown.
  QString StatusText() const;
  // The action of a command by its caption ("Wykonaj", "Przerwij", ...), null when none.
  QAction* Action(const QString& Caption) const;
  QMenu* HistoryMenu() const { return FHistoryMenu; }
  QMenu* TemplatesMenu() const { return FTemplatesMenu; }

 signals:
  // A run has begun (the first batch is about to be sent) or ended.
  void RunStarted();
  void RunEnded();
  // A close was asked and answered: the window goes (Closed) or the user keeps it. A close
  // asked while a batch runs is answered once the batch has ended.
  void CloseDecided(bool Closed);

 protected:
  void closeEvent(QCloseEvent* Event) override;

 private:
  void BuildActions();
  void BuildLayout();
  void UpdateTitle();
  void UpdateStatus();
  void EnableActions();
  // Runs one statement of the window's own (no result), true when it succeeded; a failure
  // goes to "Komunikaty" unless Quiet.
  bool RunOwn(const std::string& Statement, bool Quiet = false);
  // The first value of a query of the window's own, empty on failure.
  std::string Scalar(const std::string& Query);
  void ReadDatabases();
  void ChangeDatabase(const std::string& Database);
  void ShowConnectionLost(const std::string& Detail);
  // Asks before a changed text is dropped; false when the user keeps it.
  bool MayDropText();
  // Asks about a transaction left open before the window closes; false: stay open.
  bool EndOpenTransaction();
  void OpenFileAsked();
  bool SaveAsked(bool AskName);
  void FillHistoryMenu();

  std::string FConnectString;
  std::string FServer;
  std::string FDatabase;
  std::unique_ptr<TMOdbcLink> FLink;
  std::unique_ptr<TKMQuery> FQuery;
  std::unique_ptr<TStatementWaiter> FWaiter;
  TQueryEditor* FEditor = nullptr;
  TFindBar* FFindBar = nullptr;
  TResultGrids* FGrids = nullptr;
  TMessagesPane* FMessages = nullptr;
  std::unique_ptr<TResultSink> FSink;
  std::unique_ptr<TBatchRunner> FRunner;
  QComboBox* FDatabaseBox = nullptr;
  QMenu* FHistoryMenu = nullptr;
  QMenu* FTemplatesMenu = nullptr;
  QLabel* FPositionLabel = nullptr;
  QLabel* FStatusLabel = nullptr;
  int FSpid = 0;
  int FTranCount = 0;
  bool FRunning = false;
  bool FLost = false;         // the connection was lost: the next run connects again
  bool FCloseAfterRun = false;
  long long FLastRows = 0;
  qint64 FLastMs = 0;
  QString FFilePath;
  TScriptText FScript;  // the file's encoding and line ends
};

}  // namespace vandrel::app
