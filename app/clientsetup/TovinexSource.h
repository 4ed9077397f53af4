#pragma once
// The client entries as a technician checks them: the server their data sources name (the
// way this tool reached the server), a connection through the written data source with the
// Tovinex login, and the files a set-up changed.
#include <QString>
#include <string>
#include <vector>

#include "app/CommandContext.h"

namespace vandrel::app::clientsetup {

// The server as this tool reached it: the host or address typed, with the port when one was
// given, or the instance; "(local)" when the connection named none.
std::string ServerAsReached(TCommandContext& Context);

// Connects through the data source Database with Login and the Tovinex password of Database,
// as a Tovinex workstation does; false with the driver's reason in Failure.
bool TestTovinexSource(const std::string& Database, const std::string& Login, std::string& Failure);

// The client set-up's files as they were when made; Changed names those that differ now.
class TClientFiles {
 public:
  TClientFiles();
  std::vector<std::string> Changed() const;

 private:
  std::vector<std::pair<std::string, std::string>> FBefore;  // file, text
};

// "Źródło danych ODBC: ...", the login (never its password), the server and the files, one to
// a line, for the message that says the entries were made.
QString TovinexSourceSummary(const std::string& Database, const std::string& Login, const std::string& Server,
                             const std::vector<std::string>& Files);

}  // namespace vandrel::app::clientsetup
