// The cursor protocol of the custom dataset, exercised through the in-memory dataset and a
// storage that fails on demand: opening and closing, end flags, editing with bookmarks,
// exchange, notifications, sorting and binary search.
#include <gtest/gtest.h>

#include <stdexcept>

#include "data/tests/DataTestSupport.h"

namespace vandrel {
namespace {

// An in-memory dataset whose storage can be made to fail.
class TFailingDataSet : public TMDataSet {
 public:
  bool FailActivate = false;
  bool FailDeactivate = false;
  int FailMovesTo = -1;
  ~TFailingDataSet() override { BeforeDestruction(); }

 protected:
  void DoActivate() override {
    TMDataSet::DoActivate();
    if (FailActivate) throw std::runtime_error("storage");
  }
  void DoDeactivate() override {
    TMDataSet::DoDeactivate();
    if (FailDeactivate) throw std::runtime_error("storage");
  }
  void DoSetPosition(int Position) override {
    TMDataSet::DoSetPosition(Position);
    if (Position == FailMovesTo) throw std::runtime_error("move");
  }
};

// A dataset that stores nothing: the base class's own answers.
class TBareDataSet : public TMCustomDataSet {
  VANDREL_CLASS(TBareDataSet, TMCustomDataSet)
 public:
  ~TBareDataSet() override { BeforeDestruction(); }
  bool IsCurrentFieldNull(int, int) override { return true; }
  AnsiString GetCurrentStringFieldValue(int, int) override { return ""; }
  int GetCurrentIntegerFieldValue(int, int) override { return 0; }
  double GetCurrentFloatFieldValue(int, int) override { return 0; }
  Extended GetCurrentExtendedFieldValue(int, int) override { return 0; }
  TDateTime GetCurrentDateTimeFieldValue(int, int) override { return 0; }
  void* GetExternalIndexData() override { return nullptr; }
  void* UseExternalIndex(void*) override { return nullptr; }

 protected:
  int DoGetCount() override { return 1; }
  void DoActivate() override {}
  void DoDeactivate() override {}
  void DoSetPosition(int) override {}
  int GetRealPosition() override { return 0; }
};

void Fill(TMDataSet& DS, std::initializer_list<int> Keys) { test::FillKeys(DS, Keys); }

void Mark(TMCustomDataSet& DS, std::initializer_list<int> Positions) {
  for (int P : Positions) {
    DS.SetPosition(P);
    DS.SetBookmark(true);
  }
}

std::vector<int> Bookmarks(TMCustomDataSet& DS) {
  std::vector<int> Result;
  for (int I = 0; I < DS.GetBookmarkCount(); ++I) Result.push_back(DS.GetBookmarkPositions(I));
  return Result;
}

std::vector<int> Keys(TMDataSet& DS) {
  std::vector<int> Result;
  for (DS.First(); !DS.GetEof(); DS.Next()) Result.push_back(DS.FieldByName("K")->GetAsInteger());
  return Result;
}

TEST(CustomDataSet, AClosedDataSetHasNoRecordsAndIgnoresMoves) {
  TMDataSet DS;
  EXPECT_EQ(DS.GetCount(), 0);
  EXPECT_EQ(DS.GetPosition(), -1);
  EXPECT_TRUE(DS.GetEof());
  EXPECT_TRUE(DS.GetBof());
  DS.First();
  DS.Next();
  DS.Prior();
  DS.Last();
  DS.MoveBy(2);
  DS.SetPosition(3);
  EXPECT_EQ(DS.GetPosition(), -1);
  EXPECT_FALSE(DS.GetBookmark());
  EXPECT_FALSE(DS.GotoFirstBookmark());
  EXPECT_EQ(test::CodeOf([&] { DS.Append(); }), 341);
  EXPECT_EQ(test::CodeOf([&] { DS.QuickFind(); }), 341);
}

TEST(CustomDataSet, AnEmptyDataSetOpensAtTheEnd) {
  TMDataSet DS;
  Fill(DS, {});
  EXPECT_TRUE(DS.GetEof());
  EXPECT_TRUE(DS.GetBof());
  EXPECT_TRUE(Keys(DS).empty());
  DS.Last();
  EXPECT_TRUE(DS.GetEof());
  EXPECT_EQ(test::CodeOf([&] { DS.Delete(); }), 343);
  EXPECT_EQ(test::CodeOf([&] { DS.SetBookmark(true); }), 343);
  EXPECT_EQ(DS.QuickFind(), -1);  // no event needed on an empty dataset
  DS.QuickSort();
}

TEST(CustomDataSet, EndFlagsOnThreeRecords) {
  TMDataSet DS;
  Fill(DS, {1, 2, 3});
  DS.First();
  EXPECT_FALSE(DS.GetEof());
  EXPECT_FALSE(DS.GetBof());
  DS.Next();
  DS.Next();
  EXPECT_FALSE(DS.GetEof());
  DS.Next();
  EXPECT_EQ(DS.GetPosition(), 2);
  EXPECT_TRUE(DS.GetEof());
  DS.Prior();
  EXPECT_EQ(DS.GetPosition(), 1);
  EXPECT_TRUE(DS.GetEof());  // Prior never clears Eof
  DS.MoveBy(-1);
  EXPECT_EQ(DS.GetPosition(), 1);  // nothing while Eof is set
  DS.First();
  DS.Prior();
  EXPECT_EQ(DS.GetPosition(), 0);
  EXPECT_TRUE(DS.GetBof());
  EXPECT_FALSE(DS.GetEof());
  DS.First();
  DS.MoveBy(5);
  EXPECT_EQ(DS.GetPosition(), 2);
  EXPECT_TRUE(DS.GetEof());
  EXPECT_FALSE(DS.GetBof());
  DS.Last();
  EXPECT_FALSE(DS.GetEof());
  DS.MoveBy(-9);
  EXPECT_EQ(DS.GetPosition(), 0);
  EXPECT_TRUE(DS.GetBof());
  EXPECT_FALSE(DS.GetEof());
}

TEST(CustomDataSet, PositionsAreClampedToTheRecords) {
  TMDataSet DS;
  Fill(DS, {1, 2, 3});
  DS.SetPosition(10);
  EXPECT_EQ(DS.GetPosition(), 2);
  DS.SetPosition(-5);
  EXPECT_EQ(DS.GetPosition(), 0);
  DS.First();
  DS.Insert();  // before the first record
  EXPECT_EQ(DS.GetPosition(), 0);
  EXPECT_TRUE(DS.FieldByName("K")->GetIsNull());
  DS.Next();
  EXPECT_EQ(DS.FieldByName("K")->GetAsInteger(), 1);
  DS.SetPosition(3);
  DS.Delete();  // the last record: the new last becomes current
  EXPECT_EQ(DS.GetPosition(), 2);
  EXPECT_EQ(DS.FieldByName("K")->GetAsInteger(), 2);
}

TEST(CustomDataSet, DeletingTheOnlyRecordSetsBothEndFlags) {
  TMDataSet DS;
  Fill(DS, {7});
  DS.First();
  DS.Delete();
  EXPECT_TRUE(DS.GetEof());
  EXPECT_TRUE(DS.GetBof());
  EXPECT_EQ(DS.GetPosition(), -1);
}

TEST(CustomDataSet, BookmarksShiftWithInsertAndDelete) {
  TMDataSet DS;
  Fill(DS, {0, 1, 2, 3, 4});
  Mark(DS, {1, 3, 4});
  DS.SetPosition(2);
  DS.Delete();
  EXPECT_EQ(Bookmarks(DS), (std::vector<int>{1, 2, 3}));
  DS.SetPosition(2);
  DS.Delete();  // a bookmarked record takes its bookmark with it
  EXPECT_EQ(Bookmarks(DS), (std::vector<int>{1, 2}));

  TMDataSet Other;
  Fill(Other, {0, 1, 2, 3});
  Mark(Other, {0, 1, 3});
  Other.SetPosition(1);
  Other.Insert();
  EXPECT_EQ(Bookmarks(Other), (std::vector<int>{0, 2, 4}));
  Other.SetPosition(2);
  EXPECT_EQ(Other.FieldByName("K")->GetAsInteger(), 1);  // the bookmark followed its record
  EXPECT_TRUE(Other.GetBookmark());
  Other.Append();  // appending moves nothing
  EXPECT_EQ(Bookmarks(Other), (std::vector<int>{0, 2, 4}));
}

TEST(CustomDataSet, GoingThroughBookmarks) {
  TMDataSet DS;
  Fill(DS, {0, 1, 2, 3});
  EXPECT_FALSE(DS.GotoFirstBookmark());
  Mark(DS, {3, 1});
  DS.SetBookmark(true);  // already set: no change
  test::TNotificationLog Log(&DS);
  EXPECT_TRUE(DS.GotoFirstBookmark());
  EXPECT_EQ(DS.GetPosition(), 1);
  EXPECT_TRUE(DS.GotoNextBookmark());
  EXPECT_EQ(DS.GetPosition(), 3);
  EXPECT_FALSE(DS.GotoNextBookmark());
  DS.SetBookmark(false);
  EXPECT_EQ(Log.Count(diaBookmarkChanged), 1);
  EXPECT_EQ(Log.Entries.back(), std::make_pair(diaBookmarkChanged, 3));
  EXPECT_FALSE(DS.IsPositionBookmarked(3));
  EXPECT_TRUE(DS.IsPositionBookmarked(1));

  // A bookmark beyond the records (left there by MoveBookmarks) is dropped when reached.
  DS.MoveBookmarks(0, true);
  DS.MoveBookmarks(0, true);
  EXPECT_EQ(Bookmarks(DS), (std::vector<int>{3}));
  DS.MoveBookmarks(0, true);
  EXPECT_FALSE(DS.GotoFirstBookmark());
  EXPECT_EQ(DS.GetBookmarkCount(), 0);

  DS.SetBookmark(true);
  DS.Close();
  DS.Open();
  EXPECT_EQ(DS.GetBookmarkCount(), 0);  // closing clears them
}

TEST(CustomDataSet, ExchangeSwapsRecordsWithTheirBookmarks) {
  TMDataSet DS;
  Fill(DS, {10, 20, 30});
  DS.SetPosition(0);
  DS.SetBookmark(true);
  test::TNotificationLog Log(&DS);
  DS.Exchange(99);  // beyond the last record: the last one
  EXPECT_EQ(DS.GetPosition(), 2);
  EXPECT_EQ(Keys(DS), (std::vector<int>{30, 20, 10}));
  EXPECT_EQ(Bookmarks(DS), (std::vector<int>{2}));
  EXPECT_EQ(Log.Entries.front().first, diaBeginUpdate);
  EXPECT_EQ(Log.Count(diaEndUpdate), 1);
  DS.SetPosition(1);
  DS.Exchange(-3);
  EXPECT_EQ(DS.GetPosition(), 0);
  EXPECT_EQ(Keys(DS), (std::vector<int>{20, 30, 10}));
  DS.SetPosition(1);
  DS.Exchange(1);  // onto itself: nothing
  EXPECT_EQ(Keys(DS), (std::vector<int>{20, 30, 10}));
}

TEST(CustomDataSet, ClearDeletesEveryRecordInsideOneUpdate) {
  TMDataSet DS;
  Fill(DS, {1, 2, 3});
  DS.SetPosition(1);
  DS.SetBookmark(true);
  test::TNotificationLog Log(&DS);
  DS.Clear();
  EXPECT_EQ(DS.GetCount(), 0);
  EXPECT_TRUE(DS.GetEof() && DS.GetBof());
  EXPECT_EQ(DS.GetBookmarkCount(), 0);
  EXPECT_EQ(Log.Count(diaRecordDeleted), 3);
  EXPECT_EQ(Log.Entries.front().first, diaBeginUpdate);
  EXPECT_EQ(Log.Entries.back().first, diaEndUpdate);
  Log.Entries.clear();
  DS.Clear();  // empty: nothing, not even the update frame
  EXPECT_TRUE(Log.Entries.empty());
}

TEST(CustomDataSet, NotificationsOfOpeningMovingAndEditing) {
  TMDataSet DS;
  DS.GetFields()->Add()->SetName("K");
  test::TNotificationLog Log(&DS);
  DS.Open();
  DS.Append();
  DS.Append();
  DS.First();
  DS.First();  // no move: no notification
  DS.Delete();
  DS.Close();
  using E = std::pair<TMDataInterfaceAction, int>;
  const std::vector<E> Expected = {{diaOpened, 0},        {diaRecordAdded, 0}, {diaRecordAdded, 0},
                                   {diaPositionChanged, 0}, {diaRecordDeleted, 0}, {diaClosed, 0}};
  EXPECT_EQ(Log.Entries, Expected);

  // Interfaces hear what happens in attachment order; a detached one hears nothing more.
  std::vector<int> Order;
  TMDataInterface A(nullptr, nullptr), B(nullptr, nullptr);
  A.OnNotify = [&](TMDataInterface*, TMDataInterfaceAction Act, int) { Order.push_back(10 + Act); };
  B.OnNotify = [&](TMDataInterface*, TMDataInterfaceAction Act, int) { Order.push_back(20 + Act); };
  A.SetDataSet(&DS);
  B.SetDataSet(&DS);
  DS.BeginUpdate();
  A.SetDataSet(nullptr);
  DS.EndUpdate();
  EXPECT_EQ(Order, (std::vector<int>{10 + diaAttached, 20 + diaAttached, 10 + diaBeginUpdate,
                                     20 + diaBeginUpdate, 10 + diaDetached, 20 + diaEndUpdate}));
}

TEST(CustomDataSet, DestroyingADataSetDetachesItsInterfaces) {
  TMDataInterface I(nullptr, nullptr);
  std::vector<TMDataInterfaceAction> Seen;
  I.OnNotify = [&](TMDataInterface*, TMDataInterfaceAction A, int) { Seen.push_back(A); };
  {
    TMDataSet DS;
    Fill(DS, {1});
    I.SetDataSet(&DS);
  }
  EXPECT_EQ(I.GetDataSet(), nullptr);
  EXPECT_EQ(Seen, (std::vector<TMDataInterfaceAction>{diaAttached, diaDetached}));
}

TEST(CustomDataSet, ScrollUpdatesRestoreThePosition) {
  TMDataSet DS;
  Fill(DS, {1, 2, 3, 4});
  DS.SetPosition(1);
  DS.BeginScrollUpdate();
  DS.SetPosition(3);
  DS.BeginScrollUpdate();
  EXPECT_EQ(DS.GetScrollUpdateCount(), 2);
  DS.SetPosition(0);
  DS.EndScrollUpdate();
  EXPECT_EQ(DS.GetPosition(), 3);
  DS.EndScrollUpdate();
  EXPECT_EQ(DS.GetPosition(), 1);
  DS.EndScrollUpdate();  // nothing saved: stays
  EXPECT_EQ(DS.GetPosition(), 1);
  EXPECT_EQ(DS.GetScrollUpdateCount(), 0);
}

TEST(CustomDataSet, AFailedMoveRereadsThePositionAndPropagates) {
  TFailingDataSet DS;
  Fill(DS, {1, 2, 3});
  DS.SetPosition(0);
  DS.FailMovesTo = 2;
  test::TNotificationLog Log(&DS);
  EXPECT_THROW(DS.SetPosition(2), std::runtime_error);
  EXPECT_EQ(DS.GetPosition(), 2);  // the storage moved before failing
  EXPECT_EQ(Log.Count(diaPositionChanged), 1);

  DS.SetPosition(0);
  DS.BeginScrollUpdate();
  EXPECT_THROW(DS.Exchange(2), std::runtime_error);
  EXPECT_EQ(Log.Count(diaBeginUpdate), Log.Count(diaEndUpdate));
  DS.FailMovesTo = 0;
  Log.Entries.clear();
  EXPECT_THROW(DS.EndScrollUpdate(), std::runtime_error);
  EXPECT_EQ(Log.Count(diaScrollUpdate), 1);

  // A step to a neighbour moves through the descendant's own move as well.
  DS.FailMovesTo = -1;
  DS.First();
  DS.Next();
  DS.FailMovesTo = 2;
  Log.Entries.clear();
  EXPECT_THROW(DS.Next(), std::runtime_error);
  EXPECT_EQ(DS.GetPosition(), 2);
  EXPECT_EQ(Log.Count(diaPositionChanged), 1);
  DS.FailMovesTo = 1;
  EXPECT_THROW(DS.Prior(), std::runtime_error);
  EXPECT_EQ(DS.GetPosition(), 1);
}

TEST(CustomDataSet, AStorageThatFailsToOpenLeavesTheDataSetClosed) {
  TFailingDataSet DS;
  test::AddFiveFields(DS);
  DS.FailActivate = true;
  EXPECT_THROW(DS.Open(), std::runtime_error);
  EXPECT_FALSE(DS.GetActive());
  EXPECT_TRUE(DS.GetEof() && DS.GetBof());
  for (int I = 0; I < DS.GetFieldCount(); ++I) EXPECT_EQ(DS.GetFields()->GetFields(I)->DSIndex, -1);

  DS.FailActivate = false;
  DS.Open();
  DS.Append();
  DS.FailDeactivate = true;
  EXPECT_THROW(DS.Close(), std::runtime_error);
  EXPECT_FALSE(DS.GetActive());
  EXPECT_EQ(DS.FieldByName("S")->DSIndex, -1);
  DS.FailDeactivate = false;
  DS.Open();
  EXPECT_EQ(DS.GetCount(), 0);  // the records went with the failed close
}

TEST(CustomDataSet, TheBaseClassKeepsNoUserData) {
  TBareDataSet DS;
  DS.Open();
  EXPECT_EQ(DS.GetData(), nullptr);
  try {
    DS.SetData(&DS);
    FAIL();
  } catch (const EMDataError& E) {
    EXPECT_EQ(E.Code, 346);
    EXPECT_EQ(E.Text, "TBareDataSet");
  }
}

TEST(CustomDataSet, InterfaceFieldAccessOnAReadOnlyDataSet) {
  TMDataSet DS;
  Fill(DS, {5});
  TMDataInterface I(nullptr, nullptr);
  EXPECT_EQ(I.GetEditText("K"), "");  // not attached
  I.SetDataSet(&DS);
  EXPECT_EQ(I.GetEditText("k"), "5");
  EXPECT_EQ(I.GetDisplayText("none"), "");
  DS.SetReadOnly(true);
  I.SetEditText("K", "6");
  I.SetFromDropList("K", "7", 0);
  I.SetFromDateTimeEditor("K", 8.0);
  EXPECT_EQ(DS.FieldByName("K")->GetAsInteger(), 5);
  DS.SetReadOnly(false);
  I.SetEditText("K", "6");
  EXPECT_EQ(DS.FieldByName("K")->GetAsInteger(), 6);
  DS.Clear();
  EXPECT_EQ(I.GetEditText("K"), "");  // empty
}

// Sorting and searching by the key of field K.
struct TKeyOrder {
  explicit TKeyOrder(TMCustomDataSet& DS) {
    DS.OnCacheCurrentValue = [this](TMCustomDataSet* S) {
      Key = S->FieldByName("K")->GetAsInteger();
    };
    DS.OnCompareCurrentValue = [this](TMCustomDataSet* S, TMDSCompareResult& R) {
      const int K = S->FieldByName("K")->GetAsInteger();
      Compared.push_back(S->GetPosition());
      if (K < Key) R = dscLess;
      if (K > Key) R = dscGreater;
    };
  }
  int Key = 0;
  std::vector<int> Compared;
};

TEST(CustomDataSet, QuickFindComparesTheDocumentedRecords) {
  TMDataSet DS;
  Fill(DS, {10, 20, 30, 40});
  TKeyOrder Order(DS);
  DS.SetPosition(3);
  Order.Key = 25;
  EXPECT_EQ(DS.QuickFind(), -1);
  EXPECT_EQ(Order.Compared, (std::vector<int>{2, 1}));
  EXPECT_EQ(DS.GetPosition(), 1);
  EXPECT_EQ(DS.GetScrollUpdateCount(), 0);
  Order.Compared.clear();
  Order.Key = 30;
  EXPECT_EQ(DS.QuickFind(), 0);
  EXPECT_EQ(Order.Compared, (std::vector<int>{2}));
  EXPECT_EQ(DS.GetPosition(), 2);
  Order.Key = 5;
  EXPECT_EQ(DS.QuickFind(), 1);
  EXPECT_EQ(DS.GetPosition(), 0);
  Order.Key = 45;
  EXPECT_EQ(DS.QuickFind(), -1);
  EXPECT_EQ(DS.GetPosition(), 3);

  DS.OnCompareCurrentValue = nullptr;
  EXPECT_EQ(test::CodeOf([&] { DS.QuickFind(); }), 348);
}

TEST(CustomDataSet, QuickSortNeedsBothEventsAndClearsBookmarks) {
  TMDataSet DS;
  Fill(DS, {3, 1, 2});
  EXPECT_EQ(test::CodeOf([&] { DS.QuickSort(); }), 347);
  TKeyOrder Order(DS);
  DS.OnCacheCurrentValue = nullptr;
  EXPECT_EQ(test::CodeOf([&] { DS.QuickSort(); }), 347);
  TKeyOrder Both(DS);
  DS.SetBookmark(true);
  std::vector<int> Progress;
  DS.OnProgress = [&](TMCustomDataSet*, int P) { Progress.push_back(P); };
  DS.QuickSort();
  EXPECT_EQ(Keys(DS), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(DS.GetBookmarkCount(), 0);
  ASSERT_FALSE(Progress.empty());
  EXPECT_EQ(Progress.back(), 2 * 100 / 3);
  DS.SetReadOnly(true);
  EXPECT_EQ(test::CodeOf([&] { DS.QuickSort(); }), 344);
  EXPECT_EQ(test::CodeOf([&] { DS.Append(); }), 344);
  EXPECT_EQ(DS.GetCount(), 3);
}

TEST(CustomDataSet, CopyingValuesByNameAndByIndex) {
  TMDataSet Source, Target;
  test::AddFiveFields(Source);
  Target.GetFields()->Add()->SetName("d");
  Target.GetFields()->Add()->SetName("Extra");
  Target.FieldByName("Extra")->SetType(mftInteger);
  test::OpenWithOneRecord(Source);
  test::OpenWithOneRecord(Target);
  Source.FieldByName("I")->SetAsInteger(4);
  Source.FieldByName("D")->SetAsDateTime(45356.5);
  Target.FieldByName("Extra")->SetAsInteger(9);
  Target.CopyFieldValuesByName(&Source);
  EXPECT_EQ(Target.FieldByName("D")->GetAsString(), "20240305120000000");
  EXPECT_EQ(Target.FieldByName("Extra")->GetAsInteger(), 9);  // no namesake

  Target.CopyFieldValuesByIndex(&Source);  // S -> d, I -> Extra
  EXPECT_TRUE(Target.FieldByName("d")->GetIsNull());
  EXPECT_EQ(Target.FieldByName("Extra")->GetAsInteger(), 4);
}

}  // namespace
}  // namespace vandrel
