// Local variables: declared once for the batch, assigned with SET, read in expressions and
// converted to their declared type as SQL Server converts them.
#include "EngineTestSupport.h"

namespace msde::engine_test {
namespace {

class EngineVariables2005 : public EngineTest {
 protected:
  void SetUp() override {
    engine_ = LoadEngine(std::string(MSDE_DATA_DIR) + "/demo2005.json", std::string(MSDE_DATA_DIR) + "/files");
    sa_ = Connect("sa", "");
  }
};

TEST_F(EngineTest, VariablesLiveForTheBatchAndKeepTheirDeclaredType) {
  const Answer a = Run("DECLARE @x int, @Name varchar(5); SET @x = 5; SET @name = 'abcdefgh' "
                       "SELECT @X * 2, @name, @x + 1.5");
  ASSERT_TRUE(a.errors.empty()) << a.ErrorText();
  EXPECT_EQ(a.Text(0, 0), "10");
  EXPECT_EQ(a.Text(0, 1), "abcde");  // cut to the declared length, without an error
  EXPECT_EQ(a.Text(0, 2), "6.5");
  EXPECT_EQ(a.Result().columns[0].name, "");
  EXPECT_EQ(a.Result().columns[1].type, SqlType::VarChar);
  EXPECT_EQ(a.Result().columns[1].length, 5);

  // A variable without a value is NULL; a character type without a length is one long.
  const Answer defaults = Run("declare @n int declare @c varchar select @n, @c set @c = 'xyz' select @c");
  EXPECT_TRUE(defaults.IsNullAt(0, 0));
  EXPECT_TRUE(defaults.IsNullAt(0, 1));
  EXPECT_EQ(defaults.Text(0, 0, 1), "x");

  // Text converts to the declared number; one that does not fit fails as CONVERT does.
  EXPECT_EQ(Run("declare @t tinyint set @t = '200' select @t").Text(0, 0), "200");
  EXPECT_EQ(Run("declare @t tinyint set @t = 300").ErrorNumber(), 8115);
  EXPECT_EQ(Run("declare @d datetime set @d = '2026-12-10 10:15' select convert(varchar, @d, 120)").Text(0, 0),
            "2026-12-10 10:15:00");

  // The next batch knows none of them.
  const Answer gone = Run("select @x");
  EXPECT_EQ(gone.ErrorNumber(), 137);
  EXPECT_EQ(gone.ErrorText(), "Must declare the variable '@x'.");
}

TEST_F(EngineTest, VariableMistakesFailAsSqlServerDoes) {
  const Answer twice = Run("declare @a int declare @A int select 1");
  EXPECT_EQ(twice.ErrorNumber(), 134);
  EXPECT_TRUE(twice.results.empty());
  EXPECT_EQ(Run("set @nothing = 1").ErrorNumber(), 137);
  // SQL Server 2000 has no initialiser.
  const Answer init = Run("declare @x int = 5 select @x");
  EXPECT_EQ(init.ErrorNumber(), 139);
  EXPECT_EQ(init.ErrorText(), "Cannot assign a default value to a local variable.");
  EXPECT_TRUE(init.results.empty());
}

TEST_F(EngineTest, SetCountsOneRowAndVariablesPassToProcedures) {
  const Answer a = Run("declare @x int set @x = 1 select @@rowcount");
  EXPECT_EQ(a.Text(0, 0), "1");
  const Answer help = Run("declare @db sysname set @db = 'Sklep' exec sp_helpdb @db");
  ASSERT_TRUE(help.errors.empty()) << help.ErrorText();
  ASSERT_FALSE(help.results.empty());
  EXPECT_EQ(TrimRight(help.Text(0, 0)), "Sklep");
}

TEST_F(EngineVariables2005, MessagesTakeTheir2005Forms) {
  EXPECT_EQ(Run("select 1 begin select 2").ErrorText(), "Incorrect syntax near '2'.");
  const Answer unknown = Run("raiserror(50005, 16, 1)");
  EXPECT_EQ(unknown.ErrorNumber(), 18054);
  EXPECT_EQ(unknown.ErrorText(), "Error 50005, severity 16, state 1 was raised, but no message with that error number was found in sys.messages. If error is larger than 50000, make sure the user-defined message is added using sp_addmessage.");
  EXPECT_EQ(Run("exec sp_executesql N'select @i', N'@i int'").ErrorText(),
            "The parameterized query '(@i int)select @i' expects the parameter '@i', which was not supplied.");
}

TEST_F(EngineVariables2005, DeclareTakesAnInitialiser) {
  const Answer a = Run("declare @x int = 5, @y varchar(10) = 'a' + 'b'; select @x + 1, @y");
  ASSERT_TRUE(a.errors.empty()) << a.ErrorText();
  EXPECT_EQ(a.Text(0, 0), "6");
  EXPECT_EQ(a.Text(0, 1), "ab");
}

}  // namespace
}  // namespace msde::engine_test

namespace msde::engine_test {
namespace {

TEST_F(EngineTest, SpExecuteSqlReturnsItsOutputParametersToTheCaller) {
  const Answer out = Run("declare @o int\n"
                         "exec sp_executesql N'set @o = @i * 2', N'@i int, @o int OUTPUT', @i = 21, @o = @o OUTPUT\n"
                         "select @o");
  ASSERT_TRUE(out.errors.empty()) << out.ErrorText();
  EXPECT_EQ(out.Text(0, 0), "42");
  // Arguments by position, converted to the declared types; the status of the call.
  const Answer positional = Run("declare @rc int exec @rc = sp_executesql N'select @a + @b', N'@a int, @b int', '1', 2 "
                                "select @rc");
  ASSERT_TRUE(positional.errors.empty()) << positional.ErrorText();
  EXPECT_EQ(positional.Text(0, 0), "3");
  EXPECT_EQ(positional.Text(0, 0, 1), "0");
  // The statement sees its parameters only; its failure is its own and the batch goes on.
  const Answer scoped = Run("declare @x int set @x = 1 exec sp_executesql N'select @x' select 2");
  EXPECT_EQ(scoped.ErrorNumber(), 137);
  ASSERT_EQ(scoped.results.size(), 1u);
  EXPECT_EQ(scoped.Text(0, 0), "2");
  // EXECUTE keeps the @@ROWCOUNT the statement left.
  const Answer count = Run("exec sp_executesql N'update Sklep.dbo.Kasjerzy set Imie = Imie' select @@rowcount "
                           "select count(*) from Sklep.dbo.Kasjerzy");
  EXPECT_EQ(count.Text(0, 0), count.Text(0, 0, 1));
}

TEST_F(EngineTest, SpExecuteSqlRefusesArgumentsItsDeclarationsDoNotAllow) {
  EXPECT_EQ(Run("exec sp_executesql N'select @i', N'@i int'").ErrorNumber(), 8178);
  EXPECT_EQ(Run("declare @v int exec sp_executesql N'select @i', N'@i int', @i = @v OUTPUT").ErrorNumber(), 8162);
  EXPECT_EQ(Run("exec sp_executesql N'select 1', N'@i int', @j = 1").ErrorNumber(), 8145);
  EXPECT_EQ(Run("exec sp_executesql N'select 1', N'@i int', 1, 2").ErrorNumber(), 8144);
  // A failed procedure returns a status other than 0.
  const Answer failed = Run("declare @rc int exec @rc = sp_helpdb 'NieMaTakiej' select @rc");
  EXPECT_NE(failed.ErrorNumber(), 0);
  EXPECT_EQ(failed.Text(0, 0), "1");
}

}  // namespace
}  // namespace msde::engine_test
