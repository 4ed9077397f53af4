// Statements nested deeper than the server handles are refused with SQL Server's error 191
// instead of exhausting the stack; the session goes on serving, and ordinary nesting stays.
#include "EngineTestSupport.h"

namespace msde::engine_test {
namespace {

std::string Repeat(const std::string& piece, int n) {
  std::string out;
  out.reserve(piece.size() * static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) out += piece;
  return out;
}

void ExpectNestedTooDeeply(const Answer& a, const std::string& what) {
  ASSERT_EQ(a.errors.size(), 1u) << what;
  EXPECT_EQ(a.errors[0].number, 191) << what;
  EXPECT_EQ(a.errors[0].severity, 15) << what;
  EXPECT_EQ(a.errors[0].text,
            "Some part of your SQL statement is nested too deeply. Rewrite the query or break it "
            "up into smaller queries.")
      << what;
  EXPECT_TRUE(a.results.empty()) << what;
}

TEST_F(EngineTest, HostileNestingIsRefusedWithError191) {
  const int n = 10000;
  ExpectNestedTooDeeply(Run("select " + Repeat("(", n) + "1" + Repeat(")", n)), "parentheses");
  ExpectNestedTooDeeply(Run("select 1" + Repeat("+1", 2 * n)), "a sum of 20,000 terms");
  ExpectNestedTooDeeply(Run("select 1 where " + Repeat("NOT ", n) + "1=1"), "NOT chain");
  ExpectNestedTooDeeply(Run("select " + Repeat("- ", n) + "1"), "unary minus chain");
  ExpectNestedTooDeeply(Run("select " + Repeat("UPPER(", n) + "'a'" + Repeat(")", n)), "function calls");
  ExpectNestedTooDeeply(Run("select 1 where 1=1" + Repeat(" or 1=1", n)), "OR chain");
  ExpectNestedTooDeeply(Run("select " + Repeat("CASE WHEN 1=1 THEN ", n) + "1" + Repeat(" END", n)),
                        "CASE");
  EXPECT_EQ(Run("select 1").Text(0, 0), "1");  // the session goes on
}

// A batch of IFs nested in IFs is split and run in time proportional to its length: too
// deep a chain is refused before any of it runs, a long ELSE IF chain is served.
TEST_F(EngineTest, NestedIfChainsAreBoundedAndServed) {
  const Answer deep = Run("IF 1=1 " + Repeat("IF 1=1 ", 10000) + "SELECT 1");
  ExpectNestedTooDeeply(deep, "10,000 nested IFs");
  EXPECT_EQ(deep.dones.size(), 1u);
  EXPECT_EQ(Run("select 2").Text(0, 0), "2");  // the session goes on

  EXPECT_EQ(Run(Repeat("IF 1=1 ", 200) + "SELECT 3").Text(0, 0), "3");
  EXPECT_EQ(Run(Repeat("IF 1=0 SELECT 1 ELSE ", 20000) + "SELECT 4").Text(0, 0), "4");
  const Answer branches = Run("IF 1=1 IF 1=0 SELECT 5 ELSE SELECT 6 ELSE SELECT 7 SELECT 8");
  ASSERT_EQ(branches.results.size(), 2u);
  EXPECT_EQ(branches.Text(0, 0), "6");
  EXPECT_EQ(branches.Text(0, 0, 1), "8");
}

TEST_F(EngineTest, OrdinaryNestingIsServed) {
  EXPECT_EQ(Run("select " + Repeat("(", 100) + "7" + Repeat(")", 100)).Text(0, 0), "7");
  EXPECT_EQ(Run("select 0" + Repeat("+1", 200)).Text(0, 0), "200");
  EXPECT_EQ(Run("select " + Repeat("- ", 10) + "5").Text(0, 0), "5");
}

}  // namespace
}  // namespace msde::engine_test
