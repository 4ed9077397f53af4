// The first show of the main window: the connection dialog (or the driver manager's logon on
// the "ODBC" path), the connect, the driver detection and the tree; the same dialog and
// connect serve "Połącz z serwerem..." at any later time.
#include <QApplication>
#include <QTreeWidget>

#include "app/ConnectFailure.h"
#include "app/ConnectionString.h"
#include "app/DialogSeam.h"
#include "app/DriverRecords.h"
#include "app/MainWindow.h"
#include "app/OdbcDataSources.h"
#include "app/OdbcLogonDialog.h"
#include "app/PasswordDlg.h"
#include "app/RecentConnections.h"
#include "app/StatusLine.h"
#include "app/TableContents.h"
#include "app/WaitCursor.h"
#include "data/OdbcError.h"
#include "platform/FreeTdsConf.h"

namespace vandrel::app {
namespace {

const QString kConnectFailed = QStringLiteral("Nie udało się nawiązanie połączenia z serwem bazy danych MSSQL");

// The failed connection's message, and under it what the driver said, in the user's words.
QString ConnectFailedText(const std::exception* E) {
  const std::string reason = ConnectFailureReason(DriverRecordsOf(E));
  return reason.empty() ? kConnectFailed : kConnectFailed + "\r\n\r\n" + QString::fromStdString(reason);
}

}  // namespace

void TForm1::Terminate() {
  Terminated = true;
  QCoreApplication::quit();
}

void TForm1::FormShow() {
  setWindowTitle(windowTitle() + " (wersja " + QString::fromStdString(MExeVersion1.GetVersionString()) + ")");
  if (!PasswordDlg) PasswordDlg = new TPasswordDlg(this);
  if (!Arguments.isEmpty()) {
    if (Arguments.first().toUpper().contains(QStringLiteral("ODBC"))) {
      if (ConnectThroughDriverPrompt()) {
        RefreshTree();
        DisableDatabaseCommands();
      } else {
        Terminate();
      }
      return;
    }
  }
  ConnectThroughDialog();
}

bool TForm1::ConnectThroughDialog() {
  const std::string previous = ConnectionString;
  PasswordDlg->SetRecent(ReadRecentConnections());
  while (true) {
    if (DialogSeam::Current().ExecDialog(PasswordDlg) != QDialog::Accepted) break;
    // A field the driver cannot be given is said, and the dialog asked again.
    const ConnectionFields fields = PasswordDlg->Fields();
    const std::string problem = ConnectionFieldsProblem(fields);
    if (!problem.empty()) {
      ShowMessage(this, QString::fromStdString(problem), QStringLiteral("Błąd"), MsgIcon::Error);
      continue;
    }
    ConnectionString = BuildConnectionString(fields);
    if (ConnectToServer()) {
      RememberConnection({ServerAsNamed(), fields.User});  // with the port typed in its own field
      return true;
    }
  }
  // Cancel keeps the server the window had: a failed attempt dropped its connection, which
  // the probe makes again as before any command. Never connected, the window keeps what was
  // tried, for the status bar and F5.
  if (!previous.empty() && ConnectionString != previous) {
    ConnectionString = previous;
    if (TreeView1->topLevelItemCount() > 0) EnsureConnected();
    UpdateConnectionStatus();
  }
  return false;
}

bool TForm1::ConnectToServer() {
  UpdateConnectionStatus();
  try {
    ConnectLink();
    ReadServerUser();
    if (!EnsureConnected()) {
      ShowMessage(this, kConnectFailed, QStringLiteral("Błąd"), MsgIcon::Error);
      return false;
    }
    OdbcDriverName = DetectOdbcDriver();
    // Nothing of another server stays on screen, even when the new one's tree cannot be read.
    TreeView1->clear();
    ListView1->Model()->Clear();
    RefreshTree();
    DisableDatabaseCommands();
    return true;
  } catch (const std::exception& e) {
    ShowMessage(this, ConnectFailedText(&e), QStringLiteral("Błąd"), MsgIcon::Error);
  } catch (...) {
    ShowMessage(this, kConnectFailed, QStringLiteral("Błąd"), MsgIcon::Error);
  }
  UpdateConnectionStatus();
  return false;
}

void TForm1::ChooseServer() {
  // Chosen while a statement waits (from the waiting window's event loop): the link is busy.
  if (Waiter.Waiting() || TTableContents::Reading()) return;
  if (!PasswordDlg) PasswordDlg = new TPasswordDlg(this);
  ConnectThroughDialog();
}

// The "ODBC" path: an empty connection string, so that the reconnect asks for a data source.
bool TForm1::ConnectThroughDriverPrompt() {
  ConnectionString.clear();
  return EnsureConnected();
}

void TForm1::MOdbcLink1GetConnectString(std::string& AConnectString, TMOdbcConnectOption& AOption) {
  AOption = mcoComplete;
  if (ConnectionString.empty()) {
    // The driver would have to ask for everything; unixODBC has no dialog of its own, so the
    // tool asks for the data source and the logon. Cancel is the user's silent abort.
    TOdbcLogonDialog logon(this);
    if (DialogSeam::Current().ExecDialog(&logon) != QDialog::Accepted || logon.ConnectionString().empty())
      throw EAbort("Operation aborted");
    AConnectString = ForDriver(logon.ConnectionString());
    return;
  }
  AConnectString = ForDriver(ConnectionString);
}

// Every string handed to the link passes here, whether the dialog built it, the driver
// manager's logon chose a data source or a reconnect reuses the completed string.
std::string TForm1::DriverConnectionString() const {
  // Connected through a data source the driver manager asked for, the link's own string.
  return ConnectionString.empty() ? MOdbcLink1->GetConnectString() : ForDriver(ConnectionString);
}

std::string TForm1::ForDriver(const std::string& Connection) const {
  const QString port = PasswordDlg ? PasswordDlg->FixedPort() : QString();
  const std::string dsn = DriverKeyValue(Connection, "DSN");
  const bool dsnCharset = !dsn.empty() && !OdbcDataSourceValue(dsn, "ClientCharset").empty();
  // "(local)" is this machine's server: where FreeTDS is told it listens, when it is told.
  return AdaptConnectionStringForDriver(Connection, port.toStdString(), dsnCharset, platform::FreeTdsGlobalPort());
}

}  // namespace vandrel::app
