#include "app/OdbcDataSources.h"

#include <odbcinst.h>
#include <sql.h>
#include <sqlext.h>

#include <strings.h>

#include <algorithm>

#include "platform/FileTransaction.h"
#include "platform/IniText.h"
#include "platform/OdbcRegistry.h"
#include "platform/OdbcSourceName.h"

namespace vandrel::app {

std::vector<OdbcDataSource> ListOdbcDataSources(TOdbcSourceScope Scope) {
  std::vector<OdbcDataSource> sources;
  SQLHENV env = SQL_NULL_HENV;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) return sources;
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  SQLCHAR name[SQL_MAX_DSN_LENGTH + 1], description[512];
  SQLSMALLINT nameLength = 0, descriptionLength = 0;
  const SQLUSMALLINT first = Scope == TOdbcSourceScope::osUser     ? SQL_FETCH_FIRST_USER
                             : Scope == TOdbcSourceScope::osSystem ? SQL_FETCH_FIRST_SYSTEM
                                                                   : SQL_FETCH_FIRST;
  for (SQLUSMALLINT direction = first;; direction = SQL_FETCH_NEXT) {
    SQLRETURN rc = SQLDataSources(env, direction, name, sizeof name, &nameLength, description,
                                  sizeof description, &descriptionLength);
    if (!SQL_SUCCEEDED(rc)) break;
    sources.push_back({reinterpret_cast<char*>(name), reinterpret_cast<char*>(description)});
  }
  SQLFreeHandle(SQL_HANDLE_ENV, env);
  // A FreeTDS data source with a Polish name has a second section, named as FreeTDS reads the
  // name; it is the same data source.
  std::erase_if(sources, [&sources](const OdbcDataSource& s) {
    return std::any_of(sources.begin(), sources.end(), [&s](const OdbcDataSource& other) {
      return other.Name != s.Name && platform::FreeTdsSourceName(other.Name) == s.Name;
    });
  });
  return sources;
}

std::vector<TOdbcSourceEntry> ReadOdbcSourceFile(bool System) {
  const platform::TOdbcRegistry Registry(System ? platform::HKEY_LOCAL_MACHINE : platform::HKEY_CURRENT_USER);
  const auto Doc = platform::TIniDocument::Parse(platform::ReadFileText(Registry.DataSourceFile()));
  const char* const List = "ODBC Data Sources";
  std::vector<TOdbcSourceEntry> Sources;
  const std::vector<std::string> Sections = Doc.Sections();
  for (const auto& Name : Sections) {
    if (strcasecmp(Name.c_str(), List) == 0) continue;
    const bool Reading = !Doc.Value(Name, "Driver") && std::any_of(Sections.begin(), Sections.end(), [&](const auto& Other) {
      return Other != Name && platform::FreeTdsSourceName(Other) == Name;
    });
    if (Reading) continue;
    TOdbcSourceEntry Entry;
    Entry.Name = Name;
    const std::string Driver = Doc.Value(Name, "Driver").value_or("");
    Entry.Driver = Doc.Value(List, Name).value_or(Driver);
    Entry.FreeTds = !Driver.empty() && platform::IsFreeTdsDriver(Driver);
    for (const auto& Key : Doc.Keys(Name)) Entry.Keys.emplace_back(Key, *Doc.Value(Name, Key));
    Sources.push_back(std::move(Entry));
  }
  return Sources;
}

std::string OdbcDataSourceValue(const std::string& DataSource, const std::string& Key) {
  if (DataSource.empty()) return {};
  char value[512] = {};
  SQLSetConfigMode(ODBC_BOTH_DSN);  // the user's data sources first, then the system's
  SQLGetPrivateProfileString(DataSource.c_str(), Key.c_str(), "", value, sizeof value, "odbc.ini");
  return value;
}

}  // namespace vandrel::app
