#include "tools/backup/BackupRun.h"

#include <ctime>
#include <filesystem>

#include "app/SqlQuoting.h"
#include "platform/WindowsPaths.h"
#include "tools/backup/BackupFiles.h"
#include "tools/backup/ServerConnection.h"

namespace vandrel::backup {
namespace {

// A name that would reach outside the backup directory as part of a file name.
bool UnsafeForFileName(const std::string& database) {
  return database.empty() || database.find_first_of("/\\:*?\"<>|") != std::string::npos ||
         database == "." || database == "..";
}

// Removes the database's files beyond the newest `keep` from the backup directory, which is
// on this machine (a Windows path where Wine keeps that drive for the server); the names
// removed, or the failure.
std::string Prune(const std::string& server_directory, const std::string& database, int keep, bool& failed) {
  const std::string directory = platform::LocalPathOf(server_directory);
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(directory, error))
    if (entry.is_regular_file(error)) names.push_back(entry.path().filename().string());
  if (error) {
    failed = true;
    return "; BŁĄD przy przeglądaniu " + directory + ": " + error.message();
  }
  std::string removed;
  for (const std::string& name : BackupsBeyond(names, database, keep)) {
    if (!std::filesystem::remove(std::filesystem::path(directory) / name, error)) {
      failed = true;
      return removed + "; BŁĄD przy usuwaniu " + name + ": " + error.message();
    }
    removed += (removed.empty() ? "; usunięto starsze: " : ", ") + name;
  }
  return removed;
}

}  // namespace

std::string BackupDayToday() {
  if (const char* day = std::getenv("VANDREL_BACKUP_DATE"); day != nullptr && *day != '\0') return day;
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[16];
  std::strftime(text, sizeof text, "%Y%m%d", &local);
  return text;
}

int RunBackups(const BackupCommand& Command, const std::string& Password, const std::string& Day,
               std::ostream& Out, std::ostream& Err) {
  // The server writes the files; this program can remove old ones only where the server's
  // disk is its own.
  if (Command.keep && !IsThisMachine(Command.server)) {
    Err << "vandrel-backup: --keep usuwa stare kopie z dysku serwera, a serwer " << Command.server
        << " nie działa na tym komputerze; uruchom program na komputerze serwera\n";
    return kUsageOrConnection;
  }
  TMOdbcLink link;
  link.SetQueryTimeout(0);  // a large database takes as long as it takes
  try {
    ConnectToServer(link, Command.server, Command.user, Password);
  } catch (const Exception& e) {
    Err << "vandrel-backup: nie można połączyć z serwerem " << Command.server << ": "
        << ServerMessage(e) << "\n";
    return kUsageOrConnection;
  }
  int failures = 0;
  for (const std::string& database : Command.databases) {
    if (UnsafeForFileName(database)) {
      Out << database << ": BŁĄD nazwa bazy nie nadaje się na nazwę pliku" << std::endl;
      ++failures;
      continue;
    }
    const std::string path = PathInDirectory(Command.directory, BackupFileName(database, Day));
    const std::string sql = "BACKUP DATABASE " + app::QuoteIdentifier(database) + " TO DISK = " +
                            app::UnicodeLiteral(path) + " WITH INIT, NAME = " + app::UnicodeLiteral(database + " " + Day);
    try {
      link.ExecSQL(sql, nullptr);
    } catch (const Exception& e) {
      Out << database << ": BŁĄD " << ServerMessage(e) << std::endl;
      ++failures;
      continue;
    }
    bool prune_failed = false;
    const std::string pruned =
        Command.keep ? Prune(Command.directory, database, *Command.keep, prune_failed) : "";
    Out << database << ": OK " << path << pruned << std::endl;
    if (prune_failed) ++failures;
  }
  link.SetConnected(false);
  return failures == 0 ? kAllDone : kSomeFailed;
}

}  // namespace vandrel::backup
