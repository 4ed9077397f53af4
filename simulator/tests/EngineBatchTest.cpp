// Batches as SQL Server runs them: BEGIN ... END blocks, IF ... ELSE, WHILE with BREAK and
// CONTINUE, RETURN, the @@ functions after each statement, PRINT, RAISERROR and WAITFOR.
#include <thread>

#include "EngineTestSupport.h"
#include "engine/SimEngine.h"

namespace msde::engine_test {
namespace {

class EngineBatch : public EngineTest {
 protected:
  SimEngine& Sim() { return *dynamic_cast<SimEngine*>(engine_.get()); }
  // Waits (without a timer) until the session runs a statement of the given kind.
  void AwaitCommand(Session& session, const std::string& command) {
    for (;;) {
      {
        std::lock_guard<std::mutex> guard(Sim().Mutex());
        if (session.command == command) return;
      }
      std::this_thread::yield();
    }
  }
  std::vector<std::string> Firsts(const Answer& a) {
    std::vector<std::string> texts;
    for (size_t i = 0; i < a.results.size(); ++i) texts.push_back(a.Text(0, 0, i));
    return texts;
  }
};

TEST_F(EngineBatch, BlocksBranchesAndLoopsRunAsWritten) {
  const Answer loop = Run(
      "declare @i int, @s int\n"
      "set @i = 0 set @s = 0\n"
      "while @i < 10\n"
      "begin\n"
      "  set @i = @i + 1\n"
      "  if @i % 2 = 0 continue\n"
      "  if @i > 7 break\n"
      "  set @s = @s + @i\n"
      "end\n"
      "select @i, @s");
  ASSERT_TRUE(loop.errors.empty()) << loop.ErrorText();
  EXPECT_EQ(loop.Text(0, 0), "9");
  EXPECT_EQ(loop.Text(0, 1), "16");  // 1 + 3 + 5 + 7

  const Answer branches = Run(
      "declare @x int set @x = 5\n"
      "if @x > 3 begin select 'a' if @x = 5 select 'b' else select 'c' end else begin select 'd' select 'e' end\n"
      "if @x < 0 select 'f' else if @x = 5 begin select 'g' end else select 'h'\n"
      "if db_id('Sklep') is not null and (@x = 5 or @x = 6) select 'i'\n"
      "select case when @x = 5 then 'j' end");
  ASSERT_TRUE(branches.errors.empty()) << branches.ErrorText();
  EXPECT_EQ(Firsts(branches), (std::vector<std::string>{"a", "b", "g", "i", "j"}));

  // Nested loops: BREAK leaves the inner one only.
  const Answer nested = Run(
      "declare @a int, @b int, @n int set @a = 0 set @n = 0\n"
      "while @a < 3 begin set @a = @a + 1 set @b = 0\n"
      "  while 1 = 1 begin set @b = @b + 1 if @b > @a break set @n = @n + 1 end\n"
      "end select @n");
  EXPECT_EQ(nested.Text(0, 0), "6");  // 1 + 2 + 3
}

TEST_F(EngineBatch, ReturnEndsTheBatchAndMisplacedKeywordsAreRefused) {
  const Answer returned = Run("select 1 if 1 = 1 begin return end select 2");
  ASSERT_EQ(returned.results.size(), 1u);
  EXPECT_TRUE(returned.errors.empty());
  EXPECT_EQ(Run("return 5").ErrorNumber(), 178);

  const Answer outside = Run("select 1 break");
  EXPECT_EQ(outside.ErrorNumber(), 135);
  EXPECT_EQ(outside.ErrorText(), "Cannot use a BREAK statement outside the scope of a WHILE statement.");
  EXPECT_TRUE(outside.results.empty());  // refused before any of it runs
  EXPECT_EQ(Run("if 1 = 1 continue").ErrorNumber(), 136);

  // Blocks that do not close, branches that are missing: a syntax error and nothing runs.
  for (const char* sql : {"select 1 begin select 2", "select 1 if 1 = 1", "select 1 else select 2",
                          "select 1 end", "begin end", "if 1 = 1 select 1 else"}) {
    const Answer a = Run(sql);
    EXPECT_EQ(a.ErrorNumber(), 170) << sql;
    EXPECT_TRUE(a.results.empty()) << sql;
    ASSERT_EQ(a.dones.size(), 1u) << sql;
    EXPECT_TRUE(a.dones[0].second) << sql;
  }
  EXPECT_EQ(Run("select 1 begin select 2").ErrorText(), "Line 1: Incorrect syntax near '2'.");
  // A transaction's BEGIN is no block.
  EXPECT_EQ(Run("begin tran select @@trancount commit").Text(0, 0), "1");
}

TEST_F(EngineBatch, RowcountAndErrorDescribeTheLastStatement) {
  const Answer counted = Run("update Sklep.dbo.Kasjerzy set Imie = Imie select @@rowcount select count(*) from Sklep.dbo.Kasjerzy");
  ASSERT_TRUE(counted.errors.empty()) << counted.ErrorText();
  EXPECT_EQ(counted.Text(0, 0), counted.Text(0, 0, 1));
  EXPECT_NE(counted.Text(0, 0), "0");
  EXPECT_EQ(Run("select 1 select @@rowcount").Text(0, 0, 1), "1");
  EXPECT_EQ(Run("declare @x int set @x = 1 select @@rowcount").Text(0, 0), "1");
  EXPECT_EQ(Run("use master select @@rowcount").Text(0, 0), "0");

  const Answer failed = Run("select 1/0 select @@error select @@error");
  EXPECT_EQ(failed.ErrorNumber(), 8134);
  EXPECT_EQ(failed.Text(0, 0, 0), "8134");
  EXPECT_EQ(failed.Text(0, 0, 1), "0");  // the SELECT of @@ERROR succeeded
  // Each statement's error is kept in a variable the way scripts do.
  const Answer kept = Run("declare @e int select 1/0 set @e = @@error if @e <> 0 print 'blad ' + cast(@e as varchar)");
  ASSERT_EQ(kept.infos.size(), 1u);
  EXPECT_EQ(kept.infos[0].text, "blad 8134");

  // SET NOCOUNT ON: no Done carries a count.
  const Answer quiet = Run("set nocount on declare @i int set @i = 0 while @i < 3 begin select @i set @i = @i + 1 end set nocount off");
  EXPECT_EQ(quiet.results.size(), 3u);
  for (const auto& done : quiet.dones) EXPECT_EQ(done.first, -1);
  const Answer loud = Run("select 1");
  ASSERT_EQ(loud.dones.size(), 1u);
  EXPECT_EQ(loud.dones[0].first, 1);
}

TEST_F(EngineBatch, PrintAndRaiserrorFormatTheirMessages) {
  const Answer print = Run("declare @n int set @n = 42 print 'n = ' + cast(@n as varchar(10)) print @n print null");
  ASSERT_EQ(print.infos.size(), 3u);
  EXPECT_EQ(print.infos[0].text, "n = 42");
  EXPECT_EQ(print.infos[0].number, 0);
  EXPECT_EQ(print.infos[0].severity, 0);
  EXPECT_EQ(print.infos[1].text, "42");
  EXPECT_EQ(print.infos[2].text, "");

  const Answer args = Run("RAISERROR('h arg %d %s', 16, 1, 5, 'x') select @@error");
  ASSERT_EQ(args.errors.size(), 1u);
  EXPECT_EQ(args.errors[0].number, 50000);
  EXPECT_EQ(args.errors[0].severity, 16);
  EXPECT_EQ(args.errors[0].text, "h arg 5 x");
  EXPECT_EQ(args.Text(0, 0), "50000");

  const Answer widths = Run("declare @v varchar(10) set @v = 'abcdef' "
                            "raiserror('%5d|%-5d|%05d|%x|%X|%o|%u|%i%%', 10, 1, 42, 42, 42, 255, 255, 8, -1, 7) "
                            "raiserror('%.3s|%*d|%-*.*s|', 10, 2, @v, 4, 7, 6, 2, @v) with nowait "
                            "raiserror('%d and %s', 0, 1, 3)");
  ASSERT_EQ(widths.infos.size(), 3u) << widths.ErrorText();
  EXPECT_EQ(widths.infos[0].text, "   42|42   |00042|ff|FF|10|4294967295|7%");
  EXPECT_EQ(widths.infos[1].text, "abc|   7|ab    |");
  EXPECT_EQ(widths.infos[1].state, 2);
  EXPECT_TRUE(widths.infos[1].now);
  EXPECT_FALSE(widths.infos[0].now);
  EXPECT_EQ(widths.infos[2].text, "3 and (null)");
  EXPECT_EQ(Run("raiserror('%d', 16, 1, 'x')").ErrorNumber(), 2786);
  // Widths are bounded as the message is: 2047 characters at most.
  const Answer wide = Run("raiserror('%*d', 10, 1, 2147483647, 5) raiserror('%999999999s|', 10, 1, 'x')");
  ASSERT_EQ(wide.infos.size(), 2u);
  EXPECT_EQ(wide.infos[0].text.size(), 2047u);
  EXPECT_EQ(wide.infos[1].text.size(), 2047u);
  const Answer whole = Run("declare @long varchar(1000) set @long = replicate('a', 1000) raiserror('%s', 10, 1, @long)");
  ASSERT_EQ(whole.infos.size(), 1u) << whole.ErrorText();
  EXPECT_EQ(whole.infos[0].text.size(), 1000u);  // a long argument arrives whole

  // Messages by number: the old form, sp_addmessage's, and a number nobody added.
  const Answer old = Run("raiserror 50001 'stara forma'");
  ASSERT_EQ(old.errors.size(), 1u);
  EXPECT_EQ(old.errors[0].number, 50001);
  EXPECT_EQ(old.errors[0].text, "stara forma");
  EXPECT_EQ(Run("raiserror(50002, 16, 1)").ErrorText(), "RAISERROR could not locate entry for error 50002 in Sysmessages.");
  Run("exec sp_addmessage 50002, 16, 'Brak towaru %s'");
  const Answer added = Run("raiserror(50002, 16, 1, 'Mleko')");
  ASSERT_EQ(added.errors.size(), 1u);
  EXPECT_EQ(added.errors[0].number, 50002);
  EXPECT_EQ(added.errors[0].text, "Brak towaru Mleko");
}

TEST_F(EngineBatch, LoopsAndWaitsEndAtAttentionAndKill) {
  Answer looped;
  std::thread runner([&] { looped = Run("declare @i int set @i = 0 while 1 = 1 set @i = @i + 1"); });
  AwaitCommand(*sa_, "SET");
  sa_->cancel_requested = true;
  runner.join();
  EXPECT_TRUE(looped.errors.empty());
  sa_->cancel_requested = false;

  Answer waited;
  std::thread waiter([&] { waited = Run("waitfor time '23:59:59.997' select 1"); });
  AwaitCommand(*sa_, "WAITFOR");
  sa_->cancel_requested = true;
  waiter.join();
  EXPECT_TRUE(waited.results.empty());
  sa_->cancel_requested = false;

  // Another session is served while a loop runs, and its KILL ends the loop.
  auto victim = Connect("sa", "");
  std::thread killed([&] { Run(*victim, "while 1 = 1 begin declare @x int set @x = 1 end"); });
  AwaitCommand(*victim, "SET");
  const Answer kill = Run("kill " + std::to_string(victim->spid));
  EXPECT_TRUE(kill.errors.empty()) << kill.ErrorText();
  killed.join();
  EXPECT_TRUE(victim->killed);
}

}  // namespace
}  // namespace msde::engine_test
