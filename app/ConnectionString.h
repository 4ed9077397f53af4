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

// A value of a connection string in braces, as FreeTDS reads them: whatever the value holds
// (";", "=", "}", blanks at its ends) stays part of it, unless it holds "};".
std::string BraceConnectionValue(const std::string& Value);
// Why the driver cannot be given Value for the field Caption (a "};" in it, where FreeTDS ends
// a braced value; a null character), in the user's words; empty when it can.
std::string ConnectionValueProblem(const std::string& Caption, const std::string& Value);
// Why Server is no server name (a host, "(local)", ".", with "\instance" or ",port"): a
// character that could end or open a part of a connection string or configuration file.
std::string ServerNameProblem(const std::string& Server);
// The first problem of the dialog's fields; empty when they can make a connection string.
std::string ConnectionFieldsProblem(const ConnectionFields& Fields);

// The dialog's string, as the Windows driver takes it, every typed value braced (check the
// fields with ConnectionFieldsProblem first); the values are not trimmed.
std::string BuildConnectionString(const ConnectionFields& Fields);

// The value of the first key that ends with Key (case-sensitive, so also a longer key such as
// "XSERVER"), braces taken off; empty when absent. Text inside a braced value is never a key.
std::string ConnectionStringValue(const std::string& ConnectionString, const std::string& Key);

// The value of Key as the driver reads it (any case, braces taken off); empty when absent.
std::string DriverKeyValue(const std::string& ConnectionString, const std::string& Key);

// The string the Linux driver is given. FreeTDS reads SERVER as a host name ("host",
// "host,port" or "host\instance") and ignores Address, so the Windows-only names "(local)"
// and "." (alone or with "\instance") become the loopback address, and a fixed TCP port
// (FixedPort not empty and not "0") is appended to a host without instance or port. The
// driver is told that the program's text is UTF-8 (ClientCharset) unless the string says,
// for a string with SERVER and for one with DSN whose data source names no character set.
// Without a fixed port, "(local)" and "." alone take LocalPort when given: the port this
// machine's server is configured on.
std::string AdaptConnectionStringForDriver(const std::string& ConnectionString,
                                           const std::string& FixedPort,
                                           bool DataSourceNamesCharset = false,
                                           const std::string& LocalPort = "");

}  // namespace vandrel::app
