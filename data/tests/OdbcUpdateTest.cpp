// The update component and its ODBC executor: parameter types from the type query,
// parameter arrays of BulkParArrayLen rows, values from parameters and from a dataset, and
// the OnQuery contexts of the update protocol.
#include <gtest/gtest.h>

#include <string>

#include "OdbcTestEnv.h"
#include "data/DataError.h"
#include "data/DataSet.h"
#include "data/OdbcError.h"
#include "data/OdbcSqlUpdate.h"
#include "data/Query.h"
#include "data/SqlUpdate.h"

namespace vandrel {
namespace {

using test::Contexts;

class OdbcUpdate : public test::OdbcTest {
 protected:
  void SetUp() override {
    test::OdbcTest::SetUp();
    link = Connect();
    Exec(*link, {"create table t(k integer, s varchar(5), d double, ts timestamp)"});
    u.SetLink(link.get());
    u.SetTypeTable("t");
  }
  int Count(const std::string& Where = "1=1") {
    TKMQuery q;
    q.SetLink(link.get());
    q.GetSQL().SetText("select count(*) from t where " + Where);
    q.Open();
    return q.GetFields()->GetFields(0)->GetAsInteger();
  }
  void Insert() {
    u.GetSQL().SetText("insert into t(k, s) values(:k, :s)");
    // Parameters start as macros; these are bound ones.
    for (const char* n : {"k", "s"}) {
      u.ParamByName(n)->SetTypeField(n);
      u.ParamByName(n)->SetParamOption(mpoInput);
    }
  }
  std::unique_ptr<TMOdbcLink> link;
  TMUpdate u;
};

TEST_F(OdbcUpdate, ArraysOfTwentyExecuteTwentyTwentyAndFive) {
  Insert();
  std::vector<test::QueryCall> calls;
  test::RecordQueries(*link, calls);
  u.BeginUpdate();
  std::vector<int> executed;
  for (int i = 0; i < 45; ++i) {
    u.ParamByName("k")->SetAsInteger(i);
    u.ParamByName("s")->SetAsString("abcdefgh");
    int n = u.ExecSQL();
    if (n) executed.push_back(n);
  }
  EXPECT_EQ(Count(), 40);
  u.Fetch();
  EXPECT_EQ(executed, (std::vector<int>{20, 20}));
  u.EndUpdate();
  EXPECT_EQ(Count(), 45);
  EXPECT_EQ(Count("s = 'abcde'"), 45);  // cut at the column size
  std::vector<TMQueryContext> fetches;
  for (const auto& c : calls)
    if (c.Context >= mqcFetchRowsBefore) fetches.push_back(c.Context);
  EXPECT_EQ(fetches.size(), 6u);
  EXPECT_EQ(Contexts(calls).front(), mqcCreateArraysBefore);
}

TEST_F(OdbcUpdate, ArraysOfOneExecuteAtOnceWithoutArrayAttributes) {
  link->SetBulkParArrayLen(1);
  Insert();
  u.BeginUpdate();
  u.ParamByName("k")->SetAsInteger(1);
  EXPECT_EQ(u.ExecSQL(), 1);
  EXPECT_EQ(Count(), 1);
  u.EndUpdate();
}

TEST_F(OdbcUpdate, ExecSqlOutsideABracketRunsOnceAndLeavesNothing) {
  Insert();
  u.ParamByName("k")->SetAsInteger(7);
  EXPECT_EQ(u.ExecSQL(), 1);
  EXPECT_EQ(u.GetExecutor(), nullptr);
  EXPECT_EQ(Count("k = 7 and s is null"), 1);  // a parameter never set sends NULL
  u.GetSQL().SetText("insert into nosuch(k) values(:k)");
  u.ParamByName("k")->SetTypeTable("t");
  u.ParamByName("k")->SetTypeField("k");
  u.ParamByName("k")->SetAsInteger(1);
  try {
    u.ExecSQL();
    FAIL();
  } catch (const EMOdbcError& e) {
    EXPECT_TRUE(e.Code == 463 || e.Code == 465) << e.Code;  // SQLite prepares when it executes
  }
  EXPECT_EQ(u.GetExecutor(), nullptr);
}

TEST_F(OdbcUpdate, BracketEndsWhenTheLinkDisconnectsAndTheLinkStaysFixedInside) {
  Insert();
  u.BeginUpdate();
  u.ParamByName("k")->SetAsInteger(1);
  EXPECT_EQ(u.ExecSQL(), 0);  // pending, prepared on this connection
  ASSERT_NE(u.GetExecutor(), nullptr);
  // Inside the bracket the link cannot be taken away: the library's error, and the bracket
  // goes on as before.
  try {
    u.SetLink(nullptr);
    FAIL() << "the link was changed inside a bracket";
  } catch (const EMDataError& e) {
    EXPECT_EQ(e.Code, 397);
  }
  EXPECT_EQ(u.GetLink(), link.get());
  // Disconnecting ends the bracket first: its statement goes with its connection, and the
  // pending row is dropped unexecuted.
  link->Close();
  EXPECT_EQ(u.GetExecutor(), nullptr);
  link->Open();
  TKMQuery other;
  other.SetLink(link.get());
  other.GetSQL().SetText("select k from t");
  other.Open();
  u.Fetch();
  u.EndUpdate();  // nothing left to free: the new connection's statements are untouched
  EXPECT_TRUE(other.GetEof());
  u.ParamByName("k")->SetAsInteger(2);
  EXPECT_EQ(u.ExecSQL(), 1);
  EXPECT_EQ(Count(), 1);
  EXPECT_EQ(Count("k = 2"), 1);
}

TEST_F(OdbcUpdate, UpdateSurvivesItsLinkDetached) {
  Insert();
  u.BeginUpdate();
  u.ParamByName("k")->SetAsInteger(1);
  u.ExecSQL();
  link.reset();
  EXPECT_EQ(u.GetExecutor(), nullptr);
  EXPECT_EQ(u.GetLink(), nullptr);
  try {
    u.ExecSQL();
    FAIL();
  } catch (const EMDataError& e) {
    EXPECT_EQ(e.Code, 397);
  }
}

TEST_F(OdbcUpdate, MissingTableOrFieldIsRefusedBeforeAnythingIsSent) {
  u.SetTypeTable("");
  u.GetSQL().SetText("insert into t(k) values(:k)");
  u.ParamByName("k")->SetParamOption(mpoInput);
  try {
    u.BeginUpdate();
    FAIL();
  } catch (const EMOdbcError& e) {
    EXPECT_EQ(e.Code, 451);
  }
  EXPECT_EQ(u.GetExecutor(), nullptr);
  TMParam* p = u.ParamByName("k");
  p->SetTypeTable("t");
  p->SetTypeField(" ");
  try {
    u.BeginUpdate();
    FAIL();
  } catch (const EMOdbcError& e) {
    EXPECT_EQ(e.Code, 452);
  }
}

TEST_F(OdbcUpdate, TwoMarkersOfOneParameterShareItsValue) {
  Exec(*link, {"create table p(a integer, b integer)"});
  u.SetTypeTable("p");
  u.GetSQL().SetText("insert into p(a, b) values(:a, :a)");
  u.ParamByName("a")->SetAsInteger(9);
  u.BeginUpdate();
  auto* ex = static_cast<TMOdbcSQLUpdate*>(u.GetExecutor());
  ASSERT_EQ(ex->GetMarkerCount(), 2);
  EXPECT_NE(ex->GetFieldData(0), ex->GetFieldData(1));
  EXPECT_EQ(ex->GetStatementText(), "insert into p(a, b) values(?, ?)\r\n");
  u.ExecSQL();
  u.Fetch();
  TKMQuery q;
  q.SetLink(link.get());
  q.GetSQL().SetText("select a, b from p");
  q.Open();
  EXPECT_EQ(q.FieldByName("b")->GetAsInteger(), 9);
}

TEST_F(OdbcUpdate, ValuesComeFromTheValueDataSetWhenGiven) {
  Insert();
  TMDataSet ds;
  ds.GetFields()->Add()->SetName("k");
  ds.GetFields()->Add()->SetName("s");
  ds.GetFields()->GetFields(0)->SetType(mftInteger);
  ds.Open();
  for (int i = 0; i < 3; ++i) {
    ds.Append();
    ds.FieldByName("k")->SetAsInteger(100 + i);
    if (i != 1) ds.FieldByName("s")->SetAsString("v" + std::to_string(i));
  }
  u.SetValueDataSet(&ds);
  u.BeginUpdate();
  ds.First();
  while (!ds.GetEof()) {
    u.ExecSQL();
    ds.Next();
  }
  u.Fetch();
  u.EndUpdate();
  EXPECT_EQ(Count("k >= 100"), 3);
  EXPECT_EQ(Count("k = 101 and s is null"), 1);
  EXPECT_EQ(Count("k = 102 and s = 'v2'"), 1);
}

TEST_F(OdbcUpdate, DateTimeAndFloatParametersRoundTrip) {
  u.GetSQL().SetText("insert into t(k, d, ts) values(:k, :d, :ts)");
  for (const char* n : {"k", "d", "ts"}) u.ParamByName(n)->SetTypeField(n);
  u.ParamByName("k")->SetAsInteger(1);
  u.ParamByName("d")->SetAsFloat(2.25);
  u.ParamByName("ts")->SetAsDateTime(45356.5);
  u.ExecSQL();
  TKMQuery q;
  q.SetLink(link.get());
  q.GetSQL().SetText("select d, ts from t");
  q.Open();
  EXPECT_DOUBLE_EQ(q.FieldByName("d")->GetAsFloat(), 2.25);
  EXPECT_DOUBLE_EQ(q.FieldByName("ts")->GetAsDateTime(), 45356.5);
}

class OdbcUpdateFake : public test::OdbcTest {
 protected:
  void SetUp() override {
    test::OdbcTest::SetUp();
    link = Connect(test::kFakeDsn);
    u.SetLink(link.get());
    u.SetTypeTable("tab");
  }
  int Code(const std::string& Sql, int Rows) {
    u.GetSQL().SetText(Sql);
    for (int i = 0; i < u.GetParamCount(); ++i) u.GetParams()->GetParams(i)->SetAsInteger(i);
    try {
      u.BeginUpdate();
      for (int r = 0; r < Rows; ++r) u.ExecSQL();
      u.Fetch();
      u.EndUpdate();
    } catch (const EMOdbcError& e) {
      u.EndUpdate();
      return e.Code;
    }
    return 0;
  }
  std::unique_ptr<TMOdbcLink> link;
  TMUpdate u;
};

TEST_F(OdbcUpdateFake, RowStatusesAndTypeQueryFailures) {
  EXPECT_EQ(Code("insert paramstatus 2 5 :int", 3), 466);
  EXPECT_EQ(Code("insert paramstatus 1 7 :int", 3), 467);
  EXPECT_EQ(Code("insert execfail :int", 1), 465);
  EXPECT_EQ(Code("insert :guid", 1), 413);
  // A marker whose column the type query did not describe is refused before preparing.
  u.SetTypeTable("fewcols");
  EXPECT_EQ(Code("insert :int, :vc", 1), 456);
  u.SetTypeTable("tab");
  EXPECT_EQ(Code("insert :int, :vc, :dbl", 2), 0);
}

TEST_F(OdbcUpdateFake, RowInErrorIsReportedWhateverTheExecutionAnswered) {
  // The execution answers with information or with SQL_NO_DATA; either way the row's
  // status is read. unixODBC before 2.3.12 passes on no driver record after SQL_NO_DATA,
  // so the record is looked for only after information.
  for (const char* text : {"insert paramstatus 2 5 :int", "insert paramstatus 2 5 nodata :int"}) {
    u.GetSQL().SetText(text);
    u.GetParams()->GetParams(0)->SetAsInteger(1);
    u.BeginUpdate();
    for (int r = 0; r < 3; ++r) u.ExecSQL();
    try {
      u.Fetch();
      ADD_FAILURE() << text << ": a row in error passed";
    } catch (const EMOdbcError& e) {
      const bool noData = std::string(text).find("nodata") != std::string::npos;
      EXPECT_EQ(e.Code, 466) << text;
      EXPECT_EQ(e.RetCode, noData ? SQL_NO_DATA : SQL_SUCCESS_WITH_INFO) << text;
      if (!noData) {
        EXPECT_EQ(e.GetSqlState(), "01000") << text;
      }
    }
    u.EndUpdate();
  }
}

TEST_F(OdbcUpdateFake, ProtocolContextsAndPendingRows) {
  u.GetSQL().SetText("insert :int");
  std::vector<test::QueryCall> calls;
  test::RecordQueries(*link, calls);
  u.BeginUpdate();
  TMCustomSQLUpdate* ex = u.GetExecutor();
  EXPECT_EQ(ex->GetMaxRowsPending(), 20);
  int last = 0;
  for (int i = 0; i < 20; ++i) last = u.ExecSQL();
  EXPECT_EQ(last, 20);
  for (int i = 0; i < 7; ++i) u.ExecSQL();
  EXPECT_EQ(ex->FetchRows(), 7);
  calls.clear();
  EXPECT_EQ(ex->FetchRows(), 0);
  EXPECT_TRUE(calls.empty());
  u.ExecSQL();
  u.EndUpdate();  // the pending row is dropped unexecuted
  EXPECT_TRUE(calls.empty());
}

}  // namespace
}  // namespace vandrel
