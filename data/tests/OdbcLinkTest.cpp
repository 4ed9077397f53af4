// The link protocol and the ODBC link against the real driver manager: connecting by data
// source and by connection string, the shared environment, transactions, one-shot
// statements and the OnQuery notifications around them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "OdbcTestEnv.h"
#include "data/DataError.h"
#include "data/OdbcError.h"
#include "data/Params.h"
#include "data/Query.h"
#include "data/SqlUpdate.h"

namespace vandrel {
namespace {

using test::Contexts;
using test::QueryCall;

class OdbcLink : public test::OdbcTest {
 protected:
  int CountRows(TMOdbcLink& Link, const char* Table) {
    TKMQuery q;
    q.SetLink(&Link);
    q.GetSQL().SetText(std::string("select count(*) from ") + Table);
    q.Open();
    return q.GetFields()->GetFields(0)->GetAsInteger();
  }
};

// A test process writes its ODBC configuration and database into a directory of its own
// and removes it when it ends: run once more with a private temporary directory, it leaves
// that directory empty.
TEST(OdbcTestGround, TestProcessLeavesNoTemporaryDirectoryBehind) {
  namespace fs = std::filesystem;
  std::string tmp = (fs::temp_directory_path() / "vandrel-ground-XXXXXX").string();
  ASSERT_NE(mkdtemp(tmp.data()), nullptr);
  const std::string self = fs::read_symlink("/proc/self/exe").string();
  const std::string command = "TMPDIR=" + tmp + " " + self +
                              " --gtest_filter=OdbcLink.ConnectsOnceAndReportsEachChange >/dev/null 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0);
  EXPECT_TRUE(fs::is_empty(tmp));
  fs::remove_all(tmp);
}

TEST_F(OdbcLink, ConnectsOnceAndReportsEachChange) {
  TMOdbcLink link;
  link.SetDataSourceName(test::kSqliteDsn);
  int changes = 0, befores = 0;
  link.OnAfterConnectChange = [&](TObject*) { ++changes; };
  link.OnBeforeConnect = [&](TMCustomDBLink*, AnsiString& U, AnsiString& P) {
    EXPECT_EQ(U, "");
    EXPECT_EQ(P, "");
    ++befores;
  };
  link.Open();
  SQLHDBC first = link.GetHDbc();
  link.SetConnected(true);
  EXPECT_EQ(link.GetHDbc(), first);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(befores, 1);
  link.Close();
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(link.GetHDbc(), nullptr);
  EXPECT_EQ(TMOdbcLink::GetHEnv(), nullptr);
}

TEST_F(OdbcLink, FailedConnectLeavesNothingBehindAndCanBeRetried) {
  TMOdbcLink link;
  link.SetDataSourceName("no_such_source");
  int changes = 0;
  link.OnAfterConnectChange = [&](TObject*) { ++changes; };
  try {
    link.Open();
    FAIL();
  } catch (const EMOdbcError& e) {
    EXPECT_EQ(e.Code, 407);
    EXPECT_GE(e.GetTopicCount(), 2);  // the driver manager's diagnostics
  }
  EXPECT_FALSE(link.GetConnected());
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(link.GetHDbc(), nullptr);
  EXPECT_EQ(TMOdbcLink::GetHEnv(), nullptr);
  EXPECT_EQ(TMOdbcLink::GetEnvUsageCount(), 0);
  link.SetDataSourceName(test::kSqliteDsn);
  link.Open();
  EXPECT_TRUE(link.GetConnected());
  EXPECT_EQ(changes, 1);
}

TEST_F(OdbcLink, EnvironmentIsSharedAndFreedByTheLastHolder) {
  auto a = Connect();
  auto b = Connect();
  EXPECT_EQ(TMOdbcLink::GetEnvUsageCount(), 2);
  SQLHENV env = TMOdbcLink::GetHEnv();
  // A failing connect of a third link gives back its share.
  TMOdbcLink c;
  c.SetDataSourceName("missing");
  EXPECT_THROW(c.Open(), EMOdbcError);
  EXPECT_EQ(TMOdbcLink::GetEnvUsageCount(), 2);
  a->Close();
  EXPECT_EQ(TMOdbcLink::GetHEnv(), env);
  EXPECT_EQ(TMOdbcLink::GetEnvUsageCount(), 1);
  b->Close();
  EXPECT_EQ(TMOdbcLink::GetHEnv(), nullptr);
}

TEST_F(OdbcLink, VersionIsFixedByTheLinkThatCreatesTheEnvironment) {
  TMOdbcLink old;
  old.SetODBC3Compatibility(false);
  old.SetDataSourceName(test::kSqliteDsn);
  old.Open();
  auto modern = Connect();
  SQLINTEGER version = 0;
  SQLGetEnvAttr(TMOdbcLink::GetHEnv(), SQL_ATTR_ODBC_VERSION, &version, 0, nullptr);
  EXPECT_EQ(version, SQL_OV_ODBC2);
  old.SetODBC3Compatibility(true);  // ignored while connected
  EXPECT_FALSE(old.GetODBC3Compatibility());
}

TEST_F(OdbcLink, ConnectStringFromDataSourceUserAndPassword) {
  TMOdbcLink link;
  link.SetDataSourceName(std::string("  ") + test::kSqliteDsn + "  ");
  link.OnBeforeConnect = [](TMCustomDBLink*, AnsiString& U, AnsiString&) { U = "jan"; };
  link.Open();
  EXPECT_EQ(link.GetConnectString(), std::string("DSN=") + test::kSqliteDsn + ";UID=jan");
}

TEST_F(OdbcLink, HandlerSuppliesStringAndCompletionMode) {
  struct Case {
    int Option;
    const char* Expected;
  } cases[] = {{mcoNoPrompt, "0"}, {mcoCompleteRequired, "3"}, {mcoComplete, "1"}, {7, "0"}};
  for (const Case& c : cases) {
    TMOdbcLink link;
    link.SetDataSourceName("ignored");
    link.OnGetConnectString = [&](TMOdbcLink*, AnsiString& S, const AnsiString DSN, const AnsiString, const AnsiString,
                                  TMOdbcConnectOption& O, HWND& W) {
      EXPECT_EQ(S, "DSN=ignored");
      EXPECT_EQ(DSN, "ignored");
      EXPECT_EQ(O, mcoNoPrompt);
      EXPECT_EQ(W, nullptr);
      S = std::string("DSN=") + test::kFakeDsn + ";X=1";
      O = static_cast<TMOdbcConnectOption>(c.Option);
    };
    link.Open();
    EXPECT_EQ(link.GetConnectString(), std::string("Completion=") + c.Expected + ";DSN=" + test::kFakeDsn + ";X=1");
  }
}

TEST_F(OdbcLink, CancelledPromptAbortsSilentlyAfterCleanUp) {
  auto holder = Connect();
  TMOdbcLink link;
  link.OnGetConnectString = [](TMOdbcLink*, AnsiString& S, const AnsiString, const AnsiString, const AnsiString,
                               TMOdbcConnectOption& O, HWND&) {
    // (unixODBC refuses a prompt without a window itself, so the test driver cancels on
    // completion, as a driver does when its own dialog is cancelled.)
    S = std::string("DSN=") + test::kFakeDsn + ";Cancel=1";
    O = mcoComplete;
  };
  EXPECT_THROW(link.Open(), EAbort);
  EXPECT_FALSE(link.GetConnected());
  EXPECT_EQ(link.GetHDbc(), nullptr);
  EXPECT_EQ(TMOdbcLink::GetEnvUsageCount(), 1);
}

TEST_F(OdbcLink, PropertySettersKeepTheirRanges) {
  TMOdbcLink link;
  link.SetBulkParArrayLen(0);
  EXPECT_EQ(link.GetBulkParArrayLen(), 1);
  link.SetBulkParArrayLen(500);
  EXPECT_EQ(link.GetBulkParArrayLen(), 20);
  link.SetQueryTimeout(-5);
  EXPECT_EQ(link.GetQueryTimeout(), 0);
  link.SetQueryTimeout(100000);
  EXPECT_EQ(link.GetQueryTimeout(), 86400);
  link.SetConnectionTimeout(-1);
  EXPECT_EQ(link.GetConnectionTimeout(), 0);
  link.SetConnectionTimeout(60);
  EXPECT_EQ(link.GetConnectionTimeout(), 60);
}

TEST_F(OdbcLink, DataSourceNameIsFixedWhileConnected) {
  auto link = Connect();
  link->SetDataSourceName("other");
  EXPECT_EQ(link->GetDataSourceName(), test::kSqliteDsn);
  link->Close();
  link->Open();
  EXPECT_EQ(link->GetDataSourceName(), test::kSqliteDsn);
}

TEST_F(OdbcLink, ExecSqlRunsStatementsAndAcceptsNoData) {
  auto link = Connect();
  Exec(*link, {"create table t(a integer)", "insert into t values(1)"});
  EXPECT_NO_THROW(link->ExecSQL("update t set a = 2 where a = 99", nullptr));
  EXPECT_EQ(CountRows(*link, "t"), 1);
  try {
    link->ExecSQL("selec nonsense", nullptr);
    FAIL();
  } catch (const EMOdbcError& e) {
    EXPECT_EQ(e.Code, 412);
    EXPECT_EQ(e.RetCode, SQL_ERROR);
    ASSERT_EQ(e.GetTopicCount(), 2);
    EXPECT_NE(e.GetTopics(1)->GetDescription().find("syntax error"), std::string::npos);
  }
}

TEST_F(OdbcLink, ExecSqlExpandsMacrosAndRefusesRealParameters) {
  auto link = Connect();
  Exec(*link, {"create table t(a integer)"});
  TMParams params;
  params.AdjustToQueryText("insert into :tab values(1)", nullptr, false);
  params.ByName("tab")->SetAsString("t");
  params.ByName("tab")->SetParamOption(mpoMacro);
  link->ExecSQL("insert into :tab values(1)", &params);
  EXPECT_EQ(CountRows(*link, "t"), 1);
  params.AdjustToQueryText("insert into t values(:v)", nullptr, false);
  params.ByName("v")->SetAsInteger(5);
  try {
    link->ExecSQL("insert into t values(:v)", &params);
    FAIL();
  } catch (const EMOdbcError& e) {
    EXPECT_EQ(e.Code, 411);
    EXPECT_EQ(e.RetCode, 0);
  }
  EXPECT_EQ(CountRows(*link, "t"), 1);
}

TEST_F(OdbcLink, OnQuerySeesSuccessAndFailureAndMayRewriteTheText) {
  auto link = Connect();
  std::vector<QueryCall> calls;
  test::RecordQueries(*link, calls);
  link->OnQuery = [&](TMCustomDBLink*, AnsiString& Text, TMParams*, TMQueryContext C, const Exception* E) {
    if (C == mqcExecBefore && Text == "rewrite me") Text = "create table r(a integer)";
    calls.push_back({C, Text, E});
  };
  link->ExecSQL("rewrite me", nullptr);
  ASSERT_EQ(Contexts(calls), (std::vector<TMQueryContext>{mqcExecBefore, mqcExecAfter}));
  EXPECT_EQ(calls[1].Text, "create table r(a integer)");
  EXPECT_EQ(CountRows(*link, "r"), 0);

  calls.clear();
  const Exception* seen = nullptr;
  try {
    link->ExecSQL("create table r(a integer)", nullptr);
  } catch (const EMOdbcError& e) {
    seen = &e;
    ASSERT_EQ(Contexts(calls), (std::vector<TMQueryContext>{mqcExecBefore, mqcExecError}));
    EXPECT_EQ(calls[1].E, seen);  // the very object the caller receives
  }
  EXPECT_NE(seen, nullptr);
}

TEST_F(OdbcLink, DisconnectedLinkRefusesWithoutNotifying) {
  TMOdbcLink link;
  std::vector<QueryCall> calls;
  test::RecordQueries(link, calls);
  try {
    link.ExecSQL("select 1", nullptr);
    FAIL();
  } catch (const EMDataError& e) {
    EXPECT_EQ(e.Code, 391);
  }
  EXPECT_TRUE(calls.empty());
  EXPECT_NO_THROW(link.Rollback());
  try {
    link.StartTransaction();
    FAIL();
  } catch (const EMDataError& e) {
    EXPECT_EQ(e.Code, 391);
  }
}

TEST_F(OdbcLink, TransactionsCommitAndRollBack) {
  auto link = Connect();
  Exec(*link, {"create table t(a integer)"});
  EXPECT_NO_THROW(link->Rollback());  // outside a transaction: nothing
  try {
    link->Commit();
    FAIL();
  } catch (const EMDataError& e) {
    EXPECT_EQ(e.Code, 393);
  }
  link->StartTransaction();
  EXPECT_TRUE(link->GetInTransaction());
  try {
    link->StartTransaction();
    FAIL();
  } catch (const EMDataError& e) {
    EXPECT_EQ(e.Code, 392);
  }
  Exec(*link, {"insert into t values(1)"});
  link->Rollback();
  EXPECT_FALSE(link->GetInTransaction());
  EXPECT_EQ(CountRows(*link, "t"), 0);
  link->StartTransaction();
  Exec(*link, {"insert into t values(2)"});
  link->Commit();
  EXPECT_EQ(CountRows(*link, "t"), 1);
  // A disconnect inside a transaction rolls it back.
  link->StartTransaction();
  Exec(*link, {"insert into t values(3)"});
  link->Close();
  link->Open();
  EXPECT_EQ(CountRows(*link, "t"), 1);
}

TEST_F(OdbcLink, DisconnectClosesAttachedQueriesFirst) {
  auto link = Connect();
  TKMQuery q1, q2;
  q1.SetLink(link.get());
  q2.SetLink(link.get());
  EXPECT_EQ(link->GetQueryCount(), 2);
  EXPECT_EQ(link->GetQueries(1), &q2);
  EXPECT_EQ(link->GetQueries(2), nullptr);
  EXPECT_EQ(link->GetQueries(-1), nullptr);
  q1.GetSQL().SetText("select 1");
  q1.Open();
  bool closedBefore = false;
  link->OnAfterConnectChange = [&](TObject*) { closedBefore = !q1.GetActive(); };
  link->Close();
  EXPECT_TRUE(closedBefore);
  try {
    q1.Open();
    FAIL();
  } catch (const EMDataError& e) {
    EXPECT_EQ(e.Code, 396);
  }
}

TEST_F(OdbcLink, QueriesSurviveTheirLink) {
  TKMQuery q;
  {
    auto link = Connect();
    q.SetLink(link.get());
    q.GetSQL().SetText("select 1");
    q.Open();
  }
  EXPECT_EQ(q.GetLink(), nullptr);
  EXPECT_FALSE(q.GetActive());
}

TEST_F(OdbcLink, QueriesOpenWithoutTheConnectionAreClosedBeforeTheLinkLetsGo) {
  // An empty query needs no connection: it may be open on a link that never connected, or
  // on one that disconnected meanwhile; either link closes it before it detaches it.
  TKMQuery never, after;
  never.SetOpenEmpty(true);
  after.SetOpenEmpty(true);
  {
    TMOdbcLink unconnected;
    never.SetLink(&unconnected);
    never.Open();
    ASSERT_TRUE(never.GetActive());
    auto link = Connect();
    after.SetLink(link.get());
    link->Close();
    after.Open();
    link->Close();  // already disconnected: nothing happens, the query stays open
    EXPECT_TRUE(after.GetActive());
  }
  for (TKMQuery* q : {&never, &after}) {
    EXPECT_FALSE(q->GetActive());
    EXPECT_EQ(q->GetLink(), nullptr);
  }
}

// A link without parameterised updates, to test what the base protocol does alone.
class PlainLink : public TMCustomDBLink {
 public:
  ~PlainLink() override { BeforeDestruction(); }
  TMCustomResultSet* CreateResultSet(TKMQuery*) override { return nullptr; }
  bool GetInTransaction() const override { return false; }
  int Connects = 0;
  bool FailConnect = false;

 protected:
  void DoConnect(const AnsiString&, const AnsiString&) override {
    ++Connects;
    if (FailConnect) throw Exception("no");
  }
  void DoDisconnect() override {}
  void DoStartTransaction() override {}
  void DoCommit() override {}
  void DoRollback() override {}
  void DoExecSQL(const AnsiString&, TMParams*) override { throw std::runtime_error("not an Exception"); }
};

TEST(DbLinkModel, BaseLinkWithoutUpdatesRefusesThem) {
  PlainLink link;
  link.Open();
  TMUpdate u;
  u.SetLink(&link);
  try {
    u.BeginUpdate();
    FAIL();
  } catch (const EMDataError& e) {
    EXPECT_EQ(e.Code, 398);
  }
  EXPECT_EQ(u.GetExecutor(), nullptr);
}

TEST(DbLinkModel, FailedConnectIsRetriedFromScratch) {
  PlainLink link;
  link.FailConnect = true;
  EXPECT_THROW(link.Open(), Exception);
  EXPECT_FALSE(link.GetConnected());
  link.FailConnect = false;
  link.Open();
  EXPECT_EQ(link.Connects, 2);
}

TEST(DbLinkModel, ForeignExceptionsReachOnQueryWithoutAnObject) {
  PlainLink link;
  link.Open();
  std::vector<QueryCall> calls;
  test::RecordQueries(link, calls);
  EXPECT_THROW(link.ExecSQL("x", nullptr), std::runtime_error);
  ASSERT_EQ(Contexts(calls), (std::vector<TMQueryContext>{mqcExecBefore, mqcExecError}));
  EXPECT_EQ(calls[1].E, nullptr);
}

}  // namespace
}  // namespace vandrel
