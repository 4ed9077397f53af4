#include "app/query/NewQuery.h"

#include <QWidget>

#include "app/CommandContext.h"
#include "app/DialogSeam.h"
#include "app/query/QueryWindow.h"

namespace vandrel::app {

TQueryWindow* NewQueryCommand(TCommandContext& Context) {
  const std::string connection = Context.DriverConnectionString();
  if (connection.empty() || !Context.EnsureConnected()) {
    ShowMessage(Context.DialogParent(),
                QStringLiteral("Brak połączenia z serwerem.\r\n\r\nWybierz „Połącz z serwerem...” w menu Bazy (Ctrl+N), "
                               "aby połączyć się z serwerem."),
                QStringLiteral("Brak połączenia"), MsgIcon::Error);
    return nullptr;
  }
  // Owned by the main window, so that it goes with it, but a window of its own.
  auto* window =
      new TQueryWindow(connection, Context.ConnectedServerName(), Context.SelectedDatabase(), Context.DialogParent());
  window->show();
  window->Connect();
  return window;
}

bool CloseQueryWindows(QWidget* Owner) {
  for (TQueryWindow* window : Owner->findChildren<TQueryWindow*>(Qt::FindDirectChildrenOnly)) {
    if (!window->isVisible()) continue;  // closed already, deleted once the loop gets to it
    const bool running = window->Running();
    if (window->close()) continue;
    if (running)
      QObject::connect(
          window, &TQueryWindow::CloseDecided, Owner,
          [Owner](bool Closed) {
            // Queued: the window's run has to return first.
            if (Closed) QMetaObject::invokeMethod(Owner, [Owner] { Owner->close(); }, Qt::QueuedConnection);
          },
          Qt::SingleShotConnection);
    return false;
  }
  return true;
}

}  // namespace vandrel::app
