#pragma once
// Runs msde-sim for a test: starts the program on a free port with a given data set (and,
// when asked, a private copy of its attachable files, so the test may attach and detach
// freely), writes the ODBC configuration that reaches it, and stops it at the end. The server
// always writes its statement trace into a temporary file, which tests read to know exactly
// what was sent.
#include <sys/types.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "testkit/OdbcConfig.h"
#include "testkit/TempDir.h"

namespace msde::testkit {

struct SimServerOptions {
  std::string data_file = std::string(MSDE_DATA_DIR) + "/demo.json";
  // The attachable files; empty: the "files" directory beside the data set.
  std::string files_dir;
  // Copy the files directory first, so that the server may change the copy.
  bool private_files = false;
  std::string program = MSDE_SIM_PATH;
  // Further arguments of the program ("--share", "\\\\NAS\\kopie=DIR").
  std::vector<std::string> extra_arguments;
};

// One statement the server executed, fields unescaped.
struct TraceLine {
  int Spid = 0;
  std::string Application, Database, Text;
};

class SimServer {
 public:
  explicit SimServer(SimServerOptions options = {});
  ~SimServer();
  SimServer(const SimServer&) = delete;
  SimServer& operator=(const SimServer&) = delete;

  int Port() const { return config_->Port(); }
  std::string ConnectionString(const std::string& user, const std::string& password) const {
    return config_->ConnectionString(user, password);
  }
  std::string Utf8ConnectionString(const std::string& user, const std::string& password) const {
    return config_->Utf8ConnectionString(user, password);
  }
  const OdbcConfig& Config() const { return *config_; }
  // The directory the server attaches from and detaches to.
  const std::string& FilesDir() const { return files_dir_; }

  // Ends the server (SIGTERM, then SIGKILL if it lingers); connections see it go away.
  void Stop();
  // Starts it again on the same port, with the state its data set describes.
  void Restart();
  bool Running() const { return pid_ > 0; }
  // Stops the server's process (SIGSTOP), to play a hung server, and returns once every one of
  // its threads has stopped: until then a thread still running would answer a statement.
  void Freeze();
  // Lets a frozen server go on (SIGCONT).
  void Thaw();

  // Every statement traced so far (a restart keeps the earlier lines).
  std::vector<TraceLine> Trace() const;
  // The number of lines so far, and the lines after such a mark.
  size_t TraceMark() const;
  std::vector<TraceLine> TraceSince(size_t Mark) const;
  const std::string& TraceFile() const { return trace_file_; }
  // The server's error log, in the test's own temporary directory.
  std::string ErrorLogFile() const { return trace_dir_.Path() + "/ERRORLOG"; }

 private:
  int Launch(int port);  // returns the port the server reports
  int LaunchOnFixedPort();

  SimServerOptions options_;
  std::unique_ptr<TempDir> files_copy_;
  TempDir trace_dir_{"msde-trace"};
  std::string trace_file_;
  std::string files_dir_;
  std::unique_ptr<OdbcConfig> config_;
  pid_t pid_ = -1;
  int stdout_fd_ = -1;
};

}  // namespace msde::testkit
