#include "app/clientsetup/TovinexRegistry.h"

#include "app/DialogSeam.h"
#include "app/MainWindow.h"
#include "foundation/Exception.h"
#include "platform/FileSystem.h"
#include "platform/FreeTdsConf.h"
#include "platform/Registry.h"
#include "platform/WindowsPaths.h"

namespace vandrel::app::clientsetup {

namespace {

using platform::HKEY;
using platform::HKEY_CURRENT_USER;
using platform::HKEY_LOCAL_MACHINE;
using platform::TRegistry;

const char* const kSourceList = "SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources";
const char* const kSourceKey = "SOFTWARE\\ODBC\\ODBC.INI\\";
const char* const kLogDirectory = "C:\\Logi";

// Opening with creation as the Windows registry answers it: a store that cannot be written
// is a key that did not open.
bool CreateKey(TRegistry& Reg, const std::string& Key) {
  try {
    return Reg.OpenKey(Key, true);
  } catch (const std::exception&) {
    return false;
  }
}

std::string Lower(const std::string& Text) { return QString::fromStdString(Text).toLower().toStdString(); }

bool IsLocal(const std::string& Server) { return Lower(Server) == "(local)"; }

// The data source list entry and the data source itself under one root; false when the list
// or the key did not open.
bool WriteDataSource(TForm1& Form, HKEY Root, const std::string& Database, const std::string& Server) {
  TRegistry Reg(Root);
  if (!CreateKey(Reg, kSourceList)) return false;
  Reg.WriteString(Database, Form.OdbcDriverName);
  Reg.CloseKey();
  if (!CreateKey(Reg, kSourceKey + Database)) return false;
  const std::string Driver = OdbcDriverPath(&Form, Form.OdbcDriverName);
  Reg.WriteString("Driver", Driver);
  Reg.WriteString("Database", Database);
  Reg.WriteString("LastUser", "sa");
  Reg.WriteString("StatsLog_On", "Yes");
  Reg.WriteString("Server", Server);
  Reg.CloseKey();
  return true;
}

void OdbcFailure(TForm1& Form) {
  ShowMessage(&Form, QStringLiteral("Błąd zapisu konfiguracji bazy danych do ODBC"), QStringLiteral("ODBC"),
              MsgIcon::Error, mbOK | mbCancel);
}

}  // namespace

void WriteTovinexEntries(TForm1& Form, const std::string& Database, const std::string& User,
                         const std::string& Server, TNetworkLibrary Library, bool Archive) {
  try {
    TRegistry Tovinex(HKEY_LOCAL_MACHINE);
    if (!CreateKey(Tovinex, kTovinexDatabaseKey + Database)) {
      ShowMessage(&Form, QStringLiteral("Błąd zapisu konfiguracji bazy danych"), QStringLiteral("Tovinex"),
                  MsgIcon::Error, mbOK | mbCancel);
      return;
    }
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

    // The log directory is the tool's own to make, so it goes through the path mapping; the
    // value above stays the Windows path Tovinex reads.
    const std::string LogDirectory = platform::LocalPathOf(kLogDirectory);
    if (!platform::DirectoryExists(LogDirectory)) platform::ForceDirectories(LogDirectory);

    WriteDataSource(Form, HKEY_CURRENT_USER, Database, Server);

    TRegistry Alias(HKEY_LOCAL_MACHINE);
    if (CreateKey(Alias, platform::kClientAliasKey) && !IsLocal(Server)) {
      Alias.WriteString(Database, Library == TNetworkLibrary::TcpIp
                                      ? "DBMSSOCN," + Server
                                      : "DBNMPNTW,\\\\" + Form.ConnectionStringValue("SERVER") + "\\pipe\\sql\\query");
    }
    Alias.CloseKey();

    if (!WriteDataSource(Form, HKEY_LOCAL_MACHINE, Database, IsLocal(Server) ? "(local)" : Database)) OdbcFailure(Form);
  } catch (const std::exception&) {
    OdbcFailure(Form);
  }
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
