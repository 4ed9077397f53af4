#pragma once
// The log vandrel-backup appends to (--log FILE), for whoever scheduled it to read back:
// every line the program prints, each after the time it was written ("YYYY-MM-DD hh:mm:ss "),
// and at the end of a run "kod wyjścia N" with the program's exit status.
#include <fstream>
#include <ostream>
#include <streambuf>
#include <string>

namespace vandrel::app {

constexpr const char* kExitLine = "kod wyjścia ";

// What a stream writes goes on to Out, and each whole line to the log as well.
class TLoggedStream : public std::streambuf {
 public:
  TLoggedStream(std::ostream& Out, std::ostream* Log) : FOut(Out), FLog(Log) {}
  ~TLoggedStream() override;

 protected:
  int overflow(int Char) override;
  int sync() override;

 private:
  std::ostream& FOut;
  std::ostream* FLog;
  std::string FLine;
};

// The time now on this machine's clock, as the log writes it.
std::string LogTime();

// The last run a log holds: its lines and its exit status; Status is -1 when the log holds
// no finished run.
struct TLastRun {
  std::string Finished;  // the time of its exit line
  int Status = -1;
  std::string Lines;     // the run's lines without their times, one a line
};
TLastRun LastRunOf(const std::string& LogText);

// What vandrel-backup's exit status says: "wszystko zrobione", "część baz się nie udała", ...
std::string ExitStatusText(int Status);

}  // namespace vandrel::app
