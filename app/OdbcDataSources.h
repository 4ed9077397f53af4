#pragma once
// The data sources the ODBC driver manager knows (user and system), as SQLDataSources lists them.
#include <string>
#include <utility>
#include <vector>

namespace vandrel::app {

struct OdbcDataSource {
  std::string Name;
  std::string Description;  // the driver's name
};

enum class TOdbcSourceScope { osAll, osUser, osSystem };

// The user's data sources first, then the system's (or only one kind).
std::vector<OdbcDataSource> ListOdbcDataSources(TOdbcSourceScope Scope = TOdbcSourceScope::osAll);

// A data source as its file holds it at this moment, its keys as they are written there.
struct TOdbcSourceEntry {
  std::string Name;
  std::string Driver;  // the list's entry for it, else its Driver key
  bool FreeTds = false;  // its Driver is FreeTDS's library, as the driver "SQL Server" is here
  std::vector<std::pair<std::string, std::string>> Keys;
};

// The user's or the system's data sources read from the file itself, in the file's order: the
// driver manager's lists may lag behind a change just made. A Polish-named data source's
// section for FreeTDS is not listed apart.
std::vector<TOdbcSourceEntry> ReadOdbcSourceFile(bool System);

// A value of a data source's section (user or system); empty when absent.
std::string OdbcDataSourceValue(const std::string& DataSource, const std::string& Key);

}  // namespace vandrel::app
