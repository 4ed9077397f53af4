#pragma once
// The ODBC connection string of the SQL Server driver: built from the connection dialog's
// fields, read key by key, and adapted for the Linux driver when handed to the link.
#include <string>

namespace vandrel::app {

struct ConnectionFields {
  std::string Server = "(local)";
  std::string Library = "Gniazda TCP/IP";
  std::string User = "sa";
  std::string Password;
};

// The dialog's string, exactly as the Windows driver takes it (nothing quoted or trimmed).
std::string BuildConnectionString(const ConnectionFields& Fields);

// The text after the first occurrence of Key (case-sensitive) and one further character,
// up to the next ";" or the end; empty when Key is absent.
std::string ConnectionStringValue(const std::string& ConnectionString, const std::string& Key);

// The value of Key as the driver reads it (the key starts the string or follows ";", any
// case); empty when absent.
std::string DriverKeyValue(const std::string& ConnectionString, const std::string& Key);

// The string the Linux driver is given. FreeTDS reads SERVER as a host name ("host",
// "host,port" or "host\instance") and ignores Address, so the Windows-only names "(local)"
// and "." (alone or with "\instance") become the loopback address, and a fixed TCP port
// (FixedPort not empty and not "0") is appended to a host without instance or port. The
// driver is told that the program's text is UTF-8 (ClientCharset) unless the string says,
// for a string with SERVER and for one with DSN whose data source names no character set.
std::string AdaptConnectionStringForDriver(const std::string& ConnectionString,
                                           const std::string& FixedPort,
                                           bool DataSourceNamesCharset = false);

}  // namespace vandrel::app
