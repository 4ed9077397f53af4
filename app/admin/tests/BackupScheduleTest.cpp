// "Harmonogram kopii..." through the window against msde-sim. The user's files live in the
// test's own directory (HOME, XDG_CONFIG_HOME, XDG_STATE_HOME, XDG_RUNTIME_DIR, WINEPREFIX),
// and stand-ins for systemctl and crontab come first on PATH and keep what they are told
// there; nothing of the person running the tests is read or changed. The units written pass
// `systemd-analyze verify`, the crontab line parses, and the command of each, run by hand in
// the bare environment its scheduler gives it, backs up databases whose names hold spaces,
// Polish letters, quotes, brackets, "%" and "$" and writes the log the window reads back;
// "Usuń harmonogram" leaves a foreign unit and foreign crontab lines as they were.
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <QCheckBox>
#include <QDate>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTimeEdit>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "app/admin/BackupScheduleDlg.h"
#include "app/admin/tests/AdminFixture.h"

using namespace vandrel::app;
using namespace vandrel::app::testing;

namespace {
// The unity build compiles the window tests as one file: this file's names stay in its own.
namespace backup_schedule {

namespace fs = std::filesystem;
using admin::TBackupScheduleDlg;

const std::string kTricky = "Kasa 'Pod Lipą' [50% $HOME]";
const std::vector<std::string> kScheduled = {kTricky, "O'Brien", "Sklep]Nowy", "Łódź–Centrum"};
const char* const kPassword = "Sekret1";
const std::string kBackupDir = "C:\\Program Files\\Microsoft SQL Server\\MSSQL\\BACKUP";

std::string FileText(const std::string& Path) {
  std::ifstream in(Path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The words of a unit's command line as systemd reads them (systemd.service(5), "Command
// lines"): quotes, C escapes, the specifiers "%%" and "%h", "$$" and variables taken from
// Environment (only where Variables; Environment= takes "$" as it stands).
std::vector<std::string> SystemdWords(const std::string& Line, const std::map<std::string, std::string>& Environment,
                                      bool Variables) {
  std::vector<std::string> words;
  std::string word;
  bool any = false;
  char quote = 0;
  for (size_t i = 0; i < Line.size(); ++i) {
    const char c = Line[i];
    if (c == '%' && i + 1 < Line.size()) {
      const char s = Line[++i];
      if (s == '%') word += '%';
      else if (s == 'h') word += Environment.at("HOME");
      else ADD_FAILURE() << "specifier %" << s << " in " << Line;
      any = true;
    } else if (Variables && c == '$' && i + 1 < Line.size()) {
      if (Line[i + 1] == '$') {
        word += '$';
        ++i;
      } else {
        size_t end = i + 1;
        const bool braced = Line[end] == '{';
        if (braced) ++end;
        const size_t from = end;
        while (end < Line.size() && (std::isalnum(static_cast<unsigned char>(Line[end])) || Line[end] == '_')) ++end;
        const std::string name = Line.substr(from, end - from);
        const auto value = Environment.find(name);
        word += value == Environment.end() ? "" : value->second;
        i = braced ? end : end - 1;
      }
      any = true;
    } else if (quote != 0 && c == quote) {
      quote = 0;
    } else if (quote == 0 && (c == '"' || c == '\'')) {
      quote = c;
      any = true;
    } else if (quote == 0 && c == ' ') {
      if (any) words.push_back(word);
      word.clear();
      any = false;
    } else if (c == '\\' && i + 1 < Line.size()) {
      const char e = Line[++i];
      word += e == 'n' ? '\n' : e == 't' ? '\t' : e;
      any = true;
    } else {
      word += c;
      any = true;
    }
  }
  EXPECT_EQ(quote, 0) << "unbalanced quoting: " << Line;
  if (any) words.push_back(word);
  return words;
}

// Runs Arguments with exactly Environment ("NAME=value"); the exit status.
int RunBare(const std::vector<std::string>& Arguments, const std::vector<std::string>& Environment) {
  std::vector<std::string> args = Arguments, env = Environment;
  std::vector<char*> argv, envp;
  for (auto& a : args) argv.push_back(a.data());
  for (auto& e : env) envp.push_back(e.data());
  argv.push_back(nullptr);
  envp.push_back(nullptr);
  // Its lines go to the log, which the window reads; not into the test's output.
  posix_spawn_file_actions_t quiet;
  posix_spawn_file_actions_init(&quiet);
  posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  const int started = posix_spawn(&pid, argv[0], &quiet, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&quiet);
  if (started != 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// What the program says to its output, and its exit status.
int Said(const std::string& Command, std::string& Out) {
  FILE* pipe = popen((Command + " 2>&1").c_str(), "r");
  char buffer[1024];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) Out.append(buffer, n);
  const int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool HaveSystemdAnalyze() { return std::system("command -v systemd-analyze > /dev/null 2>&1") == 0; }

// "poniedziałek, 2026-12-14 02:30" for systemd-analyze's "Next elapse: Mon 2026-12-14 02:30:00 UTC".
std::string NextElapseOf(const std::string& Calendar) {
  std::string said;
  Said("systemd-analyze calendar --iterations=1 '" + Calendar + "'", said);
  std::smatch m;
  if (!std::regex_search(said, m, std::regex("Next elapse: (\\w+) (\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2})"))) return said;
  const std::map<std::string, std::string> days = {{"Mon", "poniedziałek"}, {"Tue", "wtorek"}, {"Wed", "środa"},
                                                   {"Thu", "czwartek"},     {"Fri", "piątek"},  {"Sat", "sobota"},
                                                   {"Sun", "niedziela"}};
  return days.at(m[1]) + ", " + m[2].str();
}

class BackupSchedule : public AdminWindowTest {
 protected:
  // The name cases with one more database whose name holds what either scheduler would take
  // for its own, and sa with a password that must reach the program some way but its line.
  std::string DataFile() const override {
    std::string data = FileText(DataSet("name_cases.json"));
    const std::string sa = "\"name\": \"sa\",\n   \"password\": \"\"";
    data.replace(data.find(sa), sa.size(), "\"name\": \"sa\",\n   \"password\": \"" + std::string(kPassword) + "\"");
    const std::string databases = "\"databases\": [";
    data.insert(data.find(databases) + databases.size(),
                "{\"name\": \"Kasa 'Pod Lipą' [50% $HOME]\", \"dbid\": 40, \"files\": ["
                "{\"fileid\": 1, \"name\": \"Db40_Data\", \"filename\": \"C:\\\\Program Files\\\\Microsoft SQL "
                "Server\\\\MSSQL\\\\Data\\\\Db40_Data.MDF\", \"size\": 640},"
                "{\"fileid\": 2, \"name\": \"Db40_Log\", \"filename\": \"C:\\\\Program Files\\\\Microsoft SQL "
                "Server\\\\MSSQL\\\\Data\\\\Db40_Log.LDF\", \"size\": 128, \"log\": true}]},");
    std::ofstream(User.Path() + "/data.json") << data;
    return User.Path() + "/data.json";
  }

  void SetUp() override {
    for (const char* name : kUserVariables) Saved.emplace_back(name, getenv(name) ? std::optional<std::string>(getenv(name)) : std::nullopt);
    const std::string home = User.Path();
    Bin = home + "/bin";
    fs::create_directories(Bin);
    fs::create_directories(home + "/run");
    chmod((home + "/run").c_str(), 0700);
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
    unsetenv("XDG_STATE_HOME");  // the default under HOME
    setenv("XDG_RUNTIME_DIR", (home + "/run").c_str(), 1);
    setenv("WINEPREFIX", (home + "/wine").c_str(), 1);
    setenv("PATH", (Bin + ":" + Saved[kPathIndex].second.value_or("/usr/bin:/bin")).c_str(), 1);
    setenv("VANDREL_BACKUP_PROGRAM", VANDREL_BACKUP_PATH, 1);
    WriteStandIns();

    msde::testkit::SimServerOptions options;
    options.data_file = DataFile();
    options.private_files = true;
    Sim = std::make_unique<msde::testkit::SimServer>(options);
    setenv("TDSPORT", std::to_string(Sim->Port()).c_str(), 1);
    // The server's backup directory, as the Wine prefix keeps drive C: for this machine's
    // programs, is the server's files: vandrel-backup removes old files there.
    const std::string mssql = home + "/wine/drive_c/Program Files/Microsoft SQL Server/MSSQL";
    fs::create_directories(mssql);
    fs::create_directory_symlink(Sim->FilesDir(), mssql + "/BACKUP");
    Form = std::make_unique<TForm1>();
    AnswerLogin(kPassword);
    Form->FormShow();
    Dialogs.Messages.clear();
  }
  void TearDown() override {
    AdminWindowTest::TearDown();
    for (const auto& [name, value] : Saved) value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
  }

  // systemctl keeps what it was asked in systemctl.log and answers as a user manager does
  // while the file "manager" is there; crontab keeps the user's crontab in the file "crontab".
  void WriteStandIns() {
    const std::string home = User.Path();
    std::ofstream(Bin + "/systemctl") << "#!/bin/sh\n"
                                         "echo \"$*\" >> '" << home << "/systemctl.log'\n"
                                         "[ -e '" << home << "/manager' ] || { echo 'Failed to connect to bus: No medium found' >&2; exit 1; }\n"
                                         "case \"$2\" in\n"
                                         "  enable) touch '" << home << "/enabled' ;;\n"
                                         "  disable) rm -f '" << home << "/enabled' ;;\n"
                                         "  list-timers)\n"
                                         "    echo 'NEXT                        LEFT        LAST PASSED UNIT ACTIVATES'\n"
                                         "    [ -e '" << home << "/enabled' ] && echo \"Mon 2026-12-14 02:30:00 UTC 3 days left n/a  n/a    $3 x.service\"\n"
                                         "    echo; echo '1 timers listed.' ;;\n"
                                         "esac\n"
                                         "exit 0\n";
    std::ofstream(Bin + "/crontab") << "#!/bin/sh\n"
                                       "f='" << home << "/crontab'\n"
                                       "case \"$1\" in\n"
                                       "  -l) [ -e \"$f\" ] && exec cat \"$f\"; echo \"no crontab for $(id -un)\" >&2; exit 1 ;;\n"
                                       "  -) cat > \"$f.new\" && mv \"$f.new\" \"$f\" ;;\n"
                                       "  *) exit 1 ;;\n"
                                       "esac\n";
    chmod((Bin + "/systemctl").c_str(), 0755);
    chmod((Bin + "/crontab").c_str(), 0755);
  }
  void HaveUserManager() { std::ofstream(User.Path() + "/manager") << ""; }

  std::string UnitDirectory() const { return User.Path() + "/.config/systemd/user"; }
  std::string OwnFile(const std::string& Suffix) const { return User.Path() + "/.config/vandrel/vandrel-backup-local" + Suffix; }
  std::string LogFile() const { return User.Path() + "/.local/state/vandrel/vandrel-backup-local.log"; }

  // Opens the window, lets Look see and drive it, and closes it.
  void Schedule(std::function<void(TBackupScheduleDlg*)> Look) {
    Dialogs.DialogAnswers.push_back([Look](QDialog* d) {
      Look(static_cast<TBackupScheduleDlg*>(d));
      return int(QDialog::Rejected);
    });
    Run(TCommandId::cmBackupSchedule);
  }
  static void Choose(TBackupScheduleDlg* D, const std::vector<std::string>& Databases, QTime At,
                     const std::array<bool, 7>& Days) {
    for (int i = 0; i < D->DatabaseList->count(); ++i) {
      QListWidgetItem* item = D->DatabaseList->item(i);
      const bool chosen = std::find(Databases.begin(), Databases.end(), item->text().toStdString()) != Databases.end();
      item->setCheckState(chosen ? Qt::Checked : Qt::Unchecked);
    }
    D->TimeEdit->setTime(At);
    for (int d = 0; d < 7; ++d) D->DayChecks[d]->setChecked(Days[d]);
  }
  static std::vector<std::string> Checked(TBackupScheduleDlg* D) {
    std::vector<std::string> names;
    for (int i = 0; i < D->DatabaseList->count(); ++i)
      if (D->DatabaseList->item(i)->checkState() == Qt::Checked) names.push_back(D->DatabaseList->item(i)->text().toStdString());
    return names;
  }

  // The files of the backups the server made since Mark, by the databases named.
  std::vector<std::string> BackedUpSince(size_t Mark) const {
    std::vector<std::string> sent;
    for (const auto& line : Sim->TraceSince(Mark))
      if (line.Text.rfind("BACKUP DATABASE ", 0) == 0) sent.push_back(line.Text.substr(0, line.Text.find(" TO DISK")));
    return sent;
  }
  static std::vector<std::string> Bracketed(const std::vector<std::string>& Databases) {
    std::vector<std::string> statements;
    for (std::string name : Databases) {
      for (size_t at = name.find(']'); at != std::string::npos; at = name.find(']', at + 2)) name.insert(at, 1, ']');
      statements.push_back("BACKUP DATABASE [" + name + "]");
    }
    return statements;
  }

  // What cron gives a command: HOME, LOGNAME, SHELL and its own PATH, nothing of the session.
  std::vector<std::string> BareEnvironment() const {
    return {"HOME=" + User.Path(), "LOGNAME=kierownik", "SHELL=/bin/sh", "PATH=/usr/bin:/bin"};
  }

  static constexpr const char* kUserVariables[] = {"PATH", "HOME", "XDG_CONFIG_HOME", "XDG_STATE_HOME", "XDG_RUNTIME_DIR",
                                                   "WINEPREFIX", "VANDREL_BACKUP_PROGRAM"};
  static constexpr size_t kPathIndex = 0;
  msde::testkit::TempDir User{"vandrel-schedule"};
  std::string Bin;
  std::vector<std::pair<std::string, std::optional<std::string>>> Saved;
};

TEST_F(BackupSchedule, ASystemdTimerThatVerifiesRunsByHandAndGoesWithoutTheForeignUnit) {
  HaveUserManager();
  fs::create_directories(UnitDirectory());
  const std::string foreign = "[Unit]\nDescription=kopia zdjęć\n\n[Service]\nType=oneshot\nExecStart=/usr/bin/true\n";
  std::ofstream(UnitDirectory() + "/zdjecia.service") << foreign;

  std::string machine, status;
  Schedule([&](TBackupScheduleDlg* d) {
    machine = d->MachineLabel->text().toStdString();
    Choose(d, kScheduled, QTime(2, 30), {true, true, true, true, true, false, false});
    d->KeepSpin->setValue(2);
    d->SaveBtn->click();
    status = d->StatusLabel->text().toStdString();
  });
  EXPECT_THAT(machine, HasSubstr("Harmonogram działa na tym komputerze"));
  EXPECT_THAT(machine, HasSubstr("ten komputer musi być włączony"));
  EXPECT_EQ(LastText(), "Harmonogram kopii zapisany. Następna kopia: poniedziałek, 2026-12-14 02:30.");
  EXPECT_THAT(status, HasSubstr("timer systemd użytkownika vandrel-backup-local.timer"));
  EXPECT_THAT(FileText(User.Path() + "/systemctl.log"),
              HasSubstr("--user daemon-reload\n--user enable --now vandrel-backup-local.timer\n"));

  const std::string service = UnitDirectory() + "/vandrel-backup-local.service";
  const std::string timer = UnitDirectory() + "/vandrel-backup-local.timer";
  const std::string unitText = FileText(service) + FileText(timer);
  EXPECT_THAT(unitText, HasSubstr("OnCalendar=Mon,Tue,Wed,Thu,Fri *-*-* 02:30:00\n"));
  // The password is in its own file, made for this user alone, never in a unit.
  EXPECT_THAT(unitText, Not(HasSubstr(kPassword)));
  struct stat st {};
  ASSERT_EQ(stat(OwnFile(".pass").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(FileText(OwnFile(".pass")), std::string(kPassword) + "\n");
  EXPECT_THAT(FileText(OwnFile(".schedule")), Not(HasSubstr(kPassword)));

  if (HaveSystemdAnalyze()) {
    std::string said;
    EXPECT_EQ(Said("systemd-analyze --user verify '" + timer + "' '" + service + "'", said), 0) << said;
  } else {
    std::cout << "systemd-analyze is not on this machine (package systemd): the units are not verified\n";
  }

  // The service's command as the user manager runs it: its Environment= and nothing of this
  // session but HOME and a plain PATH.
  std::map<std::string, std::string> environment{{"HOME", User.Path()}, {"PATH", "/usr/bin:/bin"}};
  std::vector<std::string> command;
  std::istringstream lines(FileText(service));
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("Environment=", 0) == 0) {
      const std::string set = SystemdWords(line.substr(12), environment, false).at(0);
      environment[set.substr(0, set.find('='))] = set.substr(set.find('=') + 1);
    } else if (line.rfind("ExecStart=", 0) == 0) {
      command = SystemdWords(line.substr(10), environment, true);
    }
  }
  for (const std::string& name : kScheduled) EXPECT_THAT(command, Contains(name)) << "as the server names it";
  EXPECT_THAT(command, Contains(kBackupDir));
  std::vector<std::string> bare;
  for (const auto& [name, value] : environment) bare.push_back(name + "=" + value);
  std::ofstream(Sim->FilesDir() + "/O'Brien_20200101.bak") << "a night long ago";
  const size_t mark = Sim->TraceMark();
  EXPECT_EQ(RunBare(command, bare), 0) << FileText(LogFile());
  EXPECT_THAT(BackedUpSince(mark), ::testing::UnorderedElementsAreArray(Bracketed(kScheduled)));
  EXPECT_TRUE(fs::exists(Sim->FilesDir() + "/" + kTricky + "_" + QDate::currentDate().toString("yyyyMMdd").toStdString() + ".bak"));
  std::ofstream(Sim->FilesDir() + "/O'Brien_20200102.bak") << "another";
  EXPECT_EQ(RunBare(command, bare), 0);
  EXPECT_FALSE(fs::exists(Sim->FilesDir() + "/O'Brien_20200101.bak")) << "--keep 2 removed the oldest";

  // The window opened again shows the schedule as written and the last run from the log.
  std::vector<std::string> checked;
  int keep = 0;
  Schedule([&](TBackupScheduleDlg* d) {
    checked = Checked(d);
    keep = d->KeepSpin->value();
    status = d->StatusLabel->text().toStdString();
    Dialogs.MessageAnswers = {mbYes};
    d->RemoveBtn->click();
  });
  EXPECT_THAT(checked, ::testing::UnorderedElementsAreArray(kScheduled));
  EXPECT_EQ(keep, 2);
  EXPECT_THAT(status, HasSubstr(", kod wyjścia 0 (wszystko zrobione)"));
  EXPECT_THAT(status, HasSubstr("O'Brien: OK "));
  EXPECT_THAT(status, HasSubstr("usunięto starsze: O'Brien_20200101.bak"));

  // "Usuń harmonogram": the timer stopped, its files gone; the foreign unit, the backups and
  // the log stay.
  EXPECT_EQ(LastText(), "Harmonogram kopii usunięty.");
  EXPECT_THAT(FileText(User.Path() + "/systemctl.log"), HasSubstr("--user disable --now vandrel-backup-local.timer\n"));
  for (const std::string& gone : {service, timer, OwnFile(".pass"), OwnFile(".schedule")}) EXPECT_FALSE(fs::exists(gone)) << gone;
  EXPECT_EQ(FileText(UnitDirectory() + "/zdjecia.service"), foreign);
  EXPECT_EQ(std::distance(fs::directory_iterator(UnitDirectory()), fs::directory_iterator()), 1);
  EXPECT_TRUE(fs::exists(LogFile()));
}

TEST_F(BackupSchedule, ACrontabLineWithoutAUserManagerParsesRunsAsCronRunsItAndGoesAlone) {
  const std::string foreign = "MAILTO=kierownik\n# kopia zdjęć, co noc\n15 1 * * * /usr/bin/rsync -a /srv/zdjecia /mnt/kopie\n";
  std::ofstream(User.Path() + "/crontab") << foreign;

  std::string status;
  Schedule([&](TBackupScheduleDlg* d) {
    Choose(d, kScheduled, QTime(23, 5), {false, false, false, false, false, true, true});
    d->SaveBtn->click();
    status = d->StatusLabel->text().toStdString();
  });
  const std::string crontab = FileText(User.Path() + "/crontab");
  ASSERT_EQ(crontab.rfind(foreign, 0), 0u) << crontab;
  std::vector<std::string> added;
  std::istringstream lines(crontab.substr(foreign.size()));
  for (std::string line; std::getline(lines, line);) added.push_back(line);
  ASSERT_EQ(added.size(), 2u) << crontab;
  EXPECT_THAT(added[0], ::testing::StartsWith("# Vandrel: vandrel-backup-local "));
  EXPECT_THAT(crontab, Not(HasSubstr(kPassword)));
  EXPECT_THAT(status, HasSubstr("wiersz crontab użytkownika"));
  if (HaveSystemdAnalyze()) {
    EXPECT_THAT(status, HasSubstr("Następna kopia: " + NextElapseOf("Sat,Sun *-*-* 23:05:00")));
  }

  // The five time fields, then the command; cron turns each unescaped "%" into the end of the
  // command (what follows is its input) and "\%" into "%", and gives the rest to /bin/sh.
  std::smatch fields;
  ASSERT_TRUE(std::regex_match(added[1], fields, std::regex(R"(([0-9]+) ([0-9]+) (\*) (\*) ([0-7](,[0-7])*) (.+))"))) << added[1];
  EXPECT_EQ(fields[1].str() + " " + fields[2].str() + " " + fields[5].str(), "5 23 6,0");
  std::string command;
  const std::string cronCommand = fields[7];
  for (size_t i = 0; i < cronCommand.size() && cronCommand[i] != '%'; ++i) {
    if (cronCommand[i] == '\\' && i + 1 < cronCommand.size() && cronCommand[i + 1] == '%') ++i;
    command += cronCommand[i];
  }
  EXPECT_EQ(command.size() + std::count(cronCommand.begin(), cronCommand.end(), '%'), cronCommand.size())
      << "every % escaped";
  const size_t mark = Sim->TraceMark();
  EXPECT_EQ(RunBare({"/bin/sh", "-c", command}, BareEnvironment()), 0) << FileText(LogFile());
  EXPECT_THAT(BackedUpSince(mark), ::testing::UnorderedElementsAreArray(Bracketed(kScheduled)));

  // The window opened again reads the last run back; "Usuń harmonogram" takes its two lines
  // out and leaves the crontab as the user had it.
  Schedule([&](TBackupScheduleDlg* d) {
    status = d->StatusLabel->text().toStdString();
    Dialogs.MessageAnswers = {mbYes};
    d->RemoveBtn->click();
  });
  EXPECT_THAT(status, HasSubstr(", kod wyjścia 0 (wszystko zrobione)"));
  EXPECT_THAT(status, HasSubstr("Sklep]Nowy: OK "));
  EXPECT_EQ(FileText(User.Path() + "/crontab"), foreign);
  EXPECT_FALSE(fs::exists(OwnFile(".pass")));
}

// What removing a schedule leaves of a crontab that others edited too: the schedule of a
// server whose name begins with this one's, and a comment someone wrote under the marker.
TEST(BackupScheduleCrontab, RemovingOneScheduleLeavesEveryOtherLine) {
  const std::string others = "# Vandrel: vandrel-backup-local2 (harmonogram kopii baz serwera local2)\n"
                             "0 1 * * * '/opt/vandrel/bin/vandrel-backup' '--server' 'local2'\n";
  const std::string ours = "# Vandrel: vandrel-backup-local (harmonogram kopii baz serwera (local))\n"
                           "30 2 * * * '/opt/vandrel/bin/vandrel-backup' '--server' '(local)'\n";
  bool found = false;
  EXPECT_EQ(admin::CrontabWithout(others + ours + "MAILTO=ja\n", "vandrel-backup-local", &found), others + "MAILTO=ja\n");
  EXPECT_TRUE(found);
  EXPECT_EQ(admin::CrontabWithout("# Vandrel: vandrel-backup-local\n# moja notatka\n15 1 * * * rsync\n",
                                  "vandrel-backup-local"),
            "# moja notatka\n15 1 * * * rsync\n");
  EXPECT_EQ(admin::CrontabWith("15 1 * * * rsync", "vandrel-backup-local", ours), "15 1 * * * rsync\n" + ours)
      << "a crontab without its last line's end";
  EXPECT_EQ(admin::CrontabWith(others + ours, "vandrel-backup-local", ours), others + ours) << "once, however often saved";
}

}  // namespace backup_schedule
}  // namespace
