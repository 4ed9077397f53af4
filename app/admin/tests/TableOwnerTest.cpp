// The table owner change, from the tree's pop-up menu against msde-sim: tables of jan, dbo
// and DBO, names with a blank, a quote and a reserved word, and a change the server refuses.
#include <gmock/gmock.h>

#include "app/admin/TableOwner.h"
#include "app/admin/tests/AdminFixture.h"

using namespace vandrel::app;
using namespace vandrel::app::testing;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

class TableOwner : public AdminWindowTest {
 protected:
  std::string DataFile() const override { return DataSet("admin_names.json"); }
  // owner.table of every table, as another connection lists them.
  std::vector<std::string> Tables(const std::string& Database) {
    msde::testkit::OdbcClient c(Sim->Utf8ConnectionString("sa", ""));
    EXPECT_TRUE(c.Exec("use [" + Database + "]").ok);
    std::vector<std::string> tables;
    const msde::testkit::ExecResult list = c.Exec("sp_tables @table_type = \"'TABLE'\"");
    for (const auto& row : list.Rows()) tables.push_back(*row[1] + "." + *row[2]);
    return tables;
  }
};

TEST_F(TableOwner, ChangesInRowOrderUntilTheServerRefusesOne) {
  EXPECT_THAT(Tables("Wlasciciele"), ElementsAre("DBO.Kasa", "dbo.Towary", "jan.Order", "jan.Stan 'magazynu'",
                                                 "jan.Towary", "kasjer.Zmiany"));
  SelectDatabase("Wlasciciele");
  const size_t mark = Sim->TraceMark();
  Run(TCommandId::cmChangeTableOwner);
  // DBO differs from dbo; jan.Towary clashes with dbo.Towary and stops the rest.
  EXPECT_THAT(SentStarting(mark, "sp_changeobjectowner"),
              ElementsAre("sp_changeobjectowner N'DBO.Kasa', N'dbo'", "sp_changeobjectowner N'jan.[Order]', N'dbo'",
                          "sp_changeobjectowner N'jan.[Stan ''magazynu'']', N'dbo'",
                          "sp_changeobjectowner N'jan.Towary', N'dbo'"));
  const std::vector<std::string> sent = SentSince(mark);
  ASSERT_GE(sent.size(), 2u);
  EXPECT_EQ(sent[0], "master: use Wlasciciele") << "asked before anything is sent";
  EXPECT_EQ(sent[1], "Wlasciciele: sp_tables @table_type = \"'TABLE'\"");
  EXPECT_THAT(Tables("Wlasciciele"), ElementsAre("dbo.Kasa", "dbo.Order", "dbo.Stan 'magazynu'", "dbo.Towary",
                                                 "jan.Towary", "kasjer.Zmiany"));
  // The question naming the database, the refusal, and what was and was not done.
  ASSERT_EQ(Dialogs.Messages.size(), 3u);
  EXPECT_EQ(Dialogs.Messages[0].Text, "Czy przekazać wszystkie tabele bazy \"Wlasciciele\" właścicielowi \"dbo\"?");
  EXPECT_EQ(Dialogs.Messages[0].Buttons, mbYes | mbNo | mbDefaultNo);
  EXPECT_EQ(Dialogs.Messages[1].Caption, "Błąd");
  EXPECT_EQ(LastText(), "Operacja przerwana: właściciel zmieniony dla 3 z 5 tabel bazy \"Wlasciciele\"; pozostałe tabele "
                        "nie zostały zmienione.");
  EXPECT_EQ(LastCaption(), "Zmiana właściciela Tabel");
  EXPECT_EQ(SentStarting(mark, "select status, dbid").size(), 1u) << "the tree is rebuilt";
}

TEST_F(TableOwner, AllTablesOfDboSendNothingAndStillReport) {
  SelectDatabase("Wlasciciele Dbo");
  const size_t mark = Sim->TraceMark();
  Run(TCommandId::cmChangeTableOwner);
  EXPECT_THAT(SentStarting(mark, "sp_changeobjectowner"), IsEmpty());
  ASSERT_EQ(Dialogs.Messages.size(), 2u);  // the question, then the closing message
  EXPECT_EQ(LastText(), "Operacja zakończona");
}

TEST_F(TableOwner, AnyOtherOwnerAndDatabaseNameNeedingBrackets) {
  // Handing tables to a user other than dbo, as attach does: only the others change.
  admin::ChangeTableOwner(*Form, "Wlasciciele", "jan");
  EXPECT_THAT(Tables("Wlasciciele"), ElementsAre("dbo.Towary", "jan.Kasa", "jan.Order", "jan.Stan 'magazynu'",
                                                 "jan.Towary", "kasjer.Zmiany"));
  const size_t mark = Sim->TraceMark();
  admin::ChangeTableOwner(*Form, "Order", "dbo");
  EXPECT_EQ(SentSince(mark).at(0), "Wlasciciele: use [Order]");
  EXPECT_THAT(SentStarting(mark, "sp_changeobjectowner"), IsEmpty());
}

}  // namespace
