// INSERT, UPDATE and DELETE on the demo's tables: row counts, the rules of the data set,
// rights, and statements that change all their rows or none.
#include "EngineTestSupport.h"
#include "engine/SimEngine.h"

namespace msde::engine_test {
namespace {

class EngineDataChange : public EngineTest {
 protected:
  std::string Count(const std::string& where) {
    return Run("select count(*) from Sklep.dbo.Kasjerzy where " + where).Text(0, 0);
  }
};

TEST_F(EngineDataChange, ChangesReportTheirRowCountsAndStayInTheModel) {
  Run("use Sklep");
  Answer a = Run("insert into Kasjerzy (IdKasjera, Imie, Nazwisko, Login, Aktywny) values (6, N'Żaneta', N'Łęcka', 'zlecka', 1)");
  ASSERT_EQ(a.ErrorText(), "");
  EXPECT_EQ(a.dones, (std::vector<std::pair<int64_t, bool>>{{1, false}}));
  EXPECT_EQ(Run("select Imie + ' ' + Nazwisko from Kasjerzy where IdKasjera = 6").Text(0, 0), "Żaneta Łęcka");
  a = Run("update dbo.Kasjerzy set Aktywny = 0, Login = upper(Login) where IdKasjera >= 5");
  EXPECT_EQ(a.dones.at(0).first, 2);
  EXPECT_EQ(Run("select Login from Kasjerzy where IdKasjera = 6").Text(0, 0), "ZLECKA");
  EXPECT_EQ(Run("update Kasjerzy set Aktywny = 1 where 1 = 0").dones.at(0).first, 0);
  // Without a column list every column takes a value, in order; INSERT ... SELECT copies.
  EXPECT_EQ(Run("insert Kasjerzy values (7, 'Jan', 'Nowy', null, 0)").dones.at(0).first, 1);
  EXPECT_EQ(Run("insert into Hurtownia.dbo.Dostawcy (IdKontrahenta, Nazwa) select IdKontrahenta + 100, Nazwa from Kontrahenci where IdKontrahenta <= 3")
                .dones.at(0).first, 3);
  EXPECT_EQ(Run("select count(*) from Hurtownia.dbo.Dostawcy where IdKontrahenta > 100").Text(0, 0), "3");
  a = Run("delete from Kasjerzy where IdKasjera > 5 select @@ROWCOUNT, @@ERROR");
  EXPECT_EQ(a.dones.at(0).first, 2);
  EXPECT_EQ(a.Text(0, 0), "2");
  EXPECT_EQ(a.Text(0, 1), "0");
  EXPECT_EQ(Run("insert Kasjerzy (IdKasjera) values (1) select @@ERROR, @@ROWCOUNT").Text(0, 0), "2627");
  EXPECT_EQ(Count("1 = 1"), "5");
  // SET NOCOUNT ON: no counts, neither of changes nor of rows read.
  Run("set nocount on");
  EXPECT_EQ(Run("delete Kasjerzy where IdKasjera = 5").dones.at(0).first, -1);
  EXPECT_EQ(Run("select * from Kasjerzy").dones.at(0).first, -1);
  Run("set nocount off");
  EXPECT_EQ(Run("select * from Kasjerzy").dones.at(0).first, 4);
  // What a backup of the database holds.
  auto* sim = dynamic_cast<SimEngine*>(engine_.get());
  std::lock_guard<std::mutex> guard(sim->Mutex());
  EXPECT_NE(DatabaseToJson(*sim->State().FindDatabase("Hurtownia")).find("\"IdKontrahenta\""), std::string::npos);
  EXPECT_EQ(sim->State().FindDatabase("Sklep")->FindTable("dbo", "Kasjerzy")->rows.size(), 4u);
}

TEST_F(EngineDataChange, BrokenRulesEndTheStatementAndChangeNothing) {
  Run("use Sklep");
  Answer a = Run("insert into Kasjerzy (IdKasjera, Imie) values (3, 'Ola')");
  ASSERT_EQ(a.errors.size(), 1u);
  EXPECT_EQ(a.errors[0].number, 2627);
  EXPECT_EQ(a.errors[0].severity, 14);
  EXPECT_EQ(a.ErrorText(), "Violation of PRIMARY KEY constraint 'PK_Kasjerzy'. Cannot insert duplicate key in object 'Kasjerzy'.");
  ASSERT_EQ(a.infos.size(), 1u);
  EXPECT_EQ(a.infos[0].number, 3621);
  EXPECT_EQ(a.infos[0].text, "The statement has been terminated.");
  EXPECT_EQ(a.dones, (std::vector<std::pair<int64_t, bool>>{{-1, true}}));
  a = Run("insert into Kasjerzy (Imie) values ('Ola')");
  EXPECT_EQ(a.ErrorNumber(), 515);
  EXPECT_EQ(a.ErrorText(), "Cannot insert the value NULL into column 'IdKasjera', table 'Sklep.dbo.Kasjerzy'; column "
                           "does not allow nulls. INSERT fails.");
  EXPECT_EQ(Run("update Towary set Nazwa = null where IdTowaru = 1").ErrorText(),
            "Cannot insert the value NULL into column 'Nazwa', table 'Sklep.dbo.Towary'; column does not allow "
            "nulls. UPDATE fails.");
  EXPECT_EQ(Run("update Kasjerzy set Login = 'bardzo-dlugi-login-kasjera' where IdKasjera = 1").ErrorNumber(), 8152);
  EXPECT_EQ(Run("update Towary set Cena = 123456789.5 where IdTowaru = 1").ErrorNumber(), 8115);
  // An update that would give two rows one key changes none of them.
  EXPECT_EQ(Run("update Kasjerzy set IdKasjera = 1 where IdKasjera in (1, 2)").ErrorNumber(), 2627);
  EXPECT_EQ(Count("IdKasjera in (1, 2)"), "2");
  EXPECT_EQ(Count("Login = 'bardzo-dlugi-login-kasjera'"), "0");
  EXPECT_EQ(Count("1 = 1"), "5");
  // Wrong shapes: the number of values, unknown columns and tables, system tables.
  EXPECT_EQ(Run("insert into Kasjerzy values (8, 'Jan')").ErrorNumber(), 213);
  EXPECT_EQ(Run("insert into Kasjerzy (IdKasjera, Imie) values (8)").ErrorNumber(), 109);
  EXPECT_EQ(Run("update Kasjerzy set Brak = 1").ErrorText(), "Invalid column name 'Brak'.");
  EXPECT_EQ(Run("delete from Brak").ErrorText(), "Invalid object name 'Brak'.");
  EXPECT_EQ(Run("delete from sysusers").ErrorNumber(), 259);
}

TEST_F(EngineDataChange, OnlyWritersChangeAndOnlyWritableDatabases) {
  auto cashier = Connect("kasa1", "kasa1", "Sklep");
  ASSERT_TRUE(cashier);
  EXPECT_EQ(Run(*cashier, "update Towary set Stan = Stan - 1 where IdTowaru = 2").dones.at(0).first, 1);
  auto manager = Connect("kierownik", "", "Sklep");
  ASSERT_TRUE(manager);
  const Answer refused = Run(*manager, "delete from Towary");
  EXPECT_EQ(refused.ErrorNumber(), 229);
  EXPECT_EQ(refused.ErrorText(), "DELETE permission denied on object 'Towary', database 'Sklep', owner 'dbo'.");
  EXPECT_EQ(Run("select count(*) from Sklep.dbo.Towary").Text(0, 0), "40");
  EXPECT_EQ(Run("alter database Hurtownia set read_only").ErrorNumber(), 0);
  EXPECT_EQ(Run("delete from Hurtownia.dbo.Dostawcy").ErrorText(),
            "Could not run BEGIN TRANSACTION in database 'Hurtownia' because the database is read-only.");
}

}  // namespace
}  // namespace msde::engine_test
