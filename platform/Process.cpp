#include "platform/Process.h"

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/CommandLine.h"

extern char** environ;

namespace vandrel::platform {

namespace {

// Why Path cannot be run: 0 when it can, else an errno (ENOENT, EACCES).
int ProgramProblem(const std::string& Path) {
  struct stat St;
  if (stat(Path.c_str(), &St) != 0) return errno;
  if (S_ISDIR(St.st_mode)) return EACCES;
  return access(Path.c_str(), X_OK) == 0 ? 0 : errno;
}

std::string Joined(const std::string& Dir, const std::string& Name) {
  if (Dir.empty()) return Name;
  return Dir.back() == '/' ? Dir + Name : Dir + "/" + Name;
}

// Path made absolute against this process's current directory. The child changes into its
// working directory before it runs the program, so a relative path, already taken from that
// directory, would be taken from it a second time.
std::string Absolute(const std::string& Path) {
  if (Path.empty() || Path.front() == '/') return Path;
  char Here[4096];
  if (!getcwd(Here, sizeof Here)) return Path;
  return Joined(Here, Path);
}

// The file that Program names, found as a shell finds it; ErrorCode tells why none was.
std::string Resolve(const std::string& Program, const std::string& WorkingDirectory, int& ErrorCode) {
  if (Program.find('/') != std::string::npos) {
    const std::string Path = Program.front() == '/' ? Program : Joined(WorkingDirectory, Program);
    ErrorCode = ProgramProblem(Path);
    return Path;
  }
  const char* Env = std::getenv("PATH");
  const std::string Search = Env ? Env : "/usr/local/bin:/usr/bin:/bin";
  ErrorCode = ENOENT;
  for (size_t Start = 0; Start <= Search.size();) {
    size_t End = Search.find(':', Start);
    if (End == std::string::npos) End = Search.size();
    std::string Dir = Search.substr(Start, End - Start);
    if (Dir.empty() || Dir.front() != '/') Dir = Joined(WorkingDirectory, Dir.empty() ? "." : Dir);
    const std::string Path = Joined(Dir, Program);
    const int Problem = ProgramProblem(Path);
    if (Problem == 0) {
      ErrorCode = 0;
      return Path;
    }
    struct stat St;
    if (stat(Path.c_str(), &St) == 0) ErrorCode = Problem;  // there, but not runnable
    Start = End + 1;
  }
  return Program;
}

// Waits for a process that nobody will wait for, so that it does not stay a zombie.
void ReapInBackground(pid_t Pid) {
  std::thread([Pid] {
    int Status = 0;
    while (waitpid(Pid, &Status, 0) < 0 && errno == EINTR) {
    }
  }).detach();
}

}  // namespace

TChildProcess TChildProcess::Start(const std::string& CommandLine, const std::string& WorkingDirectory) {
  std::vector<std::string> Words;
  if (!SplitCommandLine(CommandLine, Words)) {
    TChildProcess P;
    P.Fail(sfBadQuoting, EINVAL, "Niezamknięty cudzysłów lub ukośnik odwrotny na końcu wiersza polecenia: " + CommandLine);
    return P;
  }
  return StartArgs(Words, WorkingDirectory);
}

TChildProcess TChildProcess::StartArgs(const std::vector<std::string>& Args, const std::string& WorkingDirectory) {
  TChildProcess P;
  if (Args.empty() || Args[0].empty()) {
    P.Fail(sfEmptyCommandLine, EINVAL, "Pusty wiersz polecenia");
    return P;
  }
  if (!WorkingDirectory.empty()) {
    struct stat St;
    const int Problem = stat(WorkingDirectory.c_str(), &St) != 0 ? errno
                        : !S_ISDIR(St.st_mode)                  ? ENOTDIR
                        : access(WorkingDirectory.c_str(), X_OK) != 0 ? errno
                                                                      : 0;
    if (Problem != 0) {
      P.Fail(sfBadWorkingDirectory, Problem,
             "Niedostępny katalog roboczy " + WorkingDirectory + ": " + std::strerror(Problem));
      return P;
    }
  }
  int Problem = 0;
  const std::string Path = Absolute(Resolve(Args[0], WorkingDirectory, Problem));
  if (Problem == ENOENT || Problem == ENOTDIR) {
    P.Fail(sfProgramNotFound, Problem, "Nie znaleziono programu " + Args[0]);
    return P;
  }
  if (Problem != 0) {
    P.Fail(sfNotExecutable, Problem, "Nie można uruchomić " + Path + ": " + std::strerror(Problem));
    return P;
  }

  std::vector<char*> Argv;
  for (const auto& A : Args) Argv.push_back(const_cast<char*>(A.c_str()));
  Argv.push_back(nullptr);

  posix_spawn_file_actions_t Actions;
  posix_spawn_file_actions_init(&Actions);
  if (!WorkingDirectory.empty()) posix_spawn_file_actions_addchdir_np(&Actions, WorkingDirectory.c_str());
  // The child starts with no blocked signals and default handlers, whatever this process uses.
  posix_spawnattr_t Attr;
  posix_spawnattr_init(&Attr);
  sigset_t Signals;
  sigemptyset(&Signals);
  posix_spawnattr_setsigmask(&Attr, &Signals);
  sigfillset(&Signals);
  posix_spawnattr_setsigdefault(&Attr, &Signals);
  posix_spawnattr_setflags(&Attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  pid_t Pid = -1;
  const int Rc = posix_spawn(&Pid, Path.c_str(), &Actions, &Attr, Argv.data(), environ);
  posix_spawnattr_destroy(&Attr);
  posix_spawn_file_actions_destroy(&Actions);
  if (Rc != 0) {
    P.Fail(sfSpawnFailed, Rc, "Nie można uruchomić " + Path + ": " + std::strerror(Rc));
    return P;
  }
  P.FPid = Pid;
  P.FFailure = sfNone;
  P.FExitCode = kStillActive;
  return P;
}

TChildProcess::TChildProcess(TChildProcess&& Other) noexcept { *this = std::move(Other); }

TChildProcess& TChildProcess::operator=(TChildProcess&& Other) noexcept {
  if (this != &Other) {
    Release();
    FPid = Other.FPid;
    FEnded = Other.FEnded;
    FExitCode = Other.FExitCode;
    FFailure = Other.FFailure;
    FErrorCode = Other.FErrorCode;
    FFailureText = std::move(Other.FFailureText);
    Other.FPid = -1;
  }
  return *this;
}

TChildProcess::~TChildProcess() { Release(); }

void TChildProcess::Release() {
  if (FPid > 0 && !FEnded) ReapInBackground(FPid);
  FPid = -1;
}

void TChildProcess::Fail(TStartFailure Failure, int ErrorCode, const std::string& Text) {
  FFailure = Failure;
  FErrorCode = ErrorCode;
  FFailureText = Text;
}

void TChildProcess::Collect(pid_t Waited, int Status) {
  FEnded = true;
  if (Waited != FPid) {
    FExitCode = -1;  // someone else collected it: its code is lost
  } else {
    FExitCode = WIFEXITED(Status) ? WEXITSTATUS(Status) : WIFSIGNALED(Status) ? 128 + WTERMSIG(Status) : -1;
  }
}

bool TChildProcess::Running() {
  if (!Started() || FEnded) return false;
  int Status = 0;
  pid_t Rc;
  while ((Rc = waitpid(FPid, &Status, WNOHANG)) < 0 && errno == EINTR) {
  }
  if (Rc == 0) return true;
  Collect(Rc, Status);
  return false;
}

int TChildProcess::WaitFor() {
  if (!Started() || FEnded) return FExitCode;
  int Status = 0;
  pid_t Rc;
  while ((Rc = waitpid(FPid, &Status, 0)) < 0 && errno == EINTR) {
  }
  Collect(Rc, Status);
  return FExitCode;
}

}  // namespace vandrel::platform
