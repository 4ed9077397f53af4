#pragma once
// The demo's server: msde-sim started with the demo site's data set, its files directory and
// its statement trace, on 127.0.0.1:1433 when that port is free, else on any free port. It
// ends with this object, and also when the tool itself ends in any other way (the system
// sends it SIGTERM when its parent dies), so no server outlives the demo.
#include <sys/types.h>

#include <string>

#include "app/demo/DemoSite.h"

namespace vandrel::app::demo {

// Where an installed or a built tool finds msde-sim and the demo site: beside the tool and in
// ../share/vandrel/demo when installed, in the build and source trees otherwise.
struct TDemoInstall {
  std::string Simulator;
  TDemoSource Source;
};
// ProgramDir is the directory of the running tool.
TDemoInstall FindDemoInstall(const std::string& ProgramDir);
// The directory of the running program.
std::string OwnProgramDirectory();

class TDemoServer {
 public:
  static constexpr int kDefaultPort = 1433;

  // Starts Simulator for Site (whose Reset has run) on PreferredPort, or on a free port when
  // that one is taken (0: a free port at once). Throws std::runtime_error when the server does
  // not start or does not report its port; the message names the server's log.
  TDemoServer(const std::string& Simulator, const TDemoSource& Source, const TDemoSite& Site,
              int PreferredPort = kDefaultPort);
  ~TDemoServer();
  TDemoServer(const TDemoServer&) = delete;
  TDemoServer& operator=(const TDemoServer&) = delete;

  int Port() const { return FPort; }
  pid_t Pid() const { return FPid; }
  // Ends the server (SIGTERM) and waits for it.
  void Stop();

 private:
  // One start on Port; the port reported, or 0 when the server ended without one.
  int Launch(const std::string& Simulator, const TDemoSource& Source, const TDemoSite& Site, int Port);

  pid_t FPid = -1;
  int FPort = 0;
};

}  // namespace vandrel::app::demo
