// msde-sim [--port N] [--data FILE] [--files DIR]: a simulated SQL Server 2000 instance on
// 127.0.0.1. The port it listens on is the first line of its standard output (useful with
// --port 0, which picks a free one). SIGTERM or SIGINT ends it cleanly.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "engine/LoadEngine.h"
#include "tds/TdsServer.h"

namespace {

struct Arguments {
  int port = 1433;
  std::string data = MSDE_DEMO_DATA;
  std::string files;  // empty: the engine's default, a "files" directory beside the data set
};

[[noreturn]] void Usage(const char* problem) {
  std::fprintf(stderr, "msde-sim: %s\nusage: msde-sim [--port N] [--data FILE] [--files DIR]\n",
               problem);
  std::exit(2);
}

Arguments Parse(int argc, char** argv) {
  Arguments a;
  for (int i = 1; i < argc; ++i) {
    std::string name = argv[i];
    if (name == "--help" || name == "-h") Usage("a simulated SQL Server 2000 instance");
    if (i + 1 >= argc) Usage(("missing value after " + name).c_str());
    std::string value = argv[++i];
    if (name == "--port") {
      char* end = nullptr;
      long port = std::strtol(value.c_str(), &end, 10);
      if (value.empty() || *end != '\0' || port < 0 || port > 65535) Usage("bad port number");
      a.port = static_cast<int>(port);
    } else if (name == "--data") {
      a.data = value;
    } else if (name == "--files") {
      a.files = value;
    } else {
      Usage(("unknown option " + name).c_str());
    }
  }
  return a;
}

}  // namespace

int main(int argc, char** argv) {
  Arguments args = Parse(argc, argv);
  // Every thread inherits this mask, so the signals wait for sigwait below.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGTERM);
  sigaddset(&stop_signals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
  try {
    auto engine = msde::LoadEngine(args.data, args.files);
    msde::tds::TdsServer server(*engine);
    int port = server.Start(args.port);
    std::printf("%d\n", port);
    std::fflush(stdout);
    int signal = 0;
    sigwait(&stop_signals, &signal);
    server.Stop();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "msde-sim: %s\n", e.what());
    return 1;
  }
  return 0;
}
