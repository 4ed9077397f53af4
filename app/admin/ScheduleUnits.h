#pragma once
// A nightly backup the tool schedules on this machine: which databases of which server, at
// what time of which days, into which directory of the server's disk and how many files of
// each database stay; and the texts that schedule it: a systemd user timer with its service,
// or a crontab line under a marker line of its own, each running vandrel-backup with the
// password in a file of its own (never in the unit or the line). No Qt, no processes: the
// texts only, so that the rules can be read and checked apart from the files they go into.
#include <array>
#include <ctime>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vandrel::app::admin {

struct TBackupSchedule {
  std::string Server;  // as the user named it at the connection
  std::string User;
  std::vector<std::string> Databases;
  int Hour = 22, Minute = 0;
  std::array<bool, 7> Days{true, true, true, true, true, true, true};  // Monday first
  std::string Directory;  // on the server's disk
  int Keep = 0;           // 0: every file stays
  bool operator==(const TBackupSchedule&) const = default;
};

// Where a schedule's files go: systemd's user units, and the tool's own password file and
// the description it reads back, under $XDG_CONFIG_HOME (~/.config); vandrel-backup's log
// under $XDG_STATE_HOME (~/.local/state).
struct TSchedulePaths {
  std::string Name;  // "vandrel-backup-local": the units' name, and every file's
  std::string UnitDirectory, Service, Timer;
  std::string OwnDirectory, PasswordFile, Description;
  std::string LogDirectory, Log;
};
// The schedule of Server: one for each server, named after it.
TSchedulePaths SchedulePathsOf(const std::string& Server);

// The variables that decide how this machine reaches a server (FreeTDS's port and files,
// unixODBC's files, the Wine prefix of a server's drives), as the tool now has them: the
// scheduled program runs in an environment of its own and needs them to reach the same one.
std::vector<std::pair<std::string, std::string>> ReachingEnvironment();

// What is wrong with Schedule, in the user's words; empty when it can be written.
std::string ScheduleProblem(const TBackupSchedule& Schedule);

// vandrel-backup's command line: Program, the server and user, the databases, the
// directory, --keep, the password file and the log.
std::vector<std::string> BackupCommandLine(const TBackupSchedule& Schedule, const std::string& Program,
                                           const TSchedulePaths& Paths);

using TEnvironment = std::vector<std::pair<std::string, std::string>>;
std::string OnCalendarText(const TBackupSchedule& Schedule);  // "Mon,Fri *-*-* 02:30:00"
std::string ServiceUnitText(const TBackupSchedule& Schedule, const std::vector<std::string>& CommandLine,
                            const TEnvironment& Environment);
std::string TimerUnitText(const TBackupSchedule& Schedule, const TSchedulePaths& Paths);

// The crontab's two lines for the schedule: the marker ("# Vandrel: NAME ...") and the line.
std::string CronEntry(const TBackupSchedule& Schedule, const TSchedulePaths& Paths,
                      const std::vector<std::string>& CommandLine, const TEnvironment& Environment);
// A crontab without the schedule Name: its marker and the line under it go, every other line
// stays as it was. Found tells whether there was one.
std::string CrontabWithout(const std::string& Crontab, const std::string& Name, bool* Found = nullptr);
// The crontab with Entry at its end and without the schedule's earlier entry.
std::string CrontabWith(const std::string& Crontab, const std::string& Name, const std::string& Entry);

// The next time the schedule runs after Now, on this machine's clock; none without a day.
std::optional<std::time_t> NextRunAfter(const TBackupSchedule& Schedule, std::time_t Now);
// "poniedziałek, 2026-12-14 02:30", the day's name and the day and time as the log writes them.
std::string RunTimeText(const std::tm& Local);

// The description the tool reads back when the window opens again, and how it ran it
// ("systemd" or "cron"); Read gives none for a text that is no description.
std::string DescriptionText(const TBackupSchedule& Schedule, const std::string& Via);
std::optional<TBackupSchedule> ReadDescription(const std::string& Text, std::string& Via);

}  // namespace vandrel::app::admin
