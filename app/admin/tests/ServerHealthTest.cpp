// "Stan serwera" through the window against the demo site with both personalities: every
// finding in the server's list with its weight's icon, and the mends run from the list,
// checked on another connection and in the server's trace; and sessions waiting behind
// another's lock, named by the head of their chain.
#include <QAbstractItemView>

#include "app/admin/tests/AdminFixture.h"
#include "platform/base/RegionalSettings.h"
#include "testkit/LockChain.h"

using namespace vandrel::app;
using namespace vandrel::app::testing;

namespace {

class HealthWindowTest : public AdminWindowTest {
 protected:
  vandrel::platform::TRegionalSettingsGuard Polish{vandrel::platform::TRegionalSettings::Polish()};

  // The list's rows as "weight | database | text | mend".
  std::vector<std::string> Rows() const {
    std::vector<std::string> rows;
    const TListView* list = Form->ListView1;
    for (int r = 0; r < list->RowCount(); ++r)
      rows.push_back((list->Text(r, 0) + " | " + list->Text(r, 1) + " | " + list->Text(r, 2) + " | " + list->Text(r, 3)).toStdString());
    return rows;
  }
  // Double click (or Enter) on the row whose text begins with Row.
  void Activate(const std::string& Row) {
    const std::vector<std::string> rows = Rows();
    for (size_t r = 0; r < rows.size(); ++r)
      if (rows[r].rfind(Row, 0) == 0) return emit Form->ListView1->activated(Form->ListView1->model()->index(static_cast<int>(r), 0));
    ADD_FAILURE() << "no row " << Row;
  }
};

class ServerHealthTest : public HealthWindowTest, public ::testing::WithParamInterface<const char*> {
 protected:
  std::string DataFile() const override { return DataSet(GetParam()); }
  std::vector<std::string> Orphans() {
    msde::testkit::OdbcClient c(Sim->Utf8ConnectionString("sa", ""));
    c.Exec("use Ksiegowosc");
    std::vector<std::string> names;
    const auto report = c.Exec("sp_change_users_login 'Report'");
    for (const auto& row : report.Rows()) names.push_back(row[0].value_or(""));
    return names;
  }
};

TEST_P(ServerHealthTest, EveryFindingOfTheDemoSiteInTheServersListWorstFirst) {
  SelectDatabase("Sklep");
  Run(TCommandId::cmServerHealth);
  EXPECT_EQ(Form->SelectedIdentity().Kind, nkServer) << "the list is the server node's";
  const std::string limit = std::string(GetParam()) == "demo.json" ? "Dane 1,97 GB z 2 GB (98%)" : "Dane 3,94 GB z 4 GB (98%)";
  EXPECT_THAT(Rows(), ::testing::IsSupersetOf(std::vector<std::string>
                          {"błąd |  | Login 'sa' bez hasła | ",
                           "błąd | SklepCentrum | " + limit + " | ",
                           "błąd | Ksiegowosc | Dziennik 50 MB, 4x większy niż dane, model pełny bez kopii dziennika | Parametry bazy",
                           "błąd | Sklep Wschód | Brak kopii | Kopia zapasowa bazy...",
                           "błąd | SklepPoludnie | Baza uszkodzona: serwer oznaczył ją jako podejrzaną (SUSPECT); brak kopii: "
                           "odzyskanie wymaga naprawy lub kopii z innego miejsca | Sprawdź spójność bazy",
                           "ostrzeżenie | Archiwum2006 | Baza wyłączona (offline) | Włącz bazę",
                           "ostrzeżenie | Ksiegowosc | Użytkownik 'biuro' bez loginu | ",
                           "ostrzeżenie | Ksiegowosc | Użytkownik 'kasa1' bez loginu (login 'kasa1' ma inny SID) | Napraw użytkowników",
                           "informacja | Hurtownia | Automatyczne zamykanie bazy włączone | Parametry bazy",
                           "informacja | Sklep | Tryb autokompresji włączony | Parametry bazy"}));
  const std::vector<std::string> rows = Rows();
  EXPECT_TRUE(std::is_sorted(rows.begin(), rows.end(), [](const std::string& a, const std::string& b) {
    auto rank = [](const std::string& r) { return r.rfind("błąd", 0) == 0 ? 0 : r.rfind("ostrzeżenie", 0) == 0 ? 1 : 2; };
    return rank(a) < rank(b);
  })) << "worst first";
  EXPECT_FALSE(Form->ListView1->Model()->data(Form->ListView1->model()->index(0, 0), Qt::DecorationRole).isNull());
  EXPECT_TRUE(Dialogs.Messages.empty()) << Dialogs.Messages.front().Text;
}

TEST_P(ServerHealthTest, MendsChangeTheServerAsTheySay) {
  Run(TCommandId::cmServerHealth);
  // "Napraw użytkowników": the question lists the user it maps, and "Nie" changes nothing.
  size_t mark = Sim->TraceMark();
  Dialogs.MessageAnswers = {mbNo};
  Activate("ostrzeżenie | Ksiegowosc | Użytkownik 'kasa1'");
  ASSERT_FALSE(Dialogs.Messages.empty());
  EXPECT_THAT(Dialogs.Messages.back().Text, ::testing::HasSubstr("kasa1 → login kasa1"));
  EXPECT_THAT(Dialogs.Messages.back().Text, ::testing::Not(::testing::HasSubstr("biuro")));
  EXPECT_EQ(Dialogs.Messages.back().Buttons & mbDefaultNo, mbDefaultNo);
  EXPECT_TRUE(SentStarting(mark, "sp_change_users_login 'Update_One'").empty());
  Dialogs.MessageAnswers = {mbYes};
  Activate("ostrzeżenie | Ksiegowosc | Użytkownik 'kasa1'");
  EXPECT_EQ(SentStarting(mark, "sp_change_users_login 'Update_One'"),
            std::vector<std::string>{"sp_change_users_login 'Update_One', N'kasa1', N'kasa1'"});
  EXPECT_EQ(LastText(), "Użytkownicy bazy \"Ksiegowosc\" przypisani do loginów: kasa1.");
  EXPECT_EQ(Orphans(), std::vector<std::string>{"biuro"});
  EXPECT_THAT(Rows(), ::testing::Not(::testing::Contains(::testing::HasSubstr("'kasa1'")))) << "the list read again";

  // A finding without a mend says so; the offline archive comes online through "Włącz bazę".
  Activate("ostrzeżenie | Ksiegowosc | Użytkownik 'biuro'");
  EXPECT_EQ(LastText(), "Narzędzie nie ma polecenia, które to naprawia.");
  Activate("ostrzeżenie | Archiwum2006 | Baza wyłączona");
  EXPECT_EQ(Property("Archiwum2006", "Status"), "ONLINE");
  EXPECT_THAT(Rows(), ::testing::Not(::testing::Contains(::testing::HasSubstr("Archiwum2006 | Baza wyłączona"))))
      << "the list read again in place";
  // The backup mend opens the backup of the database the finding names.
  QString opened;
  Dialogs.DialogAnswers.push_back([&opened](QDialog* d) {
    opened = d->windowTitle();
    return int(QDialog::Rejected);
  });
  Activate("błąd | Sklep Wschód | Brak kopii");
  EXPECT_EQ(opened, QStringLiteral("Kopia zapasowa bazy \"Sklep Wschód\""));
  EXPECT_EQ(Form->SelectedIdentity().Kind, nkServer) << "the findings are the server's again";
  EXPECT_THAT(Rows(), ::testing::Contains(::testing::HasSubstr("Sklep Wschód | Brak kopii")));
}

INSTANTIATE_TEST_SUITE_P(BothPersonalities, ServerHealthTest, ::testing::Values("demo.json", "demo2005.json"));

// The server says each lock wait began 30 s before it did: a wait past the warning's 10 s
// without 10 s of waiting.
class BlockedSessionsHealthTest : public HealthWindowTest {
 protected:
  std::string DataFile() const override {
    return DemoWithServerSettings(Dir.Path(), "\"lock_wait_head_start_seconds\": 30");
  }
  msde::testkit::TempDir Dir{"vandrel-health"};
};

TEST_F(BlockedSessionsHealthTest, TwoSessionsWaitingInAChainAreOneWarningNamingItsHead) {
  msde::testkit::LockChain chain(Sim->Utf8ConnectionString("sa", "") + "DATABASE=Sklep;", "Towary", "IdTowaru", "1", "2");
  Run(TCommandId::cmServerHealth);
  std::vector<std::string> blocking;
  for (const std::string& row : Rows())
    if (row.find(" blokuje ") != std::string::npos) blocking.push_back(row);
  ASSERT_EQ(blocking.size(), 1u) << "one chain, one finding";
  // The tail waits for the middle session, which waits for the head: the head is named.
  const std::string named = "ostrzeżenie | Sklep | Sesja " + chain.HeadSpid() + " (sa, " + chain.HeadHost() +
                            ") blokuje 2 sesje, najdłużej od ";
  ASSERT_THAT(blocking[0], ::testing::StartsWith(named));
  const int seconds = std::stoi(blocking[0].substr(named.size()));
  EXPECT_GE(seconds, 30);
  EXPECT_LE(seconds, 60) << "a warning, not yet an error";

  chain.Release();
  Run(TCommandId::cmServerHealth);
  EXPECT_THAT(Rows(), Not(Contains(HasSubstr(" blokuje ")))) << "nobody waits any more";
}

}  // namespace
