#include "app/health/HealthReadSite.h"

#include <algorithm>
#include <ctime>

#include "app/SqlQuoting.h"
#include "app/health/HealthCells.h"
#include "app/health/HealthLog.h"

namespace vandrel::health {
namespace {

// A database's backups whose files are asked for, newest first; older ones are not looked at
// (each costs a statement, and a fleet has many servers).
constexpr int kFilesAskedPerDatabase = 5;

const char* const kDrivesQuery = "exec master..xp_fixeddrives";
const char* const kErrorLogQuery = "exec master..xp_readerrorlog";
const char* const kErrorLogFallback = "exec master..sp_readerrorlog";
const char* const kSessionsQuery =
    "select spid, blocked, waittime, loginame, hostname, dbid from master..sysprocesses";

// Whether the server has the file: true, false, or empty when it would not say.
std::optional<bool> FileExists(THealthReader& Reader, const std::string& Path) {
  THealthRows rows;
  if (!Reader.Read("exec master..xp_fileexist " + app::UnicodeLiteral(Path), "master", rows) || rows.empty())
    return std::nullopt;
  return Cell(rows[0], 0) == "1";
}

std::string Trimmed(const std::string& Text) {
  const size_t first = Text.find_first_not_of(' ');
  return first == std::string::npos ? "" : Text.substr(first, Text.find_last_not_of(' ') - first + 1);
}

}  // namespace

std::string DriveOf(const std::string& Path) {
  if (Path.size() < 2 || Path[1] != ':' || !std::isalpha(static_cast<unsigned char>(Path[0]))) return "";
  return std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(Path[0]))));
}

std::string ShiftedTime(const std::string& Time, int64_t Seconds) {
  const std::optional<int64_t> since = SecondsBetween("1970-01-01 00:00:00", Time);
  if (!since) return "";
  const std::time_t at = static_cast<std::time_t>(*since + Seconds);
  std::tm t{};
  gmtime_r(&at, &t);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &t);
  return text;
}

void ReadBackupFiles(THealthReader& Reader, const std::vector<TBackupRecord>& Backups, const std::string& Now,
                     TDatabaseIndex& ByName, TServerFacts& Facts) {
  std::map<TDatabaseFacts*, int> asked;
  bool unread = false;
  for (const TBackupRecord& b : Backups) {
    const auto at = ByName.find(Lower(b.Database));
    const std::optional<int64_t> age = SecondsBetween(b.Finished, Now);
    if (b.Type != "D" || at == ByName.end() || !age) continue;
    TDatabaseFacts& d = *at->second;
    if (d.FullBackupAge || asked[&d] >= kFilesAskedPerDatabase) continue;
    std::optional<bool> exists;
    if (!b.Device.empty() && !unread) {
      ++asked[&d];
      exists = FileExists(Reader, b.Device);
      unread = !exists;
    }
    // A file the server would not look for counts, as msdb's history alone did.
    if (exists.value_or(true))
      d.FullBackupAge = std::max<int64_t>(*age, 0);
    else if (d.MissingBackupFile.empty())
      d.MissingBackupFile = b.Device;
  }
  if (unread) Facts.Unread.push_back("pliki kopii zapasowych");
}

void ReadDrives(THealthReader& Reader, const std::set<std::string>& Letters, TServerFacts& Facts) {
  THealthRows rows;
  if (!Reader.Read(kDrivesQuery, "master", rows)) {
    Facts.Unread.push_back("wolne miejsce na dyskach");
    return;
  }
  Facts.DrivesRead = true;
  for (const THealthRow& row : rows) {
    const std::string letter = DriveOf(Trimmed(Cell(row, 0)) + ":");
    if (Letters.count(letter)) Facts.Drives.push_back({letter, Number(Cell(row, 1)) * 1024 * 1024});
  }
}

void ReadErrorLog(THealthReader& Reader, const std::string& Now, int Days, TServerFacts& Facts) {
  THealthRows rows;
  if (!Reader.Read(kErrorLogQuery, "master", rows) && !Reader.Read(kErrorLogFallback, "master", rows)) {
    Facts.Unread.push_back("dziennik błędów serwera");
    return;
  }
  Facts.LogEntries = LogEntriesOf(rows, ShiftedTime(Now, -int64_t{Days} * 24 * 60 * 60));
}

void ReadBlocking(THealthReader& Reader, const std::map<std::string, std::string>& NameOfId, TServerFacts& Facts) {
  THealthRows rows;
  if (!Reader.Read(kSessionsQuery, "master", rows)) {
    Facts.Unread.push_back("blokady sesji");
    return;
  }
  std::set<int> waitedFor;
  for (const THealthRow& row : rows) {
    const int spid = static_cast<int>(Number(Cell(row, 0))), by = static_cast<int>(Number(Cell(row, 1)));
    // A session blocked by itself waits for its own parallel work, not for another's lock.
    if (by != 0 && by != spid) {
      Facts.Blocked.push_back({spid, by, Number(Cell(row, 2)) / 1000});
      waitedFor.insert(by);
    }
  }
  for (const THealthRow& row : rows) {
    const int spid = static_cast<int>(Number(Cell(row, 0)));
    if (!waitedFor.count(spid)) continue;
    const auto name = NameOfId.find(Cell(row, 5));
    Facts.Sessions.push_back({spid, Trimmed(Cell(row, 3)), Trimmed(Cell(row, 4)),
                              name == NameOfId.end() ? "" : name->second});
  }
}

}  // namespace vandrel::health
