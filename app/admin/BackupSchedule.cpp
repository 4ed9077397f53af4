#include "app/admin/BackupSchedule.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <ctime>
#include <memory>

#include "app/DialogSeam.h"
#include "app/ServerPaths.h"
#include "app/admin/BackupScheduleDlg.h"
#include "app/admin/DatabaseFiles.h"
#include "app/admin/ScheduleFiles.h"
#include "platform/Environment.h"
#include "platform/FileSystem.h"

namespace vandrel::app::admin {
namespace {

// systemctl and crontab answer at once unless something hangs on the other side.
constexpr int kScheduleProgramMilliseconds = 60000;

struct TProgramRun {
  bool Started = false;
  int Status = -1;  // -1: it did not end normally
  std::string Out, Err;
};

// Program (found on PATH) with Arguments, Input written to its standard input.
TProgramRun RunProgram(const QString& Program, const QStringList& Arguments, const std::string& Input = {}) {
  TProgramRun run;
  QProcess process;
  process.start(Program, Arguments);
  if (!process.waitForStarted(kScheduleProgramMilliseconds)) return run;
  run.Started = true;
  if (!Input.empty()) process.write(Input.data(), static_cast<qint64>(Input.size()));
  process.closeWriteChannel();
  if (!process.waitForFinished(kScheduleProgramMilliseconds)) {
    process.kill();
    process.waitForFinished();
  } else if (process.exitStatus() == QProcess::NormalExit) {
    run.Status = process.exitCode();
  }
  run.Out = process.readAllStandardOutput().toStdString();
  run.Err = process.readAllStandardError().toStdString();
  return run;
}

TProgramRun Systemctl(const QStringList& Arguments) {
  return RunProgram(QStringLiteral("systemctl"), QStringList{QStringLiteral("--user")} + Arguments);
}

// What a program that failed said, for the user.
std::string FailureOf(const std::string& Command, const TProgramRun& Run) {
  if (!Run.Started) return "Nie można uruchomić programu " + Command.substr(0, Command.find(' ')) + ".";
  std::string said = Run.Err.empty() ? Run.Out : Run.Err;
  while (!said.empty() && (said.back() == '\n' || said.back() == ' ')) said.pop_back();
  return "Polecenie \"" + Command + "\" nie powiodło się" +
         (Run.Status >= 0 ? " (kod " + std::to_string(Run.Status) + ")" : "") + (said.empty() ? "." : ": " + said);
}

// The user's crontab; false when it cannot be read (no crontab program among the reasons).
bool ReadCrontab(std::string& Text, std::string& Failure) {
  const TProgramRun run = RunProgram(QStringLiteral("crontab"), {QStringLiteral("-l")});
  Text = run.Out;
  if (run.Started && run.Status == 0) return true;
  // A user who never had a crontab: nothing to keep.
  if (run.Started && run.Status > 0 && run.Err.find("no crontab") != std::string::npos) {
    Text.clear();
    return true;
  }
  Failure = run.Started ? FailureOf("crontab -l", run)
                        : "Na tym komputerze nie ma programu crontab ani menedżera usług systemd użytkownika "
                          "(zainstaluj pakiet cron).";
  return false;
}

std::string WriteCrontab(const std::string& Text) {
  const TProgramRun run = RunProgram(QStringLiteral("crontab"), {QStringLiteral("-")}, Text);
  return run.Started && run.Status == 0 ? "" : FailureOf("crontab -", run);
}

// The NEXT column of `systemctl --user list-timers` for Timer, as the window writes times.
std::string NextElapseOf(const std::string& ListTimers, const std::string& Timer) {
  size_t left = std::string::npos;
  std::string row;
  for (const QString& line : QString::fromStdString(ListTimers).split('\n')) {
    const std::string text = line.toStdString();
    if (text.rfind("NEXT", 0) == 0) left = text.find("LEFT");
    else if (text.find(" " + Timer) != std::string::npos) row = text;
  }
  if (row.empty()) return "nieznana (timer nie jest wczytany)";
  static const QRegularExpression when(QStringLiteral("(\\d{4})-(\\d{2})-(\\d{2}) (\\d{2}):(\\d{2})"));
  const QRegularExpressionMatch m = when.match(QString::fromStdString(row.substr(0, left)));
  if (!m.hasMatch()) return "nie zaplanowano (timer nie jest włączony)";
  std::tm at{};
  at.tm_year = m.captured(1).toInt() - 1900;
  at.tm_mon = m.captured(2).toInt() - 1;
  at.tm_mday = m.captured(3).toInt();
  at.tm_hour = m.captured(4).toInt();
  at.tm_min = m.captured(5).toInt();
  at.tm_isdst = -1;
  std::mktime(&at);  // the day of the week
  return RunTimeText(at);
}

bool Exists(const std::string& Path) { return platform::FileExists(Path); }

}  // namespace

bool TBackupScheduler::HasUserManager() { return Systemctl({QStringLiteral("show-environment")}).Status == 0; }

std::string TBackupScheduler::BackupProgram() {
  if (std::string named = platform::EnvironmentValue("VANDREL_BACKUP_PROGRAM"); !named.empty()) return named;
  const QString here = QCoreApplication::applicationDirPath();
  for (const QString& candidate : {here + "/vandrel-backup", here + "/../tools/backup/vandrel-backup"})
    if (QFileInfo(candidate).isExecutable()) return QFileInfo(candidate).canonicalFilePath().toStdString();
  return QStandardPaths::findExecutable(QStringLiteral("vandrel-backup")).toStdString();
}

TScheduleState TBackupScheduler::State() const {
  TScheduleState state;
  std::string text, via;
  if (ReadWholeFile(FPaths.Description, text)) state.Schedule = ReadDescription(text, via);
  state.ViaSystemd = state.Schedule ? via == "systemd" : Exists(FPaths.Timer);
  state.Exists = state.Schedule || Exists(FPaths.Timer) || Exists(FPaths.Service);
  if (state.Schedule && state.ViaSystemd) {
    const std::string timer = FPaths.Name + ".timer";
    const TProgramRun run = Systemctl({"list-timers", QString::fromStdString(timer), "--all", "--no-pager"});
    state.NextRun = run.Status == 0 ? NextElapseOf(run.Out, timer) : "nieznana (" + FailureOf("systemctl --user list-timers", run) + ")";
  } else if (state.Schedule) {
    const std::optional<std::time_t> next = NextRunAfter(*state.Schedule, std::time(nullptr));
    std::tm local{};
    if (next) localtime_r(&*next, &local);
    state.NextRun = next ? RunTimeText(local) : "brak (nie wybrano dnia)";
  }
  std::string log;
  state.LogRead = ReadWholeFile(FPaths.Log, log);
  if (state.LogRead) state.Last = LastRunOf(log);
  return state;
}

std::string TBackupScheduler::Save(const TBackupSchedule& Schedule, const std::string& Password) const {
  if (std::string problem = ScheduleProblem(Schedule); !problem.empty()) return problem;
  const std::string program = BackupProgram();
  if (program.empty())
    return "Nie znaleziono programu vandrel-backup (instaluje się razem z programem vandrel).";
  const bool systemd = HasUserManager();
  // A schedule written the other way before (the user manager came or went) goes first.
  if (std::string failure = systemd ? RemoveCronEntry() : RemoveUnits(); !failure.empty()) return failure;
  for (const std::string& directory : {FPaths.OwnDirectory, FPaths.LogDirectory, FPaths.UnitDirectory})
    if ((directory != FPaths.UnitDirectory || systemd) && !platform::ForceDirectories(directory))
      return "Nie można utworzyć katalogu " + directory + ".";
  if (std::string failure = WriteWholeFile(FPaths.PasswordFile, Password + "\n", 0600); !failure.empty()) return failure;
  const std::vector<std::string> command = BackupCommandLine(Schedule, program, FPaths);
  const TEnvironment environment = ReachingEnvironment();
  if (systemd) {
    for (const auto& [path, text] : {std::pair{FPaths.Service, ServiceUnitText(Schedule, command, environment)},
                                     std::pair{FPaths.Timer, TimerUnitText(Schedule, FPaths)}})
      if (std::string failure = WriteWholeFile(path, text, 0644); !failure.empty()) return failure;
    const QString timer = QString::fromStdString(FPaths.Name + ".timer");
    if (const TProgramRun run = Systemctl({"daemon-reload"}); run.Status != 0)
      return FailureOf("systemctl --user daemon-reload", run);
    if (const TProgramRun run = Systemctl({"enable", "--now", timer}); run.Status != 0)
      return FailureOf("systemctl --user enable --now " + timer.toStdString(), run);
  } else {
    std::string crontab, failure;
    if (!ReadCrontab(crontab, failure)) return failure;
    failure = WriteCrontab(CrontabWith(crontab, FPaths.Name, CronEntry(Schedule, FPaths, command, environment)));
    if (!failure.empty()) return failure;
  }
  return WriteWholeFile(FPaths.Description, DescriptionText(Schedule, systemd ? "systemd" : "cron"), 0600);
}

std::string TBackupScheduler::RemoveUnits() const {
  if (!Exists(FPaths.Timer) && !Exists(FPaths.Service)) return {};
  // Without a user manager nothing runs the timer: its files are all there is to remove.
  const bool manager = HasUserManager();
  if (manager) Systemctl({"disable", "--now", QString::fromStdString(FPaths.Name + ".timer")});
  std::string failure = RemoveFile(FPaths.Timer);
  if (failure.empty()) failure = RemoveFile(FPaths.Service);
  if (manager) Systemctl({"daemon-reload"});
  return failure;
}

std::string TBackupScheduler::RemoveCronEntry() const {
  std::string crontab, failure;
  // No crontab program: no line of this tool can be in a crontab.
  if (!ReadCrontab(crontab, failure)) return {};
  bool found = false;
  const std::string without = CrontabWithout(crontab, FPaths.Name, &found);
  return found ? WriteCrontab(without) : "";
}

std::string TBackupScheduler::Remove() const {
  std::string failures;
  for (const std::string& failure : {RemoveUnits(), RemoveCronEntry(), RemoveFile(FPaths.PasswordFile),
                                     RemoveFile(FPaths.Description)})
    if (!failure.empty()) failures += (failures.empty() ? "" : "\n") + failure;
  return failures;
}

void BackupScheduleCommand(TCommandContext& Context) {
  if (!Context.EnsureConnected()) return;
  TextList databases;
  Context.UserDatabaseNames(databases);
  TBackupSchedule proposal;
  proposal.Server = Context.ServerAsNamed();
  proposal.User = Context.ConnectionStringValue("UID");
  if (proposal.User.empty()) proposal.User = "sa";
  proposal.Directory = ServerBackupDirectory(Context);
  // A week of files where vandrel-backup may remove older ones; elsewhere it keeps them all.
  proposal.Keep = IsThisMachine(proposal.Server) ? 7 : 0;
  if (const std::string selected = Context.SelectedDatabase(); !selected.empty() && !IsSystemDatabase(selected))
    proposal.Databases = {selected};
  const TBackupScheduler scheduler(proposal.Server);
  TBackupScheduleDlg dialog(Context.DialogParent(), scheduler, databases, proposal,
                            Context.ConnectionStringValue("PWD"));
  DialogSeam::Current().ExecDialog(&dialog);
}

}  // namespace vandrel::app::admin
