#include "app/admin/ServiceManager.h"

#include <QComboBox>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>
#include <cstdlib>

#include "app/DialogSeam.h"
#include "app/CommandContext.h"
#include "app/ServiceStatusText.h"
#include "app/WaitCursor.h"
#include "app/admin/ThisMachine.h"
#include "foundation/TxTools.h"
#include "platform/FileSystem.h"

namespace vandrel::app::admin {

namespace {

const QString kServiceCaption = QStringLiteral("SQL Service Manager");
// systemctl answers at once unless the service manager itself hangs.
constexpr int kStatusMilliseconds = 10000;

// What systemctl printed for Arguments, its exit status in Status (-1 when it did not run or
// did not end in time).
QString AskSystemctl(const QStringList& Arguments, int& Status) {
  QProcess process;
  process.setProcessChannelMode(QProcess::MergedChannels);
  process.start(QString::fromStdString(ServiceControlProgram()), Arguments);
  Status = -1;
  if (!process.waitForFinished(kStatusMilliseconds)) {
    process.kill();
    process.waitForFinished();
    return {};
  }
  if (process.exitStatus() == QProcess::NormalExit) Status = process.exitCode();
  return QString::fromLocal8Bit(process.readAll());
}

}  // namespace

std::string ServerServiceName() {
  const char* name = std::getenv("VANDREL_SERVER_SERVICE");
  return name && *name ? name : "mssql-server";
}

std::string ServiceControlProgram() { return TxTools::SystemDirectory() + "/systemctl"; }

QStringList SqlServerUnits() {
  QStringList units;
  if (!platform::FileExists(ServiceControlProgram())) return units;
  static const QRegularExpression looksLikeSql(QStringLiteral("mssql|sql|msde"),
                                               QRegularExpression::CaseInsensitiveOption);
  // Loaded units first (running or not), then unit files that are installed but not loaded.
  for (const QStringList& arguments :
       {QStringList{"list-units", "--type=service", "--all", "--no-legend", "--plain", "--no-pager"},
        QStringList{"list-unit-files", "--type=service", "--no-legend", "--no-pager"}}) {
    int status = 0;
    for (const QString& line : AskSystemctl(arguments, status).split('\n', Qt::SkipEmptyParts)) {
      const QString unit = line.trimmed().section(QLatin1Char(' '), 0, 0);
      if (unit.endsWith(QLatin1String(".service")) && looksLikeSql.match(unit).hasMatch() && !units.contains(unit))
        units << unit;
    }
  }
  return units;
}

TServiceManagerDlg::TServiceManagerDlg(QWidget* Parent) : QDialog(Parent) {
  setObjectName("ServiceManagerDlg");
  setWindowTitle(kServiceCaption);
  ServiceLabel = new QLabel(QStringLiteral("Usługa serwera bazy danych:"));
  ServiceBox = new QComboBox;
  ServiceBox->setObjectName("ServiceBox");
  ServiceBox->setEditable(true);
  const QString preset = QString::fromStdString(ServerServiceName());
  QStringList units = SqlServerUnits();
  units.removeAll(preset);
  units.removeAll(preset + QStringLiteral(".service"));
  ServiceBox->addItem(preset);
  ServiceBox->addItems(units);
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
  auto* service = new QHBoxLayout;
  service->addWidget(ServiceLabel);
  service->addWidget(ServiceBox, 1);
  layout->addLayout(service);
  layout->addWidget(StatusText);
  layout->addLayout(buttons);
  resize(640, 360);
  connect(StartButton, &QPushButton::clicked, this, [this] { Control("start"); });
  connect(StopButton, &QPushButton::clicked, this, [this] { Control("stop"); });
  connect(RestartButton, &QPushButton::clicked, this, [this] { Control("restart"); });
  connect(RefreshButton, &QPushButton::clicked, this, &TServiceManagerDlg::RefreshStatus);
  connect(CloseButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(ServiceBox, &QComboBox::activated, this, &TServiceManagerDlg::RefreshStatus);
  RefreshStatus();
}

std::string TServiceManagerDlg::Service() const { return ServiceBox->currentText().trimmed().toStdString(); }

void TServiceManagerDlg::RefreshStatus() {
  const QString program = QString::fromStdString(ServiceControlProgram());
  if (!platform::FileExists(program.toStdString())) {
    StatusText->setPlainText(QStringLiteral("Brak programu ") + program +
                             QStringLiteral(": ten komputer nie ma menedżera usług systemd."));
    return;
  }
  WaitCursor busy;
  int status = 0;
  const QString answer = AskSystemctl({QStringLiteral("status"), QStringLiteral("--no-pager"),
                                       QString::fromStdString(Service())}, status);
  StatusText->setPlainText(status < 0 ? QStringLiteral("Menedżer usług nie odpowiedział.")
                                      : QString::fromStdString(PolishServiceStatus(answer.toStdString())));
}

void TServiceManagerDlg::Control(const std::string& Verb) {
  const QString program = QString::fromStdString(ServiceControlProgram());
  const QStringList arguments = {QString::fromStdString(Verb), QString::fromStdString(Service())};
  const QString command = QStringLiteral("systemctl ") + arguments.join(QLatin1Char(' '));
  // Starting a service may take long: the window stays alive meanwhile, its buttons off.
  setEnabled(false);
  QProcess process;
  process.setProcessChannelMode(QProcess::MergedChannels);
  QEventLoop wait;
  connect(&process, &QProcess::finished, &wait, &QEventLoop::quit);
  connect(&process, &QProcess::errorOccurred, &wait, &QEventLoop::quit);
  process.start(program, arguments);
  if (process.state() != QProcess::NotRunning) wait.exec();
  setEnabled(true);
  const QString said = QString::fromLocal8Bit(process.readAll()).trimmed();
  if (process.error() == QProcess::FailedToStart) {
    ShowMessage(this, QStringLiteral("Błąd uruchomienia programu: ") + program, kServiceCaption, MsgIcon::Error);
  } else if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
    const QString status = process.exitStatus() == QProcess::NormalExit
                               ? QStringLiteral("kodem %1").arg(process.exitCode())
                               : QStringLiteral("awarią programu");
    ShowMessage(this,
                QStringLiteral("Polecenie \"%1\" zakończyło się %2.").arg(command, status) +
                    (said.isEmpty() ? QString() : QStringLiteral("\n\n") + said),
                kServiceCaption, MsgIcon::Error);
  }
  RefreshStatus();
}

void ShowServerService(TCommandContext& Context) {
  const std::string server = Context.ConnectionStringValue("SERVER");
  if (!HostIsThisMachine(server)) {
    ShowMessage(Context.DialogParent(), QStringLiteral("Serwer bazy danych ") + QString::fromStdString(server) +
                    QStringLiteral(" działa na innym komputerze. Jego usługą zarządza się na tamtym komputerze."),
                kServiceCaption, MsgIcon::Information);
    return;
  }
  TServiceManagerDlg dialog(Context.DialogParent());
  DialogSeam::Current().ExecDialog(&dialog);
}

}  // namespace vandrel::app::admin
