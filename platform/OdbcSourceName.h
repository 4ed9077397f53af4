#pragma once
// What a data source's name must be for unixODBC and FreeTDS to connect through it, and the
// name under which FreeTDS looks it up.
//
// unixODBC finds a data source by the bytes of its name (UTF-8 here) and refuses a name longer
// than SQL_MAX_DSN_LENGTH bytes. FreeTDS, once loaded, reads the data source's keys again under
// the name it was given, but takes each byte of that name for an ISO-8859-1 character and
// looks up the UTF-8 of that text: "Łódź" is read as "Å\u0081Ã³dÅº". So a FreeTDS data source
// whose name is not plain ASCII gets a second section under that reading, which repeats its
// keys without the driver (unixODBC never loads a driver through it).
#include <string>

namespace vandrel::platform {

// Why Name cannot be a data source connected to by name, in words for the user; empty when it
// can be one. Refused: an empty name, blanks at either end (the ini files drop them), more
// than SQL_MAX_DSN_LENGTH bytes, "[" and "]" (a section header cannot hold them), "=" (the
// list of data sources cannot), control characters, and the name of that list itself.
std::string OdbcSourceNameProblem(const std::string& Name);

// The name under which FreeTDS reads the data source Name; Name itself when it is ASCII.
std::string FreeTdsSourceName(const std::string& Name);

}  // namespace vandrel::platform
