// Connecting under the waiting window, and saying plainly when the connection is lost.
#include <QTreeWidget>

#include "app/DialogSeam.h"
#include "app/MainWindow.h"
#include "app/NodeKinds.h"
#include "app/WaitCursor.h"

namespace vandrel::app {

void TForm1::ConnectLink() {
  std::string server = ConnectionStringValue("SERVER");
  if (server.empty()) server = ConnectionStringValue("DSN");
  WaitTask task(Waiter, server.empty() ? "Łączenie z serwerem" : "Łączenie z serwerem " + server);
  Waiter.BeginConnect();
  try {
    WaitCursor busy;
    MOdbcLink1->SetConnected(false);
    MOdbcLink1->SetConnected(true);
  } catch (...) {
    Waiter.EndConnect(false);
    throw;
  }
  Waiter.EndConnect(MOdbcLink1->GetConnected());
  FLostReported = false;
  FLinkLost = false;
  FLastAnswer.start();
  // A server node shown lost is reachable again as soon as the connect succeeded.
  QTreeWidgetItem* top = TreeView1->topLevelItemCount() ? TreeView1->topLevelItem(0) : nullptr;
  if (top && NodeImage(top) == nkServerLost) SetNodeImages(top, nkServer, nkServer);
  UpdateConnectionStatus();
}

void TForm1::ShowConnectionLost(const std::string& Detail) {
  QTreeWidgetItem* top = TreeView1->topLevelItemCount() ? TreeView1->topLevelItem(0) : nullptr;
  if (top && top->text(0).contains(QStringLiteral("Serwer"))) SetNodeImages(top, nkServerLost, nkServerLost);
  UpdateConnectionStatus();
  if (FLostReported) return;
  FLostReported = true;
  // Never connected (the first connect failed or was cancelled): a command has no server to
  // lose, and the user is told where to name one.
  const std::string text =
      top ? "Utracono połączenie z serwerem " + ServerName + "." + (Detail.empty() ? "" : "\r\n" + Detail) +
                "\r\n\r\nSprawdź, czy serwer działa, i naciśnij F5, aby połączyć się ponownie, albo wybierz "
                "„Połącz z serwerem...” w menu Bazy."
          : std::string("Brak połączenia z serwerem.\r\n\r\nWybierz „Połącz z serwerem...” w menu Bazy (Ctrl+N), "
                        "aby połączyć się z serwerem.");
  ShowMessage(this, QString::fromStdString(text), QString::fromUtf8(top ? "Utracono połączenie" : "Brak połączenia"),
              MsgIcon::Error);
}

}  // namespace vandrel::app
