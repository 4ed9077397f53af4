// The checks of the server as a whole, from facts and from the rows its procedures return:
// free space against the largest database, the error log in both servers' layouts with its
// counts and the hour of failed logins, blocked sessions named by the head of their chain,
// and the backup that counts when the newest one's file is gone.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

#include "app/health/HealthLog.h"
#include "app/health/HealthReadSite.h"
#include "app/health/HealthRules.h"
#include "platform/base/RegionalSettings.h"

namespace vandrel::health {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::vector<std::string> SiteTexts(const TServerFacts& Facts) {
  std::vector<std::string> texts;
  std::vector<TFinding> findings;
  JudgeSite(Facts, kHealthThresholds, findings);
  for (const TFinding& f : findings) texts.push_back(f.Database + ": " + WeightText(f.Weight) + ": " + f.Check + ": " + f.Text);
  return texts;
}

TDatabaseFacts SiteDb(const std::string& Name, int64_t DataPages) {
  TDatabaseFacts d;
  d.Name = Name;
  d.DataPages = DataPages;
  return d;
}

TEST(HealthSiteTest, FreeSpaceAgainstTheLargestDatabase) {
  platform::TRegionalSettingsGuard polish(platform::TRegionalSettings::Polish());
  constexpr int64_t kMegabyte = 1024 * 1024;
  TServerFacts s;
  s.Databases = {SiteDb("Sklep", 128 * 100), SiteDb("Centrum", 128 * 1000)};  // 100 MB and 1000 MB
  s.Drives = {{"C", 2000 * kMegabyte}, {"D", 1999 * kMegabyte}, {"E", 999 * kMegabyte}};
  EXPECT_THAT(SiteTexts(s), ElementsAre(": ostrzeżenie: low_disk_space: Dysk D: wolne 1,95 GB, największa baza (Centrum) 1000 MB",
                                    ": błąd: low_disk_space: Dysk E: wolne 999 MB, największa baza (Centrum) 1000 MB"));
  s.Databases.clear();
  EXPECT_THAT(SiteTexts(s), IsEmpty()) << "no database, nothing to weigh the drives against";
}

TEST(HealthSiteTest, TheErrorLogInBothLayoutsWithCountsAndTheHourOfFailedLogins) {
  platform::TRegionalSettingsGuard polish(platform::TRegionalSettings::Polish());
  // SQL Server 2000: each line leads with its date.
  const THealthRows lines2000 = {
      {"2026-12-01 10:00:00.10 spid51   Error: 824, Severity: 24, State: 2", "0"},  // before the week
      {"2026-12-09 10:00:00.10 spid52   Error: 824, Severity: 24, State: 2", "0"},
      {"2026-12-09 10:00:00.10 spid52   SQL Server detected a logical consistency-based I/O error", "0"},
      {"2026-12-09 11:30:00.55 spid53   Error: 824, Severity: 24, State: 2", "0"},
      {"2026-12-09 12:00:00.00 spid54   Error: 1105, Severity: 17, State: 2", "0"},
      {"2026-12-09 12:00:00.00 spid54   Error: 2627, Severity: 14, State: 1", "0"},
      {"2026-12-09 12:10:00.00 server   Error: 17883, Severity: 1, State: 0", "0"}};
  TServerFacts s;
  s.LogEntries = LogEntriesOf(lines2000, "2026-12-02 12:00:00");
  EXPECT_THAT(SiteTexts(s),
              ElementsAre(": błąd: read_error: Dziennik serwera: błąd 824 (uszkodzona strona odczytana z dysku), 2 razy, "
                          "ostatnio 2026-12-09 11:30:00",
                          ": ostrzeżenie: severe_error: Dziennik serwera: błąd 1105 (ważność 17), 1 raz, ostatnio 2026-12-09 12:00:00",
                          ": błąd: scheduler: Dziennik serwera: błąd 17883 (planista serwera nie odpowiada), 1 raz, "
                          "ostatnio 2026-12-09 12:10:00"));

  // SQL Server 2005: date, process and text apart, the date as the regional settings show it;
  // a failed login's number comes on a line of its own and is not counted twice.
  THealthRows rows2005;
  auto failedLogin = [&](const std::string& When) {
    rows2005.push_back({When, "Logon", "Error: 18456, Severity: 14, State: 8."});
    rows2005.push_back({When, "Logon", "Login failed for user 'kasa'. [CLIENT: 10.0.0.7]"});
  };
  for (int minute = 0; minute < 20; ++minute) failedLogin("09.12.2026 10:" + std::string(minute < 10 ? "0" : "") + std::to_string(minute) + ":00");
  failedLogin("09.12.2026 11:00:00");  // the hour from 10:00 is over: still 20 in any hour
  s.LogEntries = LogEntriesOf(rows2005, "2026-12-02 12:00:00");
  ASSERT_EQ(s.LogEntries.size(), 21u);
  EXPECT_THAT(SiteTexts(s), IsEmpty()) << "20 an hour is the threshold, not above it";
  failedLogin("09.12.2026 10:59:59");
  s.LogEntries = LogEntriesOf(rows2005, "2026-12-02 12:00:00");
  EXPECT_THAT(SiteTexts(s), ElementsAre(": ostrzeżenie: failed_logins: Dziennik serwera: 21 nieudanych logowań w ciągu godziny "
                                    "(razem 22), ostatnio 2026-12-09 11:00:00"));
}

TEST(HealthSiteTest, BlockedSessionsByTheHeadOfTheirChainBeyondTheThresholds) {
  TServerFacts s;
  // 60 waits for 55, which waits for 52; 70 waits for 52 too; 80 waits 10 s for 75.
  s.Blocked = {{55, 52, 30}, {60, 55, 61}, {70, 52, 5}, {80, 75, 10}};
  s.Sessions = {{52, "sa", "KASA1", "Sklep"}, {75, "biuro", "", "Hurtownia"}};
  EXPECT_THAT(SiteTexts(s), ElementsAre("Sklep: błąd: blocking: Sesja 52 (sa, KASA1) blokuje 3 sesje, najdłużej od 61 s"))
      << "10 s is the threshold, not above it";
  s.Blocked = {{55, 52, 11}};
  EXPECT_THAT(SiteTexts(s), ElementsAre("Sklep: ostrzeżenie: blocking: Sesja 52 (sa, KASA1) blokuje 1 sesję, najdłużej od 11 s"));
  s.Blocked = {{55, 56, 100}, {56, 55, 100}};  // a cycle the server would end as a deadlock
  EXPECT_EQ(SiteTexts(s).size(), 2u);
}

// Rows for the statements by a word of each, as a server returns them.
class FileServer : public THealthReader {
 public:
  std::map<std::string, THealthRows> Answers;
  bool Read(const std::string& Sql, const std::string&, THealthRows& Rows) override {
    for (const auto& [word, rows] : Answers)
      if (Sql.find(word) != std::string::npos) {
        Rows = rows;
        return true;
      }
    return false;
  }
};

TEST(HealthSiteTest, ABackupWhoseFileIsGoneDoesNotCount) {
  FileServer server;
  server.Answers["Sklep_3.bak"] = {{"0", "0", "1"}};
  server.Answers["Sklep_2.bak"] = {{"1", "0", "1"}};
  TDatabaseFacts shop;
  shop.Name = "Sklep";
  TDatabaseIndex byName = {{"sklep", &shop}};
  TServerFacts facts;
  const std::vector<TBackupRecord> newestFirst = {{"Sklep", "D", "2026-12-09 22:00:00", "D:\\Kopie\\Sklep_3.bak", 3},
                                                  {"Sklep", "L", "2026-12-09 21:00:00", "D:\\Kopie\\Sklep_L.trn", 4},
                                                  {"Sklep", "D", "2026-12-08 22:00:00", "D:\\Kopie\\Sklep_2.bak", 2},
                                                  {"Sklep", "D", "2026-12-07 22:00:00", "D:\\Kopie\\Sklep_1.bak", 1}};
  ReadBackupFiles(server, newestFirst, "2026-12-10 10:00:00", byName, facts);
  EXPECT_EQ(shop.FullBackupAge.value_or(-1), 36 * 3600) << "the one before, whose file is there";
  EXPECT_EQ(shop.MissingBackupFile, "D:\\Kopie\\Sklep_3.bak");
  EXPECT_THAT(facts.Unread, IsEmpty());

  // A server that will not say (no right to xp_fileexist) leaves msdb's word standing.
  server.Answers.clear();
  shop = TDatabaseFacts{};
  ReadBackupFiles(server, newestFirst, "2026-12-10 10:00:00", byName, facts);
  EXPECT_EQ(shop.FullBackupAge.value_or(-1), 12 * 3600);
  EXPECT_THAT(facts.Unread, ElementsAre("pliki kopii zapasowych"));
}

}  // namespace
}  // namespace vandrel::health
