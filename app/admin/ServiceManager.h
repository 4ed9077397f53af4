#pragma once
// The service manager on this platform: a server on this machine runs as a system service,
// chosen in the dialog among the machine's units that look like a SQL Server, shown with its
// status from systemctl and started, stopped or restarted (systemd asks for the rights it
// needs); a failed command is shown with its exit status and what systemctl said. A server on
// another machine is looked after there, and the command says so.
#include <QDialog>
#include <QStringList>
#include <string>

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace vandrel::app {
class TCommandContext;
}

namespace vandrel::app::admin {

// The default service unit: $VANDREL_SERVER_SERVICE, else "mssql-server".
std::string ServerServiceName();
// The service manager program: systemctl in the system directory.
std::string ServiceControlProgram();
// The machine's service units whose names look like a SQL Server's (mssql, sql, msde), as
// systemctl lists them, each once, in its order.
QStringList SqlServerUnits();

class TServiceManagerDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TServiceManagerDlg(QWidget* Parent);

  QLabel* ServiceLabel = nullptr;
  QComboBox* ServiceBox = nullptr;  // editable: the units found, the default first
  QPlainTextEdit* StatusText = nullptr;
  QPushButton* StartButton = nullptr;
  QPushButton* StopButton = nullptr;
  QPushButton* RestartButton = nullptr;
  QPushButton* RefreshButton = nullptr;
  QPushButton* CloseButton = nullptr;

  // The unit chosen in the dialog.
  std::string Service() const;
  // Asks systemctl for the chosen service's status and shows its answer.
  void RefreshStatus();
  // Runs systemctl Verb for the service, waits for it (the window stays alive), says how it
  // failed when it did, and shows the new status.
  void Control(const std::string& Verb);
};

void ShowServerService(TCommandContext& Context);

}  // namespace vandrel::app::admin
