#include "app/demo/DemoServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <vector>

namespace vandrel::app::demo {
namespace {

namespace fs = std::filesystem;

// A loaded machine may take a while to start the server; a server that never answers still
// ends the wait.
constexpr int kStartLimitMs = 60000;

bool Exists(const fs::path& Path) {
  std::error_code Error;
  return fs::exists(Path, Error);
}

// The first line the server writes on its standard output; "" when it ends without one.
std::string FirstLine(int Fd) {
  std::string Line;
  for (;;) {
    pollfd Wait{Fd, POLLIN, 0};
    const int Ready = ::poll(&Wait, 1, kStartLimitMs);
    if (Ready < 0 && errno == EINTR) continue;
    if (Ready <= 0) return "";
    char C;
    const ssize_t Got = ::read(Fd, &C, 1);
    if (Got < 0 && errno == EINTR) continue;
    if (Got <= 0 || C == '\n') return Got <= 0 ? "" : Line;
    Line += C;
  }
}

}  // namespace

std::string OwnProgramDirectory() {
  std::error_code Error;
  const fs::path Self = fs::read_symlink("/proc/self/exe", Error);
  return Error ? std::string(".") : Self.parent_path().string();
}

TDemoInstall FindDemoInstall(const std::string& ProgramDir) {
  const fs::path Dir(ProgramDir);
  const fs::path Shared = Dir / "../share/vandrel/demo";
  if (Exists(Dir / "msde-sim") && Exists(Shared / "demo.json")) {
    const fs::path Site = fs::weakly_canonical(Shared);
    return {(Dir / "msde-sim").string(), {(Site / "demo.json").string(), (Site / "files").string()}};
  }
  // The build tree: the tool in <build>/app, the server in <build>/simulator, the site in the
  // source tree the build was made from.
  const fs::path Source(VANDREL_DEMO_SOURCE_DIR);
  return {fs::weakly_canonical(Dir / "../simulator/msde-sim").string(),
          {(Source / "demo.json").string(), (Source / "files").string()}};
}

TDemoServer::TDemoServer(const std::string& Simulator, const TDemoSource& Source, const TDemoSite& Site,
                         int PreferredPort) {
  if (::access(Simulator.c_str(), X_OK) != 0)
    throw std::runtime_error("Brak programu msde-sim (" + Simulator + "): zbuduj go albo zainstaluj pakiet vandrel.");
  FPort = Launch(Simulator, Source, Site, PreferredPort);
  // A taken port ends the first start at once; any free port then.
  if (FPort == 0 && PreferredPort != 0) FPort = Launch(Simulator, Source, Site, 0);
  if (FPort == 0) throw std::runtime_error("msde-sim nie wystartował (zob. " + Site.ServerLog() + ")");
}

TDemoServer::~TDemoServer() { Stop(); }

int TDemoServer::Launch(const std::string& Simulator, const TDemoSource& Source, const TDemoSite& Site, int Port) {
  std::vector<std::string> Args = {Simulator, "--port",  std::to_string(Port), "--data",
                                   Source.DataSet, "--files", Site.FilesDir(), "--trace", Site.TraceFile()};
  std::vector<char*> Argv;
  for (auto& Arg : Args) Argv.push_back(Arg.data());
  Argv.push_back(nullptr);
  const std::string Log = Site.ServerLog();

  int Out[2];
  if (::pipe2(Out, O_CLOEXEC) != 0) throw std::runtime_error("msde-sim: pipe");
  const pid_t Parent = ::getpid();
  const pid_t Child = ::fork();
  if (Child < 0) {
    ::close(Out[0]);
    ::close(Out[1]);
    throw std::runtime_error("msde-sim: fork");
  }
  if (Child == 0) {
    // Only async-signal-safe calls between fork and exec.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != Parent) ::_exit(127);
    const int Err = ::open(Log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    ::dup2(Out[1], STDOUT_FILENO);
    if (Err >= 0) ::dup2(Err, STDERR_FILENO);
    // The tool's own descriptors (its sockets) must not live on in the server.
    ::closefrom(STDERR_FILENO + 1);
    sigset_t None;
    sigemptyset(&None);
    ::sigprocmask(SIG_SETMASK, &None, nullptr);
    ::execv(Argv[0], Argv.data());
    ::_exit(127);
  }
  ::close(Out[1]);
  FPid = Child;
  const std::string Line = FirstLine(Out[0]);
  ::close(Out[0]);
  const int Reported = Line.empty() ? 0 : std::atoi(Line.c_str());
  if (Reported <= 0) Stop();
  return Reported;
}

void TDemoServer::Stop() {
  if (FPid <= 0) return;
  ::kill(FPid, SIGTERM);
  int Status = 0;
  while (::waitpid(FPid, &Status, 0) < 0 && errno == EINTR) {
  }
  FPid = -1;
}

}  // namespace vandrel::app::demo
