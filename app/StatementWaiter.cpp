#include "app/StatementWaiter.h"

#include <QApplication>
#include <QCursor>
#include <QEventLoop>
#include <QTimer>
#include <QWidget>
#include <cctype>

#include "app/WaitWindow.h"
#include "foundation/Exception.h"

namespace vandrel::app {
namespace {

// How often the elapsed time is looked at while the window shows.
constexpr int kTickMs = 200;
// How often a dropped connect's new connections are cut while the driver keeps trying.
constexpr int kCutAgainMs = 50;

// The number of a progress message "NN percent ...", else -1.
int PercentOf(const std::string& Message) {
  size_t digits = 0;
  while (digits < Message.size() && digits < 3 && std::isdigit(static_cast<unsigned char>(Message[digits]))) ++digits;
  if (digits == 0 || Message.compare(digits, 8, " percent") != 0) return -1;
  return std::stoi(Message.substr(0, digits));
}

}  // namespace

std::string MessageOf(const std::string& Line) {
  size_t at = 0;
  while (at < Line.size() && Line[at] == '[') {
    const size_t end = Line.find(']', at);
    if (end == std::string::npos) break;
    at = Line.find_first_not_of(' ', end + 1);
    if (at == std::string::npos) return {};
  }
  return Line.substr(at);
}

TStatementWaiter::TStatementWaiter(QWidget* Owner) : FOwner(Owner) {
  FClock.start();
  FDropTimer.setSingleShot(true);
  connect(&FDropTimer, &QTimer::timeout, this, [this] {
    if (FWaiting && !FWorker.Ended()) Drop();
  });
  connect(&FCutTimer, &QTimer::timeout, this, [this] { Cut(); });
  // A cancel that reaches the driver before it has sent the statement is lost: the driver
  // has nothing to cancel yet. The link sends it again only once the first had time to work.
  FCancelAgainTimer.setInterval(static_cast<int>(TMOdbcLink::CancelAgainAfter.count()));
  connect(&FCancelAgainTimer, &QTimer::timeout, this, [this] {
    if (!FWaiting || FWorker.Ended() || FDropped || !FLink || !FLink->Cancel()) FCancelAgainTimer.stop();
  });
}

TStatementWaiter::~TStatementWaiter() = default;

void TStatementWaiter::Attach(TMOdbcLink* Link) {
  FLink = Link;
  Link->OnStatementWait = [this](TMOdbcLink*, const TMOdbcLink::TStatementCall& Call) { return Run(Call); };
  Link->OnStatementInfo = [this](TMOdbcLink*, const AnsiString& Line) { Info(Line); };
}

void TStatementWaiter::SetStatement(const std::string& Text) {
  if (FWaiting) return;  // a statement refused because another one runs
  FStatement = Text;
  FCancelled = false;
  FDropped = false;
  FTimedOut = false;
  FInStatement = true;
  FClock.restart();
}

void TStatementWaiter::StatementEnded() {
  if (FWaiting) return;
  FInStatement = false;
  HideWindow();
}

TWaitWindow* TStatementWaiter::Window() const { return FWindow && FWindow->isVisible() ? FWindow.data() : nullptr; }

SQLRETURN TStatementWaiter::Run(const TMOdbcLink::TStatementCall& Call) {
  // An event handled while a statement waits must not start another on the same link.
  if (FWaiting) throw Exception("Poprzednie polecenie SQL jeszcze trwa.");
  FWaiting = true;
  FStopAsked = false;
  if (!FInStatement) FClock.restart();
  StopTimers();
  FLoopWanted = false;
  // The worker marks the call ended before it reads FLoopWanted, and the owner sets that
  // before it asks whether the call ended: one of them sees the other's write.
  FWorker.Start(Call, [this] {
    if (FLoopWanted) QMetaObject::invokeMethod(this, [this] { if (FLoop) FLoop->quit(); }, Qt::QueuedConnection);
  });
  if (!FWorker.WaitFor(Quiet)) WaitInWindow();
  SQLRETURN rc = SQL_ERROR;
  try {
    rc = FWorker.Take();
  } catch (...) {
    FWaiting = false;
    StopTimers();
    if (FStopAsked) FCancelled = true;
    if (!FInStatement) HideWindow();
    throw;
  }
  FWaiting = false;
  StopTimers();
  if (FStopAsked && rc == SQL_ERROR) FCancelled = true;
  if (!FInStatement) HideWindow();
  return rc;
}

void TStatementWaiter::WaitInWindow() {
  QEventLoop loop;
  FLoop = &loop;
  FLoopWanted = true;
  if (ShowsWindow && !Window()) {
    // Until the window shows, the user's input waits, so no second command can start.
    QTimer show;
    show.setSingleShot(true);
    connect(&show, &QTimer::timeout, &loop, &QEventLoop::quit);
    show.start(std::max<qint64>(0, ShowAfter - FClock.elapsed()));
    while (!FWorker.Ended() && show.isActive()) loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!FWorker.Ended()) ShowWindow();
  }
  QTimer tick;
  connect(&tick, &QTimer::timeout, this, [this] { Tick(); });
  tick.start(kTickMs);
  while (!FWorker.Ended()) loop.exec();
  FLoop = nullptr;
}

void TStatementWaiter::ShowWindow() {
  QWidget* parent = QApplication::activeModalWidget() ? QApplication::activeModalWidget() : FOwner;
  FWindow = new TWaitWindow(parent);
  connect(FWindow, &TWaitWindow::StopRequested, this, [this] { Stop(); });
  FWindow->SetWhat(QString::fromStdString(FCaption.empty() ? FStatement : FCaption));
  FShownSeconds = -1;
  // The statement's wait cursor is not the window's: its button is meant to be clicked.
  QApplication::setOverrideCursor(QCursor(Qt::ArrowCursor));
  FWindow->show();
  Tick();
  emit WindowShown();
}

void TStatementWaiter::HideWindow() {
  CloseWaitWindow(FWindow);
}

void TStatementWaiter::Tick() {
  WatchTimeout();
  const int seconds = static_cast<int>(FClock.elapsed() / 1000);
  if (!FWindow || seconds == FShownSeconds) return;
  FShownSeconds = seconds;
  FWindow->SetElapsed(seconds);
  emit ElapsedChanged(seconds);
}

void TStatementWaiter::Info(const std::string& Line) {
  const std::string message = MessageOf(Line);
  const int percent = PercentOf(message);
  if (FProgress) FProgress(percent, message);
  if (FWindow) FWindow->SetProgress(percent, QString::fromStdString(message));
}

void TStatementWaiter::Stop() {
  FStopAsked = true;
  ++FStops;
  emit StopRequested();
  // A connect cannot be cancelled: it is dropped at once. A statement gets the server's
  // acknowledgement, or is dropped when none comes.
  if (!FLink || FConnecting || !FLink->Cancel()) {
    Drop();
  } else if (!FDropTimer.isActive()) {
    FDropTimer.start(DropAfter);
    FCancelAgainTimer.start();
  }
}

void TStatementWaiter::StopTimers() {
  FDropTimer.stop();
  FCutTimer.stop();
  FCancelAgainTimer.stop();
}

void TStatementWaiter::WatchTimeout() {
  // The driver sends the server a cancel when a call's time-out passes, and then waits as
  // long again for its answer; a call whose driver keeps no time-out is cancelled here. An
  // answer that does not come within DropAfter ends the wait.
  if (!FWaiting || FDropTimer.isActive() || FDropped) return;
  const int driverLimit = FLink ? FLink->GetWaitingTimeout() : 0;
  const int limit = driverLimit > 0 ? driverLimit : CallTimeout;
  if (limit <= 0 || FClock.elapsed() < qint64(limit) * 1000) return;
  FTimedOut = true;
  if (driverLimit == 0 && !FConnecting && FLink && FLink->Cancel()) FCancelAgainTimer.start();
  FDropTimer.start(DropAfter);
}

void TStatementWaiter::Drop() {
  if (FDropped || FWorker.Ended()) return;
  FDropped = true;
  ++FDrops;
  emit ConnectionDropped();
  Cut();
  // A driver may try the connect again (another protocol version): each new attempt is cut
  // too, until the call gives up.
  if (FConnecting) FCutTimer.start(kCutAgainMs);
}

void TStatementWaiter::Cut() {
  if (FWorker.Ended()) return FCutTimer.stop();
  platform::ShutdownTcpSockets(FConnecting ? platform::SocketsSince(FBeforeConnect) : FConnection);
}

void TStatementWaiter::BeginConnect() {
  FConnecting = true;
  FDropped = false;
  FCancelled = false;
  FTimedOut = false;
  FConnection.clear();
  FBeforeConnect = platform::TcpSocketInodes();
  FClock.restart();
}

bool TStatementWaiter::ConnectionEnded() const { return !FConnection.empty() && platform::TcpConnectionEnded(FConnection); }

void TStatementWaiter::EndConnect(bool Connected) {
  FConnecting = false;
  if (Connected) FConnection = platform::SocketsSince(FBeforeConnect);
  FBeforeConnect.clear();
}

WaitTask::WaitTask(TStatementWaiter& Waiter, std::string Caption, TStatementWaiter::TProgress Progress)
    : FWaiter(Waiter), FCaption(std::exchange(Waiter.FCaption, std::move(Caption))),
      FProgress(std::exchange(Waiter.FProgress, std::move(Progress))) {}

WaitTask::~WaitTask() {
  FWaiter.FCaption = std::move(FCaption);
  FWaiter.FProgress = std::move(FProgress);
}

}  // namespace vandrel::app
