#pragma once
// The command line of vandrel-backup and where its password comes from. The password never
// comes from the command line, which every user of the machine can read in the process
// list: it comes from the environment variable VANDREL_BACKUP_PASSWORD or from a file that
// only its owner may read (--password-file); neither means an empty password.
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace vandrel::backup {

// Exit statuses a scheduler acts on.
constexpr int kAllDone = 0;
constexpr int kSomeFailed = 1;        // the others were backed up
constexpr int kUsageOrConnection = 2; // nothing was backed up
constexpr int kNoDriver = 3;          // no SQL Server ODBC driver on this machine; nothing was tried

constexpr const char* kPasswordVariable = "VANDREL_BACKUP_PASSWORD";

struct BackupCommand {
  std::string server;
  std::string user = "sa";
  std::vector<std::string> databases;
  std::string directory;  // on the server's disk
  std::optional<int> keep;
  std::optional<std::string> password_file;
  std::optional<std::string> log_file;  // appended to (tools/backup/BackupLog.h)
};

// A command line that cannot be run; the text says why (in Polish, for the log).
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

const char* UsageText();
BackupCommand ParseCommand(const std::vector<std::string>& arguments);
// The password: from the file when one is named (refused unless it is a regular file of
// this user that nobody else may read or write), else from the environment, whose copy in
// the process's memory is then blanked; else empty.
std::string ReadPassword(const BackupCommand& command);
// Refuses a password given as an argument (--password, -P, --password=...), naming Variable
// and --password-file as the ways to give it.
void RefusePasswordArgument(const std::string& Argument, const char* Variable);
// The same rules for any program: File when named, else the environment's Variable.
std::string ReadPasswordFrom(const std::optional<std::string>& File, const char* Variable);

}  // namespace vandrel::backup
