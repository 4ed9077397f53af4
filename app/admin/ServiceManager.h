#pragma once
// The service manager on this platform: a server on this machine runs as a system service,
// shown with its status from systemctl and started, stopped or restarted through the
// launcher (systemd asks for the rights it needs). A server on another machine is looked
// after there, and the command says so.
#include <QDialog>
#include <string>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace vandrel::app {
class TForm1;
}

namespace vandrel::app::admin {

// The server's service unit: $VANDREL_SERVER_SERVICE, else "mssql-server".
std::string ServerServiceName();
// The service manager program: systemctl in the system directory.
std::string ServiceControlProgram();

class TServiceManagerDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TServiceManagerDlg(QWidget* Parent);

  QLabel* ServiceLabel = nullptr;
  QPlainTextEdit* StatusText = nullptr;
  QPushButton* StartButton = nullptr;
  QPushButton* StopButton = nullptr;
  QPushButton* RestartButton = nullptr;
  QPushButton* RefreshButton = nullptr;
  QPushButton* CloseButton = nullptr;

  // Asks systemctl for the service's status and shows its answer.
  void RefreshStatus();
  // Runs systemctl Verb for the service, waits for it and shows the new status.
  void Control(const std::string& Verb);
};

void ShowServerService(TForm1& Form);

}  // namespace vandrel::app::admin
