// The health rules judged from facts alone: figures in the findings' texts in the regional
// settings, the thresholds' edges, the order worst first, and the reading of a server's rows.
#include <gmock/gmock.h>

#include <algorithm>
#include <gtest/gtest.h>

#include "app/health/HealthRead.h"
#include "app/health/HealthRules.h"
#include "platform/base/RegionalSettings.h"

namespace vandrel::health {
namespace {

using ::testing::ElementsAre;

constexpr int64_t kDay = 86400;

TDatabaseFacts Db(const std::string& Name, int64_t DataPages, int64_t LogPages, std::optional<int64_t> BackupAge) {
  TDatabaseFacts d;
  d.Name = Name;
  d.Status = "ONLINE";
  d.UserAccess = "MULTI_USER";
  d.Recovery = "SIMPLE";
  d.DataPages = DataPages;
  d.LogPages = LogPages;
  d.FullBackupAge = BackupAge;
  return d;
}

std::vector<std::string> Texts(const std::vector<TFinding>& Findings) {
  std::vector<std::string> texts;
  for (const TFinding& f : Findings) texts.push_back(f.Database + ": " + WeightText(f.Weight) + ": " + f.Text + " [" + MendCaption(f.Mend) + "]");
  return texts;
}

TEST(HealthRulesTest, EveryFindingWithItsFigureWeightAndMendWorstFirst) {
  platform::TRegionalSettingsGuard polish(platform::TRegionalSettings::Polish());
  TServerFacts s;
  s.MajorVersion = 8;
  s.FreeEdition = true;
  s.SaWithoutPassword = true;
  s.BackupsRead = true;
  s.Databases.push_back(Db("Centrum", 241172, 2048, 3 * kDay));  // 1,84 GB of 2 GB
  TDatabaseFacts books = Db("Ksiegowosc", 1536, 6400, 41 * kDay + 3600);
  books.Recovery = "FULL";
  books.AutoShrink = true;
  books.Orphans = {{"biuro", false}, {"kasa1", true}};
  s.Databases.push_back(books);
  TDatabaseFacts east = Db("Sklep Wschód", 1440, 128, std::nullopt);
  east.UserAccess = "SINGLE_USER";
  east.AutoClose = true;
  s.Databases.push_back(east);
  TDatabaseFacts archive = Db("Archiwum", 1376, 128, 10 * kDay);
  archive.Status = "OFFLINE";
  s.Databases.push_back(archive);
  TDatabaseFacts south = Db("Poludnie", 1360, 128, kDay);
  south.Status = "SUSPECT";
  s.Databases.push_back(south);

  EXPECT_THAT(Texts(JudgeServer(s)),
              ElementsAre(": błąd: Login 'sa' bez hasła []",
                          "Ksiegowosc: błąd: Dziennik 50 MB, 4x większy niż dane, model pełny bez kopii dziennika [Parametry bazy]",
                          "Ksiegowosc: błąd: Ostatnia kopia 41 dni temu [Kopia zapasowa bazy...]",
                          "Sklep Wschód: błąd: Brak kopii [Kopia zapasowa bazy...]",
                          "Poludnie: błąd: Baza uszkodzona: serwer oznaczył ją jako podejrzaną (SUSPECT) [Odtwórz bazę z kopii...]",
                          "Centrum: ostrzeżenie: Dane 1,84 GB z 2 GB (92%) []",
                          "Ksiegowosc: ostrzeżenie: Użytkownik 'biuro' bez loginu []",
                          "Ksiegowosc: ostrzeżenie: Użytkownik 'kasa1' bez loginu (login 'kasa1' ma inny SID) [Napraw użytkowników]",
                          "Sklep Wschód: ostrzeżenie: Baza w trybie \"Single User\" [Wyłącz tryb \"Single User\"]",
                          "Archiwum: ostrzeżenie: Baza wyłączona (offline) [Włącz bazę]",
                          "Archiwum: ostrzeżenie: Ostatnia kopia 10 dni temu [Kopia zapasowa bazy...]",
                          "Ksiegowosc: informacja: Tryb autokompresji włączony [Parametry bazy]",
                          "Sklep Wschód: informacja: Automatyczne zamykanie bazy włączone [Parametry bazy]"));
}

TEST(HealthRulesTest, ThresholdEdgesAndTheEditionsLimits) {
  TServerFacts s;
  s.MajorVersion = 9;
  s.FreeEdition = true;
  s.BackupsRead = true;
  // 4 GB for 2005 Express: 79% is nothing, 95% an error; a week-old backup is still fine.
  s.Databases = {Db("a", 414000, 10, 7 * kDay), Db("b", 498100, 10, 0)};
  // The log: no finding in simple recovery, or with a log backup within the week.
  TDatabaseFacts logged = Db("c", 100, 150, 0);
  s.Databases.push_back(logged);
  logged.Name = "d";
  logged.Recovery = "FULL";
  logged.LogBackupAge = 2 * kDay;
  s.Databases.push_back(logged);
  logged.Name = "e";
  logged.LogBackupAge = 8 * kDay;
  s.Databases.push_back(logged);
  EXPECT_THAT(Texts(JudgeServer(s)), ElementsAre("b: błąd: Dane 3.8 GB z 4 GB (95%) []",
                                                 "e: ostrzeżenie: Dziennik 1.2 MB, większy niż dane, model pełny bez "
                                                 "kopii dziennika [Parametry bazy]"));
  s.FreeEdition = false;  // Standard and above have no data limit
  EXPECT_EQ(s.DataLimitBytes(), 0);
  s.FreeEdition = true;
  s.MajorVersion = 8;
  EXPECT_EQ(s.DataLimitBytes(), int64_t{2} << 30);
}

// A server's rows as the statements return them, keyed by a word of the statement.
class FakeServer : public THealthReader {
 public:
  std::map<std::string, THealthRows> Answers;
  std::vector<std::string> Asked;
  bool Read(const std::string& Sql, const std::string& Database, THealthRows& Rows) override {
    Asked.push_back(Database + ": " + Sql.substr(0, 30));
    for (const auto& [word, rows] : Answers)
      if (Sql.find(word) != std::string::npos) {
        Rows = rows;
        return true;
      }
    return false;
  }
};

TEST(HealthReadTest, FactsFromTheServersRowsAndWhatCouldNotBeRead) {
  FakeServer server;
  server.Answers["serverproperty"] = {{"9.00.3042.00", "4", "2026-12-09 12:00:00"}};
  server.Answers["sysdatabases"] = {{"master", "ONLINE", "MULTI_USER", "SIMPLE", "0", "0", "1"},
                                    {"Sklep", "ONLINE", "SINGLE_USER", "FULL", "1", "0", "5"},
                                    {"Archiwum", "OFFLINE", "", "", "", "", "6"}};
  server.Answers["sysaltfiles"] = {{"1", "1", "999"}, {"5", "1", "100"}, {"5", "1", "28"}, {"5", "0", "64"}, {"6", "1", "7"}};
  server.Answers["backupset"] = {{"sklep", "D", "2026-11-28 12:00:00"}, {"Sklep", "D", "2026-12-08 11:00:00"},
                                 {"Sklep", "L", "2026-12-09 11:59:00"}, {"Inna", "D", "2026-12-09 11:00:00"}};
  server.Answers["logins"] = {{"sa", "1"}, {"kasa1", "0"}};
  server.Answers["Report"] = {{"kasa1"}, {"biuro"}};
  server.Answers["xp_readerrorlog"] = {};
  server.Answers["sysprocesses"] = {};
  TServerFacts facts;
  ASSERT_TRUE(ReadServerFacts(server, facts));
  EXPECT_EQ(facts.MajorVersion, 9);
  EXPECT_TRUE(facts.FreeEdition && facts.SaWithoutPassword);
  EXPECT_THAT(server.Asked, ::testing::Contains("master: select name, PWDCOMPARE(N'', p"))
      << "SQL Server 2005's syslogins shows no password, empty or not";
  ASSERT_EQ(facts.Databases.size(), 2u) << "system databases are left out";
  const TDatabaseFacts& shop = facts.Databases[0];
  EXPECT_EQ(shop.DataPages, 128);
  EXPECT_EQ(shop.LogPages, 64);
  EXPECT_EQ(shop.FullBackupAge.value_or(-1), 25 * 3600) << "the newest, names in any case";
  EXPECT_EQ(shop.LogBackupAge.value_or(-1), 60);
  EXPECT_TRUE(shop.AutoClose && shop.UserAccess == "SINGLE_USER");
  ASSERT_EQ(shop.Orphans.size(), 2u);
  EXPECT_TRUE(shop.Orphans[0].LoginOfSameName);
  EXPECT_FALSE(shop.Orphans[1].LoginOfSameName);
  EXPECT_FALSE(facts.Databases[1].UsersRead) << "an offline database is not opened";
  EXPECT_EQ(facts.Databases[1].DataPages, 7);

  server.Answers.erase("backupset");
  ASSERT_TRUE(ReadServerFacts(server, facts));
  EXPECT_THAT(facts.Unread, ElementsAre("historia kopii zapasowych"));
  for (const TFinding& f : JudgeServer(facts))
    EXPECT_TRUE(f.Check != "no_backup" && f.Check != "log_larger_than_data") << "an unread history is no missing backup";
  server.Answers.clear();
  EXPECT_FALSE(ReadServerFacts(server, facts));
  EXPECT_EQ(server.Asked.back(), "master: select convert(varchar(30), se") << "nothing more is tried";
}

}  // namespace
// The orphaned users of many databases are read a hundred databases a statement, not one
// statement each; a statement the server refuses (a database this login may not enter) is
// read again database by database, as it was read before.
TEST(HealthReadTest, OrphansOfManyDatabasesTakeAStatementAHundredDatabases) {
  FakeServer server;
  server.Answers["serverproperty"] = {{"8.00.2039", "4", "2026-12-09 12:00:00"}};
  THealthRows databases;
  for (int d = 0; d < 250; ++d)
    databases.push_back({"Baza" + std::to_string(d), "ONLINE", "MULTI_USER", "SIMPLE", "0", "0", std::to_string(d + 5)});
  server.Answers["sysdatabases"] = databases;
  server.Answers["logins"] = {{"kasa1", "0"}};
  server.Answers["suser_sname"] = {{"Baza7", "kasa1"}, {"Baza249", "biuro"}, {"Baza7", "magazyn"}};
  TServerFacts facts;
  ASSERT_TRUE(ReadServerFacts(server, facts));
  const auto asked = [&](const std::string& Start) {
    return std::count_if(server.Asked.begin(), server.Asked.end(),
                         [&](const std::string& a) { return a.find(Start) != std::string::npos; });
  };
  EXPECT_EQ(asked("master: select N'Baza"), 3);
  EXPECT_EQ(asked("sp_change_users_login"), 0);
  ASSERT_EQ(facts.Databases.size(), 250u);
  EXPECT_TRUE(std::all_of(facts.Databases.begin(), facts.Databases.end(), [](auto& d) { return d.UsersRead; }));
  ASSERT_EQ(facts.Databases[7].Orphans.size(), 2u);
  EXPECT_TRUE(facts.Databases[7].Orphans[0].LoginOfSameName);
  EXPECT_EQ(facts.Databases[7].Orphans[1].User, "magazyn");
  ASSERT_EQ(facts.Databases[249].Orphans.size(), 1u);
  EXPECT_TRUE(facts.Databases[8].Orphans.empty());

  // The server refuses the statements: each database is asked on its own.
  server.Answers.erase("suser_sname");
  server.Answers["Report"] = {{"kasa1"}};
  server.Asked.clear();
  facts = TServerFacts{};
  ASSERT_TRUE(ReadServerFacts(server, facts));
  EXPECT_EQ(asked("sp_change_users_login"), 250);
  EXPECT_EQ(facts.Databases[3].Orphans.size(), 1u);
  for (const std::string& unread : facts.Unread) EXPECT_EQ(unread.find("użytkownicy"), std::string::npos) << unread;
}

}  // namespace vandrel::health
