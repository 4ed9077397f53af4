#include "app/clientsetup/TovinexRegistry.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <stdexcept>

#include "app/DialogSeam.h"
#include "app/ServerPaths.h"
#include "foundation/Exception.h"
#include "foundation/MacError.h"
#include "platform/ClientSetupFiles.h"
#include "platform/FileSystem.h"
#include "platform/FileTransaction.h"
#include "platform/FreeTdsConf.h"
#include "platform/Registry.h"
#include "platform/WindowsPaths.h"

namespace vandrel::app::clientsetup {

std::string RegistryFailureReason(const std::exception& E) {
  if (const auto* Registry = dynamic_cast<const EMRegistryError*>(&E)) return Registry->GetDetails();
  return E.what();
}

namespace {

using platform::HKEY;
using platform::HKEY_CURRENT_USER;
using platform::HKEY_LOCAL_MACHINE;
using platform::TRegistry;

const char* const kSourceList = "SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources";
const char* const kSourceKey = "SOFTWARE\\ODBC\\ODBC.INI\\";
const char* const kLogDirectory = "C:\\Logi";

// A key that did not open, with the reason when the store could not be written.
class EKeyNotOpened : public std::runtime_error {
 public:
  EKeyNotOpened(const std::string& Key, const std::string& Why)
      : std::runtime_error(Why.empty() ? "Nie można utworzyć klucza " + Key : Why) {}
};

void CreateKey(TRegistry& Reg, const std::string& Key) {
  std::string Why;
  try {
    if (Reg.OpenKey(Key, true)) return;
  } catch (const std::exception& E) {
    Why = RegistryFailureReason(E);
  }
  throw EKeyNotOpened(Key, Why);
}

std::string Lower(const std::string& Text) { return QString::fromStdString(Text).toLower().toStdString(); }

bool IsLocal(const std::string& Server) { return Lower(Server) == "(local)"; }

// The server's pipe for the host of Server ("host", "host,port" or "host\\instance"): a pipe
// name has no port, a named instance has a pipe of its own, and this machine is ".".
std::string PipeName(const std::string& Server) {
  const size_t Slash = Server.find('\\');
  std::string Host = Server.substr(0, std::min(Slash, Server.find(',')));
  if (IsLocal(Host) || Host.empty()) Host = ".";
  const std::string Instance = Slash == std::string::npos ? "" : Server.substr(Slash + 1);
  return "\\\\" + Host + (Instance.empty() ? "\\pipe\\sql\\query" : "\\pipe\\MSSQL$" + Instance + "\\sql\\query");
}

// The data source list entry and the data source itself under one root.
void WriteDataSource(TCommandContext& Context, HKEY Root, const std::string& Database, const std::string& Server) {
  TRegistry Reg(Root);
  CreateKey(Reg, kSourceList);
  Reg.WriteString(Database, Context.DetectedOdbcDriver());
  Reg.CloseKey();
  CreateKey(Reg, kSourceKey + Database);
  const std::string Driver = OdbcDriverPath(Context.DialogParent(), Context.DetectedOdbcDriver());
  Reg.WriteString("Driver", Driver);
  Reg.WriteString("Database", Database);
  Reg.WriteString("LastUser", "sa");
  Reg.WriteString("StatsLog_On", "Yes");
  Reg.WriteString("Server", Server);
  Reg.CloseKey();
}

// The designed message, then what failed and why, and that the files were left as they were.
void Failure(TCommandContext& Context, const QString& Text, const QString& Caption, const std::string& Database,
             const std::string& Why) {
  ShowMessage(Context.DialogParent(),
              Text + QStringLiteral("\n\n") + QString::fromStdString(Why) +
                  QStringLiteral("\n\nNie zapisano żadnego wpisu dla bazy \"%1\" (klucz Tovinex, źródła danych "
                                 "ODBC, alias klienta): pliki konfiguracji pozostały bez zmian.")
                      .arg(QString::fromStdString(Database)),
              Caption, MsgIcon::Error, mbOK | mbCancel);
}
void TovinexFailure(TCommandContext& Context, const std::string& Database, const std::string& Why) {
  Failure(Context, QStringLiteral("Błąd zapisu konfiguracji bazy danych"), QStringLiteral("Tovinex"), Database, Why);
}
void OdbcFailure(TCommandContext& Context, const std::string& Database, const std::string& Why) {
  Failure(Context, QStringLiteral("Błąd zapisu konfiguracji bazy danych do ODBC"), QStringLiteral("ODBC"), Database,
          Why);
}

// The directory of Tovinex's logs, which the tool makes when it is missing. Its failure leaves
// the entries written and is said on its own.
void MakeLogDirectory(TCommandContext& Context) {
  // The path goes through the mapping; the value written stays the Windows path Tovinex reads.
  const std::string LogDirectory = platform::LocalPathOf(kLogDirectory);
  if (platform::DirectoryExists(LogDirectory) || platform::ForceDirectories(LogDirectory)) return;
  const int Code = errno;
  ShowMessage(Context.DialogParent(),
              QStringLiteral("Wpisy zostały zapisane, ale nie udało się utworzyć katalogu logów Tovinex %1: %2")
                  .arg(QString::fromStdString(LogDirectory), QString::fromLocal8Bit(strerror(Code))),
              QStringLiteral("Tovinex"), MsgIcon::Warning);
}

}  // namespace

bool WriteTovinexEntries(TCommandContext& Context, const std::string& Database, const std::string& User,
                         const std::string& Server, TNetworkLibrary Library, bool Archive) {
  // The database's name becomes the file name of its Tovinex log: a name no file can carry
  // is refused before anything is written.
  if (const std::string Problem = FileNameProblem(Database); !Problem.empty()) {
    TovinexFailure(Context, Database, Problem);
    return false;
  }
  // The entries of one set-up reach their files together or not at all.
  std::optional<platform::TFileTransaction> Transaction;
  TRegistry Tovinex(HKEY_LOCAL_MACHINE);
  try {
    Transaction.emplace(platform::ClientSetupJournal());
    CreateKey(Tovinex, kTovinexDatabaseKey + Database);
  } catch (const std::exception& E) {
    TovinexFailure(Context, Database, RegistryFailureReason(E));
    return false;
  }
  try {
    Tovinex.WriteString("RodzajBazyDanych", "MSSQLServer");
    Tovinex.WriteString("OdbcDsn", Database);
    Tovinex.WriteString("KartotekaKas", "C:\\Program Files\\Quorvel\\TovinexWin_7_1\\Kasy");
    Tovinex.WriteString("UserId", User);
    Tovinex.WriteString("CTO", "60");
    Tovinex.WriteString("QTO", "120");
    Tovinex.WriteString("Log", std::string(kLogDirectory) + "\\" + Database + ".log");
    if (Archive) {
      Tovinex.WriteString("Blokada", "1");
    } else {
      Tovinex.DeleteValue("Blokada");
    }
    Tovinex.CloseKey();
  } catch (const std::exception& E) {
    TovinexFailure(Context, Database, RegistryFailureReason(E));
    return false;
  }
  try {
    WriteDataSource(Context, HKEY_CURRENT_USER, Database, Server);

    TRegistry Alias(HKEY_LOCAL_MACHINE);
    CreateKey(Alias, platform::kClientAliasKey);
    if (!IsLocal(Server)) {
      Alias.WriteString(Database,
                        Library == TNetworkLibrary::TcpIp
                            ? "DBMSSOCN," + Server
                            : "DBNMPNTW," + PipeName(Context.ConnectionStringValue("SERVER")));
    }
    Alias.CloseKey();

    WriteDataSource(Context, HKEY_LOCAL_MACHINE, Database, IsLocal(Server) ? "(local)" : Database);
    Transaction->Commit();
  } catch (const std::exception& E) {
    OdbcFailure(Context, Database, RegistryFailureReason(E));
    return false;
  }
  MakeLogDirectory(Context);
  return true;
}

std::string OdbcDriverPath(QWidget* Parent, const std::string& DriverName) {
  const std::string Key = "SOFTWARE\\ODBC\\ODBCINST.INI\\" + DriverName;
  std::string Path;
  bool Found = false;
  try {
    TRegistry Reg(HKEY_CURRENT_USER);
    bool Opened = Reg.OpenKeyReadOnly(Key);
    if (!Opened) {
      Reg.SetRootKey(HKEY_LOCAL_MACHINE);
      Opened = Reg.OpenKeyReadOnly(Key);
    }
    if (Opened && Reg.ValueExists("Driver")) {
      Path = Reg.ReadString("Driver");
      Found = true;
    }
  } catch (const std::exception&) {
  }
  if (!Found) {
    ShowMessage(Parent, QStringLiteral("Brak sterownika ODBC SQL Server!"), QStringLiteral("ODBC"), MsgIcon::Error,
                mbOK | mbCancel);
  }
  return Path;
}

}  // namespace vandrel::app::clientsetup
