#pragma once
// Waiting for the server without freezing the window. Every call of the link that waits
// for the server runs on a worker thread while the GUI thread keeps handling its events;
// when the call lasts longer than a moment, a modal waiting window says what runs and for
// how long, shows the server's progress messages and offers "Przerwij", which cancels the
// statement. For its caller a statement stays synchronous: one link, one statement at a
// time, and the link's OnQuery handler and every message box stay on the GUI thread.
//
// No wait is without an end. A connect waits the same way ("Przerwij" ends it at once). When
// the server does not acknowledge "Przerwij" within DropAfter, or a call outlives its
// time-out (the statement's query time-out, the link's ConnectionTimeout for a connect, else
// the waiter's own CallTimeout) by DropAfter, the waiter drops the connection: its TCP
// connection is shut down, the driver's blocked call fails at once, and Dropped() tells the
// caller that the server's side of the statement is unknown.
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <utility>

#include <QTimer>

#include "data/OdbcLink.h"
#include "data/StatementWorker.h"
#include "platform/TcpSockets.h"

class QEventLoop;
class QWidget;

namespace vandrel::app {

class TWaitWindow;

// The message of a driver's record "[01000/3211] [FreeTDS][SQL Server]10 percent backed
// up.": the bracketed prefixes of the library and the driver go.
std::string MessageOf(const std::string& Line);

class TStatementWaiter : public QObject {
  Q_OBJECT
 public:
  // Receives a message of the running statement: Percent is the number of an "NN percent
  // ..." message (a backup's progress), -1 for any other message.
  using TProgress = std::function<void(int Percent, const std::string& Message)>;

  // Owner: the window the waiting window belongs to.
  explicit TStatementWaiter(QWidget* Owner);
  ~TStatementWaiter() override;

  // Takes over Link's waiting and its informational messages. The link goes before its
  // waiter (the main window frees it first).
  void Attach(TMOdbcLink* Link);
  // The statement about to run (the link's "before" notifications): what the window names
  // when no command gave a caption. Clears Cancelled.
  void SetStatement(const std::string& Text);
  // The statement has ended (the link's "after" and "error" notifications): the waiting
  // window goes, before any report of the statement's failure.
  void StatementEnded();

  // The statement that ran last was ended by "Przerwij".
  bool Cancelled() const { return FCancelled; }
  // The connection was dropped during the last statement or connect, because the server
  // did not answer "Przerwij" or outlived the call's time-out.
  bool Dropped() const { return FDropped; }
  // The last statement or connect outlived its time-out (and was cancelled or dropped).
  bool TimedOut() const { return FTimedOut; }
  // How many times the user has asked to stop so far ("Przerwij", RequestStop).
  unsigned Stops() const { return FStops; }
  // How many times a connection has been dropped so far.
  unsigned Drops() const { return FDrops; }

  // Bracket a connect of the link: the connection's TCP sockets are those it opened.
  void BeginConnect();
  void EndConnect(bool Connected);
  // The connection the last connect opened is over (its server closed or reset it, or the
  // driver closed it), as a look at its sockets tells without a word to the server; false
  // when the waiter does not know its sockets.
  bool ConnectionEnded() const;
  // A call is waiting for the server now.
  bool Waiting() const { return FWaiting; }
  // The waiting window while it is shown, else null.
  TWaitWindow* Window() const;

  // How long a call runs before the window shows, in milliseconds.
  int ShowAfter = 400;
  // A call that ends within this time never enters the event loop: short statements, by
  // far the most, run as if on the GUI thread, and no event is handled in their middle.
  std::chrono::milliseconds Quiet{30};
  // Off: no waiting window ever shows, and every event, the user's too, is handled while a
  // call waits; the owner offers "Przerwij" itself (a window of its own whose other
  // commands are disabled while it runs).
  bool ShowsWindow = true;
  // "Przerwij": cancels the call waiting now (asked again while the call goes on, since a
  // request that came before the driver sent the statement is lost), or drops the connection
  // when the server does not acknowledge it within DropAfter.
  void RequestStop() { Stop(); }
  // How long the server may take to acknowledge "Przerwij" or a time-out, in milliseconds.
  int DropAfter = 3000;
  // The time-out in seconds of a call whose driver keeps none (a one-shot statement): the
  // waiter cancels the call itself when it passes; 0: none. TWaitLimit changes it for a while.
  int CallTimeout = 0;

 signals:
  // The waiting window has just been shown.
  void WindowShown();
  // The elapsed seconds shown in the window changed.
  void ElapsedChanged(int Seconds);
  // The user has just asked to stop the call waiting now.
  void StopRequested();
  // The connection has just been dropped: the server did not answer in time.
  void ConnectionDropped();

 private:
  friend class WaitTask;
  friend class TWaitLimit;
  SQLRETURN Run(const TMOdbcLink::TStatementCall& Call);
  void WaitInWindow();
  void ShowWindow();
  void HideWindow();
  void Tick();
  void Info(const std::string& Line);
  void Stop();
  void Drop();
  void Cut();
  void WatchTimeout();
  void StopTimers();

  QWidget* FOwner;
  TMOdbcLink* FLink = nullptr;
  TMStatementWorker FWorker;
  QPointer<TWaitWindow> FWindow;
  QEventLoop* FLoop = nullptr;
  // Set before the owner waits in an event loop: only then does a call's end post the event
  // that ends the loop (a fetch that ends within the quiet time posts nothing, so a long read
  // does not leave an event for every rowset to be handled later).
  std::atomic<bool> FLoopWanted{false};
  std::string FStatement;
  std::string FCaption;  // a command's own caption; empty: the statement's text
  TProgress FProgress;
  bool FWaiting = false;
  bool FStopAsked = false;
  bool FCancelled = false;
  bool FDropped = false;
  bool FConnecting = false;
  bool FTimedOut = false;
  unsigned FStops = 0;
  unsigned FDrops = 0;
  platform::TSocketSet FBeforeConnect;  // sockets open when the connect began
  platform::TSocketSet FConnection;     // the connected link's own
  QTimer FDropTimer;
  QTimer FCutTimer;
  QTimer FCancelAgainTimer;  // asks again while a stop has not ended the call
  bool FInStatement = false;  // between SetStatement and StatementEnded
  int FShownSeconds = -1;
  QElapsedTimer FClock;  // since the statement began
};

// While it lives, the waiting window names Caption instead of the statement, and the
// messages of running statements go to Progress as well (on the GUI thread).
class WaitTask {
 public:
  WaitTask(TStatementWaiter& Waiter, std::string Caption, TStatementWaiter::TProgress Progress = {});
  ~WaitTask();
  WaitTask(const WaitTask&) = delete;
  WaitTask& operator=(const WaitTask&) = delete;

 private:
  TStatementWaiter& FWaiter;
  std::string FCaption;
  TStatementWaiter::TProgress FProgress;
};

// While it lives, the waiter's CallTimeout is Seconds (0: a call that runs as long as its work
// is large, which "Przerwij" ends).
class TWaitLimit {
 public:
  TWaitLimit(TStatementWaiter& Waiter, int Seconds) : FWaiter(Waiter), FBefore(std::exchange(Waiter.CallTimeout, Seconds)) {}
  ~TWaitLimit() { FWaiter.CallTimeout = FBefore; }
  TWaitLimit(const TWaitLimit&) = delete;
  TWaitLimit& operator=(const TWaitLimit&) = delete;

 private:
  TStatementWaiter& FWaiter;
  int FBefore;
};

}  // namespace vandrel::app
