#pragma once
// Starting another program as a new process (posix_spawn, no shell), in a working directory
// of its own, and following it to its end. A start that fails says why, so that a missing
// program, one that may not be run, a bad working directory and a malformed command line can
// be told apart. The new process inherits the environment and the open descriptors not marked
// close-on-exec, with a clean signal mask.
#include <sys/types.h>

#include <string>
#include <vector>

namespace vandrel::platform {

// The exit code reported while the process still runs (the Windows "still active" code;
// exit codes on Linux are 0 to 255, so it never stands for a real end).
inline constexpr int kStillActive = 259;

enum TStartFailure {
  sfNone,                 // the process started
  sfEmptyCommandLine,     // nothing to run
  sfBadQuoting,           // an unclosed quote or a backslash at the end of the line
  sfProgramNotFound,      // no such file, or not found on PATH
  sfNotExecutable,        // found, but not a program this user may run
  sfBadWorkingDirectory,  // the working directory is missing or not usable
  sfSpawnFailed           // the system refused to start it (format, resources)
};

class TChildProcess {
 public:
  // Splits CommandLine as CommandLine.h describes and starts it. The program is looked up
  // on PATH when it holds no "/"; a relative path is taken from WorkingDirectory ("" = the
  // current directory of this process, which is left unchanged either way).
  static TChildProcess Start(const std::string& CommandLine, const std::string& WorkingDirectory = "");
  // The same with the words given one by one (Args[0] is the program).
  static TChildProcess StartArgs(const std::vector<std::string>& Args, const std::string& WorkingDirectory = "");

  TChildProcess() = default;
  TChildProcess(TChildProcess&& Other) noexcept;
  TChildProcess& operator=(TChildProcess&& Other) noexcept;
  TChildProcess(const TChildProcess&) = delete;
  TChildProcess& operator=(const TChildProcess&) = delete;
  // A process still running is left running; its end is collected in the background, so
  // that returning at once leaves no zombie behind.
  ~TChildProcess();

  bool Started() const { return FFailure == sfNone && FPid > 0; }
  TStartFailure GetFailure() const { return FFailure; }
  // The errno behind a failed start.
  int GetErrorCode() const { return FErrorCode; }
  // The failure in words (Polish), naming the program or the directory.
  const std::string& GetFailureText() const { return FFailureText; }
  pid_t GetPid() const { return FPid; }

  // Looks whether the process has ended, without waiting; true while it still runs.
  bool Running();
  // Waits for the end and returns the exit code: 0 to 255, or 128 + the signal number when a
  // signal ended it (as a shell reports it).
  int WaitFor();
  // The exit code once the end has been seen; kStillActive before that; -1 when it never started.
  int GetExitCode() const { return FExitCode; }

 private:
  void Fail(TStartFailure Failure, int ErrorCode, const std::string& Text);
  void Collect(pid_t Waited, int Status);
  void Release();

  pid_t FPid = -1;
  bool FEnded = false;
  int FExitCode = -1;
  TStartFailure FFailure = sfEmptyCommandLine;
  int FErrorCode = 0;
  std::string FFailureText;
};

}  // namespace vandrel::platform
