#include "app/admin/ExternalPrograms.h"

#include <unistd.h>

#include <cctype>
#include <string_view>

#include "app/DialogSeam.h"
#include "app/CommandContext.h"
#include "app/admin/FreeTdsConfDlg.h"
#include "app/admin/Launcher.h"
#include "app/admin/OdbcAdminDlg.h"
#include "app/admin/ServerNetwork.h"
#include "app/admin/ServiceManager.h"
#include "foundation/TxTools.h"
#include "platform/CommandLine.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "platform/WindowsPaths.h"

namespace vandrel::app::admin {

namespace {

const char* const kClientToolsKey = "Software\\Microsoft\\Microsoft SQL Server\\80\\Tools\\ClientSetup";
const char* const kTovinexInstallKey = "SOFTWARE\\QUORVEL\\TovinexWin\\Instalacja";

// A string value of Key under HKEY_CURRENT_USER when the key opens there, else under
// HKEY_LOCAL_MACHINE; empty when neither holds it or a store cannot be read.
std::string UserThenMachineValue(const char* Key, const char* Name) {
  try {
    platform::TRegistry registry(platform::HKEY_CURRENT_USER);
    if (!registry.OpenKeyReadOnly(Key)) {
      registry.SetRootKey(platform::HKEY_LOCAL_MACHINE);
      if (!registry.OpenKeyReadOnly(Key)) return {};
    }
    return registry.ReadString(Name);
  } catch (const std::exception&) {
    return {};
  }
}

// A program word of a command line: quoted only when the launcher would otherwise split it.
std::string ProgramWord(const std::string& Path) {
  for (char c : Path) {
    const bool plain =
        std::isalnum(static_cast<unsigned char>(c)) || std::string_view("/._,+-_").find(c) != std::string_view::npos;
    if (!plain) return platform::QuoteCommandWord(Path);
  }
  return Path;
}

// The command line that starts Program: itself when this user may run it, else through Wine,
// which runs the Windows programs installed in its drives.
std::string StartingCommand(const std::string& Program, const std::string& Arguments = "") {
  const std::string start = access(Program.c_str(), X_OK) == 0 ? ProgramWord(Program) : "wine " + ProgramWord(Program);
  return Arguments.empty() ? start : start + " " + Arguments;
}

// A program required to exist: the check path is the program itself.
TExternalLaunch Checked(const std::string& WindowsPath) {
  TExternalLaunch launch;
  launch.Program = platform::LocalPathOf(WindowsPath);
  launch.CommandLine = StartingCommand(launch.Program);
  launch.CheckPath = launch.Program;
  return launch;
}

// SQL Server 2005's configuration console, started without a check.
TExternalLaunch Console() {
  const std::string system = TxTools::SystemDirectory();
  TExternalLaunch launch;
  launch.Program = platform::LocalPathOf(system + "\\mmc.exe");
  launch.CommandLine =
      StartingCommand(launch.Program, "/32 " + ProgramWord(platform::LocalPathOf(system + "\\SQLServerManager.msc")));
  return launch;
}

}  // namespace

std::string SqlToolsPath() { return UserThenMachineValue(kClientToolsKey, "SQLPath"); }

std::string TovinexFolder() { return UserThenMachineValue(kTovinexInstallKey, "Binaria"); }

TExternalLaunch ExternalLaunch(TExternalCommand Command, const std::string& DriverName) {
  const bool console = DriverName.find("SQL Native Client") != std::string::npos;
  const std::string system = TxTools::SystemDirectory();
  switch (Command) {
    case TExternalCommand::ecServerNetwork:
      return console ? Console() : Checked(SqlToolsPath() + "\\Binn\\svrnetcn.exe");
    case TExternalCommand::ecClientNetwork:
      return console ? Console() : Checked(system + "\\cliconfg.exe");
    case TExternalCommand::ecOdbc:
      return Checked(system + "\\odbcad32.exe");
    case TExternalCommand::ecServiceManager:
      return console ? Console() : Checked(SqlToolsPath() + "\\Binn\\sqlmangr.exe");
    case TExternalCommand::ecTovinex:
      break;
  }
  return TovinexLaunch();
}

TExternalLaunch TovinexLaunch() {
  const std::string folder = TovinexFolder();
  for (const char* name : {"\\Reinstal\\setup.exe", "\\Reinstal\\Reinstal.exe"}) {
    TExternalLaunch launch = Checked(folder + name);
    if (platform::FileExists(launch.Program)) return launch;
  }
  return {};
}

void RunExternalCommand(TCommandContext& Context, TExternalCommand Command) {
  const TExternalLaunch launch = ExternalLaunch(Command, Context.DetectedOdbcDriver());
  if (Command == TExternalCommand::ecTovinex && launch.CommandLine.empty()) {
    ShowMessage(Context.DialogParent(), QStringLiteral("Nie znaleziono programu konfiguracyjnego baz danych Tovinex"),
                QStringLiteral("Błąd"), MsgIcon::Error);
    return;
  }
  if (Command == TExternalCommand::ecTovinex || platform::FileExists(launch.Program)) {
    TLauncher(Context.DialogParent()).Launch(launch.CommandLine, launch.CheckPath, launch.Mode);
    return;
  }
  // The Windows program is not on this machine: its Linux counterpart does the job.
  switch (Command) {
    case TExternalCommand::ecServerNetwork:
      ShowServerNetwork(Context);
      break;
    case TExternalCommand::ecClientNetwork:
      ShowFreeTdsConfiguration(Context);
      break;
    case TExternalCommand::ecOdbc:
      ShowOdbcDataSources(Context);
      break;
    case TExternalCommand::ecServiceManager:
      ShowServerService(Context);
      break;
    case TExternalCommand::ecTovinex:
      break;
  }
}

}  // namespace vandrel::app::admin
