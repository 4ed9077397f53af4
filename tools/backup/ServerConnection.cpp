#include "tools/backup/ServerConnection.h"

#include "app/ConnectionString.h"
#include "data/OdbcError.h"
#include "platform/OdbcDriver.h"

namespace vandrel::backup {

namespace {
const char* const kDriverName = "SQL Server";
}  // namespace

std::string MissingDriverText() {
  if (platform::OdbcDriverRegistered(kDriverName) || !platform::FreeTdsDriverLibrary().empty()) return {};
  return "brak sterownika ODBC SQL Server: unixODBC nie zna sterownika \"SQL Server\" (odbcinst.ini), a biblioteki "
         "FreeTDS libtdsodbc.so nie ma na tym komputerze; zainstaluj pakiet tdsodbc (sudo apt-get install tdsodbc)";
}

void ConnectToServer(TMOdbcLink& Link, const std::string& Server, const std::string& User,
                     const std::string& Password) {
  app::ConnectionFields fields;
  fields.Server = Server;
  fields.User = User;
  fields.Password = Password;
  std::string connection = app::AdaptConnectionStringForDriver(app::BuildConnectionString(fields), "");
  // Where nobody registered the driver under its Windows name, the driver manager loads
  // FreeTDS's library by its path: nothing has to be set up or exported first.
  if (!platform::OdbcDriverRegistered(kDriverName)) {
    const std::string library = platform::FreeTdsDriverLibrary();
    if (!library.empty())
      connection = "DRIVER=" + app::BraceConnectionValue(library) + connection.substr(connection.find(';'));
  }
  Link.OnGetConnectString = [connection](TMOdbcLink*, AnsiString& AConnectString, const AnsiString, const AnsiString,
                                         const AnsiString, TMOdbcConnectOption& AOption, HWND&) {
    AConnectString = connection;
    AOption = mcoNoPrompt;
  };
  Link.SetConnected(true);
}

std::string ServerMessage(const Exception& e) {
  const auto* mac = dynamic_cast<const EMException*>(&e);
  std::string fallback = e.Message;
  if (mac != nullptr) {
    for (int i = 1; i < mac->GetTopicCount(); ++i) {
      const auto* driver = dynamic_cast<const EMOdbcDriverError*>(mac->GetTopics(i));
      if (driver == nullptr) continue;
      std::string text = driver->Message;
      if (const size_t bracket = text.rfind(']'); bracket != std::string::npos) text = text.substr(bracket + 1);
      const std::string line = "[" + std::to_string(driver->NativeError) + "] " + text;
      if (driver->NativeError != 3013) return line;
      fallback = line;
    }
  }
  return fallback;
}

}  // namespace vandrel::backup
