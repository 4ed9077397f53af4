#pragma once
// `vandrel --demo`: the demo site made afresh in its private directory, this process pointed
// at it, and msde-sim started for it. The run command starts the tool this way, so the demo
// has one definition whether it runs from the build tree or from an installed package.
#include <memory>
#include <string>

#include "app/demo/DemoServer.h"
#include "app/demo/DemoSite.h"

namespace vandrel::app::demo {

class TDemo {
 public:
  // Prepares Site and starts its server with what ProgramDir's installation holds (see
  // FindDemoInstall). Throws std::runtime_error with a message for the user.
  static std::unique_ptr<TDemo> Start(TDemoSite Site, const std::string& ProgramDir,
                                      int PreferredPort = TDemoServer::kDefaultPort);

  const TDemoSite& Site() const { return FSite; }
  int Port() const { return FServer->Port(); }
  // What the user needs to know before the window opens: where the server listens, how to
  // log in, where the statements are written.
  std::string Greeting() const;

 private:
  explicit TDemo(TDemoSite Site) : FSite(std::move(Site)) {}

  TDemoSite FSite;
  std::unique_ptr<TDemoServer> FServer;
};

// The command-line switch that starts the demo.
inline constexpr const char* kDemoSwitch = "--demo";

}  // namespace vandrel::app::demo
