// The name of the SQL Server ODBC driver for the server the window is connected to, looked up
// once after connecting: "SQL Native Client" for SQL Server 2005, "SQL Server" otherwise, as
// far as the machine's driver list has them.
#include "app/DialogSeam.h"
#include "app/MainWindow.h"
#include "foundation/Trim.h"
#include "platform/Registry.h"

namespace vandrel::app {

std::string TForm1::DetectOdbcDriver() {
  try {
    const std::string version(Trim(QueryScalar("sp_MSgetversion", "master").Value));
    if (version.empty()) return "SQL Server";
    std::string driver = version.rfind("9.", 0) == 0 ? "SQL Native Client" : "SQL Server";
    platform::TRegistry registry(platform::HKEY_LOCAL_MACHINE);
    if (registry.OpenKeyReadOnly("SOFTWARE\\ODBC\\ODBCINST.INI\\ODBC Drivers") &&
        !registry.ValueExists(driver)) {
      if (registry.ValueExists("SQL Native Client"))
        driver = "SQL Native Client";
      else if (registry.ValueExists("SQL Server"))
        driver = "SQL Server";
      else
        ShowMessage(this, QStringLiteral("Nie wykryto sterownika MSSQL"),
                    QStringLiteral("Błąd tworzenia połączenia sieciowego"), MsgIcon::Error, mbOK | mbCancel);
    }
    return driver;
  } catch (...) {
    return "SQL Server";
  }
}

}  // namespace vandrel::app
