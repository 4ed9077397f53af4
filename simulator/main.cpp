// msde-sim [--port N] [--data FILE] [--files DIR] [--trace FILE]: a simulated SQL Server 2000
// instance on 127.0.0.1. The port it listens on is the first line of its standard output
// (useful with --port 0, which picks a free one). SIGTERM or SIGINT ends it cleanly.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>

#include "engine/LoadEngine.h"
#include "tds/TdsServer.h"

namespace {

// The demo set of the source tree; an installed copy finds its own under share/vandrel.
std::string DefaultDataSet() {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (fs::exists(MSDE_DEMO_DATA, ec)) return MSDE_DEMO_DATA;
  const fs::path installed = fs::read_symlink("/proc/self/exe", ec).parent_path() / "../share/vandrel/demo/demo.json";
  return !ec && fs::exists(installed, ec) ? fs::weakly_canonical(installed, ec).string() : MSDE_DEMO_DATA;
}

struct Arguments {
  int port = 1433;
  std::string data = DefaultDataSet();
  std::string files;  // empty: the engine's default, a "files" directory beside the data set
  std::string trace;  // empty: no statement trace
};

constexpr const char* kUsage =
    "usage: msde-sim [--port N] [--data FILE] [--files DIR] [--trace FILE]\n"
    "  --port N      listen on 127.0.0.1 port N (default 1433; 0 picks a free port);\n"
    "                the port is the first line of standard output\n"
    "  --data FILE   the JSON data set describing the server (default: the demo set);\n"
    "                demo2005.json beside it is the same site on SQL Server 2005 Express\n"
    "  --files DIR   where attachable database files are found and detached ones go\n"
    "                (default: the \"files\" directory beside the data set)\n"
    "  --trace FILE  append one line per statement executed, before its response is sent:\n"
    "                spid<TAB>application<TAB>database<TAB>text, where database is the\n"
    "                session's database when the statement starts and \\, TAB, CR, LF in\n"
    "                the text are written \\\\, \\t, \\r, \\n; a statement naming sp_addlogin\n"
    "                or sp_password is shown as a note instead of its text\n";

[[noreturn]] void Usage(const char* problem) {
  std::fprintf(stderr, "msde-sim: %s\n%s", problem, kUsage);
  std::exit(2);
}

Arguments Parse(int argc, char** argv) {
  Arguments a;
  for (int i = 1; i < argc; ++i) {
    std::string name = argv[i];
    if (name == "--help" || name == "-h") Usage("a simulated SQL Server 2000 or 2005 Express instance");
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
    } else if (name == "--trace") {
      a.trace = value;
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
    auto engine = msde::LoadEngine(args.data, args.files, args.trace);
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
