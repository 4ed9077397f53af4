#pragma once
// Ground of the ODBC benchmarks: a private ODBC configuration naming the SQLite ODBC
// driver, a data source on a benchmark file, and a way to run one reader in a child
// process so that its peak memory is its own.
#include <sql.h>
#include <sqlext.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>

namespace vandrel::bench {

inline const char* kDsn = "vandrel_bench";
// The same file with the driver's streaming mode (StepAPI=1): it hands each row over as
// SQLite makes it, where by default it first copies the whole result into memory of its own.
inline const char* kStepDsn = "vandrel_bench_step";

// Writes the ini files into Dir and points the driver manager at them.
inline void SetUpOdbc(const std::string& Dir, const std::string& DbFile) {
  std::ofstream(Dir + "/odbcinst.ini") << "[SQLite3]\nDriver=/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so\n";
  std::ofstream(Dir + "/odbc.ini") << "[" << kDsn << "]\nDriver=SQLite3\nDatabase=" << DbFile << "\n\n["
                                   << kStepDsn << "]\nDriver=SQLite3\nDatabase=" << DbFile << "\nStepAPI=1\n";
  setenv("ODBCSYSINI", Dir.c_str(), 1);
  setenv("ODBCINI", (Dir + "/odbc.ini").c_str(), 1);
}

// One reader's outcome.
struct Outcome {
  std::uint64_t Checksum = 0;
  long Rows = 0;
  double Seconds = 0;
  // Processor time of the child (user and system): on a machine shared with other work
  // it varies far less than the elapsed time.
  double CpuSeconds = 0;
  long PeakKb = 0;
};

// Runs Work in a child process; the child's own peak resident memory comes back with it.
inline Outcome InChild(const std::function<void(Outcome&)>& Work) {
  int fd[2];
  if (pipe(fd) != 0) return {};
  pid_t pid = fork();
  if (pid == 0) {
    close(fd[0]);
    Outcome o;
    auto t0 = std::chrono::steady_clock::now();
    Work(o);
    o.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (write(fd[1], &o, sizeof o) != static_cast<ssize_t>(sizeof o)) _exit(1);
    _exit(0);
  }
  close(fd[1]);
  Outcome o;
  if (read(fd[0], &o, sizeof o) != static_cast<ssize_t>(sizeof o)) o = {};
  close(fd[0]);
  int status;
  struct rusage ru;
  wait4(pid, &status, 0, &ru);
  o.PeakKb = ru.ru_maxrss;
  o.CpuSeconds = static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
                 static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
  return o;
}

// Folding of values into one checksum that every reader computes alike.
inline void FoldNull(std::uint64_t& H) { H = H * 31 + 7; }
inline void FoldInt(std::uint64_t& H, long long V) { H = H * 31 + static_cast<std::uint64_t>(V); }
inline void FoldDouble(std::uint64_t& H, double V) { FoldInt(H, std::llround(V * 100)); }
inline void FoldText(std::uint64_t& H, const char* S, size_t N) {
  FoldInt(H, static_cast<long long>(N) * 131 + (N ? S[0] + S[N - 1] * 7 : 0));
}
inline void FoldStamp(std::uint64_t& H, int Y, int Mo, int D, int Hh, int Mi, int S) {
  FoldInt(H, ((Y * 100LL + Mo) * 100 + D) * 1000000LL + (Hh * 100 + Mi) * 100 + S);
}

}  // namespace vandrel::bench
