#pragma once
// "Harmonogram kopii..." (menu "Bazy"): a nightly backup of the connected server's databases,
// scheduled on this machine for the user running the tool. Where the user has a systemd user
// manager (`systemctl --user show-environment` answers) it is a timer and a service in
// $XDG_CONFIG_HOME/systemd/user; elsewhere a line of the user's crontab (`crontab -l`,
// `crontab -`). Either runs vandrel-backup, which reads the password from a file only the
// user may read and appends its lines and exit status to a log the window reads back.
// Removing a schedule removes what writing it wrote and nothing else; the log and the backup
// files stay.
#include <optional>
#include <string>

#include "app/BackupLog.h"
#include "app/CommandContext.h"
#include "app/admin/ScheduleUnits.h"

namespace vandrel::app::admin {

// What this machine has scheduled for one server, as the window shows it.
struct TScheduleState {
  bool Exists = false;                      // anything of the schedule is there
  std::optional<TBackupSchedule> Schedule;  // as it was written
  bool ViaSystemd = false;                  // else cron
  std::string NextRun;                      // "poniedziałek, 2026-12-14 02:30", or why not known
  bool LogRead = false;
  TLastRun Last;                            // the log's last run
};

class TBackupScheduler {
 public:
  explicit TBackupScheduler(const std::string& Server) : FPaths(SchedulePathsOf(Server)) {}

  const TSchedulePaths& Paths() const { return FPaths; }
  TScheduleState State() const;
  // Writes the schedule (in place of an earlier one) and starts it; the failure in the
  // user's words, empty when it is scheduled.
  std::string Save(const TBackupSchedule& Schedule, const std::string& Password) const;
  // Stops and removes the schedule; the failures, empty when it is gone.
  std::string Remove() const;

  // Whether this user has a systemd user manager to run timers.
  static bool HasUserManager();
  // vandrel-backup: $VANDREL_BACKUP_PROGRAM, else beside this program (or where the build
  // puts it), else on PATH; empty when none is found.
  static std::string BackupProgram();

 private:
  std::string RemoveUnits() const;
  std::string RemoveCronEntry() const;

  TSchedulePaths FPaths;
};

// The menu's command: the window with the server's databases and its schedule, if any.
void BackupScheduleCommand(TCommandContext& Context);

}  // namespace vandrel::app::admin
