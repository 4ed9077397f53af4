#pragma once
// "Biblioteki komunikacyjne serwera" on this platform: what the server says about where it
// listens (its name, instance, version, the TCP port in its own registry where it tells it),
// where the tool's own connection reaches it, and whether it answers on the default port 1433
// and through the SQL Server Browser on UDP 1434.
#include <QDialog>
#include <QString>
#include <utility>
#include <vector>

class QPushButton;
class QTreeWidget;

namespace vandrel::app {
class TCommandContext;
}

namespace vandrel::app::admin {

// The facts as (caption, value) rows, in the order shown.
using TServerFacts = std::vector<std::pair<QString, QString>>;
TServerFacts ReadServerNetworkFacts(TCommandContext& Context);

class TServerNetworkDlg : public QDialog {
  Q_OBJECT
 public:
  TServerNetworkDlg(QWidget* Parent, TCommandContext& Context);

  QTreeWidget* Facts = nullptr;  // columns: caption, value
  QPushButton* RefreshButton = nullptr;
  QPushButton* CloseButton = nullptr;

  void Reload();

 private:
  TCommandContext& FContext;
};

void ShowServerNetwork(TCommandContext& Context);

}  // namespace vandrel::app::admin
