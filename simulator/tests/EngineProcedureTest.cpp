// Procedures made with CREATE PROCEDURE: their parameters bound by position and by name,
// defaults, OUTPUT, the status RETURN gives, the database they run in, and SQL Server's
// refusals.
#include "EngineTestSupport.h"
#include "engine/Model.h"
#include "engine/SimEngine.h"

namespace msde::engine_test {
namespace {

class EngineProcedureTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    const Answer made = Run("create procedure dbo.Podwoj @i int, @o int output, @krok int = 1 as\n"
                            "set @o = @i * 2\nif @i < 0 return -1\nreturn @i + @krok");
    ASSERT_TRUE(made.errors.empty()) << made.ErrorText();
  }
};

TEST_F(EngineProcedureTest, ArgumentsByNameAndPositionAndOutputComeBack) {
  const Answer named = Run("declare @o int, @r int exec @r = Podwoj @i = 21, @o = @o output select @o, @r");
  ASSERT_TRUE(named.errors.empty()) << named.ErrorText();
  EXPECT_EQ(named.Text(0, 0), "42");
  EXPECT_EQ(named.Text(0, 1), "22");
  const Answer positional = Run("declare @o int, @r int exec @r = Podwoj 5, @o output, 10 select @o, @r");
  EXPECT_EQ(positional.Text(0, 0), "10");
  EXPECT_EQ(positional.Text(0, 1), "15");
  // Without OUTPUT the caller's variable keeps its value.
  EXPECT_EQ(Run("declare @o int set @o = 7 exec Podwoj 5, @o select @o").Text(0, 0), "7");
  EXPECT_EQ(Run("declare @o int, @r int exec @r = Podwoj -3, @o output select @o, @r").Text(0, 1), "-1");
}

TEST_F(EngineProcedureTest, WrongCallsFailAsSqlServerRefusesThem) {
  const Answer missing = Run("exec Podwoj");
  EXPECT_EQ(missing.ErrorNumber(), 201);
  EXPECT_EQ(missing.ErrorText(), "Procedure 'Podwoj' expects parameter '@i', which was not supplied.");
  EXPECT_EQ(Run("declare @o int exec Podwoj 1, @o, 1, 2").ErrorNumber(), 8144);
  EXPECT_EQ(Run("exec Podwoj @brak = 1").ErrorNumber(), 8145);
  EXPECT_EQ(Run("declare @o int exec Podwoj @i = 1, @o").ErrorNumber(), 119);
  EXPECT_EQ(Run("declare @x int exec Podwoj 1, 2, @x output").ErrorNumber(), 8162);
  EXPECT_EQ(Run("create procedure Podwoj as select 1").ErrorNumber(), 2714);
  const Answer late = Run("select 1 create procedure Inna as select 2");
  EXPECT_EQ(late.ErrorNumber(), 111);
  EXPECT_EQ(Run("exec Inna").ErrorNumber(), 2812);
}

TEST_F(EngineProcedureTest, TheCatalogsListAProcedureAndItsParameters) {
  const Answer listed = Run("select o.type, c.name, c.isoutparam, t.name from sysobjects o join syscolumns c on c.id = o.id "
                            "join systypes t on t.xusertype = c.xusertype where o.name = 'Podwoj' order by c.colid");
  ASSERT_TRUE(listed.errors.empty()) << listed.ErrorText();
  ASSERT_EQ(listed.Result().rows.size(), 3u);
  EXPECT_EQ(listed.Text(0, 0), "P ");
  EXPECT_EQ(listed.Text(1, 1), "@o");
  EXPECT_EQ(listed.Text(1, 2), "1");
  EXPECT_EQ(listed.Text(2, 2), "0");
  EXPECT_EQ(listed.Text(2, 3), "int");
  EXPECT_EQ(Run("select object_name(object_id('dbo.Podwoj'))").Text(0, 0), "Podwoj");
  Run("drop proc Podwoj");
  EXPECT_TRUE(Run("select object_id('Podwoj')").IsNullAt(0, 0));
}

// What a backup, a detach and the data set keep of a database: its procedures with it.
TEST_F(EngineProcedureTest, ADatabaseWrittenOutKeepsItsProcedures) {
  auto* sim = dynamic_cast<SimEngine*>(engine_.get());
  const std::string written = DatabaseToJson(*sim->State().FindDatabase("master"));
  const Database copy = DatabaseFromJson(written);
  ASSERT_EQ(copy.procedures.size(), 1u);
  const StoredProcedure& p = copy.procedures[0];
  EXPECT_EQ(p.name, "Podwoj");
  EXPECT_EQ(p.id, sim->State().FindDatabase("master")->procedures[0].id);
  EXPECT_EQ(p.parameters, "@i int, @o int output, @krok int = 1");
  EXPECT_EQ(p.body, "\nset @o = @i * 2\nif @i < 0 return -1\nreturn @i + @krok");
  EXPECT_EQ(DatabaseToJson(copy), written);
  EXPECT_EQ(DatabaseToJson(*sim->State().FindDatabase("Sklep")).find("procedures"), std::string::npos);
}

TEST_F(EngineProcedureTest, ABodyRunsInItsOwnDatabaseUntilDropped) {
  Run("use Sklep");
  ASSERT_TRUE(Run("create proc Ile (@stawka int) as select count(*), db_name() from Towary where StawkaVat = @stawka")
                  .errors.empty());
  Run("use master");
  const Answer a = Run("exec Sklep..Ile 22 select db_name()");
  ASSERT_TRUE(a.errors.empty()) << a.ErrorText();
  EXPECT_EQ(a.Text(0, 0), "13");
  EXPECT_EQ(a.Text(0, 1), "Sklep");
  EXPECT_EQ(a.Text(0, 0, 1), "master");  // the caller's database again after the call
  EXPECT_EQ(Run("exec Ile 22").ErrorNumber(), 2812);  // master has none by that name
  EXPECT_TRUE(Run("drop procedure Sklep..Ile").errors.empty());
  EXPECT_EQ(Run("exec Sklep..Ile 22").ErrorNumber(), 2812);
  EXPECT_EQ(Run("drop procedure Sklep..Ile").ErrorNumber(), 3701);
}

}  // namespace
}  // namespace msde::engine_test
