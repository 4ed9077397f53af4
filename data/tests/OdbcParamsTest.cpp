// Parameters: the marker scan of AdjustToQueryText as a table of texts, a randomized run,
// names, value setters and getters.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "data/DataError.h"
#include "data/Params.h"
#include "foundation/MacList.h"

namespace vandrel {
namespace {

void SetMacro(TMParams& P, const char* Name, const char* Value) {
  TMParam* p = P.ByName(Name);
  p->SetAsString(Value);
  p->SetParamOption(mpoMacro);
}

TEST(OdbcParams, AdjustToQueryTextTable) {
  struct Case {
    const char* Text;
    const char* Expected;  // macros get "M", real parameter "v" is an input
  } cases[] = {
      {"select * from :tab", "select * from M"},
      {"select ':x' , \":y\" from :tab", "select ':x' , \":y\" from M"},
      {"a ? b '?' c", "a  b '?' c"},
      {"where a = :v and b = :V", "where a = ? and b = ?"},
      {"x :1abc", "x :1abc"},
      {"x : tab", "x : tab"},
      {"'it\\'s :x' :tab", "'it\\'s :x' M"},
      {"'a\\\\' :tab '", "'a\\\\' M '"},
      {"'open\r\n:tab", "'open\r\nM"},
      {"\"open\n:tab\"", "\"open\nM\""},
      {"end:tab", "endM"},
      {"end:v", "end?"},
      {"::tab", ":M"},
  };
  for (const Case& c : cases) {
    TMParams p;
    p.AdjustToQueryText(c.Text, nullptr, false);
    if (p.Find("tab")) SetMacro(p, "tab", "M");
    if (TMParam* v = p.Find("v")) v->SetAsInteger(1);
    EXPECT_EQ(p.AdjustToQueryText(c.Text, nullptr, false), c.Expected) << c.Text;
  }
}

TEST(OdbcParams, NamesAreSharedAcrossCaseAndFollowTheText) {
  TMParams p;
  p.AdjustToQueryText(":a :A :b", nullptr, false);
  ASSERT_EQ(p.GetCount(), 2);
  EXPECT_EQ(p.GetParams(0)->GetName(), "a");
  p.ByName("b")->SetAsInteger(3);
  TMacListOfIntegers idx;
  EXPECT_EQ(p.AdjustToQueryText(":b x :a :b", &idx, true), ":b x  :b");
  ASSERT_EQ(idx.GetCount(), 2);
  EXPECT_EQ(idx.GetValues(0), 1);
  EXPECT_EQ(idx.GetValues(1), 1);
  p.AdjustToQueryText("only :b", nullptr, false);
  ASSERT_EQ(p.GetCount(), 1);
  EXPECT_EQ(p.GetParams(0)->GetName(), "b");
  EXPECT_EQ(p.GetParams(0)->GetParamOption(), mpoInput);
}

TEST(OdbcParams, RandomTextsNeverCrashAndTextsWithoutMarkersPassUnchanged) {
  std::mt19937 rng(4);
  const std::string alphabet = "ab:?'\"\\\r\n 1_Z";
  for (int i = 0; i < 3000; ++i) {
    std::string t;
    int n = rng() % 40;
    for (int k = 0; k < n; ++k) t += alphabet[rng() % alphabet.size()];
    TMParams p;
    TMacListOfIntegers idx;
    std::string out = p.AdjustToQueryText(t, &idx, false);
    EXPECT_EQ(idx.GetCount(), 0);
    if (t.find(':') == std::string::npos && t.find('\'') == std::string::npos &&
        t.find('"') == std::string::npos) {
      std::string expected = t;
      expected.erase(std::remove(expected.begin(), expected.end(), '?'), expected.end());
      EXPECT_EQ(out, expected);
    } else if (t.find(':') == std::string::npos) {
      EXPECT_LE(out.size(), t.size());
    }
  }
}

TEST(OdbcParams, NameRules) {
  TMParams p;
  TMParam* a = p.Add();
  TMParam* b = p.Add();
  a->SetName(" Kod ");
  EXPECT_EQ(a->GetName(), "Kod");
  EXPECT_EQ(a->GetTypeField(), "Kod");
  try {
    b->SetName("KOD");
    FAIL();
  } catch (const EMDataError& e) {
    EXPECT_EQ(e.Code, 383);
  }
  a->SetName("KOD");  // its own name in other case
  EXPECT_EQ(a->GetName(), "KOD");
  try {
    b->SetName("a-b");
    FAIL();
  } catch (const EMDataError& e) {
    EXPECT_EQ(e.Code, 381);
  }
  try {
    b->SetName("1a");
    FAIL();
  } catch (const EMDataError& e) {
    EXPECT_EQ(e.Code, 382);
  }
  b->SetTypeField("Ilość sztuk");
  EXPECT_EQ(b->GetName(), "Iloscsztuk");
  TMParam* c = p.Add();
  c->SetTypeField("2nd");
  EXPECT_EQ(c->GetName(), "_2nd");
  EXPECT_THROW(p.GetParams(3), EMDataError);
  EXPECT_THROW(p.ByName("none"), EMDataError);
}

TEST(OdbcParams, ValuesTravelAsTextAndTurnMacrosIntoInputs) {
  TMParam p;
  EXPECT_TRUE(p.GetIsNull());
  p.SetAsInteger(-12);
  EXPECT_EQ(p.GetParamOption(), mpoInput);
  EXPECT_EQ(p.GetAsString(), "-12");
  EXPECT_EQ(p.GetAsInteger(), -12);
  p.SetAsDateTime(45356.5);  // 2024-03-05 12:00
  EXPECT_EQ(p.GetAsString(), "20240305120000000");
  EXPECT_DOUBLE_EQ(p.GetAsDateTime(), 45356.5);
  p.SetAsString("abc");
  try {
    p.GetAsInteger();
    FAIL();
  } catch (const EMDataError& e) {
    EXPECT_EQ(e.Code, 351);
  }
  EXPECT_THROW(p.GetAsFloat(), EMDataError);
  p.SetNull();
  EXPECT_TRUE(p.GetIsNull());
  EXPECT_EQ(p.GetAsString(), "abc");
}

}  // namespace
}  // namespace vandrel
