#include "app/admin/ScheduleUnits.h"

#include <cctype>
#include <cstdio>
#include <sstream>

#include "app/ServerPaths.h"
#include "app/admin/ScheduleQuoting.h"
#include "platform/Environment.h"
#include "platform/FileSystem.h"

namespace vandrel::app::admin {
namespace {

constexpr const char* kDayNamesInEnglish[7] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
constexpr const char* kDayNamesInPolish[7] = {"poniedziałek", "wtorek", "środa", "czwartek",
                                               "piątek",       "sobota", "niedziela"};
constexpr const char* kCronMarker = "# Vandrel: ";

// $Variable when it names an absolute directory, else Default under the home directory.
std::string HomeBased(const char* Variable, const char* Default) {
  const std::string value = platform::EnvironmentValue(Variable);
  if (!value.empty() && value[0] == '/') return value;
  return platform::HomeDirectory() + "/" + Default;
}

// "(local)" -> "local", "KASA\SQLEXPRESS" -> "kasa-sqlexpress", "127.0.0.1,1433" ->
// "127.0.0.1-1433": what a unit's name may hold, one schedule per server.
std::string ScheduleNameOf(const std::string& Server) {
  std::string slug;
  for (const char ch : Server) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x80 && std::isalnum(c)) slug += static_cast<char>(std::tolower(c));
    else if (c == '.' || c == '_') slug += ch;
    else if (!slug.empty() && slug.back() != '-') slug += '-';
  }
  while (!slug.empty() && slug.back() == '-') slug.pop_back();
  return "vandrel-backup-" + (slug.empty() ? std::string("serwer") : slug);
}

// A value after "Description=": systemd reads it to the end of the line, specifiers included.
std::string UnitDescription(const std::string& Text) {
  std::string escaped;
  for (const char c : Text) escaped += c == '%' ? std::string("%%") : std::string(1, c);
  return escaped;
}

std::string TwoDigits(int Value) {
  char text[8];
  std::snprintf(text, sizeof text, "%02d", Value);
  return text;
}

std::string ClockText(const TBackupSchedule& Schedule) { return TwoDigits(Schedule.Hour) + ":" + TwoDigits(Schedule.Minute); }

bool EveryDay(const TBackupSchedule& Schedule) {
  for (const bool day : Schedule.Days)
    if (!day) return false;
  return true;
}

bool IsCronMarkerOf(const std::string& Line, const std::string& Name) {
  const std::string marker = kCronMarker + Name;
  return Line.rfind(marker, 0) == 0 && (Line.size() == marker.size() || Line[marker.size()] == ' ');
}

std::vector<std::string> LinesOf(const std::string& Text) {
  std::vector<std::string> lines;
  std::istringstream in(Text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace

TSchedulePaths SchedulePathsOf(const std::string& Server) {
  TSchedulePaths p;
  p.Name = ScheduleNameOf(Server);
  const std::string config = HomeBased("XDG_CONFIG_HOME", ".config");
  p.UnitDirectory = config + "/systemd/user";
  p.Service = p.UnitDirectory + "/" + p.Name + ".service";
  p.Timer = p.UnitDirectory + "/" + p.Name + ".timer";
  p.OwnDirectory = config + "/vandrel";
  p.PasswordFile = p.OwnDirectory + "/" + p.Name + ".pass";
  p.Description = p.OwnDirectory + "/" + p.Name + ".schedule";
  p.LogDirectory = HomeBased("XDG_STATE_HOME", ".local/state") + "/vandrel";
  p.Log = p.LogDirectory + "/" + p.Name + ".log";
  return p;
}

std::vector<std::pair<std::string, std::string>> ReachingEnvironment() {
  std::vector<std::pair<std::string, std::string>> set;
  for (const char* name : {"TDSPORT", "TDSVER", "FREETDSCONF", "FREETDS", "ODBCSYSINI", "ODBCINI", "WINEPREFIX"})
    if (const std::string value = platform::EnvironmentValue(name); !value.empty()) set.emplace_back(name, value);
  return set;
}

std::string ScheduleProblem(const TBackupSchedule& Schedule) {
  // A connection made through an ODBC data source may not name its server.
  if (Schedule.Server.empty()) return "Nie wiadomo, jak nazywa się serwer tego połączenia: połącz się, podając nazwę serwera.";
  if (Schedule.Databases.empty()) return "Nie wybrano żadnej bazy.";
  if (Schedule.Days == std::array<bool, 7>{}) return "Nie wybrano żadnego dnia.";
  if (Schedule.Directory.empty()) return "Nie podano katalogu kopii na dysku serwera.";
  if (Schedule.Hour < 0 || Schedule.Hour > 23 || Schedule.Minute < 0 || Schedule.Minute > 59)
    return "Niepoprawna godzina kopii.";
  if (!FitsOnOneLine(Schedule.Directory)) return "Katalog kopii zawiera znak sterujący (np. nowy wiersz).";
  if (!FitsOnOneLine(Schedule.Server) || !FitsOnOneLine(Schedule.User))
    return "Nazwa serwera lub użytkownika zawiera znak sterujący (np. nowy wiersz).";
  for (const std::string& database : Schedule.Databases) {
    // vandrel-backup names its files after the database, and reads a word beginning with "-"
    // as an option.
    if (std::string problem = FileNameProblem(database); !problem.empty()) return problem;
    if (database.rfind('-', 0) == 0)
      return "Nazwa bazy \"" + database + "\" zaczyna się od \"-\": vandrel-backup wziąłby ją za opcję.";
  }
  return {};
}

std::vector<std::string> BackupCommandLine(const TBackupSchedule& Schedule, const std::string& Program,
                                           const TSchedulePaths& Paths) {
  std::vector<std::string> words{Program, "--server", Schedule.Server, "--user", Schedule.User};
  words.insert(words.end(), Schedule.Databases.begin(), Schedule.Databases.end());
  words.insert(words.end(), {"--to", Schedule.Directory});
  if (Schedule.Keep > 0) words.insert(words.end(), {"--keep", std::to_string(Schedule.Keep)});
  words.insert(words.end(), {"--password-file", Paths.PasswordFile, "--log", Paths.Log});
  return words;
}

std::string OnCalendarText(const TBackupSchedule& Schedule) {
  std::string days;
  if (!EveryDay(Schedule))
    for (size_t d = 0; d < 7; ++d)
      if (Schedule.Days[d]) days += (days.empty() ? "" : ",") + std::string(kDayNamesInEnglish[d]);
  return (days.empty() ? "" : days + " ") + "*-*-* " + ClockText(Schedule) + ":00";
}

std::string ServiceUnitText(const TBackupSchedule& Schedule, const std::vector<std::string>& CommandLine,
                            const TEnvironment& Environment) {
  std::string text =
      "# Zapisany przez program Vandrel (Bazy > Harmonogram kopii...); usuwa go \"Usuń harmonogram\".\n"
      "[Unit]\n"
      "Description=" + UnitDescription("Vandrel: kopie zapasowe baz serwera " + Schedule.Server) + "\n"
      "\n"
      "[Service]\n"
      "Type=oneshot\n";
  for (const auto& [name, value] : Environment) text += "Environment=" + SystemdEnvironmentWord(name + "=" + value) + "\n";
  return text + "ExecStart=" + JoinedWords(CommandLine, SystemdWord) + "\n";
}

std::string TimerUnitText(const TBackupSchedule& Schedule, const TSchedulePaths& Paths) {
  return "# Zapisany przez program Vandrel (Bazy > Harmonogram kopii...); usuwa go \"Usuń harmonogram\".\n"
         "[Unit]\n"
         "Description=" + UnitDescription("Vandrel: harmonogram kopii baz serwera " + Schedule.Server) + "\n"
         "\n"
         "[Timer]\n"
         "OnCalendar=" + OnCalendarText(Schedule) + "\n"
         // A night this machine was off is made up for when it starts.
         "Persistent=true\n"
         "Unit=" + Paths.Name + ".service\n"
         "\n"
         "[Install]\n"
         "WantedBy=timers.target\n";
}

std::string CronEntry(const TBackupSchedule& Schedule, const TSchedulePaths& Paths,
                      const std::vector<std::string>& CommandLine, const TEnvironment& Environment) {
  std::string days;
  if (!EveryDay(Schedule))
    for (size_t d = 0; d < 7; ++d)
      if (Schedule.Days[d]) days += (days.empty() ? "" : ",") + std::to_string((d + 1) % 7);
  std::string command;
  for (const auto& [name, value] : Environment) command += name + "=" + ShellWord(value) + " ";
  command += JoinedWords(CommandLine, ShellWord);
  return kCronMarker + Paths.Name + " (harmonogram kopii baz serwera " + Schedule.Server +
         "; zmienia go i usuwa program Vandrel)\n" + std::to_string(Schedule.Minute) + " " +
         std::to_string(Schedule.Hour) + " * * " + (days.empty() ? "*" : days) + " " + CronCommand(command) + "\n";
}

std::string CrontabWithout(const std::string& Crontab, const std::string& Name, bool* Found) {
  const std::vector<std::string> lines = LinesOf(Crontab);
  std::string kept;
  bool found = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (!IsCronMarkerOf(lines[i], Name)) {
      kept += lines[i] + "\n";
      continue;
    }
    found = true;
    // The line under the marker is the schedule's unless someone put a comment or a gap there.
    const bool entryBelow = i + 1 < lines.size() && !lines[i + 1].empty() && lines[i + 1][0] != '#';
    if (entryBelow) ++i;
  }
  if (Found) *Found = found;
  return kept;
}

std::string CrontabWith(const std::string& Crontab, const std::string& Name, const std::string& Entry) {
  return CrontabWithout(Crontab, Name) + Entry;
}

std::optional<std::time_t> NextRunAfter(const TBackupSchedule& Schedule, std::time_t Now) {
  std::tm today{};
  localtime_r(&Now, &today);
  for (int offset = 0; offset <= 7; ++offset) {
    std::tm at = today;
    at.tm_mday += offset;
    at.tm_hour = Schedule.Hour;
    at.tm_min = Schedule.Minute;
    at.tm_sec = 0;
    at.tm_isdst = -1;
    const std::time_t when = std::mktime(&at);  // also sets the day of the week
    if (when > Now && Schedule.Days[static_cast<size_t>((at.tm_wday + 6) % 7)]) return when;
  }
  return std::nullopt;
}

std::string RunTimeText(const std::tm& Local) {
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &Local);
  return std::string(kDayNamesInPolish[(Local.tm_wday + 6) % 7]) + ", " + text;
}

std::string DescriptionText(const TBackupSchedule& Schedule, const std::string& Via) {
  std::string days;
  for (const bool day : Schedule.Days) days += day ? '1' : '0';
  std::string text = "via=" + Via + "\nserver=" + Schedule.Server + "\nuser=" + Schedule.User + "\n";
  for (const std::string& database : Schedule.Databases) text += "database=" + database + "\n";
  return text + "time=" + ClockText(Schedule) + "\ndays=" + days + "\ndirectory=" + Schedule.Directory +
         "\nkeep=" + std::to_string(Schedule.Keep) + "\n";
}

std::optional<TBackupSchedule> ReadDescription(const std::string& Text, std::string& Via) {
  TBackupSchedule s;
  bool timed = false;
  for (const std::string& line : LinesOf(Text)) {
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = line.substr(0, equals), value = line.substr(equals + 1);
    if (key == "via") Via = value;
    else if (key == "server") s.Server = value;
    else if (key == "user") s.User = value;
    else if (key == "database") s.Databases.push_back(value);
    else if (key == "directory") s.Directory = value;
    else if (key == "keep") s.Keep = std::atoi(value.c_str());
    else if (key == "time") timed = std::sscanf(value.c_str(), "%d:%d", &s.Hour, &s.Minute) == 2;
    else if (key == "days" && value.size() == 7)
      for (size_t d = 0; d < 7; ++d) s.Days[d] = value[d] == '1';
  }
  if (!timed || s.Server.empty() || s.Databases.empty()) return std::nullopt;
  return s;
}

}  // namespace vandrel::app::admin
