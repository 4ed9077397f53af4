// vandrel-health run as a scheduler runs it, against msde-sim through unixODBC and FreeTDS:
// every finding of the demo site with both personalities, only read-only statements sent,
// several servers at once with one that cannot be reached, the Prometheus file, and sessions
// waiting behind another's lock.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "testkit/LockChain.h"
#include "testkit/OdbcClient.h"
#include "testkit/SimServer.h"
#include "tools/health/HealthCommand.h"

namespace vandrel::healthtool {
namespace {

using ::testing::HasSubstr;
using ::testing::IsSupersetOf;
using ::testing::Not;

TEST(HealthCommandTest, ServersFromOptionsAndFilesAndCommandLinesThatCannotRun) {
  msde::testkit::TempDir dir("vandrel-health");
  std::ofstream(dir.Path() + "/serwery") << "# sklepy\n  kasa-1,1433  # Gdańsk, ul. Długa\n\n(local)\\TOVINEX\r\na\n";
  const HealthCommand c = ParseCommand({"--servers", dir.Path() + "/serwery", "--server", "a", "--format", "csv"});
  EXPECT_EQ(c.servers, (std::vector<std::string>{"a", "kasa-1,1433", "(local)\\TOVINEX"})) << "comment cut, a named once";
  EXPECT_EQ(c.format, TFormat::fmCsv);
  EXPECT_EQ(c.jobs, 16);
  EXPECT_FALSE(c.timeout);
  const HealthCommand fleet = ParseCommand({"--server", "a", "--jobs", "1", "--timeout", "5"});
  EXPECT_EQ(fleet.jobs, 1);
  EXPECT_EQ(fleet.timeout, 5);
  for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
           {}, {"--server"}, {"--server", "a", "--format", "xml"}, {"--server", "a", "--password", "p"},
           {"--servers", dir.Path() + "/brak"}, {"--server", "a", "baza"}, {"--server", "a", "--jobs", "0"},
           {"--server", "a", "--timeout", "5s"}})
    EXPECT_THROW(ParseCommand(bad), UsageError) << (bad.empty() ? "" : bad.back());
}

struct Outcome {
  int status = -1;
  std::string out;
};

// The program with these arguments; the demo's sa has no password, so none is set unless
// the test set one.
Outcome RunHealth(const std::string& Arguments, bool WithoutPassword = true) {
  if (WithoutPassword) unsetenv(kPasswordVariable);
  Outcome o;
  FILE* pipe = popen((std::string(VANDREL_HEALTH_PATH) + " " + Arguments + " 2>&1").c_str(), "r");
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) o.out.append(buffer, n);
  const int status = pclose(pipe);
  o.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return o;
}

msde::testkit::SimServerOptions Personality(const char* DataSet) {
  msde::testkit::SimServerOptions options;
  options.data_file = std::string(VANDREL_DEMO_DATA_DIR) + "/" + DataSet;
  return options;
}

std::string Address(const msde::testkit::SimServer& Server) { return "127.0.0.1," + std::to_string(Server.Port()); }

class HealthToolDemoTest : public ::testing::TestWithParam<const char*> {};

TEST_P(HealthToolDemoTest, EveryFindingOfTheDemoSiteReadOnly) {
  msde::testkit::SimServerOptions options = Personality(GetParam());
  options.private_files = true;
  msde::testkit::SimServer server(options);
  // Of the demo's backups only Hurtownia's file is on the server's disk; the others were
  // moved away.
  std::ofstream(server.FilesDir() + "/Hurtownia.bak") << "kopia";
  // What the demo keeps normal for its other uses, set here: a database left in single-user
  // mode and one that closes itself.
  msde::testkit::OdbcClient setup(server.ConnectionString("sa", ""));
  setup.Exec("ALTER DATABASE Hurtownia SET SINGLE_USER");
  setup.Exec("ALTER DATABASE Hurtownia SET AUTO_CLOSE ON");
  msde::testkit::TempDir dir("vandrel-health");
  const std::string metrics = dir.Path() + "/vandrel.prom";
  const size_t mark = server.TraceMark();
  const Outcome o = RunHealth("--server " + Address(server) + " --format json --prometheus " + metrics);
  ASSERT_EQ(o.status, kErrors) << o.out;

  const nlohmann::json report = nlohmann::json::parse(o.out);
  std::set<std::string> found;
  for (const auto& f : report["servers"][0]["findings"])
    found.insert(f["database"].get<std::string>() + "|" + f["check"].get<std::string>() + "|" +
                 f["weight"].get<std::string>() + "|" + f["mend"].get<std::string>());
  EXPECT_THAT(found, IsSupersetOf({"|sa_no_password|błąd|",
                                   "SklepCentrum|data_near_limit|błąd|",
                                   "Ksiegowosc|log_larger_than_data|błąd|Parametry bazy",
                                   "Ksiegowosc|orphaned_user|ostrzeżenie|",
                                   "Ksiegowosc|orphaned_user|ostrzeżenie|Napraw użytkowników",
                                   "Sklep Wschód|no_backup|błąd|Kopia zapasowa bazy...",
                                   "Sklep|no_backup|błąd|Kopia zapasowa bazy...",
                                   "Hurtownia|old_backup|błąd|Kopia zapasowa bazy...",
                                   "SklepPoludnie|suspect|błąd|Sprawdź spójność bazy",
                                   "Archiwum2006|offline|ostrzeżenie|Włącz bazę",
                                   "Hurtownia|single_user|ostrzeżenie|Wyłącz tryb \"Single User\"",
                                   "Hurtownia|auto_close|informacja|Parametry bazy",
                                   "Sklep|auto_shrink|informacja|Parametry bazy"}));
  // The figures in the texts, with the decimal separator of the regional settings.
  EXPECT_THAT(o.out, HasSubstr(std::string(GetParam()) == "demo.json" ? "Dane 1.97 GB z 2 GB (98%)" : "Dane 3.94 GB z 4 GB (98%)"));
  EXPECT_THAT(o.out, HasSubstr("Dziennik 50 MB, 4x większy niż dane, model pełny bez kopii dziennika"));
  EXPECT_THAT(o.out, HasSubstr("Użytkownik 'biuro' bez loginu"));
  EXPECT_THAT(o.out, HasSubstr(R"(Brak kopii (plik kopii nie istnieje: C:\\Program Files\\Microsoft SQL Server\\MSSQL)"));
  EXPECT_THAT(o.out, HasSubstr(R"(MSSQL\\BACKUP\\Sklep.bak))"));
  EXPECT_THAT(o.out, HasSubstr("brak kopii: odzyskanie wymaga naprawy lub kopii z innego miejsca"));

  for (const auto& line : server.TraceSince(mark)) {
    std::string text = line.Text;
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_TRUE(text.rfind("select", 0) == 0 || text.rfind("use ", 0) == 0 || text.rfind("set ", 0) == 0 ||
                text == "sp_change_users_login 'report'" || text.rfind("exec master..xp_fileexist ", 0) == 0 ||
                text == "exec master..xp_fixeddrives" || text == "exec master..xp_readerrorlog")
        << "not read-only: " << line.Text;
  }

  std::ifstream in(metrics);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_THAT(text.str(), HasSubstr("vandrel_health_up{server=\"" + Address(server) + "\"} 1\n"));
  EXPECT_THAT(text.str(), HasSubstr("vandrel_health_backed_up{server=\"" + Address(server) + "\",database=\"Sklep Wschód\"} 0\n"));
  EXPECT_THAT(text.str(), HasSubstr("vandrel_health_log_bytes{server=\"" + Address(server) + "\",database=\"Ksiegowosc\"} 52428800\n"));
  EXPECT_FALSE(std::filesystem::exists(metrics + ".tmp")) << "renamed into place";
  // Debian's prometheus package brings promtool; without it the format is checked above only.
  if (std::system("command -v promtool > /dev/null 2>&1") == 0) {
    const std::string check = "promtool check metrics < '" + metrics + "' 2>&1";
    FILE* pipe = popen(check.c_str(), "r");
    std::string said;
    char buffer[512];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) said.append(buffer, n);
    EXPECT_EQ(WEXITSTATUS(pclose(pipe)), 0) << said;
  }
}

// "YYYY-MM-DD hh:mm:ss" this many seconds from now, on this machine's clock (the server's).
std::string TimeFromNow(long Seconds) {
  const std::time_t at = std::time(nullptr) + Seconds;
  std::tm t{};
  localtime_r(&at, &t);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &t);
  return text;
}

TEST_P(HealthToolDemoTest, TheErrorLogsReadErrorsAndFailedLoginsAndABackupWhoseFileIsGone) {
  msde::testkit::TempDir dir("vandrel-health");
  const bool is2005 = std::string(GetParam()) == "demo2005.json";
  nlohmann::json log = nlohmann::json::array();
  auto entry = [&](long Ago, const std::string& Source, const std::string& Text) {
    log.push_back({{"date", TimeFromNow(-Ago)}, {"source", Source}, {"text", Text}});
  };
  entry(10 * 86400, "spid51", "Error: 823, Severity: 24, State: 2.");  // older than the week looked at
  entry(2 * 86400, "spid53", "Error: 824, Severity: 24, State: 2.");
  entry(2 * 86400, "spid53", "SQL Server detected a logical consistency-based I/O error: incorrect checksum.");
  entry(86400, "spid54", "Error: 824, Severity: 24, State: 2.");
  entry(3600, "spid55", "Error: 9002, Severity: 17, State: 2.");
  // A till with a wrong password, once a minute for half an hour.
  for (int i = 0; i < 30; ++i) {
    entry(7200 - i * 60, "logon", "Error: 18456, Severity: 14, State: 8.");
    entry(7200 - i * 60, "logon", "Login failed for user 'kasa'.");
  }
  nlohmann::json data = {
      {"server", {{"name", "KASA"}, {"product_version", is2005 ? "9.00.3042" : "8.00.2039"}}},
      {"logins", {{{"name", "sa"}, {"password", ""}, {"sysadmin", true}}}},
      {"databases",
       {{{"name", "master"}, {"dbid", 1}}, {{"name", "tempdb"}, {"dbid", 2}}, {{"name", "model"}, {"dbid", 3}},
        {{"name", "msdb"}, {"dbid", 4}}, {{"name", "Sklep"}, {"dbid", 5}}}},
      {"errorlog", log}};
  std::ofstream(dir.Path() + "/data.json") << data.dump();
  std::filesystem::create_directories(dir.Path() + "/files");
  msde::testkit::SimServerOptions options;
  options.data_file = dir.Path() + "/data.json";
  options.files_dir = dir.Path() + "/files";
  msde::testkit::SimServer server(options);
  const std::string backup = R"(C:\Program Files\Microsoft SQL Server\MSSQL\BACKUP\)";
  msde::testkit::OdbcClient client(server.ConnectionString("sa", ""));
  client.Exec("BACKUP DATABASE Sklep TO DISK = N'" + backup + "Sklep_1.bak'");
  client.Exec("BACKUP DATABASE Sklep TO DISK = N'" + backup + "Sklep_2.bak'");
  // The newest backup's file is moved away: the one before it is what counts.
  std::filesystem::rename(dir.Path() + "/files/Sklep_2.bak", dir.Path() + "/Sklep_2.bak");

  const Outcome o = RunHealth("--server " + Address(server) + " --format csv");
  EXPECT_EQ(o.status, kErrors) << o.out;
  EXPECT_THAT(o.out, HasSubstr(",,błąd,read_error,\"Dziennik serwera: błąd 824 (uszkodzona strona odczytana z dysku), 2 razy, "
                               "ostatnio " + TimeFromNow(-86400).substr(0, 10)));
  EXPECT_THAT(o.out, Not(HasSubstr("błąd 823")));
  EXPECT_THAT(o.out, HasSubstr(",,błąd,log_full,\"Dziennik serwera: błąd 9002 (pełny dziennik transakcji), 1 raz, ostatnio "));
  EXPECT_THAT(o.out, HasSubstr(",,ostrzeżenie,failed_logins,\"Dziennik serwera: 30 nieudanych logowań w ciągu godziny (razem 30), "
                               "ostatnio "));
  EXPECT_THAT(o.out, HasSubstr("Sklep,ostrzeżenie,backup_file_missing,\"Najnowsza kopia się nie liczy, plik kopii nie istnieje: "
                               "C:\\Program Files\\Microsoft SQL Server\\MSSQL\\BACKUP\\Sklep_2.bak\""));
  EXPECT_THAT(o.out, Not(HasSubstr("no_backup")));

  std::filesystem::remove(dir.Path() + "/files/Sklep_1.bak");
  EXPECT_THAT(RunHealth("--server " + Address(server) + " --format csv").out,
              HasSubstr("Sklep,błąd,no_backup,Brak kopii (plik kopii nie istnieje: C:\\Program Files"));
}

INSTANTIATE_TEST_SUITE_P(BothPersonalities, HealthToolDemoTest, ::testing::Values("demo.json", "demo2005.json"));

TEST(HealthToolFleetTest, TwoServersAtOnceAndOneThatCannotBeReached) {
  msde::testkit::SimServer first(Personality("demo.json")), second(Personality("demo2005.json"));
  msde::testkit::TempDir dir("vandrel-health");
  // Port 1 on the loopback: nothing listens there.
  std::ofstream(dir.Path() + "/serwery") << Address(first) << "\n# zamknięty sklep\n127.0.0.1,1\n";
  Outcome o = RunHealth("--servers " + dir.Path() + "/serwery --server " + Address(second) + " --format csv");
  EXPECT_EQ(o.status, kUnreachable) << o.out;
  EXPECT_THAT(o.out, HasSubstr("\"" + Address(first) + "\",SklepCentrum,błąd,data_near_limit,Dane 1.97 GB z 2 GB (98%),\r\n"));
  EXPECT_THAT(o.out, HasSubstr("\"" + Address(second) + "\",SklepCentrum,błąd,data_near_limit,Dane 3.94 GB z 4 GB (98%),\r\n"));
  EXPECT_THAT(o.out, HasSubstr("\"127.0.0.1,1\",,błąd,unreachable,Brak połączenia: "));
}

TEST(HealthToolFleetTest, AStoppedServerAWrongPasswordAndACommentApartInJson) {
  msde::testkit::SimServer checked(Personality("demo.json")), stopped(Personality("demo.json")),
      refusing(Personality("demo2005.json"));
  stopped.Freeze();
  msde::testkit::TempDir dir("vandrel-health");
  std::ofstream(dir.Path() + "/serwery") << Address(checked) << "  # sklep Gdańsk\n"
                                         << Address(stopped) << " # wisi\n"
                                         << Address(refusing) << "\n";
  // The login the run uses exists on the first server only: the third refuses it.
  msde::testkit::OdbcClient(checked.ConnectionString("sa", "")).Exec("EXEC sp_addlogin 'kontrola', 'Haslo1'");
  msde::testkit::OdbcClient(checked.ConnectionString("sa", "")).Exec("EXEC sp_addsrvrolemember 'kontrola', 'sysadmin'");
  setenv(kPasswordVariable, "Haslo1", 1);
  const Outcome o = RunHealth("--servers " + dir.Path() + "/serwery --user kontrola --timeout 2 --jobs 3 --format json "
                              "--prometheus " + dir.Path() + "/v.prom", false);
  stopped.Thaw();
  ASSERT_EQ(o.status, kUnreachable) << o.out;
  const nlohmann::json report = nlohmann::json::parse(o.out);
  ASSERT_EQ(report["servers"].size(), 1u) << o.out;
  EXPECT_EQ(report["servers"][0]["server"], Address(checked)) << "the comment is no part of the label";
  EXPECT_FALSE(report["servers"][0]["findings"].empty());
  ASSERT_EQ(report["unreachable"].size(), 2u);
  EXPECT_EQ(report["unreachable"][0]["server"], Address(stopped));
  EXPECT_EQ(report["unreachable"][0]["reason"], "unreachable");
  EXPECT_EQ(report["unreachable"][0]["status"], kUnreachable);
  EXPECT_EQ(report["unreachable"][1]["server"], Address(refusing));
  EXPECT_EQ(report["unreachable"][1]["reason"], "login_refused");
  EXPECT_EQ(report["unreachable"][1]["status"], kLoginRefused);
  std::ifstream in(dir.Path() + "/v.prom");
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_THAT(text.str(), HasSubstr("vandrel_health_status{server=\"" + Address(refusing) + "\"} 5\n"));
  EXPECT_THAT(text.str(), HasSubstr("vandrel_health_up{server=\"" + Address(stopped) + "\"} 0\n"));

  // Without the server that does not answer, the refused login is the worst.
  std::ofstream(dir.Path() + "/serwery", std::ios::trunc) << Address(checked) << "\n" << Address(refusing) << "\n";
  EXPECT_EQ(RunHealth("--servers " + dir.Path() + "/serwery --user kontrola --timeout 2", false).status, kLoginRefused);
}

// A server kept well: sa with the password Sekret1 and one database, Sklep (a table Towary of
// two rows), backed up into a file the server has. Settings are further members of the data
// set's "server".
std::unique_ptr<msde::testkit::SimServer> WellKeptServer(const msde::testkit::TempDir& Dir, const std::string& Settings = "") {
  std::ofstream(Dir.Path() + "/data.json") << R"json({
 "server": {"name": "KASA")json" << Settings << R"json(},
 "logins": [{"name": "sa", "password": "Sekret1", "sysadmin": true}],
 "databases": [
  {"name": "master", "dbid": 1}, {"name": "tempdb", "dbid": 2}, {"name": "model", "dbid": 3},
  {"name": "msdb", "dbid": 4},
  {"name": "Sklep", "dbid": 5,
   "files": [{"fileid": 1, "name": "Sklep_Data", "filename": "C:\\MSSQL\\Data\\Sklep.mdf"},
             {"fileid": 2, "name": "Sklep_Log", "filename": "C:\\MSSQL\\Data\\Sklep_log.ldf"}],
   "tables": [{"name": "Towary", "primary_key": ["IdTowaru"],
               "columns": [{"name": "IdTowaru", "type": "int", "nullable": false}], "rows": [[1], [2]]}]}]})json";
  std::filesystem::create_directories(Dir.Path() + "/files");
  msde::testkit::SimServerOptions options;
  options.data_file = Dir.Path() + "/data.json";
  options.files_dir = Dir.Path() + "/files";
  auto server = std::make_unique<msde::testkit::SimServer>(options);
  msde::testkit::OdbcClient(server->ConnectionString("sa", "Sekret1"))
      .Exec("BACKUP DATABASE Sklep TO DISK = N'C:\\Program Files\\Microsoft SQL Server\\MSSQL\\BACKUP\\Sklep.bak'");
  return server;
}

TEST(HealthToolFleetTest, AWellKeptServerInTheTableWithThePasswordFromTheEnvironment) {
  msde::testkit::TempDir dir("vandrel-health");
  const auto server = WellKeptServer(dir);
  EXPECT_EQ(RunHealth("--server " + Address(*server)).status, kLoginRefused) << "no password, no login";
  setenv(kPasswordVariable, "Sekret1", 1);
  const Outcome o = RunHealth("--server " + Address(*server) + " --format table", false);
  EXPECT_EQ(o.status, kAllWell) << o.out;
  EXPECT_EQ(o.out, "Serwer" + std::string(Address(*server).size() - 4, ' ') + "Baza  Waga  Stan      Naprawa\n" +
                       Address(*server) + "              Bez uwag\n");
}

// A well-kept server but for a chain of two sessions behind one head, each wait said by the
// server to have begun 75 s before it did (past the error's 60 s without a minute of
// waiting): the one finding is an error naming the head, and the status says errors.
TEST(HealthToolBlockingTest, AChainPastTheErrorThresholdIsTheOneFindingAndNamesItsHead) {
  msde::testkit::TempDir dir("vandrel-health");
  const auto server = WellKeptServer(dir, ", \"lock_wait_head_start_seconds\": 75");
  msde::testkit::LockChain chain(server->ConnectionString("sa", "Sekret1") + "DATABASE=Sklep;", "Towary", "IdTowaru",
                                 "1", "2");

  setenv(kPasswordVariable, "Sekret1", 1);
  const Outcome o = RunHealth("--server " + Address(*server) + " --format json", false);
  EXPECT_EQ(o.status, kErrors) << o.out;
  const nlohmann::json findings = nlohmann::json::parse(o.out)["servers"][0]["findings"];
  ASSERT_EQ(findings.size(), 1u) << o.out;
  EXPECT_EQ(findings[0]["check"], "blocking");
  EXPECT_EQ(findings[0]["weight"], "błąd");
  EXPECT_EQ(findings[0]["database"], "Sklep");
  const std::string named = "Sesja " + chain.HeadSpid() + " (sa, " + chain.HeadHost() + ") blokuje 2 sesje, najdłużej od ";
  const std::string text = findings[0]["text"];
  ASSERT_THAT(text, ::testing::StartsWith(named));
  EXPECT_GE(std::stoi(text.substr(named.size())), 75);
}

// A fresh machine: unixODBC knows no driver named "SQL Server", and the checks run through
// FreeTDS's library all the same (before, "Can't open lib 'SQL Server'" and status 3).
TEST(HealthToolFleetTest, ChecksAServerWhereNoDriverIsRegisteredByName) {
  msde::testkit::SimServer server(Personality("demo.json"));
  msde::testkit::TempDir empty("vandrel-odbcsysini");
  const std::string saved = getenv("ODBCSYSINI") ? getenv("ODBCSYSINI") : "";
  setenv("ODBCSYSINI", empty.Path().c_str(), 1);
  const Outcome o = RunHealth("--server " + Address(server) + " --format csv");
  saved.empty() ? unsetenv("ODBCSYSINI") : setenv("ODBCSYSINI", saved.c_str(), 1);
  EXPECT_EQ(o.status, kErrors) << o.out;
  EXPECT_THAT(o.out, ::testing::Not(HasSubstr("Can't open lib")));
}

}  // namespace
}  // namespace vandrel::healthtool
