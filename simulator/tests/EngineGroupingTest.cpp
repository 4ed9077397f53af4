// Grouping, set operations and subqueries over the demo shop (the expected values follow
// from the data set's rows: 60 receipts by 5 cashiers, 17, 14, 9, 8 and 12 of them; 15
// customers in 8 towns, 5 of them without a receipt; 48 receipts without a customer).
#include "EngineTestSupport.h"

namespace msde::engine_test {
namespace {

class EngineGroupingTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    Run("use Sklep");
  }
  std::vector<std::string> Column(const Answer& a, size_t column) {
    std::vector<std::string> values;
    for (size_t r = 0; r < a.Result().rows.size(); ++r) values.push_back(a.Text(r, column));
    return values;
  }
};

using ::testing::ElementsAre;

TEST_F(EngineGroupingTest, GroupsWithTheirAggregates) {
  const Answer a = Run("select IdKasjera, count(*) as Ile, count(distinct Kasa), sum(IdKasjera) * 2 "
                       "from Paragony group by IdKasjera");
  EXPECT_THAT(Column(a, 0), ElementsAre("1", "2", "3", "4", "5"));
  EXPECT_THAT(Column(a, 1), ElementsAre("17", "14", "9", "8", "12"));
  EXPECT_EQ(a.Text(0, 3), "34");
  EXPECT_EQ(a.Result().columns[1].name, "Ile");
  EXPECT_EQ(a.Result().columns[1].type, SqlType::Int);
  const Answer having = Run("select IdKasjera from Paragony group by IdKasjera having count(*) > 12 order by 1 desc");
  EXPECT_THAT(Column(having, 0), ElementsAre("2", "1"));
  const Answer best = Run("select t.Nazwa, sum(p.Ilosc) from Towary t join Pozycje p on p.IdTowaru = t.IdTowaru "
                          "group by t.Nazwa order by sum(p.Ilosc) desc");
  EXPECT_EQ(best.Text(0, 0), "Mleko 3,2% 1 l");
  EXPECT_EQ(best.Text(0, 1), "30.000");
  EXPECT_EQ(best.Result().rows.size(), 40u);
  EXPECT_EQ(Run("select count(distinct IdTowaru), count(distinct StawkaVat) from Towary").Text(0, 1), "3");
  const Answer rates = Run("select StawkaVat, count(*) from Towary group by StawkaVat order by count(*) desc");
  EXPECT_THAT(Column(rates, 0), ElementsAre("7", "22", "3"));
  // A grouped expression may be selected as it is written.
  EXPECT_EQ(Run("select StawkaVat + 1, count(*) from Towary group by StawkaVat + 1").Result().rows.size(), 3u);
}

TEST_F(EngineGroupingTest, ColumnsNeitherGroupedNorAggregatedAreRefused) {
  const Answer a = Run("select Nazwa, count(*) from Towary group by StawkaVat");
  EXPECT_EQ(a.ErrorNumber(), 8120);
  EXPECT_EQ(a.ErrorText(), "Column 'Towary.Nazwa' is invalid in the select list because it is not contained in "
                           "either an aggregate function or the GROUP BY clause.");
  EXPECT_EQ(Run("select StawkaVat from Towary group by StawkaVat having Cena > 1").ErrorNumber(), 8121);
  EXPECT_EQ(Run("select t.Nazwa from Towary t where count(*) > 1").ErrorNumber(), 147);
  EXPECT_EQ(Run("select count(*) from Towary group by StawkaVat order by Nazwa").ErrorNumber(), 8127);
}

TEST_F(EngineGroupingTest, UnionsJoinTheRowsOfTheirQueries) {
  EXPECT_EQ(Run("select Miasto from Kontrahenci union select Miasto from Kontrahenci").Result().rows.size(), 8u);
  EXPECT_EQ(Run("select Miasto from Kontrahenci union all select Miasto from Kontrahenci").Result().rows.size(), 30u);
  const Answer ordered = Run("select Miasto from Kontrahenci union select 'Aaa' order by Miasto");
  EXPECT_EQ(ordered.Text(0, 0), "Aaa");
  EXPECT_EQ(ordered.Text(1, 0), "Bochnia");
  EXPECT_EQ(ordered.Text(3, 0), "Łódź");  // the Polish collation puts Ł after L, before M
  EXPECT_EQ(ordered.Text(8, 0), "Wieliczka");
  const Answer mixed = Run("select 1 as n union all select 2 union select 1 order by 1 desc");
  EXPECT_THAT(Column(mixed, 0), ElementsAre("2", "1"));
  EXPECT_EQ(mixed.Result().columns[0].name, "n");
  EXPECT_EQ(Run("select 1 union select 1, 2").ErrorNumber(), 205);
  EXPECT_EQ(Run("select Miasto from Kontrahenci union select Nazwa from Towary order by Nic").ErrorNumber(), 104);
}

TEST_F(EngineGroupingTest, SubqueriesInConditionsAndTheSelectList) {
  EXPECT_EQ(Run("select count(*) from Kontrahenci where IdKontrahenta in (select IdKontrahenta from Paragony)").Text(0, 0),
            "10");
  // NOT IN over a list holding NULL holds for no row.
  EXPECT_EQ(Run("select count(*) from Kontrahenci where IdKontrahenta not in (select IdKontrahenta from Paragony)")
                .Text(0, 0), "0");
  EXPECT_EQ(Run("select count(*) from Kontrahenci k where not exists "
                "(select * from Paragony p where p.IdKontrahenta = k.IdKontrahenta)").Text(0, 0), "5");
  EXPECT_EQ(Run("select count(*) from Towary where Cena > (select avg(Cena) from Towary)").Text(0, 0), "11");
  const Answer per_cashier = Run("select k.Login, (select count(*) from Paragony p where p.IdKasjera = k.IdKasjera) "
                                 "from Kasjerzy k order by 2 desc");
  EXPECT_EQ(per_cashier.Text(0, 0), "anowak");
  EXPECT_EQ(per_cashier.Text(0, 1), "17");
  EXPECT_EQ(Run("select (select IdKasjera from Kasjerzy)").ErrorNumber(), 512);
  EXPECT_EQ(Run("select 1 where 1 in (select 1, 2)").ErrorNumber(), 116);
}

TEST_F(EngineGroupingTest, DecimalsCompareAndSortAsNumbers) {
  // Prices are held as their text; "29.90" < "3.49" as text, not as numbers.
  EXPECT_EQ(Run("select count(*) from Towary where Cena > 10.5").Text(0, 0), "4");
  EXPECT_EQ(Run("select top 1 Nazwa from Towary order by Cena desc").Text(0, 0), "Szynka wiejska");
  EXPECT_EQ(Run("select max(Cena) from Towary").Text(0, 0), "29.90");
}

TEST_F(EngineGroupingTest, AssignmentSelectSetsVariablesWithoutAResult) {
  const Answer a = Run("declare @n int, @name nvarchar(10) "
                       "select @n = count(*), @name = max(Nazwa) from Towary where StawkaVat = 3 "
                       "select @n, @name, @@ROWCOUNT");
  ASSERT_EQ(a.results.size(), 1u);  // only the last SELECT returns rows
  EXPECT_EQ(a.Text(0, 0), "5");
  EXPECT_EQ(Utf8Length(a.Text(0, 1)), 10u);  // cut to the variable's length
  EXPECT_EQ(a.Text(0, 2), "1");  // of the assignment: one row
  // The last row found sets the variable; no row leaves it as it was.
  const Answer last = Run("declare @k int set @k = -1 select @k = IdKasjera from Kasjerzy order by IdKasjera "
                          "select @k select @k = IdKasjera from Kasjerzy where 1 = 0 select @k, @@ROWCOUNT");
  EXPECT_EQ(last.Text(0, 0), "5");
  EXPECT_EQ(last.Text(0, 0, 1), "5");
  EXPECT_EQ(last.Text(0, 1, 1), "0");
  EXPECT_EQ(Run("declare @k int select @k = IdKasjera, Login from Kasjerzy").ErrorNumber(), 141);
  EXPECT_EQ(Run("select @brak = 1").ErrorNumber(), 137);
  EXPECT_EQ(Run("declare @k int select @k = 1 union select 2").ErrorNumber(), 141);
}

TEST_F(EngineGroupingTest, TopPercentRoundsUpToWholeRows) {
  EXPECT_EQ(Run("select top 10 percent * from Towary").Result().rows.size(), 4u);
  EXPECT_EQ(Run("select top 11 percent Nazwa from Towary order by Nazwa").Result().rows.size(), 5u);
  EXPECT_EQ(Run("select top 100 percent Nazwa from Towary").Result().rows.size(), 40u);
  EXPECT_EQ(Run("select top 3 t.Nazwa from Towary t join Pozycje p on p.IdTowaru = t.IdTowaru").Result().rows.size(), 3u);
}

}  // namespace
}  // namespace msde::engine_test
