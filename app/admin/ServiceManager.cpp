#include "app/admin/ServiceManager.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstdlib>

#include "app/DialogSeam.h"
#include "app/MainWindow.h"
#include "app/ServiceStatusText.h"
#include "app/WaitCursor.h"
#include "app/admin/DatabaseFiles.h"
#include "app/admin/Launcher.h"
#include "foundation/TxTools.h"
#include "platform/CommandLine.h"
#include "platform/FileSystem.h"

namespace vandrel::app::admin {

namespace {

const QString kCaption = QStringLiteral("SQL Service Manager");
// systemctl answers at once unless the service manager itself hangs.
constexpr int kStatusMilliseconds = 10000;

}  // namespace

std::string ServerServiceName() {
  const char* name = std::getenv("VANDREL_SERVER_SERVICE");
  return name && *name ? name : "mssql-server";
}

std::string ServiceControlProgram() { return TxTools::SystemDirectory() + "/systemctl"; }

TServiceManagerDlg::TServiceManagerDlg(QWidget* Parent) : QDialog(Parent) {
  setObjectName("ServiceManagerDlg");
  setWindowTitle(kCaption);
  ServiceLabel = new QLabel(QStringLiteral("Usługa serwera bazy danych: ") + QString::fromStdString(ServerServiceName()));
  StatusText = new QPlainTextEdit;
  StatusText->setReadOnly(true);
  StatusText->setLineWrapMode(QPlainTextEdit::NoWrap);
  StartButton = new QPushButton(QStringLiteral("Uruchom"));
  StopButton = new QPushButton(QStringLiteral("Zatrzymaj"));
  RestartButton = new QPushButton(QStringLiteral("Uruchom ponownie"));
  RefreshButton = new QPushButton(QStringLiteral("Odśwież"));
  CloseButton = new QPushButton(QStringLiteral("Zamknij"));
  StartButton->setObjectName("StartButton");
  StopButton->setObjectName("StopButton");
  RestartButton->setObjectName("RestartButton");
  RefreshButton->setObjectName("RefreshButton");
  CloseButton->setObjectName("CloseButton");
  auto* buttons = new QHBoxLayout;
  for (QPushButton* b : {StartButton, StopButton, RestartButton, RefreshButton}) buttons->addWidget(b);
  buttons->addStretch();
  buttons->addWidget(CloseButton);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(ServiceLabel);
  layout->addWidget(StatusText);
  layout->addLayout(buttons);
  resize(640, 360);
  connect(StartButton, &QPushButton::clicked, this, [this] { Control("start"); });
  connect(StopButton, &QPushButton::clicked, this, [this] { Control("stop"); });
  connect(RestartButton, &QPushButton::clicked, this, [this] { Control("restart"); });
  connect(RefreshButton, &QPushButton::clicked, this, &TServiceManagerDlg::RefreshStatus);
  connect(CloseButton, &QPushButton::clicked, this, &QDialog::accept);
  RefreshStatus();
}

void TServiceManagerDlg::RefreshStatus() {
  const QString program = QString::fromStdString(ServiceControlProgram());
  if (!platform::FileExists(program.toStdString())) {
    StatusText->setPlainText(QStringLiteral("Brak programu ") + program +
                             QStringLiteral(": ten komputer nie ma menedżera usług systemd."));
    return;
  }
  WaitCursor busy;
  QProcess status;
  status.setProcessChannelMode(QProcess::MergedChannels);
  status.start(program, {QStringLiteral("status"), QStringLiteral("--no-pager"),
                         QString::fromStdString(ServerServiceName())});
  if (!status.waitForFinished(kStatusMilliseconds)) {
    status.kill();
    status.waitForFinished();
    StatusText->setPlainText(QStringLiteral("Menedżer usług nie odpowiedział."));
    return;
  }
  const std::string answer = QString::fromLocal8Bit(status.readAll()).toStdString();
  StatusText->setPlainText(QString::fromStdString(PolishServiceStatus(answer)));
}

void TServiceManagerDlg::Control(const std::string& Verb) {
  const std::string program = ServiceControlProgram();
  TLauncher(this).Launch(platform::QuoteCommandWord(program) + " " + Verb + " " +
                             platform::QuoteCommandWord(ServerServiceName()),
                         program, "0");
  RefreshStatus();
}

void ShowServerService(TForm1& Form) {
  if (!ServerIsThisMachine(Form)) {
    ShowMessage(&Form,
                QStringLiteral("Serwer bazy danych ") + QString::fromStdString(Form.ConnectionStringValue("SERVER")) +
                    QStringLiteral(" działa na innym komputerze. Jego usługą zarządza się na tamtym komputerze."),
                kCaption, MsgIcon::Information);
    return;
  }
  TServiceManagerDlg dialog(&Form);
  DialogSeam::Current().ExecDialog(&dialog);
}

}  // namespace vandrel::app::admin
