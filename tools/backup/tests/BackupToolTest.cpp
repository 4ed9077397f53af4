// vandrel-backup: its naming and pruning rules, and the real program run against msde-sim
// through unixODBC and FreeTDS as a scheduler runs it, night after night.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "testkit/OdbcClient.h"
#include "testkit/SimServer.h"
#include "app/BackupLog.h"
#include "tools/backup/BackupCommand.h"
#include "tools/backup/BackupFiles.h"

namespace vandrel::backup {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

TEST(BackupNamesTest, OnlyThisProgramsNamesCountAndTheNewestAreKept) {
  EXPECT_EQ(BackupFileName("Sklep", "20261209"), "Sklep_20261209.bak");
  EXPECT_EQ(BackupDay("SKLEP_20261209.BAK", "Sklep").value_or(""), "20261209");
  for (const char* other : {"Sklep_2026120.bak", "Sklep_kopia_20261209.bak", "Sklep_20261209.bak.tmp",
                            "Sklep_notatki.bak", "Sklep-20261209.bak", "Sklep_2026120x.bak"})
    EXPECT_FALSE(BackupDay(other, "Sklep")) << other;
  EXPECT_EQ(BackupDay("Sklep_kopia_20261209.bak", "Sklep_kopia").value_or(""), "20261209");
  EXPECT_THAT(BackupsBeyond({"Sklep_20261207.bak", "Sklep_20261209.bak", "Sklep_notatki.bak",
                             "Hurt_20200101.bak", "Sklep_20261208.bak", "Sklep_20251231.bak"},
                            "Sklep", 2),
              ElementsAre("Sklep_20261207.bak", "Sklep_20251231.bak"));
  EXPECT_TRUE(BackupsBeyond({"Sklep_20261207.bak"}, "Sklep", 2).empty());
  EXPECT_EQ(PathInDirectory("D:\\Kopie", "a.bak"), "D:\\Kopie\\a.bak");
  EXPECT_EQ(PathInDirectory("/srv/kopie/", "a.bak"), "/srv/kopie/a.bak");
}

TEST(BackupNamesTest, ThisMachineByNameAddressOrWindowsShorthand) {
  for (const char* local : {"(local)", ".", ".\\SQLEXPRESS", "(LOCAL)\\TOVINEX", "localhost", "127.0.0.1,14331"})
    EXPECT_TRUE(IsThisMachine(local)) << local;
  char name[256] = {};
  ASSERT_EQ(gethostname(name, sizeof name - 1), 0);
  EXPECT_TRUE(IsThisMachine(std::string(name) + "\\SQLEXPRESS"));
  EXPECT_FALSE(IsThisMachine("serwer-sklepu-nie-ten"));
  EXPECT_FALSE(IsThisMachine("10.0.0.7,1433"));
}

TEST(BackupCommandTest, CommandLinesThatCannotRun) {
  const BackupCommand c = ParseCommand({"--server", "(local)", "Sklep", "Hurt", "--to", "D:\\Kopie", "--keep", "7"});
  EXPECT_THAT(c.databases, ElementsAre("Sklep", "Hurt"));
  EXPECT_EQ(c.user, "sa");
  EXPECT_EQ(c.keep.value_or(0), 7);
  for (const std::vector<std::string>& bad :
       std::vector<std::vector<std::string>>{{"--server", "x", "Sklep"},
                                             {"--to", "d", "Sklep"},
                                             {"--server", "x", "--to", "d"},
                                             {"--server", "x", "Sklep", "--to", "d", "--keep", "0"},
                                             {"--server", "x", "Sklep", "--to", "d", "--keep"},
                                             {"--server", "x", "Sklep", "--to", "d", "--password", "p"},
                                             {"--server", "x", "Sklep", "--to", "d", "--password=p"},
                                             {"--server", "x", "Sklep", "--to", "d", "--cos"}})
    EXPECT_THROW(ParseCommand(bad), UsageError) << bad.back();
}

// sa has a password here, so it has to reach the program some way other than its arguments.
const char* kDataSet = R"json({
 "server": {"name": "KASA", "backup_page_microseconds": PACE},
 "logins": [{"name": "sa", "password": "Sekret1", "sysadmin": true}],
 "databases": [
  {"name": "master", "dbid": 1}, {"name": "tempdb", "dbid": 2}, {"name": "model", "dbid": 3},
  {"name": "msdb", "dbid": 4},
  {"name": "Sklep", "dbid": 5,
   "files": [{"fileid": 1, "name": "Sklep_Data", "filename": "C:\\MSSQL\\Data\\Sklep.mdf"},
             {"fileid": 2, "name": "Sklep_Log", "filename": "C:\\MSSQL\\Data\\Sklep_log.ldf"}],
   "tables": [{"name": "Towary", "columns": [{"name": "Nazwa", "type": "varchar", "length": 40}],
               "rows": [["Chleb"]]}]},
  {"name": "Hurt", "dbid": 6,
   "files": [{"fileid": 1, "name": "Hurt_Data", "filename": "C:\\MSSQL\\Data\\Hurt.mdf"},
             {"fileid": 2, "name": "Hurt_Log", "filename": "C:\\MSSQL\\Data\\Hurt_log.ldf"}]}
 ]
})json";

struct Outcome {
  int status = -1;
  std::string out;
};

class BackupToolRunTest : public ::testing::Test {
 public:
  void Start(int pace = 100) {
    std::string data = kDataSet;
    data.replace(data.find("PACE"), 4, std::to_string(pace));
    std::ofstream(dir_.Path() + "/data.json") << data;
    files_ = dir_.Path() + "/files";
    std::filesystem::create_directories(files_);
    msde::testkit::SimServerOptions options;
    options.data_file = dir_.Path() + "/data.json";
    options.files_dir = files_;
    server_ = std::make_unique<msde::testkit::SimServer>(options);
  }
  std::string Server() const { return "127.0.0.1," + std::to_string(server_->Port()); }

  // Starts the program with `arguments` and the extra environment entries; its standard
  // output is read when it has ended.
  pid_t Launch(const std::vector<std::string>& arguments, const std::vector<std::string>& env, int& out_fd) {
    int pipe_fds[2];
    EXPECT_EQ(pipe(pipe_fds), 0);
    std::vector<std::string> args{VANDREL_BACKUP_PATH};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<std::string> environment;
    for (char** e = environ; *e != nullptr; ++e)
      if (std::string(*e).rfind("VANDREL_BACKUP_", 0) != 0) environment.push_back(*e);
    environment.insert(environment.end(), env.begin(), env.end());
    const pid_t pid = fork();
    if (pid == 0) {
      dup2(pipe_fds[1], 1);
      close(pipe_fds[0]);
      std::vector<char*> argv, envp;
      for (auto& a : args) argv.push_back(a.data());
      for (auto& e : environment) envp.push_back(e.data());
      argv.push_back(nullptr);
      envp.push_back(nullptr);
      execve(argv[0], argv.data(), envp.data());
      _exit(127);
    }
    close(pipe_fds[1]);
    out_fd = pipe_fds[0];
    return pid;
  }
  static Outcome Finish(pid_t pid, int out_fd) {
    Outcome o;
    char buffer[4096];
    for (ssize_t n; (n = read(out_fd, buffer, sizeof buffer)) > 0;) o.out.append(buffer, n);
    close(out_fd);
    int status = 0;
    waitpid(pid, &status, 0);
    o.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return o;
  }
  Outcome Run(const std::vector<std::string>& arguments, const std::vector<std::string>& env = {
                  "VANDREL_BACKUP_PASSWORD=Sekret1"}) {
    int fd = -1;
    const pid_t pid = Launch(arguments, env, fd);
    return Finish(pid, fd);
  }
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(files_)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  msde::testkit::TempDir dir_;
  std::string files_;
  std::unique_ptr<msde::testkit::SimServer> server_;
};

TEST_F(BackupToolRunTest, KeepTwoOverThreeNightsRemovesOnlyItsOwnOldestFiles) {
  Start();
  std::ofstream(files_ + "/Sklep_notatki.bak") << "nie kopia";
  std::ofstream(files_ + "/Sklep_kopia_20200101.bak") << "kopia innej bazy";
  for (const char* night : {"20261207", "20261208", "20261209"}) {
    const Outcome o = Run({"--server", Server(), "Sklep", "Hurt", "--to", files_, "--keep", "2"},
                          {"VANDREL_BACKUP_PASSWORD=Sekret1", std::string("VANDREL_BACKUP_DATE=") + night});
    EXPECT_EQ(o.status, 0) << o.out;
    EXPECT_THAT(o.out, HasSubstr("Sklep: OK " + files_ + "/Sklep_" + night + ".bak"));
    EXPECT_THAT(o.out, HasSubstr("Hurt: OK " + files_ + "/Hurt_" + night + ".bak"));
    if (std::string(night) == "20261209") {
      EXPECT_THAT(o.out, HasSubstr("Sklep: OK " + files_ + "/Sklep_20261209.bak; usunięto starsze: Sklep_20261207.bak\n"));
    }
  }
  EXPECT_THAT(Files(), ElementsAre("Hurt_20261208.bak", "Hurt_20261209.bak", "Sklep_20261208.bak",
                                   "Sklep_20261209.bak", "Sklep_kopia_20200101.bak", "Sklep_notatki.bak"));
  // The files are the server's backups of the databases named.
  msde::testkit::OdbcClient check(server_->ConnectionString("sa", "Sekret1"));
  const auto sets = check.Exec("RESTORE HEADERONLY FROM DISK = N'" + files_ + "/Sklep_20261209.bak'");
  ASSERT_EQ(sets.Rows().size(), 1u) << "a second run on one day replaces that day's file";
  EXPECT_EQ(sets.Rows()[0][9].value_or(""), "Sklep");
}

TEST_F(BackupToolRunTest, AMissingDatabaseFailsAloneAndTheStatusSaysSo) {
  Start();
  const std::string log = dir_.Path() + "/kopie.log";
  const Outcome o = Run({"--server", Server(), "Sklep", "Brak", "Hurt", "--to", files_, "--keep", "1", "--log", log});
  EXPECT_EQ(o.status, 1);
  // The log holds the run's lines with their times and its exit status, as a scheduler's
  // reader takes them back; a second run's outcome is the last one.
  std::ifstream in(log);
  std::stringstream logText;
  logText << in.rdbuf();
  const app::TLastRun last = app::LastRunOf(logText.str());
  EXPECT_EQ(last.Status, 1) << logText.str();
  EXPECT_THAT(last.Lines, HasSubstr("Brak: BŁĄD [911]"));
  EXPECT_THAT(last.Lines, HasSubstr("Sklep: OK "));
  EXPECT_EQ(Run({"--server", Server(), "Sklep", "--to", files_, "--log", log}).status, 0);
  std::ifstream again(log);
  std::stringstream secondText;
  secondText << again.rdbuf();
  EXPECT_EQ(app::LastRunOf(secondText.str()).Status, 0);
  EXPECT_THAT(app::LastRunOf(secondText.str()).Lines, Not(HasSubstr("Brak")));
  EXPECT_THAT(o.out, HasSubstr("Brak: BŁĄD [911] Could not locate entry in sysdatabases for database 'Brak'."));
  EXPECT_THAT(o.out, HasSubstr("Sklep: OK "));
  EXPECT_THAT(o.out, HasSubstr("Hurt: OK "));
  EXPECT_EQ(Files().size(), 2u);
  EXPECT_EQ(Run({"--server", Server(), "../Sklep", "--to", files_}).status, 1);

  // What the server was sent: a name that is no regular identifier is bracketed, and the
  // quote doubled in the file name's literal.
  const size_t mark = server_->TraceMark();
  EXPECT_EQ(Run({"--server", Server(), "O'Brien", "--to", files_},
                {"VANDREL_BACKUP_PASSWORD=Sekret1", "VANDREL_BACKUP_DATE=20261209"}).status, 1);
  std::vector<std::string> backups;
  for (const auto& line : server_->TraceSince(mark))
    if (line.Text.rfind("BACKUP", 0) == 0) backups.push_back(line.Text);
  EXPECT_THAT(backups, ElementsAre("BACKUP DATABASE [O'Brien] TO DISK = N'" + files_ +
                                   "/O''Brien_20261209.bak' WITH INIT, NAME = N'O''Brien 20261209'"));
}

TEST_F(BackupToolRunTest, ConnectionAndUsageFailuresStopBeforeAnyBackup) {
  Start();
  const Outcome wrong = Run({"--server", Server(), "Sklep", "--to", files_}, {"VANDREL_BACKUP_PASSWORD=zle"});
  EXPECT_EQ(wrong.status, 2);
  EXPECT_EQ(Run({"--server", "serwer-sklepu-nie-ten", "Sklep", "--to", files_, "--keep", "2"}).status, 2);
  EXPECT_EQ(Run({"--server", Server(), "Sklep", "--to", files_, "--password", "Sekret1"}).status, 2);
  EXPECT_TRUE(Files().empty());
}

TEST_F(BackupToolRunTest, PasswordFileOnlyItsOwnerMayRead) {
  Start();
  const std::string file = dir_.Path() + "/haslo";
  std::ofstream(file) << "Sekret1\n";
  chmod(file.c_str(), 0644);
  const std::vector<std::string> args{"--server", Server(), "Sklep", "--to", files_, "--password-file", file};
  const Outcome readable = Run(args, {});
  EXPECT_EQ(readable.status, 2);
  EXPECT_TRUE(Files().empty());
  chmod(file.c_str(), 0600);
  const Outcome own = Run(args, {});
  EXPECT_EQ(own.status, 0) << own.out;
  EXPECT_EQ(Files().size(), 1u);
}

TEST_F(BackupToolRunTest, ThePasswordIsNotInTheProcessList) {
  Start(10000);  // Sklep takes most of a second: long enough to look at the process
  for (const bool from_file : {false, true}) {
    const std::string file = dir_.Path() + "/haslo";
    std::ofstream(file) << "Sekret1\n";
    chmod(file.c_str(), 0600);
    std::vector<std::string> args{"--server", Server(), "Sklep", "--to", files_};
    std::vector<std::string> env;
    if (from_file) args.insert(args.end(), {"--password-file", file});
    else env.push_back("VANDREL_BACKUP_PASSWORD=Sekret1");
    int fd = -1;
    const pid_t pid = Launch(args, env, fd);
    // Once the server runs its BACKUP the program has read its password.
    msde::testkit::OdbcClient watcher(server_->ConnectionString("sa", "Sekret1"));
    bool seen = false;
    for (int i = 0; i < 1000 && !seen; ++i) {
      seen = watcher.Exec("select spid from sysprocesses where cmd = 'BACKUP DATABASE'").Rows().size() == 1;
      if (!seen) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_TRUE(seen);
    for (const char* part : {"cmdline", "environ"}) {
      std::stringstream text;
      text << std::ifstream("/proc/" + std::to_string(pid) + "/" + part, std::ios::binary).rdbuf();
      EXPECT_FALSE(text.str().empty()) << part;
      EXPECT_EQ(text.str().find("Sekret1"), std::string::npos) << part << (from_file ? " (file)" : " (environment)");
    }
    EXPECT_EQ(Finish(pid, fd).status, 0);
  }
}

// A fresh machine: unixODBC knows no driver named "SQL Server" (nothing of the demo was
// exported), and the program reaches the server through FreeTDS's library all the same.
TEST_F(BackupToolRunTest, ReachesTheServerWhereNoDriverIsRegisteredByName) {
  Start();
  msde::testkit::TempDir empty("vandrel-odbcsysini");
  const std::string saved = getenv("ODBCSYSINI") ? getenv("ODBCSYSINI") : "";
  setenv("ODBCSYSINI", empty.Path().c_str(), 1);
  const Outcome o = Run({"--server", Server(), "Sklep", "--to", files_});
  saved.empty() ? unsetenv("ODBCSYSINI") : setenv("ODBCSYSINI", saved.c_str(), 1);
  EXPECT_EQ(o.status, 0) << o.out;
  EXPECT_THAT(o.out, HasSubstr("Sklep: OK "));
}

}  // namespace
}  // namespace vandrel::backup
