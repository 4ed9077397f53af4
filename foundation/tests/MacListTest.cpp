#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <map>
#include <random>
#include <set>
#include <vector>

#include "foundation/Exception.h"
#include "foundation/MacIndex.h"
#include "foundation/MacList.h"
#include "foundation/MacSet.h"

namespace vandrel {
namespace {

void* Ptr(std::intptr_t V) { return reinterpret_cast<void*>(V); }

TEST(MacListTest, ListKeepsPointersByIndexAndForwardsDeletions) {
  std::vector<void*> Deleted;
  {
    TMacList L(3);
    L.OnDeleteItem = [&](TMacList* Sender, void* Data) {
      EXPECT_EQ(Sender, &L);
      Deleted.push_back(Data);
    };
    EXPECT_EQ(L.Add(Ptr(10)), 0);
    EXPECT_EQ(L.Add(Ptr(30)), 1);
    EXPECT_EQ(L.Insert(1, Ptr(20)), 1);
    EXPECT_EQ(L.Insert(0, Ptr(5)), 0);
    EXPECT_EQ(L.Insert(99, Ptr(40)), 4);  // past the end: appended
    EXPECT_EQ(L.Insert(-3, Ptr(1)), 0);   // before the start: first
    ASSERT_EQ(L.GetCount(), 6);
    std::vector<void*> Items;
    for (int I = 0; I < L.GetCount(); ++I) Items.push_back(L.GetItems(I));
    EXPECT_EQ(Items, (std::vector<void*>{Ptr(1), Ptr(5), Ptr(10), Ptr(20), Ptr(30), Ptr(40)}));

    L.Exchange(0, 5);
    EXPECT_EQ(L.GetItems(0), Ptr(40));
    EXPECT_EQ(L.GetItems(5), Ptr(1));
    L.Delete(2);
    EXPECT_EQ(Deleted, std::vector<void*>{Ptr(10)});
    EXPECT_EQ(L.GetItems(2), Ptr(20));
  }
  // The destructor cleared the rest, last to first.
  EXPECT_EQ(Deleted, (std::vector<void*>{Ptr(10), Ptr(1), Ptr(30), Ptr(20), Ptr(5), Ptr(40)}));
}

TEST(MacListTest, IndexesOutsideTheElementsRaiseAndChangeNothing) {
  TMacList L;
  EXPECT_THROW(L.GetItems(0), Exception);
  EXPECT_THROW(L.Delete(-1), Exception);
  L.Add(Ptr(1));
  L.Add(Ptr(2));
  try {
    L.GetItems(2);
    FAIL();
  } catch (const Exception& E) {
    EXPECT_EQ(E.Message, "[TMacList] Indeks 2 poza zakresem (liczba elementów: 2)");
  }
  EXPECT_THROW(L.Exchange(0, 2), Exception);
  EXPECT_THROW(L.Exchange(-1, 0), Exception);
  EXPECT_EQ(L.GetItems(0), Ptr(1));
  EXPECT_EQ(L.GetItems(1), Ptr(2));

  TMacListOfIntegers Ints;
  EXPECT_THROW(Ints.SetValues(0, 1), Exception);
  EXPECT_THROW(Ints.GetValues(-1), Exception);
  TMacSetOfIntegers Set;
  EXPECT_THROW(Set.Delete(0), Exception);
  TMacPointerIndex Index;
  EXPECT_THROW(Index.GetPointers(0), Exception);
}

TEST(MacListTest, ListOfIntegersCopiesAndAppendsLists) {
  TMacListOfIntegers A(2), B(4);
  for (int V : {5, -7, INT_MIN, INT_MAX, 0}) A.Add(V);
  A.Insert(2, 42);
  A.SetValues(0, 6);
  std::vector<int> Values;
  for (int I = 0; I < A.GetCount(); ++I) Values.push_back(A.GetValues(I));
  EXPECT_EQ(Values, (std::vector<int>{6, -7, 42, INT_MIN, INT_MAX, 0}));

  B.Add(99);
  B.CopyList(&A);
  ASSERT_EQ(B.GetCount(), 6);
  EXPECT_EQ(B.GetValues(3), INT_MIN);
  B.AddList(&A);
  EXPECT_EQ(B.GetCount(), 12);
  EXPECT_EQ(B.GetValues(8), 42);

  // A list copied onto itself stays; appended to itself it doubles.
  A.CopyList(&A);
  EXPECT_EQ(A.GetCount(), 6);
  A.AddList(&A);
  ASSERT_EQ(A.GetCount(), 12);
  for (int I = 0; I < 6; ++I) EXPECT_EQ(A.GetValues(I), A.GetValues(I + 6));
  A.CopyList(nullptr);
  EXPECT_TRUE(A.GetIsEmpty());
}

// Both faces of TMacSetOfIntegers (deque search and snapshot table) against std::set.
void ExpectSameSet(const TMacSetOfIntegers& S, const std::set<int>& Model, std::mt19937& Rng) {
  ASSERT_EQ(S.GetCount(), static_cast<int>(Model.size()));
  int I = 0;
  for (int V : Model) ASSERT_EQ(S.GetValues(I++), V);
  // Walk forwards and backwards with GetFirst/GetNext and GetLast/GetPrevious.
  std::vector<int> Forward, Backward;
  int V = 0;
  for (bool More = S.GetFirst(V); More; More = S.GetNext(V)) Forward.push_back(V);
  for (bool More = S.GetLast(V); More; More = S.GetPrevious(V)) Backward.insert(Backward.begin(), V);
  ASSERT_EQ(Forward, std::vector<int>(Model.begin(), Model.end()));
  ASSERT_EQ(Backward, Forward);
  for (int Probe = 0; Probe < 20; ++Probe) {
    const int Key = static_cast<int>(Rng() % 400) - 200;
    auto It = Model.find(Key);
    ASSERT_EQ(S.IndexOf(Key), It == Model.end() ? -1 : static_cast<int>(std::distance(Model.begin(), It)));
    ASSERT_EQ(S.Contains(Key), It != Model.end());
    int Next = Key, Previous = Key;
    auto Above = Model.upper_bound(Key);
    ASSERT_EQ(S.GetNext(Next), Above != Model.end());
    ASSERT_EQ(Next, Above != Model.end() ? *Above : Key);
    auto Below = Model.lower_bound(Key);
    ASSERT_EQ(S.GetPrevious(Previous), Below != Model.begin());
    ASSERT_EQ(Previous, Below != Model.begin() ? *std::prev(Below) : Key);
  }
}

TEST(MacListTest, SetOfIntegersMatchesStdSetWithAndWithoutSnapshot) {
  for (int Capacity : {2, 5, 100}) {
    SCOPED_TRACE(Capacity);
    std::mt19937 Rng(7 + Capacity);
    TMacSetOfIntegers S(Capacity);
    std::set<int> Model;
    for (int Step = 0; Step < 3000; ++Step) {
      const int Key = static_cast<int>(Rng() % 400) - 200;
      const int Op = static_cast<int>(Rng() % 10);
      if (Op < 5) {
        S.Add(Key), Model.insert(Key);
      } else if (Op < 8) {
        S.Remove(Key), Model.erase(Key);
      } else if (Op == 8 && !Model.empty()) {
        const int At = static_cast<int>(Rng() % Model.size());
        S.Delete(At), Model.erase(std::next(Model.begin(), At));
      } else {
        S.BuildTab();
        ASSERT_EQ(S.GetHasTab(), Model.size() > 1);
      }
      if (Step % 10 == 0 || S.GetHasTab()) {
        ASSERT_NO_FATAL_FAILURE(ExpectSameSet(S, Model, Rng)) << Step;
      }
    }
    S.Clear();
    EXPECT_TRUE(S.GetIsEmpty());
    int V = 5;
    EXPECT_FALSE(S.GetFirst(V));
    EXPECT_FALSE(S.GetLast(V));
    EXPECT_FALSE(S.GetNext(V));
    EXPECT_EQ(V, 5);
  }
}

TEST(MacListTest, SnapshotIsDiscardedByEveryChange) {
  TMacSetOfIntegers S;
  S.Add(1);
  S.BuildTab();
  EXPECT_FALSE(S.GetHasTab());  // one element: no table
  S.Add(3);
  S.BuildTab();
  ASSERT_TRUE(S.GetHasTab());
  S.Add(3);  // present: nothing changes
  EXPECT_TRUE(S.GetHasTab());
  S.Add(2);
  EXPECT_FALSE(S.GetHasTab());
  EXPECT_EQ(S.IndexOf(2), 1);
  S.BuildTab();
  S.Delete(0);
  EXPECT_FALSE(S.GetHasTab());
  EXPECT_EQ(S.IndexOf(1), -1);
  EXPECT_EQ(S.IndexOf(3), 1);
  S.BuildTab();
  S.Remove(2);
  EXPECT_FALSE(S.GetHasTab());
  S.Add(9);
  S.BuildTab();
  S.Clear();
  EXPECT_FALSE(S.GetHasTab());
  EXPECT_EQ(S.IndexOf(9), -1);
}

TEST(MacListTest, SetOperationsCombineSets) {
  TMacSetOfIntegers A, B;
  for (int V : {1, 3, 5, 7}) A.Add(V);
  for (int V : {3, 4, 5}) B.Add(V);
  B.BuildTab();
  TMacSetOfIntegers C;
  C.CopySet(&A);
  C.AddSet(&B);
  std::vector<int> Values;
  for (int I = 0; I < C.GetCount(); ++I) Values.push_back(C.GetValues(I));
  EXPECT_EQ(Values, (std::vector<int>{1, 3, 4, 5, 7}));
  C.RemoveSet(&A);
  ASSERT_EQ(C.GetCount(), 1);
  EXPECT_EQ(C.GetValues(0), 4);
  C.AddSet(&C);
  C.CopySet(&C);
  EXPECT_EQ(C.GetCount(), 1);
  C.RemoveSet(&C);
  EXPECT_TRUE(C.GetIsEmpty());
}

TEST(MacListTest, SetOfCoordsMatchesStdSetOfPairs) {
  std::mt19937 Rng(3);
  TMacSetOfCoords S(4);
  std::set<std::pair<int, int>> Model;
  for (int Step = 0; Step < 3000; ++Step) {
    const int X = static_cast<int>(Rng() % 20) - 10, Y = static_cast<int>(Rng() % 20) - 10;
    if (Rng() % 3 != 0)
      S.Add(X, Y), Model.insert({X, Y});
    else
      S.Remove(X, Y), Model.erase({X, Y});
    ASSERT_EQ(S.GetCount(), static_cast<int>(Model.size()));
    auto It = Model.find({X, Y});
    ASSERT_EQ(S.IndexOf(X, Y), It == Model.end() ? -1 : static_cast<int>(std::distance(Model.begin(), It)));
    int NX = X, NY = Y;
    auto Above = Model.upper_bound({X, Y});
    ASSERT_EQ(S.GetNext(NX, NY), Above != Model.end());
    if (Above != Model.end()) {
      ASSERT_EQ(std::make_pair(NX, NY), *Above);
    }
    int PX = X, PY = Y;
    auto Below = Model.lower_bound({X, Y});
    ASSERT_EQ(S.GetPrevious(PX, PY), Below != Model.begin());
    if (Below != Model.begin()) {
      ASSERT_EQ(std::make_pair(PX, PY), *std::prev(Below));
    }
  }
  std::vector<std::pair<int, int>> Walk;
  int X = 0, Y = 0;
  for (bool More = S.GetFirst(X, Y); More; More = S.GetNext(X, Y)) Walk.push_back({X, Y});
  const std::vector<std::pair<int, int>> Sorted(Model.begin(), Model.end());
  EXPECT_EQ(Walk, Sorted);
  EXPECT_FALSE(S.GetValues(-1, X, Y));
  EXPECT_FALSE(S.GetValues(S.GetCount(), X, Y));
}

TEST(MacListTest, SetOfCoordsExtractsAndAddsRowsAndColumns) {
  TMacSetOfCoords S;
  TMacSetOfIntegers Xs, Ys;
  for (int V : {3, 1, 2}) Xs.Add(V);
  S.AddSetOfX(&Xs, 7);  // (1,7) (2,7) (3,7)
  for (int V : {INT_MIN, 0, 9}) Ys.Add(V);
  S.AddSetOfY(2, &Ys);  // (2,MIN) (2,0) (2,9)
  S.Add(-5, 7);
  EXPECT_EQ(S.GetCount(), 7);

  TMacSetOfIntegers Out;
  Out.Add(100);
  EXPECT_EQ(S.ExtractSetOfX(&Out, 7), 4);
  EXPECT_EQ(Out.GetValues(0), -5);
  EXPECT_EQ(Out.GetValues(3), 3);
  EXPECT_EQ(S.ExtractSetOfY(2, &Out), 4);
  EXPECT_EQ(Out.GetValues(0), INT_MIN);
  EXPECT_EQ(Out.GetValues(3), 9);
  EXPECT_EQ(S.ExtractSetOfY(4, &Out), 0);
  EXPECT_EQ(S.ExtractSetOfX(&Out, 8), 0);

  TMacSetOfCoords Copy;
  Copy.CopySet(&S);
  Copy.RemoveSet(&S);
  EXPECT_TRUE(Copy.GetIsEmpty());
}

TEST(MacListTest, IntegerIndexMatchesStdMap) {
  std::mt19937 Rng(11);
  TMacIntegerIndex Index(3);
  std::map<int, int> Model;
  for (int Step = 0; Step < 3000; ++Step) {
    const int Key = static_cast<int>(Rng() % 300) - 150, Payload = static_cast<int>(Rng());
    const int Op = static_cast<int>(Rng() % 10);
    if (Op < 5) {
      Index.Add(Key, Payload), Model.emplace(Key, Payload);
    } else if (Op < 8) {
      Index.Remove(Key), Model.erase(Key);
    } else if (!Model.empty()) {
      const int At = static_cast<int>(Rng() % Model.size());
      Index.SetPointers(At, Payload), std::next(Model.begin(), At)->second = Payload;
    }
    ASSERT_EQ(Index.GetCount(), static_cast<int>(Model.size()));
    int Pointer = 0;
    auto It = Model.find(Key);
    ASSERT_EQ(Index.IndexOf(Key, Pointer), It == Model.end() ? -1 : static_cast<int>(std::distance(Model.begin(), It)));
    ASSERT_EQ(Pointer, It == Model.end() ? -1 : It->second);
    ASSERT_EQ(Index.Contains(Key, Pointer), It != Model.end());
  }
  int I = 0;
  for (auto [Key, Payload] : Model) {
    ASSERT_EQ(Index.GetKeys(I), Key);
    ASSERT_EQ(Index.GetPointers(I++), Payload);
  }
}

TEST(MacListTest, PointerIndexMatchesStdMapAndFreesItsCells) {
  std::mt19937 Rng(12);
  TMacPointerIndex Index(5);
  std::map<int, void*> Model;
  for (int Step = 0; Step < 3000; ++Step) {
    const int Key = static_cast<int>(Rng() % 300) - 150;
    void* Payload = Ptr(static_cast<std::intptr_t>(Rng() % 1000 + 1));
    const int Op = static_cast<int>(Rng() % 10);
    if (Op < 5) {
      Index.Add(Key, Payload), Model.emplace(Key, Payload);  // a present key keeps its payload
    } else if (Op < 7) {
      Index.Remove(Key), Model.erase(Key);
    } else if (Op < 8 && !Model.empty()) {
      const int At = static_cast<int>(Rng() % Model.size());
      Index.Delete(At), Model.erase(std::next(Model.begin(), At));
    } else if (!Model.empty()) {
      const int At = static_cast<int>(Rng() % Model.size());
      Index.SetPointers(At, Payload), std::next(Model.begin(), At)->second = Payload;
    }
    ASSERT_EQ(Index.GetCount(), static_cast<int>(Model.size()));
    void* Pointer = Ptr(-5);
    auto It = Model.find(Key);
    ASSERT_EQ(Index.IndexOf(Key, Pointer), It == Model.end() ? -1 : static_cast<int>(std::distance(Model.begin(), It)));
    ASSERT_EQ(Pointer, It == Model.end() ? nullptr : It->second);
  }
  int I = 0;
  for (auto [Key, Payload] : Model) {
    ASSERT_EQ(Index.GetKeys(I), Key);
    ASSERT_EQ(Index.GetPointers(I++), Payload);
  }
  // Cells left in the index are freed by its destructor (checked under the sanitizer).
}

}  // namespace
}  // namespace vandrel
