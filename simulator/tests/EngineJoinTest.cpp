// Queries over several tables of the demo shop: the joins, derived tables, and how column
// names are resolved among the tables (the expected counts follow from the data set's rows).
#include "EngineTestSupport.h"

namespace msde::engine_test {
namespace {

using ::testing::ElementsAre;

class EngineJoinTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    Run("use Sklep");
  }
  std::string Count(const std::string& from) { return Run("select count(*) from " + from).Text(0, 0); }
};

TEST_F(EngineJoinTest, EveryJoinKindCountsItsRows) {
  // 40 goods and 15 customers; 60 receipts, 48 of them without a customer; 5 customers
  // have no receipt; all 160 lines name a known good.
  EXPECT_EQ(Count("Towary, Kontrahenci"), "600");
  EXPECT_EQ(Count("Towary cross join Kontrahenci"), "600");
  EXPECT_EQ(Count("Pozycje p join Towary t on p.IdTowaru = t.IdTowaru"), "160");
  EXPECT_EQ(Count("Pozycje p inner join Towary t on p.IdTowaru = t.IdTowaru where t.IdTowaru = 21"),
            Run("select count(*) from Pozycje where IdTowaru = 21").Text(0, 0));
  EXPECT_EQ(Count("Paragony p left join Kontrahenci k on k.IdKontrahenta = p.IdKontrahenta"), "60");
  EXPECT_EQ(Count("Paragony p left outer join Kontrahenci k on k.IdKontrahenta = p.IdKontrahenta "
                  "where k.IdKontrahenta is null"), "48");
  EXPECT_EQ(Count("Kontrahenci k left join Paragony p on k.IdKontrahenta = p.IdKontrahenta"), "17");
  EXPECT_EQ(Count("Paragony p right join Kontrahenci k on k.IdKontrahenta = p.IdKontrahenta"), "17");
  EXPECT_EQ(Count("Paragony p full outer join Kontrahenci k on k.IdKontrahenta = p.IdKontrahenta"), "65");
  EXPECT_EQ(Count("Paragony p right join Kontrahenci k on k.IdKontrahenta = p.IdKontrahenta "
                  "where p.IdParagonu is null"), "5");
  // Three tables, the ON of the last naming the first.
  EXPECT_EQ(Count("Pozycje po join Paragony pa on pa.IdParagonu = po.IdParagonu "
                  "join Kasjerzy k on k.IdKasjera = pa.IdKasjera and po.IdPozycji > 0"), "160");
}

TEST_F(EngineJoinTest, JoinedRowsCarryTheColumnsOfEachSide) {
  const Answer a = Run("select t.Nazwa, p.Ilosc, * from Pozycje p join Towary t on t.IdTowaru = p.IdTowaru "
                       "where p.IdPozycji = 1");
  ASSERT_EQ(a.Result().rows.size(), 1u);
  EXPECT_EQ(a.Result().columns.size(), 2u + 7u + 10u);
  EXPECT_EQ(a.ColumnNames()[0], "Nazwa");
  EXPECT_EQ(a.Text(0, 1), "6.000");
  EXPECT_EQ(a.Text(0, 2), "1");   // Pozycje.IdPozycji comes first in *
  EXPECT_EQ(a.Text(0, 9), "21");  // then Towary.IdTowaru
  const Answer starred = Run("select k.*, p.Numer from Paragony p left join Kontrahenci k "
                             "on k.IdKontrahenta = p.IdKontrahenta where p.IdParagonu = 1");
  EXPECT_EQ(starred.Result().columns.size(), 9u);
  EXPECT_TRUE(starred.IsNullAt(0, 0));  // the receipt has no customer: NULLs on his side
  EXPECT_EQ(starred.Text(0, 8), "P/2007/000001");
  // A fully qualified table and a table of another database.
  EXPECT_EQ(Count("Sklep.dbo.Towary t join Sklep..Pozycje p on p.IdTowaru = t.IdTowaru"), "160");
  EXPECT_EQ(Count("Towary a join Hurtownia..Towary b on a.Kod = b.Kod where 1 = 0"), "0");
  EXPECT_EQ(Count("dbo.Towary with (nolock) join Pozycje (nolock) on Pozycje.IdTowaru = Towary.IdTowaru"), "160");
}

TEST_F(EngineJoinTest, ColumnNamesResolveAsSqlServerResolvesThem) {
  EXPECT_EQ(Run("select Nazwa from Towary, Kontrahenci").ErrorNumber(), 209);
  EXPECT_EQ(Run("select Nazwa from Towary, Kontrahenci").ErrorText(), "Ambiguous column name 'Nazwa'.");
  EXPECT_EQ(Run("select Telefon from Towary, Kontrahenci where 1 = 0").ErrorNumber(), 0);  // only one has it
  EXPECT_EQ(Run("select x.Nazwa from Towary t join Kontrahenci k on 1 = 1").ErrorNumber(), 107);
  // An aliased table is known by its alias only.
  EXPECT_EQ(Run("select Towary.Nazwa from Towary t").ErrorNumber(), 107);
  EXPECT_EQ(Run("select t.Brak from Towary t").ErrorNumber(), 207);
  // An ON condition sees only the tables joined so far.
  EXPECT_EQ(Run("select 1 from Towary t join Pozycje p on p.IdParagonu = pa.IdParagonu "
                "join Paragony pa on 1 = 1").ErrorNumber(), 107);
  EXPECT_EQ(Run("select k.* from Towary t").ErrorNumber(), 107);
}

TEST_F(EngineJoinTest, DerivedTablesAreQueriedAsTables) {
  const Answer a = Run("select d.Kasjer, d.Ile from (select IdKasjera as Kasjer, count(*) as Ile from Paragony "
                       "group by IdKasjera) as d where d.Ile > 10 order by d.Ile desc");
  ASSERT_EQ(a.Result().rows.size(), 3u);  // cashiers 1 (17), 2 (14) and 5 (12)
  EXPECT_EQ(a.Text(0, 0), "1");
  EXPECT_EQ(a.Text(0, 1), "17");
  EXPECT_EQ(a.Text(2, 0), "5");
  const Answer joined = Run("select k.Login, d.Ile from Kasjerzy k join (select IdKasjera, count(*) Ile from "
                            "Paragony group by IdKasjera) d on d.IdKasjera = k.IdKasjera order by k.Login");
  EXPECT_EQ(joined.Text(0, 0), "anowak");
  EXPECT_EQ(joined.Text(0, 1), "17");
  EXPECT_EQ(Run("select * from (select count(*) from Towary) d").ErrorNumber(), 8155);
}

TEST_F(EngineJoinTest, ParenthesisedJoinsAndColumnListsNameTheirColumns) {
  // The inner join of receipts with a customer is made first, then joined to every good:
  // the same rows as the derived table of that join, unlike the joins read left to right.
  const std::string inner = "(Pozycje p join Paragony pa on pa.IdParagonu = p.IdParagonu and pa.IdKontrahenta is not null)";
  const std::string nested = Count("Towary t left join " + inner + " on p.IdTowaru = t.IdTowaru");
  EXPECT_EQ(nested, Count("Towary t left join (select p.IdTowaru from Pozycje p join Paragony pa on "
                          "pa.IdParagonu = p.IdParagonu and pa.IdKontrahenta is not null) d on d.IdTowaru = t.IdTowaru"));
  EXPECT_NE(nested, Count("Towary t left join Pozycje p on p.IdTowaru = t.IdTowaru join Paragony pa on "
                          "pa.IdParagonu = p.IdParagonu and pa.IdKontrahenta is not null"));
  // The tables inside keep their names for the columns outside.
  const Answer named = Run("select top 1 t.Nazwa, pa.IdKontrahenta from Towary t join " + inner +
                           " on p.IdTowaru = t.IdTowaru order by pa.IdKontrahenta");
  ASSERT_TRUE(named.errors.empty()) << named.ErrorText();
  EXPECT_FALSE(named.IsNullAt(0, 1));

  const Answer listed = Run("select d.Kasjer, d.Ile from (select IdKasjera, count(*) from Paragony group by IdKasjera) "
                            "as d(Kasjer, Ile) where d.Ile > 10 order by d.Kasjer");
  ASSERT_TRUE(listed.errors.empty()) << listed.ErrorText();
  EXPECT_THAT(listed.ColumnNames(), ElementsAre("Kasjer", "Ile"));
  EXPECT_EQ(listed.Text(0, 1), "17");
  const Answer more = Run("select * from (select 1, 2) as d(x)");
  EXPECT_EQ(more.ErrorNumber(), 8158);
  EXPECT_EQ(more.ErrorText(), "'d' has more columns than were specified in the column list.");
  EXPECT_EQ(Run("select * from (select 1) as d(x, y)").ErrorNumber(), 8159);
}

// A sink that cancels the batch, as an attention does, once the first row has arrived.
class CancellingSink : public RecordingSink {
 public:
  CancellingSink(Answer& answer, Session& session) : RecordingSink(answer), session_(session) {}
  void RowData(const Row& row) override {
    RecordingSink::RowData(row);
    session_.cancel_requested = true;
  }

 private:
  Session& session_;
};

TEST_F(EngineJoinTest, AnAttentionEndsAJoinOfHundredsOfMillionsOfRows) {
  Answer answer;
  CancellingSink sink(answer, *sa_);
  engine_->ExecuteBatch(*sa_, "select a.IdPozycji from Pozycje a, Pozycje b, Pozycje c, Pozycje d", sink);
  EXPECT_EQ(answer.Result().rows.size(), 1u);
  sa_->cancel_requested = false;
  EXPECT_EQ(Run("select 7").Text(0, 0), "7");
}

TEST_F(EngineJoinTest, TheMultiPartIdentifierMessageOf2005) {
  engine_ = LoadEngine(std::string(MSDE_DATA_DIR) + "/demo2005.json", std::string(MSDE_DATA_DIR) + "/files");
  sessions_.clear();
  sa_ = Connect("sa", "");
  const Answer a = Run("select x.name from sysobjects o");
  EXPECT_EQ(a.ErrorNumber(), 4104);
  EXPECT_EQ(a.ErrorText(), "The multi-part identifier \"x.name\" could not be bound.");
}

}  // namespace
}  // namespace msde::engine_test
