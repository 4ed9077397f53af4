// The query component's cached-updates mode against the SQLite ODBC driver: rows moving
// into the cache, edits, inserts and deletions waiting there, and ApplyUpdates/UndoUpdates
// handing them to OnUpdateRecord (which writes them to the database) or taking them back.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "OdbcTestEnv.h"
#include "data/DataError.h"
#include "data/Query.h"

namespace vandrel {
namespace {

using Rows = std::vector<std::pair<int, std::string>>;

class OdbcQuery : public test::OdbcTest {
 protected:
  void SetUp() override {
    test::OdbcTest::SetUp();
    link = Connect();
    Exec(*link, {"create table t(k integer, s varchar(20))"});
  }
  void Fill(int Count) {
    link->StartTransaction();
    for (int i = 1; i <= Count; ++i)
      link->ExecSQL("insert into t values(" + std::to_string(i) + ", 's" + std::to_string(i) + "')", nullptr);
    link->Commit();
  }
  void OpenCached(TKMQuery& q, const std::string& Sql = "select k, s from t order by k") {
    q.SetLink(link.get());
    q.SetCachedUpdates(true);
    q.GetSQL().SetText(Sql);
    q.Open();
  }
  // The table as the database holds it, read through a second query.
  Rows Table() {
    TKMQuery q;
    q.SetLink(link.get());
    q.GetSQL().SetText("select k, s from t order by k");
    q.Open();
    Rows r;
    for (; !q.GetEof(); q.Next()) r.push_back({Int(q, "k"), Str(q, "s")});
    return r;
  }
  // The visible records of a query, from the first.
  static Rows Visible(TKMQuery& q) {
    Rows r;
    for (q.First(); !q.GetEof(); q.Next()) r.push_back({Int(q, "k"), Str(q, "s")});
    return r;
  }
  static int Int(TKMQuery& q, const char* Name) { return q.FieldByName(Name)->GetAsInteger(); }
  static std::string Str(TKMQuery& q, const char* Name) { return q.FieldByName(Name)->GetAsString(); }

  // One change (k 2), one insertion (k 10, before k 3) and one deletion (k 4), in that record
  // order, on rows 1..5.
  void ThreeModifications(TKMQuery& q) {
    Fill(5);
    OpenCached(q);
    q.SetPosition(1);
    q.FieldByName("s")->SetAsString("changed");
    q.SetPosition(2);
    q.Insert();
    q.FieldByName("k")->SetAsInteger(10);
    q.FieldByName("s")->SetAsString("new");
    q.SetPosition(4);
    ASSERT_EQ(Int(q, "k"), 4);
    q.Delete();
    ASSERT_EQ(q.UpdatesCount(), 3);
  }
  // A handler that writes each modification to the table and records the kinds it saw.
  void WriteThrough(TKMQuery& q, std::vector<TMUpdateKind>& Kinds) {
    q.OnUpdateRecord = [this, &q, &Kinds](TKMQuery* Sender, TMUpdateKind UK, TMUpdateResult& UR, bool& Finish) {
      EXPECT_EQ(Sender, &q);
      EXPECT_EQ(UR, murApply);
      EXPECT_FALSE(Finish);
      Kinds.push_back(UK);
      TMField* k = Sender->FieldByName("k");
      TMField* s = Sender->FieldByName("s");
      switch (UK) {
        case mukModify:
          link->ExecSQL("update t set s = '" + s->GetAsString() + "' where k = " +
                            std::to_string(k->GetPreviousInteger()),
                        nullptr);
          break;
        case mukInsert:
          EXPECT_TRUE(k->GetWasNull());
          link->ExecSQL("insert into t values(" + std::to_string(k->GetAsInteger()) + ", '" + s->GetAsString() + "')",
                        nullptr);
          break;
        case mukDelete:
          EXPECT_TRUE(k->GetIsNull());
          link->ExecSQL("delete from t where k = " + std::to_string(k->GetPreviousInteger()), nullptr);
          break;
      }
    };
  }
  std::unique_ptr<TMOdbcLink> link;
};

const Rows kOriginal = {{1, "s1"}, {2, "s2"}, {3, "s3"}, {4, "s4"}, {5, "s5"}};
const Rows kEdited = {{1, "s1"}, {2, "changed"}, {10, "new"}, {3, "s3"}, {5, "s5"}};

TEST_F(OdbcQuery, DefaultModeRefusesEveryEdit) {
  Fill(3);
  TKMQuery q;
  q.SetLink(link.get());
  q.GetSQL().SetText("select k, s from t order by k");
  q.Open();
  EXPECT_TRUE(q.GetReadOnly());
  EXPECT_TRUE(q.UseFieldDBTypes());
  for (auto edit : std::vector<std::function<void()>>{
           [&] { q.FieldByName("s")->SetAsString("x"); }, [&] { q.FieldByName("s")->SetNull(); },
           [&] { q.Insert(); }, [&] { q.Append(); }, [&] { q.Delete(); }}) {
    try {
      edit();
      ADD_FAILURE() << "an edit of a read-only query went through";
    } catch (const EMDataError& e) {
      EXPECT_EQ(e.Code, dterr::ReadOnly);
    }
  }
  q.ApplyUpdates(mumAll);  // nothing to do without cached updates
  EXPECT_EQ(Visible(q), (Rows{{1, "s1"}, {2, "s2"}, {3, "s3"}}));
  EXPECT_THROW(q.SetCachedUpdates(true), EMDataError);  // only while closed
}

TEST_F(OdbcQuery, RowsMoveIntoTheCacheAsReachedAndTheResultSetStaysForDelayedLoading) {
  Fill(45);
  TKMQuery q;
  OpenCached(q);
  EXPECT_FALSE(q.GetReadOnly());
  EXPECT_FALSE(q.UseFieldDBTypes());
  EXPECT_FALSE(q.GetCountKnown());
  EXPECT_EQ(Int(q, "k"), 1);
  q.SetPosition(30);
  EXPECT_EQ(Int(q, "k"), 31);
  q.Last();
  EXPECT_EQ(Int(q, "k"), 45);
  EXPECT_EQ(q.GetCount(), 45);
  // Values not read yet still come from the result set: it must stay.
  ASSERT_NE(q.GetResultSet(), nullptr);
  q.SetPosition(10);
  EXPECT_EQ(Str(q, "s"), "s11");
  // Turning delayed loading off copies every value and lets the result set go.
  q.SetDelayLoad(false);
  EXPECT_EQ(q.GetResultSet(), nullptr);
  EXPECT_EQ(q.GetPosition(), 10);
  Rows all = Visible(q);
  ASSERT_EQ(all.size(), 45u);
  EXPECT_EQ(all[44], (std::pair<int, std::string>{45, "s45"}));
}

TEST_F(OdbcQuery, ForwardOnlyRowsReachedCanBeRevisitedFromTheCache) {
  Fill(45);
  TKMQuery q;
  q.SetForwardOnly(true);
  OpenCached(q);
  q.SetPosition(30);
  EXPECT_EQ(Int(q, "k"), 31);
  q.SetPosition(5);  // the result set has dropped this rowset; the cache has the row
  EXPECT_EQ(Int(q, "k"), 6);
  EXPECT_FALSE(q.GetCountKnown());
  ASSERT_NE(q.GetResultSet(), nullptr);
  q.SetPosition(35);  // further rows still come from the result set
  EXPECT_EQ(Str(q, "s"), "s36");
}

TEST_F(OdbcQuery, ResultSetIsReleasedOnceEveryRowIsCachedWhenForwardOnlyOrNotDelayed) {
  Fill(45);
  // 45 rows end with a short rowset; 40 rows need one more fetch to find the end.
  for (int rows : {45, 40})
    for (bool forwardOnly : {true, false}) {
      SCOPED_TRACE(std::to_string(rows) + (forwardOnly ? " forward only" : " no delayed loading"));
      TKMQuery q;
      q.SetForwardOnly(forwardOnly);
      q.SetDelayLoad(forwardOnly);  // forward only releases it even with delayed loading
      OpenCached(q, "select k, s from t where k <= " + std::to_string(rows) + " order by k");
      int expected = 1;
      for (; !q.GetEof(); q.Next()) {
        if (expected < rows) {
          ASSERT_NE(q.GetResultSet(), nullptr) << expected;
        }
        EXPECT_EQ(Int(q, "k"), expected++);
      }
      EXPECT_EQ(expected, rows + 1);
      EXPECT_EQ(q.GetResultSet(), nullptr);
      // Going back reads the cache, even where a forward-only result set could not.
      q.SetPosition(2);
      EXPECT_EQ(Str(q, "s"), "s3");
      EXPECT_EQ(q.GetCount(), rows);
      EXPECT_TRUE(q.GetCountKnown());
    }
}

TEST_F(OdbcQuery, EditsKeepPreviousValuesAndCountOncePerRecord) {
  Fill(3);
  TKMQuery q;
  OpenCached(q);
  q.SetPosition(1);
  EXPECT_FALSE(q.IsRecordModified());
  q.FieldByName("s")->SetAsString("x");
  q.FieldByName("k")->SetAsInteger(20);
  EXPECT_TRUE(q.IsRecordModified());
  EXPECT_EQ(q.UpdatesCount(), 1);
  EXPECT_TRUE(q.UpdatesPending());
  EXPECT_EQ(Str(q, "s"), "x");
  EXPECT_EQ(q.FieldByName("s")->GetPreviousString(), "s2");
  EXPECT_EQ(q.FieldByName("k")->GetPreviousInteger(), 2);
  q.FieldByName("s")->SetNull();
  EXPECT_TRUE(q.FieldByName("s")->GetIsNull());
  EXPECT_FALSE(q.FieldByName("s")->GetWasNull());
  // Unchanged records answer their current values as previous ones.
  q.SetPosition(2);
  EXPECT_EQ(q.FieldByName("s")->GetPreviousString(), "s3");
  EXPECT_EQ(Visible(q), (Rows{{1, "s1"}, {20, ""}, {3, "s3"}}));
  EXPECT_EQ(Table(), (Rows{{1, "s1"}, {2, "s2"}, {3, "s3"}}));  // nothing written
}

TEST_F(OdbcQuery, DeletingAChangedRecordKeepsItsOriginalValuesForTheKey) {
  Fill(3);
  TKMQuery q;
  OpenCached(q);
  q.SetPosition(1);
  q.FieldByName("k")->SetAsInteger(20);
  q.Delete();
  EXPECT_EQ(q.UpdatesCount(), 1);  // the change became the deletion
  TMUpdateKind kind;
  ASSERT_TRUE(q.GotoFirstModification(kind));
  EXPECT_EQ(kind, mukDelete);
  EXPECT_EQ(q.FieldByName("k")->GetPreviousInteger(), 2);
  q.UndoUpdates(mumAll);
  EXPECT_EQ(Visible(q), (Rows{{1, "s1"}, {2, "s2"}, {3, "s3"}}));
}

TEST_F(OdbcQuery, AutoUndoMakesARecordUnchangedWhenItsValuesAreBack) {
  Fill(2);
  for (bool autoUndo : {false, true}) {
    TKMQuery q;
    q.SetAutoUndo(autoUndo);
    OpenCached(q);
    q.FieldByName("s")->SetAsString("x");
    q.FieldByName("s")->SetAsString("s1");
    EXPECT_EQ(q.UpdatesCount(), autoUndo ? 0 : 1);
    EXPECT_EQ(q.IsRecordModified(), !autoUndo);
    // Through null and back.
    q.Next();
    q.FieldByName("s")->SetNull();
    EXPECT_EQ(q.UpdatesCount(), autoUndo ? 1 : 2);
    q.FieldByName("s")->SetAsString("s2");
    EXPECT_EQ(q.UpdatesCount(), autoUndo ? 0 : 2);
  }
}

TEST_F(OdbcQuery, InsertsAndDeletionsShowInPositionsAndCounts) {
  Fill(5);
  TKMQuery q;
  OpenCached(q);
  q.SetPosition(1);
  q.Insert();
  EXPECT_TRUE(q.IsRecordInserted());
  EXPECT_EQ(q.GetPosition(), 1);
  EXPECT_TRUE(q.FieldByName("k")->GetIsNull());
  EXPECT_TRUE(q.FieldByName("k")->GetWasNull());
  q.FieldByName("k")->SetAsInteger(7);
  EXPECT_EQ(q.UpdatesCount(), 1);  // values of an inserted record are no extra change
  q.Append();
  q.FieldByName("k")->SetAsInteger(8);
  EXPECT_EQ(q.GetPosition(), 6);
  EXPECT_EQ(q.GetCount(), 7);
  // Deleting a fetched record hides it; the next visible one becomes current.
  q.SetPosition(3);
  EXPECT_EQ(Int(q, "k"), 3);
  q.Delete();
  EXPECT_EQ(Int(q, "k"), 4);
  EXPECT_EQ(q.GetPosition(), 3);
  EXPECT_FALSE(q.IsRecordDeleted());
  q.Delete();
  EXPECT_EQ(q.GetCount(), 5);
  EXPECT_EQ(q.UpdatesCount(), 4);
  // Deleting an inserted record cancels the insertion.
  q.Last();
  EXPECT_EQ(Int(q, "k"), 8);
  q.Delete();
  EXPECT_EQ(q.UpdatesCount(), 3);
  EXPECT_EQ(Int(q, "k"), 5);  // no next record: the previous one
  EXPECT_EQ(Visible(q), (Rows{{1, "s1"}, {7, ""}, {2, "s2"}, {5, "s5"}}));
  // A deleted record keeps its values as previous ones.
  TMUpdateKind kind;
  ASSERT_TRUE(q.GotoFirstModification(kind));
  EXPECT_EQ(kind, mukInsert);
  EXPECT_EQ(Int(q, "k"), 7);
  EXPECT_EQ(q.GetPosition(), 1);
  ASSERT_TRUE(q.GotoNextModification(kind, false));
  EXPECT_EQ(kind, mukDelete);
  EXPECT_TRUE(q.IsRecordDeleted());
  EXPECT_TRUE(q.FieldByName("k")->GetIsNull());
  EXPECT_EQ(q.FieldByName("k")->GetPreviousInteger(), 3);
  EXPECT_EQ(q.FieldByName("s")->GetPreviousString(), "s3");
  ASSERT_TRUE(q.GotoNextModification(kind, true));  // stays on a modification
  EXPECT_EQ(q.FieldByName("k")->GetPreviousInteger(), 3);
  ASSERT_TRUE(q.GotoNextModification(kind, false));
  EXPECT_EQ(q.FieldByName("k")->GetPreviousInteger(), 4);
  EXPECT_FALSE(q.GotoNextModification(kind, false));
  EXPECT_EQ(q.FieldByName("k")->GetPreviousInteger(), 4);  // an unsuccessful search stays
  // Positions stay right after visiting deleted records.
  q.UndoUpdates(mumInserted);
  EXPECT_EQ(Visible(q), (Rows{{1, "s1"}, {2, "s2"}, {5, "s5"}}));
  q.SetPosition(2);
  EXPECT_EQ(Int(q, "k"), 5);
}

TEST_F(OdbcQuery, OpenEmptyCachedQueryAcceptsInserts) {
  TKMQuery q;
  q.SetOpenEmpty(true);
  TMField* k = q.GetFields()->Add();
  k->SetName("k");
  k->SetType(mftInteger);
  q.SetCachedUpdates(true);
  q.Open();  // no link: nothing is executed
  EXPECT_TRUE(q.GetIsEmpty());
  q.Append();
  q.FieldByName("k")->SetAsInteger(3);
  EXPECT_EQ(q.GetCount(), 1);
  EXPECT_EQ(Int(q, "k"), 3);
  EXPECT_EQ(q.UpdatesCount(), 1);
}

// When apply or undo removes the current record, the query lands on the nearest record it
// still holds (the next one first), or at both ends when none is left.
TEST_F(OdbcQuery, ApplyAndUndoLeaveTheQueryOnARecordItHolds) {
  Fill(3);
  TKMQuery q;
  OpenCached(q);
  q.Last();
  q.Append();
  q.FieldByName("k")->SetAsInteger(4);
  ASSERT_EQ(q.GetPosition(), 3);
  q.UndoUpdates(mumAll);
  EXPECT_EQ(q.GetPosition(), 2);
  EXPECT_FALSE(q.GetEof());
  EXPECT_FALSE(q.GetBof());
  EXPECT_EQ(Int(q, "k"), 3);

  // An insertion followed by a pending deletion: the record after both takes the place.
  q.SetPosition(1);
  q.Insert();  // before k 2
  q.FieldByName("k")->SetAsInteger(9);
  q.SetPosition(2);
  q.Delete();  // k 2
  q.SetPosition(0);
  q.Insert();
  q.FieldByName("k")->SetAsInteger(8);
  ASSERT_EQ(Visible(q), (Rows{{8, ""}, {1, "s1"}, {9, ""}, {3, "s3"}}));
  q.SetPosition(2);
  ASSERT_EQ(Int(q, "k"), 9);
  q.OnUpdateRecord = [](TKMQuery*, TMUpdateKind, TMUpdateResult& UR, bool&) { UR = murUndo; };
  q.ApplyUpdates(mumInserted);
  EXPECT_EQ(q.UpdatesCount(), 1);
  EXPECT_EQ(Int(q, "k"), 3);
  EXPECT_EQ(q.GetPosition(), 1);
  q.Prior();
  EXPECT_EQ(Int(q, "k"), 1);

  // A deletion accepted while its record was current (reached by a modification search).
  TMUpdateKind kind;
  ASSERT_TRUE(q.GotoFirstModification(kind));
  ASSERT_EQ(kind, mukDelete);
  q.OnUpdateRecord = nullptr;
  q.ApplyUpdates(mumAll);
  EXPECT_EQ(Int(q, "k"), 3);
  EXPECT_EQ(q.GetPosition(), 1);
  EXPECT_EQ(q.GetCount(), 2);

  // Nothing left: both ends.
  TKMQuery e;
  e.SetOpenEmpty(true);
  TMField* k = e.GetFields()->Add();
  k->SetName("k");
  k->SetType(mftInteger);
  e.SetCachedUpdates(true);
  e.Open();
  e.Append();
  e.Append();
  e.UndoUpdates(mumAll);
  EXPECT_TRUE(e.GetIsEmpty());
  EXPECT_EQ(e.GetPosition(), -1);
  EXPECT_TRUE(e.GetEof());
  EXPECT_TRUE(e.GetBof());
}

// ApplyUpdates by method: the kinds handed to OnUpdateRecord, the table afterwards, and the
// modifications left pending.
struct ApplyCase {
  TMUpdateMethod Method;
  std::vector<TMUpdateKind> Kinds;
  Rows TableAfter;
  int Pending;
};

void PrintTo(const ApplyCase& c, std::ostream* os) { *os << "method " << int(c.Method); }

class OdbcApplyUpdates : public OdbcQuery, public ::testing::WithParamInterface<ApplyCase> {};

TEST_P(OdbcApplyUpdates, WritesTheMatchingModifications) {
  const ApplyCase& c = GetParam();
  TKMQuery q;
  ThreeModifications(q);
  q.SetPosition(3);  // k 3, after the insertion and before the deletion
  std::vector<TMUpdateKind> kinds;
  WriteThrough(q, kinds);
  q.ApplyUpdates(c.Method);
  EXPECT_EQ(kinds, c.Kinds);
  EXPECT_EQ(Table(), c.TableAfter);
  EXPECT_EQ(q.UpdatesCount(), c.Pending);
  EXPECT_EQ(Int(q, "k"), 3);  // the position is kept
  EXPECT_EQ(q.GetPosition(), 3);
  EXPECT_EQ(Visible(q), kEdited);
  // What is applied is no longer pending: a second run writes only what was left.
  kinds.clear();
  q.ApplyUpdates(mumAll);
  EXPECT_EQ(kinds.size(), static_cast<size_t>(c.Pending));
  EXPECT_EQ(Table(), (Rows{{1, "s1"}, {2, "changed"}, {3, "s3"}, {5, "s5"}, {10, "new"}}));
  EXPECT_FALSE(q.UpdatesPending());
}

INSTANTIATE_TEST_SUITE_P(
    Methods, OdbcApplyUpdates,
    ::testing::Values(
        ApplyCase{mumAll, {mukModify, mukInsert, mukDelete}, {{1, "s1"}, {2, "changed"}, {3, "s3"}, {5, "s5"}, {10, "new"}}, 0},
        ApplyCase{mumOrdered, {mukDelete, mukModify, mukInsert}, {{1, "s1"}, {2, "changed"}, {3, "s3"}, {5, "s5"}, {10, "new"}}, 0},
        ApplyCase{mumModified, {mukModify}, {{1, "s1"}, {2, "changed"}, {3, "s3"}, {4, "s4"}, {5, "s5"}}, 2},
        ApplyCase{mumInserted, {mukInsert}, {{1, "s1"}, {2, "s2"}, {3, "s3"}, {4, "s4"}, {5, "s5"}, {10, "new"}}, 2},
        ApplyCase{mumDeleted, {mukDelete}, {{1, "s1"}, {2, "s2"}, {3, "s3"}, {5, "s5"}}, 2},
        ApplyCase{static_cast<TMUpdateMethod>(9), {mukDelete}, {{1, "s1"}, {2, "s2"}, {3, "s3"}, {5, "s5"}}, 2}));

// UndoUpdates by method: the cache as it looks afterwards and what is left pending.
struct UndoCase {
  TMUpdateMethod Method;
  Rows Visible;
  int Pending;
};

void PrintTo(const UndoCase& c, std::ostream* os) { *os << "method " << int(c.Method); }

class OdbcUndoUpdates : public OdbcQuery, public ::testing::WithParamInterface<UndoCase> {};

TEST_P(OdbcUndoUpdates, TakesBackTheMatchingModifications) {
  const UndoCase& c = GetParam();
  TKMQuery q;
  ThreeModifications(q);
  bool called = false;
  q.OnUpdateRecord = [&](TKMQuery*, TMUpdateKind, TMUpdateResult&, bool&) { called = true; };
  q.Last();
  q.UndoUpdates(c.Method);
  EXPECT_FALSE(called);
  EXPECT_EQ(q.UpdatesCount(), c.Pending);
  EXPECT_EQ(Int(q, "k"), 5);
  EXPECT_EQ(Visible(q), c.Visible);
  EXPECT_EQ(Table(), kOriginal);
  // An undone change is plain again: its previous values are its current ones.
  q.SetPosition(1);
  EXPECT_EQ(q.IsRecordModified(), c.Visible[1].second != "s2");
  if (!q.IsRecordModified()) {
    EXPECT_EQ(q.FieldByName("s")->GetPreviousString(), "s2");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Methods, OdbcUndoUpdates,
    ::testing::Values(UndoCase{mumAll, kOriginal, 0}, UndoCase{mumOrdered, kOriginal, 0},
                      UndoCase{mumModified, {{1, "s1"}, {2, "s2"}, {10, "new"}, {3, "s3"}, {5, "s5"}}, 2},
                      UndoCase{mumInserted, {{1, "s1"}, {2, "changed"}, {3, "s3"}, {5, "s5"}}, 2},
                      UndoCase{mumDeleted, {{1, "s1"}, {2, "changed"}, {10, "new"}, {3, "s3"}, {4, "s4"}, {5, "s5"}}, 2}));

TEST_F(OdbcQuery, HandlerResultsUndoSkipAndFinish) {
  TKMQuery q;
  ThreeModifications(q);
  std::vector<TMUpdateKind> kinds;
  q.OnUpdateRecord = [&](TKMQuery*, TMUpdateKind UK, TMUpdateResult& UR, bool&) {
    kinds.push_back(UK);
    UR = UK == mukModify ? murUndo : UK == mukInsert ? murSkip : static_cast<TMUpdateResult>(7);
  };
  q.ApplyUpdates(mumAll);
  EXPECT_EQ(kinds, (std::vector<TMUpdateKind>{mukModify, mukInsert, mukDelete}));
  EXPECT_EQ(q.UpdatesCount(), 2);  // the change undone, the others pending
  EXPECT_EQ(Visible(q), (Rows{{1, "s1"}, {2, "s2"}, {10, "new"}, {3, "s3"}, {5, "s5"}}));

  kinds.clear();
  q.OnUpdateRecord = [&](TKMQuery*, TMUpdateKind UK, TMUpdateResult&, bool& Finish) {
    kinds.push_back(UK);
    Finish = true;
  };
  q.ApplyUpdates(mumOrdered);
  EXPECT_EQ(kinds, (std::vector<TMUpdateKind>{mukDelete}));  // ends after the first
  EXPECT_EQ(q.UpdatesCount(), 1);
}

TEST_F(OdbcQuery, WithoutHandlerEveryModificationIsAcceptedAndNothingWritten) {
  TKMQuery q;
  ThreeModifications(q);
  q.ApplyUpdates(mumAll);
  EXPECT_FALSE(q.UpdatesPending());
  EXPECT_EQ(Visible(q), kEdited);
  EXPECT_EQ(Table(), kOriginal);
  TMUpdateKind kind;
  EXPECT_FALSE(q.GotoFirstModification(kind));
  q.UndoUpdates(mumAll);  // accepted changes are not undone any more
  EXPECT_EQ(Visible(q), kEdited);
}

TEST_F(OdbcQuery, HandlerCannotMoveOrEditAndFailuresLeaveTheQueryUsable) {
  TKMQuery q;
  ThreeModifications(q);
  q.SetPosition(3);
  int code = 0;
  q.OnUpdateRecord = [&](TKMQuery* Sender, TMUpdateKind, TMUpdateResult&, bool&) {
    for (auto move : std::vector<std::function<void()>>{[&] { Sender->SetPosition(0); }, [&] { Sender->Next(); },
                                                        [&] { Sender->Append(); },
                                                        [&] { Sender->Delete(); }, [&] { Sender->ApplyUpdates(mumAll); },
                                                        [&] { Sender->UndoUpdates(mumAll); }}) {
      try {
        move();
        ADD_FAILURE() << "the query moved inside its own update";
      } catch (const EMDataError& e) {
        code = e.Code;
        EXPECT_EQ(code, dterr::Updating);
      }
    }
    // A failed write reaches the caller unchanged.
    Sender->GetLink()->ExecSQL("insert into missing values(1)", nullptr);
  };
  EXPECT_THROW(q.ApplyUpdates(mumAll), EMException);
  EXPECT_EQ(code, dterr::Updating);
  EXPECT_EQ(q.UpdatesCount(), 3);
  EXPECT_EQ(Int(q, "k"), 3);
  q.OnUpdateRecord = nullptr;
  q.SetPosition(0);  // no longer updating
  EXPECT_EQ(Int(q, "k"), 1);
  q.ApplyUpdates(mumAll);
  EXPECT_FALSE(q.UpdatesPending());
}

TEST_F(OdbcQuery, DeletionsBeforeTheCurrentRecordKeepItsPositionThroughApplyAndUndo) {
  TKMQuery q;
  ThreeModifications(q);
  q.SetPosition(4);
  ASSERT_EQ(Int(q, "k"), 5);  // the deleted k 4 lies before it
  std::vector<TMUpdateKind> kinds;
  WriteThrough(q, kinds);
  q.ApplyUpdates(mumDeleted);
  EXPECT_EQ(Int(q, "k"), 5);
  EXPECT_EQ(q.GetPosition(), 4);
  q.First();
  q.Delete();  // k 1
  q.SetPosition(3);
  ASSERT_EQ(Int(q, "k"), 5);
  q.UndoUpdates(mumAll);
  EXPECT_EQ(Int(q, "k"), 5);
  EXPECT_EQ(q.GetPosition(), 3);
  q.Prior();
  EXPECT_EQ(Int(q, "k"), 3);
  EXPECT_EQ(q.GetCount(), 4);
  EXPECT_EQ(Visible(q), (Rows{{1, "s1"}, {2, "s2"}, {3, "s3"}, {5, "s5"}}));
  EXPECT_EQ(Table(), Visible(q));
}

TEST_F(OdbcQuery, CountsOfAPartlyCopiedResultAddInsertsAndDropDeletions) {
  Fill(45);
  TKMQuery q;
  OpenCached(q);
  q.SetPosition(2);
  q.Insert();
  q.SetPosition(5);
  q.Delete();
  q.Delete();
  EXPECT_EQ(q.GetCount(), 44);
  q.Last();
  EXPECT_EQ(q.GetPosition(), 43);
  EXPECT_EQ(Int(q, "k"), 45);
  q.UndoUpdates(mumDeleted);
  EXPECT_EQ(q.GetCount(), 46);
  EXPECT_EQ(q.GetPosition(), 45);
}

TEST_F(OdbcQuery, EveryRecordDeletedThenUndoneOrApplied) {
  Fill(3);
  TKMQuery q;
  OpenCached(q);
  while (!q.GetIsEmpty()) q.Delete();
  EXPECT_EQ(q.GetPosition(), -1);
  EXPECT_EQ(q.GetCount(), 0);
  EXPECT_EQ(q.UpdatesCount(), 3);
  q.UndoUpdates(mumOrdered);
  EXPECT_EQ(q.GetPosition(), 0);
  EXPECT_EQ(Visible(q), (Rows{{1, "s1"}, {2, "s2"}, {3, "s3"}}));
  while (!q.GetIsEmpty()) q.Delete();
  std::vector<TMUpdateKind> kinds;
  WriteThrough(q, kinds);
  q.ApplyUpdates(mumAll);
  EXPECT_EQ(kinds.size(), 3u);
  EXPECT_TRUE(q.GetIsEmpty());
  EXPECT_FALSE(q.UpdatesPending());
  EXPECT_TRUE(Table().empty());
  // The emptied query still takes new records.
  q.Append();
  q.FieldByName("k")->SetAsInteger(9);
  q.ApplyUpdates(mumInserted);
  EXPECT_EQ(Table(), (Rows{{9, ""}}));
}

TEST_F(OdbcQuery, AnEmptyResultTakesInsertsThatApplyOrUndo) {
  TKMQuery q;
  q.ApplyUpdates(mumAll);  // closed: nothing to do
  q.UndoUpdates(mumAll);
  OpenCached(q);
  EXPECT_TRUE(q.GetIsEmpty());
  q.Insert();
  q.FieldByName("k")->SetAsInteger(1);
  q.UndoUpdates(mumAll);  // the only record goes
  EXPECT_TRUE(q.GetIsEmpty());
  EXPECT_EQ(q.GetPosition(), -1);
  q.Insert();
  q.FieldByName("k")->SetAsInteger(2);
  q.FieldByName("s")->SetAsString("two");
  std::vector<TMUpdateKind> kinds;
  WriteThrough(q, kinds);
  q.ApplyUpdates(mumOrdered);
  EXPECT_EQ(kinds, (std::vector<TMUpdateKind>{mukInsert}));
  EXPECT_EQ(Table(), (Rows{{2, "two"}}));
  EXPECT_EQ(q.GetPosition(), 0);
  EXPECT_FALSE(q.IsRecordInserted());
}

TEST_F(OdbcQuery, ClosingDropsPendingModifications) {
  TKMQuery q;
  ThreeModifications(q);
  q.Close();
  EXPECT_EQ(q.UpdatesCount(), 0);
  q.Open();
  EXPECT_EQ(Visible(q), kOriginal);
}

}  // namespace
}  // namespace vandrel
