#include "foundation/MacDeque.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <stdexcept>
#include <vector>

namespace vandrel {
namespace {

void* Cell(std::intptr_t V) { return reinterpret_cast<void*>(V); }
std::intptr_t Value(const void* P) { return reinterpret_cast<std::intptr_t>(P); }

// Checks the deque's structure against the model (the elements in order and the cursor):
// segment sizes, links, starts, cursors, remembered nodes and accelerators.
void ExpectConsistent(const TMacDeque& D, const std::vector<std::intptr_t>& Model, int ModelPosition) {
  ASSERT_EQ(D.GetCount(), static_cast<int>(Model.size()));
  const TMacDequeList* Current = D.GetCurrentSegment();
  if (Model.empty()) {
    ASSERT_EQ(Current, nullptr);
    ASSERT_EQ(D.GetFirstSegment(), nullptr);
    ASSERT_EQ(D.GetLastSegment(), nullptr);
    ASSERT_EQ(D.GetCurrentPosition(), -1);
    ASSERT_EQ(D.GetCurrentData(), nullptr);
    return;
  }
  ASSERT_NE(Current, nullptr);
  ASSERT_EQ(D.GetCurrentPosition(), ModelPosition);
  ASSERT_EQ(Value(D.GetCurrentData()), Model[ModelPosition]);

  const TMacDequeList* S = Current;
  while (S->GetPrevious()) S = S->GetPrevious();
  ASSERT_EQ(D.GetFirstSegment(), S);
  int Start = 0;
  bool SawCurrent = false;
  for (const TMacDequeList* Prev = nullptr; S; Prev = S, S = S->GetNext()) {
    ASSERT_EQ(S->GetPrevious(), Prev);
    ASSERT_GE(S->GetCount(), 1);
    ASSERT_LE(S->GetCount(), D.GetCapacity());
    if (S == Current) {
      SawCurrent = true;
      ASSERT_EQ(D.GetCurrentSegmentStart(), Start);
    }
    for (int Slot = 0; Slot < TMacDeque::AcceleratorCount; ++Slot)
      if (D.GetAccelerator(Slot).Segment == S) {
        ASSERT_EQ(D.GetAccelerator(Slot).Start, Start);
      }
    ASSERT_EQ(S->GetFirstNode()->FPrev, nullptr);
    ASSERT_EQ(S->GetLastNode()->FNext, nullptr);
    int Index = 0;
    bool SawCursor = false, SawRemembered = S->GetRememberedNode() == nullptr;
    const TMacDequeNode* Last = nullptr;
    for (const TMacDequeNode* N = S->GetFirstNode(); N; Last = N, N = N->FNext, ++Index) {
      ASSERT_EQ(N->FPrev, Last);
      ASSERT_EQ(Value(N->FData), Model[Start + Index]) << "position " << Start + Index;
      if (N == S->GetCursorNode()) {
        SawCursor = true;
        ASSERT_EQ(S->GetCursorIndex(), Index);
      }
      if (N == S->GetRememberedNode()) {
        SawRemembered = true;
        ASSERT_EQ(S->GetRememberedIndex(), Index);
      }
    }
    ASSERT_EQ(Last, S->GetLastNode());
    ASSERT_EQ(Index, S->GetCount());
    ASSERT_TRUE(SawCursor);
    ASSERT_TRUE(SawRemembered);
    if (!S->GetRememberedNode()) {
      ASSERT_EQ(S->GetRememberedIndex(), -1);
    }
    Start += S->GetCount();
  }
  ASSERT_TRUE(SawCurrent);
  ASSERT_EQ(Start, static_cast<int>(Model.size()));
  const TMacDequeList* Last = Current;
  while (Last->GetNext()) Last = Last->GetNext();
  ASSERT_EQ(D.GetLastSegment(), Last);
}

TEST(MacDequeTest, EmptyDequeHasNoPositionDataOrMatch) {
  TMacDeque D(1);
  EXPECT_EQ(D.GetCapacity(), 2);
  EXPECT_TRUE(D.GetIsEmpty());
  EXPECT_EQ(D.GetCurrentPosition(), -1);
  EXPECT_EQ(D.GetCurrentData(), nullptr);
  D.SetCurrentPosition(5);
  D.Exchange(3);
  D.DoDeleteCurrent();
  D.Clear();
  EXPECT_EQ(D.DoFindPosition(Cell(1)), -1);
  EXPECT_EQ(D.GetCurrentPosition(), -1);
  EXPECT_EQ(D.DoCompareAB(Cell(1), Cell(2)), 0);
}

TEST(MacDequeTest, PositionsAreClampedToTheElements) {
  TMacDeque D(4);
  for (int I = 0; I < 10; ++I) D.DoInsertAfterCurrent(Cell(I));
  D.SetCurrentPosition(-7);
  EXPECT_EQ(D.GetCurrentPosition(), 0);
  D.SetCurrentPosition(10);
  EXPECT_EQ(D.GetCurrentPosition(), 9);
  EXPECT_EQ(Value(D.GetCurrentData()), 9);
  D.Exchange(-3);
  EXPECT_EQ(D.GetCurrentPosition(), 0);
  EXPECT_EQ(Value(D.GetCurrentData()), 9);
  D.SetCurrentPosition(9);
  EXPECT_EQ(Value(D.GetCurrentData()), 0);
}

TEST(MacDequeTest, FullSegmentSplitsIntoHalves) {
  for (int Capacity : {2, 5, 8, 100}) {
    TMacDeque D(Capacity);
    for (int I = 0; I <= Capacity; ++I) D.DoInsertAfterCurrent(Cell(I));
    const TMacDequeList* Upper = D.GetCurrentSegment();
    ASSERT_NE(Upper->GetPrevious(), nullptr);
    EXPECT_EQ(Upper->GetPrevious()->GetPrevious(), nullptr);
    EXPECT_EQ(Upper->GetNext(), nullptr);
    EXPECT_EQ(Upper->GetPrevious()->GetCount(), Capacity + 1 - (Capacity + 1) / 2);
    EXPECT_EQ(Upper->GetCount(), (Capacity + 1) / 2);
    EXPECT_EQ(D.GetCurrentPosition(), Capacity);
  }
}

TEST(MacDequeTest, SmallNeighboursMergeAndKeepPositions) {
  TMacDeque D(8);
  std::vector<std::intptr_t> Model;
  for (int I = 0; I < 9; ++I) D.DoInsertAfterCurrent(Cell(I)), Model.push_back(I);
  // Segments of 5 and 4; deleting two from the upper one leaves 5 + 2 > 4: no merge.
  D.SetCurrentPosition(8);
  D.DoDeleteCurrent(), Model.pop_back();
  D.DoDeleteCurrent(), Model.pop_back();
  EXPECT_NE(D.GetCurrentSegment()->GetPrevious(), nullptr);
  D.SetCurrentPosition(1);
  D.DoDeleteCurrent(), Model.erase(Model.begin() + 1);
  D.DoDeleteCurrent(), Model.erase(Model.begin() + 1);
  // 3 + 2 > 4 still; one more makes 2 + 2.
  EXPECT_NE(D.GetCurrentSegment()->GetNext(), nullptr);
  D.DoDeleteCurrent(), Model.erase(Model.begin() + 1);
  EXPECT_EQ(D.GetCurrentSegment()->GetNext(), nullptr);
  EXPECT_EQ(D.GetCurrentSegment()->GetPrevious(), nullptr);
  EXPECT_EQ(D.GetCurrentSegment()->GetCount(), 4);
  ExpectConsistent(D, Model, 1);
}

TEST(MacDequeTest, DeleteMovesToTheFollowingElementAndHandsOverData) {
  std::vector<std::intptr_t> Deleted;
  TMacDeque D(3);
  D.OnDequeDeleteData = [&](TMacDeque* Sender, void* Data) {
    EXPECT_EQ(Sender, &D);
    Deleted.push_back(Value(Data));
  };
  for (int I = 0; I < 7; ++I) D.DoInsertAfterCurrent(Cell(I));
  D.SetCurrentPosition(2);
  D.DoDeleteCurrent();
  EXPECT_EQ(Value(D.GetCurrentData()), 3);
  EXPECT_EQ(D.GetCurrentPosition(), 2);
  D.SetCurrentPosition(5);
  D.DoDeleteCurrent();  // the last element: the cursor goes to the new last one
  EXPECT_EQ(Value(D.GetCurrentData()), 5);
  EXPECT_EQ(D.GetCurrentPosition(), 4);
  D.SetCurrentPosition(1);
  D.Clear();
  EXPECT_EQ(Deleted, (std::vector<std::intptr_t>{2, 6, 5, 4, 3, 1, 0}));
  EXPECT_TRUE(D.GetIsEmpty());
}

TEST(MacDequeTest, DestructorHandsOverRemainingDataLastToFirst) {
  std::vector<std::intptr_t> Deleted;
  {
    TMacDeque D(4);
    D.OnDequeDeleteData = [&](TMacDeque*, void* Data) { Deleted.push_back(Value(Data)); };
    for (int I = 0; I < 6; ++I) D.DoInsertAfterCurrent(Cell(I));
  }
  EXPECT_EQ(Deleted, (std::vector<std::intptr_t>{5, 4, 3, 2, 1, 0}));
}

TEST(MacDequeTest, RaisingDeleteHandlerLeavesAConsistentDeque) {
  std::vector<std::intptr_t> Model{0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  TMacDeque D(3);
  for (auto V : Model) D.DoInsertAfterCurrent(Cell(V));
  D.OnDequeDeleteData = [](TMacDeque*, void* Data) {
    if (Value(Data) == 4) throw std::runtime_error("handler");
  };
  D.SetCurrentPosition(4);
  EXPECT_THROW(D.DoDeleteCurrent(), std::runtime_error);
  Model.erase(Model.begin() + 4);
  ExpectConsistent(D, Model, 4);
  // The destructor survives a raising handler too.
  D.OnDequeDeleteData = [](TMacDeque*, void*) { throw std::runtime_error("handler"); };
}

TEST(MacDequeTest, AcceleratorsKeepRecentlyLeftSegmentsMostRecentFirst) {
  TMacDeque D(2);
  for (int I = 0; I < 200; ++I) D.DoInsertAfterCurrent(Cell(I));
  D.SetCurrentPosition(0);
  const TMacDequeList* A = D.GetCurrentSegment();
  D.SetCurrentPosition(100);  // farther than capacity x 10: the segment left is saved
  const TMacDequeList* B = D.GetCurrentSegment();
  EXPECT_EQ(D.GetAccelerator(0).Segment, A);
  EXPECT_EQ(D.GetAccelerator(0).Start, 0);
  D.SetCurrentPosition(199);
  const TMacDequeList* C = D.GetCurrentSegment();
  EXPECT_EQ(D.GetAccelerator(0).Segment, B);
  EXPECT_EQ(D.GetAccelerator(1).Segment, A);
  // Back to the first region: taken from the accelerator, and C is saved in front.
  D.SetCurrentPosition(1);
  EXPECT_EQ(D.GetCurrentSegment(), A);
  EXPECT_EQ(Value(D.GetCurrentData()), 1);
  EXPECT_EQ(D.GetAccelerator(0).Segment, C);
  EXPECT_EQ(D.GetAccelerator(1).Segment, B);
  EXPECT_EQ(D.GetAccelerator(2).Segment, A);
  // Saving a segment already in slot 1 moves it to the front without repeating it.
  D.SetCurrentPosition(100);
  EXPECT_EQ(D.GetAccelerator(0).Segment, A);
  EXPECT_EQ(D.GetAccelerator(1).Segment, C);
  EXPECT_EQ(D.GetAccelerator(2).Segment, B);
  // Any insert or delete empties them.
  D.DoInsertAfterCurrent(Cell(-1));
  for (int Slot = 0; Slot < TMacDeque::AcceleratorCount; ++Slot) {
    EXPECT_EQ(D.GetAccelerator(Slot).Segment, nullptr);
    EXPECT_EQ(D.GetAccelerator(Slot).Start, -1);
  }
}

TEST(MacDequeTest, RememberedNodeShortensReturnsInsideASegment) {
  TMacDeque D(100);
  for (int I = 0; I < 100; ++I) D.DoInsertAfterCurrent(Cell(I));
  D.SetCurrentPosition(50);
  D.SetCurrentPosition(10);  // leaves 50 behind, remembered
  const TMacDequeList* S = D.GetCurrentSegment();
  EXPECT_EQ(S->GetRememberedIndex(), 50);
  // A short move keeps the remembered node; a long one (more than 15) replaces it.
  D.SetCurrentPosition(12);
  EXPECT_EQ(S->GetRememberedIndex(), 50);
  D.SetCurrentPosition(48);
  EXPECT_EQ(Value(D.GetCurrentData()), 48);
  EXPECT_EQ(S->GetRememberedIndex(), 12);
  // The first and last nodes are never remembered.
  D.SetCurrentPosition(99);
  D.SetCurrentPosition(70);
  EXPECT_EQ(S->GetRememberedIndex(), 48);
}

// Long random runs against std::vector, with every invariant checked after each step.
TEST(MacDequeTest, RandomOperationsMatchAVectorModel) {
  for (int Capacity : {2, 3, 4, 7, 16, 100}) {
    SCOPED_TRACE(Capacity);
    std::mt19937 Rng(1234 + Capacity);
    std::vector<std::intptr_t> Model, Deleted, ModelDeleted;
    TMacDeque D(Capacity);  // after the vectors its handler fills
    D.OnDequeDeleteData = [&](TMacDeque*, void* Data) { Deleted.push_back(Value(Data)); };
    int Position = -1;
    std::intptr_t Next = 1;
    // Growth phases alternate with shrinking ones, so splits and merges both happen often.
    for (int Step = 0; Step < 6000; ++Step) {
      const bool Growing = (Step / 700) % 2 == 0;
      const int N = static_cast<int>(Model.size());
      const int Op = static_cast<int>(Rng() % 100);
      if (Op < (Growing ? 30 : 15)) {
        D.DoInsertBeforeCurrent(Cell(Next));
        Position = N == 0 ? 0 : Position;
        Model.insert(Model.begin() + Position, Next++);
      } else if (Op < (Growing ? 50 : 25)) {
        D.DoInsertAfterCurrent(Cell(Next));
        Position = N == 0 ? 0 : Position + 1;
        Model.insert(Model.begin() + Position, Next++);
      } else if (Op < (Growing ? 60 : 30)) {
        // Appends come in runs, as a fill makes them.
        for (int I = static_cast<int>(Rng() % 8); I >= 0; --I) {
          D.DoAppend(Cell(Next));
          Model.push_back(Next++);
        }
        Position = static_cast<int>(Model.size()) - 1;
      } else if (Op < (Growing ? 70 : 65)) {
        D.DoDeleteCurrent();
        if (N > 0) {
          ModelDeleted.push_back(Model[Position]);
          Model.erase(Model.begin() + Position);
          if (Position >= N - 1) Position = N - 2;
        }
      } else if (Op < 85) {
        // Cursor moves: mostly near, sometimes far, sometimes out of range.
        const int Kind = static_cast<int>(Rng() % 4);
        int Target = Kind == 0   ? Position + static_cast<int>(Rng() % 5) - 2
                     : Kind == 1 ? static_cast<int>(Rng() % (N + 1))
                     : Kind == 2 ? Position + static_cast<int>(Rng() % 61) - 30
                                 : static_cast<int>(Rng() % (N + 20)) - 10;
        D.SetCurrentPosition(Target);
        if (N > 0) Position = std::clamp(Target, 0, N - 1);
      } else if (Op < 95) {
        const int Target = static_cast<int>(Rng() % (N + 4)) - 2;
        D.Exchange(Target);
        if (N > 0) {
          const int To = std::clamp(Target, 0, N - 1);
          std::swap(Model[Position], Model[To]);
          Position = To;
        }
      } else if (Op < 99 || N < 50) {
        for (int I = 0; I < 5; ++I) {
          D.SetCurrentPosition(Position + 1);
          if (N > 0) Position = std::min(Position + 1, N - 1);
        }
      } else {
        D.Clear();
        for (auto It = Model.rbegin(); It != Model.rend(); ++It) ModelDeleted.push_back(*It);
        Model.clear();
        Position = -1;
      }
      ASSERT_NO_FATAL_FAILURE(ExpectConsistent(D, Model, Position)) << "step " << Step;
      ASSERT_EQ(Deleted, ModelDeleted) << "step " << Step;
    }
  }
}

// Every segment's count, cursor and remembered node, and the accelerators' starts.
std::vector<int> Shape(const TMacDeque& D) {
  std::vector<int> Result{D.GetCurrentPosition()};
  for (const TMacDequeList* S = D.GetFirstSegment(); S; S = S->GetNext())
    Result.insert(Result.end(), {S->GetCount(), S->GetCursorIndex(), S->GetRememberedIndex(), S == D.GetCurrentSegment()});
  for (int Slot = 0; Slot < TMacDeque::AcceleratorCount; ++Slot) Result.push_back(D.GetAccelerator(Slot).Start);
  return Result;
}

// An append leaves the deque exactly as a move to the last element and an insert after it do,
// whichever way it takes: segments, cursors, remembered nodes and accelerators alike.
TEST(MacDequeTest, AppendLeavesTheShapeOfAnInsertAfterTheLastElement) {
  std::mt19937 Rng(99);
  TMacDeque Fast(7), General(7);
  for (int Step = 0; Step < 3000; ++Step) {
    if (Rng() % 3 == 0 && Fast.GetCount() > 0) {
      // Moves far and near leave remembered nodes and accelerators behind.
      const int Target = static_cast<int>(Rng() % static_cast<unsigned>(Fast.GetCount()));
      Fast.SetCurrentPosition(Target);
      General.SetCurrentPosition(Target);
      if (Rng() % 4 == 0) Fast.SaveAccelerator(), General.SaveAccelerator();
    } else {
      Fast.DoAppend(Cell(Step));
      General.SetCurrentPosition(General.GetCount() - 1);
      General.DoInsertAfterCurrent(Cell(Step));
    }
    ASSERT_EQ(Shape(Fast), Shape(General)) << "step " << Step;
  }
}

// A sorted deque: every answer of DoFindPosition names the right place for the key.
TEST(MacDequeTest, FindPositionLocatesKeysInASortedDeque) {
  for (int Capacity : {2, 3, 5, 100}) {
    SCOPED_TRACE(Capacity);
    std::mt19937 Rng(99 + Capacity);
    TMacDeque D(Capacity);
    D.OnDequeCompareAB = [](TMacDeque*, int& Result, void* A, void* B) {
      Result = Value(A) < Value(B) ? -1 : (Value(A) > Value(B) ? 1 : 0);
    };
    std::vector<std::intptr_t> Model;
    for (int Step = 0; Step < 4000; ++Step) {
      const std::intptr_t Key = static_cast<std::intptr_t>(Rng() % 1000);
      if (Step % 7 == 0) D.SetCurrentPosition(static_cast<int>(Rng() % (Model.size() + 1)));
      const int Found = D.DoFindPosition(Cell(Key));
      if (Model.empty()) {
        ASSERT_EQ(Found, -1);
      } else {
        const int P = D.GetCurrentPosition();
        const std::intptr_t At = Model[P];
        if (Found == 0) {
          ASSERT_EQ(At, Key);
        } else if (Found > 0) {
          ASSERT_GT(At, Key);
          if (P > 0) {
            ASSERT_LT(Model[P - 1], Key);
          }
        } else {
          ASSERT_LT(At, Key);
          if (P + 1 < static_cast<int>(Model.size())) {
            ASSERT_GT(Model[P + 1], Key);
          }
        }
      }
      // Keep it sorted the way the sorted wrappers do, and sometimes delete what was found.
      const int P = std::max(D.GetCurrentPosition(), 0);
      if (Found == 0 && Rng() % 3 == 0) {
        D.DoDeleteCurrent();
        Model.erase(Model.begin() + P);
      } else if (Found != 0 && Rng() % 2 == 0) {
        if (Found < 0)
          D.DoInsertAfterCurrent(Cell(Key));
        else
          D.DoInsertBeforeCurrent(Cell(Key));
        Model.insert(Model.begin() + (Found < 0 && !Model.empty() ? P + 1 : P), Key);
      }
      ASSERT_NO_FATAL_FAILURE(ExpectConsistent(D, Model, D.GetCurrentPosition())) << "step " << Step;
    }
  }
}

}  // namespace
}  // namespace vandrel
