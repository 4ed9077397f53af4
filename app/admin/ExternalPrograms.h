#pragma once
// The five commands that start the configuration programs around the server: the server's
// and the client's network libraries, the ODBC data sources, the service manager and the
// Tovinex database configuration. SQL Server 2005's driver ("SQL Native Client") opens its
// one configuration console for the server, the client and the service; SQL Server 2000's
// have a utility each, found through the client tools' path in the registry.
//
// On this platform the Windows programs run where they are installed (under Wine, or a
// program an administrator put at that path); where the one chosen is missing, the tool's
// Linux counterpart does the same job: what the server says about where it listens for the
// server's network libraries, the FreeTDS configuration for the client's,
// the tool's data source manager for ODBC, the server's system service for the service
// manager. The Tovinex program has no counterpart: missing, it is reported.
#include <string>

namespace vandrel::app {
class TCommandContext;
}

namespace vandrel::app::admin {

enum class TExternalCommand { ecServerNetwork, ecClientNetwork, ecOdbc, ecServiceManager, ecTovinex };

// What the launcher is given: the command line, its check path and mode.
struct TExternalLaunch {
  std::string CommandLine, CheckPath, Mode = "1";
  // The program file the command line starts (empty when none was found).
  std::string Program;
};

// The client tools' path (SQLPath) and the Tovinex folder (Binaria), each read from
// HKEY_CURRENT_USER when its key opens there, else from HKEY_LOCAL_MACHINE; as Windows
// paths, empty when absent.
std::string SqlToolsPath();
std::string TovinexFolder();

// The launch the command asks for with the given driver, in this machine's paths.
TExternalLaunch ExternalLaunch(TExternalCommand Command, const std::string& DriverName);

// The Tovinex configuration program: setup.exe, else Reinstal.exe, of the Tovinex folder;
// an empty command line when neither is there.
TExternalLaunch TovinexLaunch();

// Carries out the command for the window's driver.
void RunExternalCommand(TCommandContext& Context, TExternalCommand Command);

}  // namespace vandrel::app::admin
