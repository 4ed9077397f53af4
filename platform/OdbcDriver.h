#pragma once
// The SQL Server ODBC driver as unixODBC finds it: by the name the Windows tool uses ("SQL
// Server", registered in odbcinst.ini) or, on a machine where nobody registered that name, as
// FreeTDS's library itself, which the driver manager loads from its path.
#include <string>

namespace vandrel::platform {

// True when odbcinst.ini (the user's or the system's) names a library for the driver Name.
bool OdbcDriverRegistered(const std::string& Name);

// The path of FreeTDS's ODBC library (libtdsodbc.so of the package tdsodbc); empty when it is
// not installed.
std::string FreeTdsDriverLibrary();

}  // namespace vandrel::platform
