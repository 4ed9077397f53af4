#pragma once
// The demo's private corner of the machine: one directory that holds everything the tool and
// msde-sim write while the demo runs (the server's files and trace, the registry store, the
// user's and the system's ODBC data source files, both halves of the FreeTDS configuration
// and the Wine prefix), and the environment that points every writer there. `vandrel --demo`
// and the run command use this one definition, so the machine's own configuration
// (/etc/odbc.ini, /etc/freetds, ~/.odbc.ini, ~/.freetds.conf, ~/.wine) is never touched.
#include <string>
#include <utility>
#include <vector>

namespace vandrel::app::demo {

// Where the demo's site comes from: msde-sim's data set and its attachable files.
struct TDemoSource {
  std::string DataSet;   // demo.json
  std::string FilesDir;  // the files an attach may use, copied afresh at each start
};

class TDemoSite {
 public:
  // Directory "" means the default: $VANDREL_DEMO_DIR, else $XDG_RUNTIME_DIR/vandrel-demo-<uid>,
  // else <temporary directory>/vandrel-demo-<uid>.
  explicit TDemoSite(std::string Directory = "");

  const std::string& Directory() const { return FDirectory; }
  std::string FilesDir() const { return FDirectory + "/files"; }
  std::string TraceFile() const { return FDirectory + "/statements.trace"; }
  std::string ServerLog() const { return FDirectory + "/msde-sim.log"; }

  // Starts afresh: removes what an earlier demo left (only the entries the demo itself
  // makes, never anything else in the directory), copies the site's attachable files and
  // writes an empty registry store, empty user and system data source files, the driver list
  // with Driver (FreeTDS's ODBC driver) as "SQL Server", and both freetds.conf halves with TDS
  // 7.1 and UTF-8 client text. Throws std::runtime_error naming the path it could not write.
  void Reset(const TDemoSource& Source, const std::string& Driver) const;
  // Points this process, and every program it starts, at the demo directory.
  void Export() const;
  // The environment Export sets, name and value.
  std::vector<std::pair<std::string, std::string>> Environment() const;
  // The demo server listens on Port: the system data source "Vandrel demo" reaches it, and so
  // does a server named without a port ("(local)"), through the [global] port of both
  // freetds.conf halves; a server named with its port keeps that port.
  void ServerStarted(int Port) const;

 private:
  std::string FDirectory;
};

// The FreeTDS ODBC driver of this machine; "" when none is installed.
std::string FindFreeTdsDriver();

}  // namespace vandrel::app::demo
