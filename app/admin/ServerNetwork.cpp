#include "app/admin/ServerNetwork.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cstdlib>

#include "app/CommandContext.h"
#include "app/DialogSeam.h"
#include "app/QtText.h"
#include "app/WaitCursor.h"
#include "app/admin/PortProbe.h"
#include "platform/FreeTdsConf.h"

namespace vandrel::app::admin {

namespace {

// How long a port that does not answer is waited for.
constexpr int kProbeMilliseconds = 1000;


std::string Property(TCommandContext& Context, const char* Name) {
  return Context.QueryScalar(std::string("select CAST(SERVERPROPERTY('") + Name + "') AS nvarchar(128))", "master").Value;
}

// A value of the server's own registry key (the instance's, on a named instance); empty where
// the server does not say or the login may not read it, without an error report.
std::string ServerRegistryValue(TCommandContext& Context, const char* Key, const char* Value) {
  TextList rows;
  {
    TQuietErrors quiet(Context);
    Context.QueryToList(rows, std::string("exec master..xp_instance_regread 'HKEY_LOCAL_MACHINE', '") + Key + "', '" +
                                  Value + "'",
                        "master");
  }
  // A flat result list: the column count, then the row's (Value, Data).
  return rows.size() >= 3 && rows[0] == "2" ? rows[2] : std::string();
}

QString YesNo(bool Answered) { return Answered ? QStringLiteral("tak") : QStringLiteral("nie odpowiada"); }

}  // namespace

TServerFacts ReadServerNetworkFacts(TCommandContext& Context) {
  TServerFacts facts;
  const std::string instance = Property(Context, "InstanceName");
  facts.emplace_back(QStringLiteral("Serwer:"), Q(Property(Context, "ServerName")));
  facts.emplace_back(QStringLiteral("Instancja:"),
                     instance.empty() ? QStringLiteral("domyślna (MSSQLSERVER)") : Q(instance));
  facts.emplace_back(QStringLiteral("Wersja:"), Q(Property(Context, "ProductVersion") + " " +
                                                  Property(Context, "ProductLevel") + ", " +
                                                  Property(Context, "Edition")));
  const std::string registryPort =
      ServerRegistryValue(Context, "SOFTWARE\\Microsoft\\MSSQLServer\\MSSQLServer\\SuperSocketNetLib\\Tcp", "TcpPort");
  facts.emplace_back(QStringLiteral("Port TCP w rejestrze serwera:"),
                     registryPort.empty() ? QStringLiteral("serwer go nie podaje") : Q(registryPort));

  // Where the tool's own connection reaches the server: a port named with the server, else
  // the one FreeTDS takes from TDSPORT, else the [global] port of freetds.conf (the user's
  // file first, as FreeTDS reads them), else SQL Server's default.
  const platform::TFreeTdsServer server = platform::FreeTdsServerFromName(Context.ConnectionStringValue("SERVER"));
  std::string port = server.Port;
  if (port.empty() && std::getenv("TDSPORT")) port = std::getenv("TDSPORT");
  if (port.empty()) port = platform::FreeTdsGlobalPort();
  if (port.empty()) port = "1433";
  facts.emplace_back(QStringLiteral("Połączenie narzędzia:"),
                     Q(server.Host + ", port TCP " + port) +
                         (server.Instance.empty() ? QString() : QStringLiteral(", instancja ") + Q(server.Instance)));
  const int connectionPort = std::atoi(port.c_str());
  WaitCursor busy;
  facts.emplace_back(QStringLiteral("Odpowiada na porcie TCP %1:").arg(connectionPort),
                     YesNo(TcpPortAnswers(server.Host, connectionPort, kProbeMilliseconds)));
  if (connectionPort != 1433) {
    facts.emplace_back(QStringLiteral("Odpowiada na porcie TCP 1433:"),
                       YesNo(TcpPortAnswers(server.Host, 1433, kProbeMilliseconds)));
  }
  const std::string browser = BrowserAnswer(server.Host, kProbeMilliseconds);
  facts.emplace_back(QStringLiteral("SQL Server Browser (UDP 1434):"), browser.empty() ? YesNo(false) : Q(browser));
  return facts;
}

TServerNetworkDlg::TServerNetworkDlg(QWidget* Parent, TCommandContext& Context)
    : QDialog(Parent), FContext(Context) {
  setObjectName("ServerNetworkDlg");
  setWindowTitle(QStringLiteral("Biblioteki komunikacyjne serwera"));
  Facts = new QTreeWidget;
  Facts->setObjectName("Facts");
  Facts->setRootIsDecorated(false);
  Facts->setHeaderLabels({QStringLiteral("Parametr"), QStringLiteral("Wartość")});
  Facts->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  RefreshButton = new QPushButton(QStringLiteral("Odśwież"));
  RefreshButton->setObjectName("RefreshButton");
  CloseButton = new QPushButton(QStringLiteral("Zamknij"));
  CloseButton->setObjectName("CloseButton");
  CloseButton->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(RefreshButton);
  buttons->addWidget(CloseButton);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Facts);
  layout->addLayout(buttons);
  resize(560, 300);
  connect(RefreshButton, &QPushButton::clicked, this, &TServerNetworkDlg::Reload);
  connect(CloseButton, &QPushButton::clicked, this, &QDialog::accept);
  Reload();
}

void TServerNetworkDlg::Reload() {
  Facts->clear();
  for (const auto& [caption, value] : ReadServerNetworkFacts(FContext)) new QTreeWidgetItem(Facts, {caption, value});
}

void ShowServerNetwork(TCommandContext& Context) {
  TServerNetworkDlg dialog(Context.DialogParent(), Context);
  DialogSeam::Current().ExecDialog(&dialog);
}

}  // namespace vandrel::app::admin
