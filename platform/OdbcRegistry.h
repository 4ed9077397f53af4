#pragma once
// The ODBC keys of the registry, kept where Linux ODBC programs read them: unixODBC's own
// configuration files. The data source files are read and written by the tool itself in
// unixODBC's format (IniText.h), each change replacing the file whole under its lock
// (FileTransaction.h); the driver list is read through odbcinst.
//
//   SOFTWARE\ODBC\ODBC.INI\<section>   the section of the data source file: the user file
//                                      (~/.odbc.ini or $ODBCINI) under HKEY_CURRENT_USER, the
//                                      system file ($ODBCSYSINI/odbc.ini or /etc/odbc.ini)
//                                      under HKEY_LOCAL_MACHINE; "ODBC Data Sources" is the
//                                      list section of the same file
//   SOFTWARE\ODBC\ODBCINST.INI\ODBC Drivers   the installed drivers, each = "Installed"
//   SOFTWARE\ODBC\ODBCINST.INI\<driver>       the driver's section of odbcinst.ini
//
// The driver list is machine-wide and read-only here: it exists under HKEY_LOCAL_MACHINE
// only, and drivers are installed with odbcinst, not by the tool. Values are strings; the
// ini files keep no blanks at either end of a value and no line breaks in it.
//
// A data source whose Driver is FreeTDS's keeps its Server value as Servername, the name of a
// freetds.conf section that this mapping makes sure exists (FreeTdsConf.h); reading Server
// back gives the value written. A data source is created and written only under a name that
// unixODBC and FreeTDS connect through (OdbcSourceName.h), so a refused name leaves the files
// as they were.
#include <functional>
#include <string>

#include "platform/IniText.h"
#include "platform/RegistryBackend.h"
#include "platform/RegistryRoot.h"

namespace vandrel::platform {

// True for FreeTDS's driver library, named by its path or by its odbcinst.ini section.
bool IsFreeTdsDriver(const std::string& Driver);

class TOdbcRegistry : public TRegistryBackend {
 public:
  explicit TOdbcRegistry(HKEY Root);

  // True when Path is SOFTWARE\ODBC\ODBC.INI or SOFTWARE\ODBC\ODBCINST.INI or lies below them.
  static bool Covers(const TRegPath& Path);
  // The data source file of the root, for messages and for creating it when missing.
  std::string DataSourceFile() const;

  bool KeyExists(const TRegPath& Path) override;
  bool CreateKey(const TRegPath& Path) override;
  bool ValueExists(const TRegPath& Path, const std::string& Name) override;
  std::optional<std::string> ReadString(const TRegPath& Path, const std::string& Name) override;
  std::vector<std::string> ValueNames(const TRegPath& Path) override;
  void WriteString(const TRegPath& Path, const std::string& Name, const std::string& Value) override;
  bool DeleteValue(const TRegPath& Path, const std::string& Name) override;
  // A data source's section goes with all its values; its entry in the list stays for the
  // caller to delete, as in the Windows registry. Other keys cannot be removed. The
  // freetds.conf section the mapping made for a FreeTDS data source goes with the last data
  // source that names it.
  bool DeleteKey(const TRegPath& Path) override;

 private:
  // Where a path points: nowhere, the ODBC.INI or ODBCINST.INI key itself, or a section.
  enum TPlace { opNone, opDataSources, opDataSourceSection, opDrivers, opDriverList, opDriverSection };
  struct TTarget {
    TPlace Place = opNone;
    std::string Section;
  };
  TTarget Locate(const TRegPath& Path) const;
  TIniDocument Sources() const;
  // Edits the data source file under its lock (or within the open file transaction).
  void Change(const std::function<bool(TIniDocument&)>& Edit) const;
  TTarget Writable(const TRegPath& Path, const std::string& Name) const;
  void Write(const std::string& Section, const char* Name, const char* Value) const;
  // Raises EMRegistryError, saying why, for a name no data source can connect through.
  static void NameUsable(const std::string& DataSource);
  std::string SourceValue(const std::string& Section, const char* Name) const;
  bool SourceHas(const std::string& Section, const char* Name) const;
  bool IsFreeTdsSource(const TTarget& T) const;
  void WriteFreeTdsServer(const std::string& Section, const std::string& Server) const;
  // True when a data source of either root names freetds.conf section Server.
  static bool AnySourceNames(const std::string& Server);

  HKEY FRoot;
};

}  // namespace vandrel::platform
