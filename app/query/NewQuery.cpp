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

}  // namespace vandrel::app
