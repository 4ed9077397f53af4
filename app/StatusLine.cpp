#include "app/StatusLine.h"

#include <QAbstractItemModel>
#include <QLabel>
#include <QTreeWidget>

#include "app/MainWindow.h"
#include "app/NodeKinds.h"

namespace vandrel::app {

TStatusLine::TStatusLine(QWidget* Parent) : QStatusBar(Parent) {
  setObjectName("StatusBar1");
  setSizeGripEnabled(true);
  const auto label = [this](const char* Name, int Stretch) {
    auto* l = new QLabel(this);
    l->setObjectName(Name);
    l->setContentsMargins(4, 0, 4, 0);
    addPermanentWidget(l, Stretch);
    return l;
  };
  ServerLabel = label("ServerLabel", 2);
  UserLabel = label("UserLabel", 1);
  StateLabel = label("StateLabel", 1);
  RowsLabel = label("RowsLabel", 1);
  ShowConnection({}, {}, TConnectionState::NotConnected);
  ShowRowCount(0);
}

void TStatusLine::ShowConnection(const QString& Server, const QString& User, TConnectionState State) {
  ServerLabel->setText(QStringLiteral("Serwer: ") + (Server.isEmpty() ? QStringLiteral("-") : Server));
  UserLabel->setText(QStringLiteral("Użytkownik: ") + (User.isEmpty() ? QStringLiteral("-") : User));
  switch (State) {
    case TConnectionState::NotConnected: StateLabel->setText(QStringLiteral("Brak połączenia")); break;
    case TConnectionState::Connected: StateLabel->setText(QStringLiteral("Połączono")); break;
    case TConnectionState::Lost: StateLabel->setText(QStringLiteral("Połączenie przerwane")); break;
  }
}

void TStatusLine::ShowRowCount(int Rows) { RowsLabel->setText(QStringLiteral("Wierszy: %1").arg(Rows)); }

void TStatusLine::ShowStopped(int Rows) { RowsLabel->setText(QStringLiteral("przerwano po %1 wierszach").arg(Rows)); }

void TForm1::CreateStatusBar() {
  StatusBar1 = new TStatusLine(this);
  setStatusBar(StatusBar1);
  // The line follows the tree (the server node's image is the connection's state), the list
  // and the link; nothing else needs to remember to refresh it.
  QAbstractItemModel* tree = TreeView1->model();
  const auto connection = [this] { UpdateConnectionStatus(); };
  connect(tree, &QAbstractItemModel::dataChanged, this, connection);
  connect(tree, &QAbstractItemModel::rowsInserted, this, connection);
  connect(tree, &QAbstractItemModel::rowsRemoved, this, connection);
  connect(tree, &QAbstractItemModel::modelReset, this, connection);
  TListModel* list = ListView1->Model();
  const auto rows = [this] { StatusBar1->ShowRowCount(ListView1->RowCount()); };
  connect(list, &QAbstractItemModel::modelReset, this, rows);
  connect(list, &QAbstractItemModel::rowsInserted, this, rows);
  connect(list, &QAbstractItemModel::rowsRemoved, this, rows);
  connect(list, &QAbstractItemModel::layoutChanged, this, rows);
  MOdbcLink1->OnAfterConnectChange = [this](TObject*) { UpdateConnectionStatus(); };
}

void TForm1::UpdateConnectionStatus() {
  QString server;
  TConnectionState state = MOdbcLink1->GetConnected() ? TConnectionState::Connected : TConnectionState::NotConnected;
  if (const QTreeWidgetItem* top = TreeView1->topLevelItemCount() ? TreeView1->topLevelItem(0) : nullptr) {
    // "Serwer (" + name + ")": the name the tree shows.
    const QString text = top->text(0);
    const int open = text.indexOf('('), close = text.lastIndexOf(')');
    if (open >= 0 && close > open) server = text.mid(open + 1, close - open - 1);
    const int image = NodeImage(top);
    if (image == nkServer) state = TConnectionState::Connected;
    if (image == nkServerLost) state = TConnectionState::Lost;
  }
  if (server.isEmpty()) server = QString::fromStdString(ConnectionStringValue("SERVER"));
  if (server.isEmpty()) {
    const std::string dsn = ConnectionStringValue("DSN");
    if (!dsn.empty()) server = QStringLiteral("DSN=") + QString::fromStdString(dsn);
  }
  // The login the server accepted; the one asked for only until the server has answered.
  const std::string user = ServerUser.empty() ? ConnectionStringValue("UID") : ServerUser;
  StatusBar1->ShowConnection(server, QString::fromStdString(user), state);
}

}  // namespace vandrel::app
