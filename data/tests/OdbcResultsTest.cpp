// The results after the first: one-shot statements, queries and update arrays read every
// result of what they executed, so that an error a driver reports only on the way to a
// later result fails the call with its records (the scriptable driver plays batches).
#include <gtest/gtest.h>

#include "OdbcTestEnv.h"
#include "data/OdbcError.h"
#include "data/OdbcResultSet.h"
#include "data/Query.h"
#include "data/SqlUpdate.h"

namespace vandrel {
namespace {

class OdbcResults : public test::OdbcTest {
 protected:
  void SetUp() override {
    test::OdbcTest::SetUp();
    link = Connect(test::kFakeDsn);
    q.SetLink(link.get());
  }
  // The error a call raises, or an error of code 0 when it succeeds.
  template <class Fn>
  EMOdbcError ErrorOf(Fn&& Call) {
    try {
      Call();
    } catch (const EMOdbcError& e) {
      return e;
    }
    return EMOdbcError(0, 0, nullptr);
  }
  EMOdbcError Exec(const std::string& Sql) {
    return ErrorOf([&] { link->ExecSQL(Sql, nullptr); });
  }
  EMOdbcError Open(const std::string& Sql) {
    q.Close();
    q.GetSQL().SetText(Sql);
    return ErrorOf([&] { q.Open(); });
  }
  std::unique_ptr<TMOdbcLink> link;
  TKMQuery q;
};

TEST_F(OdbcResults, ExecSqlFailsOnTheFirstErrorOfAnyResult) {
  EXPECT_EQ(Exec("ok; info 2; ok").Code, 0);
  EMOdbcError late = Exec("ok; diag 2 10");
  EXPECT_EQ(late.Code, 412);
  EXPECT_EQ(late.RetCode, SQL_ERROR);
  EXPECT_EQ(late.GetTopicCount(), 3);  // both records of the failed result
  // The first error is the one raised, whatever follows it.
  EMOdbcError first = Exec("diag 1 10; ok; diag 3 10");
  EXPECT_EQ(first.Code, 412);
  EXPECT_EQ(first.GetTopicCount(), 2);
  EXPECT_EQ(Exec("info 1; diag 3 10; diag 1 10").GetTopicCount(), 4);
}

TEST_F(OdbcResults, QueryOpensOnTheFirstResultWithColumns) {
  q.SetCollectDriverInfo(true);
  ASSERT_EQ(Open("ok; info 2; rows 3").Code, 0);
  EXPECT_EQ(q.GetFields()->GetCount(), 1);
  EXPECT_EQ(q.GetCount(), 3);
  EXPECT_EQ(q.GetDriverInfo().size(), 2u);  // the messages on the way are kept
  // Without any result that has columns the query is empty and complete.
  ASSERT_EQ(Open("ok; info 1").Code, 0);
  EXPECT_TRUE(q.GetEof());
  EXPECT_EQ(q.GetDriverInfo().size(), 1u);
  // An error on the way fails the open.
  EMOdbcError before = Open("ok; diag 2 10; rows 3");
  EXPECT_EQ(before.Code, 416);
  EXPECT_EQ(before.GetTopicCount(), 3);
  EXPECT_FALSE(q.GetActive());
}

TEST_F(OdbcResults, ErrorAfterTheRowsFailsWhereTheLastRowIsReached) {
  // Every row comes with the first fetch: the open reads on and fails.
  EMOdbcError early = Open("rows 3; diag 1 10");
  EXPECT_EQ(early.Code, 416);
  EXPECT_EQ(early.GetTopicCount(), 2);
  EXPECT_FALSE(q.GetActive());
  // Rows beyond the first rowset: the move that reaches the end fails, in the positioning
  // contexts, and the rows read stay readable.
  ASSERT_EQ(Open("rows 30; diag 1 10").Code, 0);
  std::vector<test::QueryCall> calls;
  test::RecordQueries(*link, calls);
  EMOdbcError late = ErrorOf([&] { q.Last(); });
  EXPECT_EQ(late.Code, 416);
  EXPECT_EQ(test::Contexts(calls), (std::vector<TMQueryContext>{mqcPositionBefore, mqcPositionError}));
  auto* rs = static_cast<TMOdbcResultSet*>(q.GetResultSet());
  ASSERT_NE(rs, nullptr);
  EXPECT_EQ(rs->GetStatement(), nullptr);  // closed all the same
  q.SetPosition(25);
  EXPECT_EQ(q.FieldByName("n")->GetAsInteger(), 25);
  // A query closed before its end reads nothing more.
  ASSERT_EQ(Open("rows 30; diag 1 10").Code, 0);
  EXPECT_NO_THROW(q.Close());
}

TEST_F(OdbcResults, UpdateArrayFailsOnALateError) {
  TMUpdate u;
  u.SetLink(link.get());
  u.SetTypeTable("tab");
  u.GetSQL().SetText("insert lateerror :int");
  u.ParamByName("int")->SetParamOption(mpoInput);
  u.ParamByName("int")->SetTypeField("int");
  u.ParamByName("int")->SetAsInteger(1);
  EMOdbcError e = ErrorOf([&] { u.ExecSQL(); });
  EXPECT_EQ(e.Code, 465);
  EXPECT_EQ(e.GetTopicCount(), 2);
  EXPECT_EQ(u.GetExecutor(), nullptr);
}

}  // namespace
}  // namespace vandrel
