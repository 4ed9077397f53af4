#pragma once
// The data sources the ODBC driver manager knows (user and system), as SQLDataSources lists them.
#include <string>
#include <vector>

namespace vandrel::app {

struct OdbcDataSource {
  std::string Name;
  std::string Description;  // the driver's name
};

enum class TOdbcSourceScope { osAll, osUser, osSystem };

// The user's data sources first, then the system's (or only one kind).
std::vector<OdbcDataSource> ListOdbcDataSources(TOdbcSourceScope Scope = TOdbcSourceScope::osAll);

// A value of a data source's section (user or system); empty when absent.
std::string OdbcDataSourceValue(const std::string& DataSource, const std::string& Key);

}  // namespace vandrel::app
