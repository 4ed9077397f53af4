#include "tools/backup/BackupRun.h"

#include <ctime>
#include <filesystem>

#include "app/ConnectionString.h"
#include "app/SqlQuoting.h"
#include "data/OdbcError.h"
#include "data/OdbcLink.h"
#include "platform/WindowsPaths.h"
#include "tools/backup/BackupFiles.h"

namespace vandrel::backup {
namespace {

// The server's own words for a failed statement: its first message other than the closing
// "BACKUP DATABASE is terminating abnormally." (3013), without the driver's prefixes.
std::string ServerMessage(const Exception& e) {
  const auto* mac = dynamic_cast<const EMException*>(&e);
  std::string fallback = e.Message;
  if (mac != nullptr) {
    for (int i = 1; i < mac->GetTopicCount(); ++i) {
      const auto* driver = dynamic_cast<const EMOdbcDriverError*>(mac->GetTopics(i));
      if (driver == nullptr) continue;
      std::string text = driver->Message;
      if (const size_t bracket = text.rfind(']'); bracket != std::string::npos) text = text.substr(bracket + 1);
      const std::string line = "[" + std::to_string(driver->NativeError) + "] " + text;
      if (driver->NativeError != 3013) return line;
      fallback = line;
    }
  }
  return fallback;
}

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
  app::ConnectionFields fields;
  fields.Server = Command.server;
  fields.User = Command.user;
  fields.Password = Password;
  const std::string connection =
      app::AdaptConnectionStringForDriver(app::BuildConnectionString(fields), "");
  TMOdbcLink link;
  link.SetQueryTimeout(0);  // a large database takes as long as it takes
  link.OnGetConnectString = [&connection](TMOdbcLink*, AnsiString& AConnectString, const AnsiString,
                                          const AnsiString, const AnsiString,
                                          TMOdbcConnectOption& AOption, HWND&) {
    AConnectString = connection;
    AOption = mcoNoPrompt;
  };
  try {
    link.SetConnected(true);
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
