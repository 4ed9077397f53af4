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

TEST_F(EngineTest, OrdinaryNestingIsServed) {
  EXPECT_EQ(Run("select " + Repeat("(", 100) + "7" + Repeat(")", 100)).Text(0, 0), "7");
  EXPECT_EQ(Run("select 0" + Repeat("+1", 200)).Text(0, 0), "200");
  EXPECT_EQ(Run("select " + Repeat("- ", 10) + "5").Text(0, 0), "5");
}

}  // namespace
}  // namespace msde::engine_test
