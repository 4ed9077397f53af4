// msde-sim [--port N] [--data FILE] [--files DIR] [--trace FILE] [--errorlog FILE]
// [--share \\NAS\kopie=DIR ...]: a simulated SQL Server 2000 or 2005 Express instance on
// 127.0.0.1. The port it listens on is the first line of its standard output
// (useful with --port 0, which picks a free one). SIGTERM or SIGINT ends it cleanly.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

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
  std::string errorlog;  // empty: ERRORLOG in the files directory
  std::vector<msde::Share> shares;
};

constexpr const char* kUsage =
    "usage: msde-sim [--port N] [--data FILE] [--files DIR] [--trace FILE] [--errorlog FILE]\n"
    "                [--share \\\\NAS\\kopie=DIR ...]\n"
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
    "                or sp_password is shown as a note instead of its text\n"
    "  --errorlog FILE  the server's error log (default: ERRORLOG in the files directory);\n"
    "                each start moves the previous one to FILE.1, up to FILE.6\n"
    "  --share \\\\NAS\\kopie=DIR  the network folder \\\\NAS\\kopie is the directory DIR\n"
    "                (repeatable); servers given the same DIR share the folder\n";

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
    } else if (name == "--errorlog") {
      a.errorlog = value;
    } else if (name == "--share") {
      const size_t equals = value.find('=');
      if (equals == std::string::npos || !msde::IsUncPath(value.substr(0, equals)) ||
          msde::PathComponents(value.substr(0, equals)).size() < 2 || equals + 1 == value.size())
        Usage("a share is \\\\MACHINE\\FOLDER=DIR");
      a.shares.push_back({value.substr(0, equals), value.substr(equals + 1)});
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
    msde::EngineSetup setup;
    setup.data_file = args.data;
    setup.files_dir = args.files;
    setup.trace_file = args.trace;
    setup.shares = args.shares;
    setup.process_id = static_cast<long>(::getpid());
    setup.error_log = args.errorlog;
    if (setup.error_log.empty()) {
      const std::filesystem::path files =
          args.files.empty() ? std::filesystem::path(args.data).parent_path() / "files" : std::filesystem::path(args.files);
      setup.error_log = (files / "ERRORLOG").string();
    }
    auto engine = msde::LoadEngine(setup);
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
