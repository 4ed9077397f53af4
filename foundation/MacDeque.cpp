#include "foundation/MacDeque.h"

#include <algorithm>
#include <memory>
#include <utility>

namespace vandrel {

namespace {

int Distance(int A, int B) { return A > B ? A - B : B - A; }

// Distance from Position to the nearer end of a segment starting at Start.
int DistanceToSegment(int Position, int Start, int Count) {
  return std::min(Distance(Position, Start), Distance(Position, Start + Count - 1));
}

}  // namespace

// ---- TMacDequeList -----------------------------------------------------------------------

void TMacDequeList::Link(TMacDequeNode* N, TMacDequeNode* Before, TMacDequeNode* After) {
  N->FPrev = Before;
  N->FNext = After;
  if (Before)
    Before->FNext = N;
  else
    FFirst = N;
  if (After)
    After->FPrev = N;
  else
    FLast = N;
  ++FCount;
}

void TMacDequeList::InsertBefore(TMacDequeNode* N) {
  if (!FNode) {
    Link(N, nullptr, nullptr);
    FNode = N;
    FIndex = 0;
    return;
  }
  Link(N, FNode->FPrev, FNode);
  if (FMemNode && FMemIndex >= FIndex) ++FMemIndex;
  FNode = N;
}

void TMacDequeList::InsertAfter(TMacDequeNode* N) {
  if (!FNode) {
    InsertBefore(N);
    return;
  }
  Link(N, FNode, FNode->FNext);
  if (FMemNode && FMemIndex > FIndex) ++FMemIndex;
  FNode = N;
  ++FIndex;
}

TMacDequeNode* TMacDequeList::Unlink(bool& MovedBack) {
  TMacDequeNode* N = FNode;
  MovedBack = !N->FNext;
  if (N->FPrev)
    N->FPrev->FNext = N->FNext;
  else
    FFirst = N->FNext;
  if (N->FNext)
    N->FNext->FPrev = N->FPrev;
  else
    FLast = N->FPrev;
  if (FMemNode == N)
    Forget();
  else if (FMemNode && FMemIndex > FIndex)
    --FMemIndex;
  --FCount;
  if (MovedBack) {
    FNode = N->FPrev;
    --FIndex;  // -1 when the segment became empty
  } else {
    FNode = N->FNext;
  }
  N->FPrev = N->FNext = nullptr;
  return N;
}

// ---- TMacDeque ---------------------------------------------------------------------------

TMacDeque::TMacDeque(int Capacity) : FCapacity(Capacity < 2 ? 2 : Capacity) {}

TMacDeque::~TMacDeque() {
  try {
    Clear();
  } catch (...) {
    // A delete handler raised; nothing can travel out of a destructor.
  }
  // Free what a raising handler left behind (nodes only: the data is the handler's).
  if (FCurrent) {
    TMacDequeList* S = FFirstSegment;
    while (S) {
      TMacDequeList* Next = S->FNext;
      delete S;
      S = Next;
    }
  }
}

void TMacDeque::SeekOrMoveTo(int Position) {
  TMacDequeList* S = FCurrent;
  if (!S) return;
  const int Relative = Position - FCurrentStart;
  if (Relative >= 0 && Relative < S->FCount)
    S->Seek(Relative);
  else
    MoveTo(Position);
}

void TMacDeque::MoveTo(int Position) {
  if (!FCurrent) return;
  if (Position < 0) Position = 0;
  if (Position > FCount - 1) Position = FCount - 1;

  const int SegmentEnd = FCurrentStart + FCurrent->FCount - 1;
  if (Position < FCurrentStart || Position > SegmentEnd) {
    const int D = DistanceToSegment(Position, FCurrentStart, FCurrent->FCount);
    if (FCapacity * 10 < D) SaveAccelerator();
    int Best = D;
    const TAccelerator* Nearest = nullptr;
    for (const TAccelerator& Slot : FAccelerators) {
      if (!Slot.Segment) continue;
      const int ToSlot = DistanceToSegment(Position, Slot.Start, Slot.Segment->FCount);
      if (ToSlot < Best) Best = ToSlot, Nearest = &Slot;
    }
    if (Nearest) FCurrent = Nearest->Segment, FCurrentStart = Nearest->Start;
    // The two ends of the chain are known as well, so jumps to the first or the last
    // records (a dataset's First and Last) cost no walk.
    const int FirstDistance = DistanceToSegment(Position, 0, FFirstSegment->FCount);
    const int LastStart = FCount - FLastSegment->FCount;
    const int LastDistance = DistanceToSegment(Position, LastStart, FLastSegment->FCount);
    if (FirstDistance < Best && FirstDistance <= LastDistance) {
      FCurrent = FFirstSegment, FCurrentStart = 0;
    } else if (LastDistance < Best) {
      FCurrent = FLastSegment, FCurrentStart = LastStart;
    }
  }

  while (Position < FCurrentStart && FCurrent->FPrev) {
    FCurrent = FCurrent->FPrev;
    FCurrentStart -= FCurrent->FCount;
  }
  while (Position >= FCurrentStart + FCurrent->FCount) {
    if (!FCurrent->FNext) {
      FCurrent->Seek(FCurrent->FCount - 1);
      return;
    }
    FCurrentStart += FCurrent->FCount;
    FCurrent = FCurrent->FNext;
  }
  FCurrent->Seek(Position - FCurrentStart);
}

void TMacDeque::DoInsertBeforeCurrent(void* Data) { Insert(Data, false); }

void TMacDeque::DoInsertAfterCurrent(void* Data) { Insert(Data, true); }

void TMacDeque::AppendSlowly(void* Data) {
  SetCurrentPosition(FCount - 1);
  Insert(Data, true);
}

TMacDequeNode* TMacDeque::NewNode(void* Data) {
  if (!FFreeNodes && FNextNode == FNodesEnd) {
    FNodePages.push_back(std::make_unique<TMacDequeNode[]>(kNodesPerPage));
    FNextNode = FNodePages.back().get();
    FNodesEnd = FNextNode + kNodesPerPage;
  }
  TMacDequeNode* Node = TakeNode();
  *Node = TMacDequeNode{nullptr, nullptr, Data};
  return Node;
}

void TMacDeque::FreeNode(TMacDequeNode* Node) noexcept {
  if (FCount == 0) {
    // The last element went: every node is free, so the pages go.
    FNodePages.clear();
    FNextNode = FNodesEnd = nullptr;
    FFreeNodes = nullptr;
    return;
  }
  Node->FNext = FFreeNodes;
  FFreeNodes = Node;
}

void TMacDeque::Insert(void* Data, bool After) {
  ClearAccelerators();
  TMacDequeList* S = FCurrent;
  if (!S) {
    auto First = std::make_unique<TMacDequeList>(this);
    TMacDequeNode* Node = NewNode(Data);
    FCurrent = FFirstSegment = FLastSegment = First.release();
    FCurrentStart = 0;
    FCurrent->InsertBefore(Node);
  } else if (!After && S->FIndex == 0 && S->FPrev && S->FPrev->FCount < S->FCount) {
    // At a segment's edge the smaller neighbour takes the element.
    TMacDequeNode* Node = NewNode(Data);
    FCurrent = S->FPrev;
    FCurrentStart -= FCurrent->FCount;
    FCurrent->Seek(FCurrent->FCount - 1);
    FCurrent->InsertAfter(Node);
  } else if (After && S->FIndex == S->FCount - 1 && S->FNext && S->FNext->FCount < S->FCount) {
    TMacDequeNode* Node = NewNode(Data);
    FCurrentStart += S->FCount;
    FCurrent = S->FNext;
    FCurrent->Seek(0);
    FCurrent->InsertBefore(Node);
  } else if (After) {
    S->InsertAfter(NewNode(Data));
  } else {
    S->InsertBefore(NewNode(Data));
  }
  ++FCount;
  SplitWhenFull();
}

void TMacDeque::SplitWhenFull() {
  TMacDequeList* S = FCurrent;
  if (S->FCount <= FCapacity) return;
  auto* Upper = new TMacDequeList(this);
  const int Moved = S->FCount / 2;
  const int Keep = S->FCount - Moved;

  TMacDequeNode* M = S->FLast;
  for (int K = 1; K < Moved; ++K) M = M->FPrev;
  Upper->FFirst = M;
  Upper->FLast = S->FLast;
  Upper->FCount = Moved;
  S->FLast = M->FPrev;
  S->FLast->FNext = nullptr;
  M->FPrev = nullptr;
  S->FCount = Keep;

  Upper->FPrev = S;
  Upper->FNext = S->FNext;
  if (S->FNext) S->FNext->FPrev = Upper;
  S->FNext = Upper;
  if (FLastSegment == S) FLastSegment = Upper;

  if (S->FMemNode && S->FMemIndex >= Keep) {
    Upper->FMemNode = S->FMemNode;
    Upper->FMemIndex = S->FMemIndex - Keep;
    S->Forget();
  }
  if (S->FIndex >= Keep) {
    Upper->FNode = S->FNode;
    Upper->FIndex = S->FIndex - Keep;
    S->FNode = S->FLast;
    S->FIndex = Keep - 1;
    FCurrent = Upper;
    FCurrentStart += Keep;
  } else {
    Upper->FNode = Upper->FFirst;
    Upper->FIndex = 0;
  }
}

void TMacDeque::DoDeleteCurrent() {
  if (!FCurrent) return;
  ClearAccelerators();
  TMacDequeList* S = FCurrent;
  bool MovedBack = false;
  TMacDequeNode* Node = S->Unlink(MovedBack);
  void* Data = Node->FData;
  --FCount;
  FreeNode(Node);

  if (S->FCount == 0) {
    TMacDequeList* Next = S->FNext;
    TMacDequeList* Prev = S->FPrev;
    Unchain(S);
    delete S;
    if (Next) {
      FCurrent = Next;
      FCurrent->Seek(0);
    } else if (Prev) {
      FCurrent = Prev;
      FCurrentStart -= Prev->FCount;
      FCurrent->Seek(Prev->FCount - 1);
    } else {
      FCurrent = nullptr;
      FCurrentStart = 0;
    }
  } else if (MovedBack && S->FNext) {
    FCurrentStart += S->FCount;
    FCurrent = S->FNext;
    FCurrent->Seek(0);
  }
  MergeSmall();
  // Handed over last, so that the handler sees a consistent deque (and may even raise).
  DoDeleteData(Data);
}

void TMacDeque::MergeSmall() {
  const int Half = FCapacity / 2;
  while (FCurrent && FCurrent->FPrev && FCurrent->FPrev->FCount + FCurrent->FCount <= Half) {
    TMacDequeList* Prev = FCurrent->FPrev;
    const int Shift = Prev->FCount;
    const int Index = FCurrent->FIndex;
    TMacDequeNode* Node = FCurrent->FNode;
    Absorb(Prev, FCurrent);
    Prev->FIndex = Shift + Index;
    Prev->FNode = Node;
    FCurrent = Prev;
    FCurrentStart -= Shift;
  }
  while (FCurrent && FCurrent->FNext && FCurrent->FCount + FCurrent->FNext->FCount <= Half)
    Absorb(FCurrent, FCurrent->FNext);
}

void TMacDeque::Absorb(TMacDequeList* Into, TMacDequeList* From) {
  const int Shift = Into->FCount;
  Into->FLast->FNext = From->FFirst;
  From->FFirst->FPrev = Into->FLast;
  Into->FLast = From->FLast;
  Into->FCount += From->FCount;
  if (!Into->FMemNode && From->FMemNode) {
    Into->FMemNode = From->FMemNode;
    Into->FMemIndex = From->FMemIndex + Shift;
  }
  From->FFirst = From->FLast = nullptr;
  From->FCount = 0;
  Unchain(From);
  delete From;
}

void TMacDeque::Unchain(TMacDequeList* Segment) {
  if (FFirstSegment == Segment) FFirstSegment = Segment->FNext;
  if (FLastSegment == Segment) FLastSegment = Segment->FPrev;
  if (Segment->FPrev) Segment->FPrev->FNext = Segment->FNext;
  if (Segment->FNext) Segment->FNext->FPrev = Segment->FPrev;
  Segment->FPrev = Segment->FNext = nullptr;
}

int TMacDeque::DoFindPosition(void* Key) {
  if (!FCurrent) return -1;
  // Comparison of Key with the current segment's first node, when already known.
  bool Known = false;
  int ToFirst = 0;
  for (;;) {
    TMacDequeList* S = FCurrent;
    S->Seek(0);
    if (!Known) ToFirst = DoCompareAB(Key, S->FFirst->FData);
    Known = false;
    if (ToFirst == 0) return 0;

    if (S->FCount > 1) {
      S->Seek(S->FCount - 1);
      const int ToLast = DoCompareAB(Key, S->FLast->FData);
      if (ToLast == 0) return 0;
      if (ToFirst > 0 && ToLast < 0) {
        // Strictly inside this segment.
        if (S->FCount == 2) return 1;
        int R = ToLast;
        if (S->FMemNode) {
          const int ToRemembered = DoCompareAB(Key, S->FMemNode->FData);
          if (ToRemembered == 0 || (ToRemembered < 0) == (R < 0)) {
            std::swap(S->FNode, S->FMemNode);
            std::swap(S->FIndex, S->FMemIndex);
            if (ToRemembered == 0) return 0;
            R = ToRemembered;
          }
        }
        if (R < 0) {
          while (S->FNode->FPrev) {
            S->FNode = S->FNode->FPrev;
            --S->FIndex;
            R = DoCompareAB(Key, S->FNode->FData);
            if (R >= 0) return R == 0 ? 0 : -1;
          }
          return 1;
        }
        while (S->FNode->FNext) {
          S->FNode = S->FNode->FNext;
          ++S->FIndex;
          R = DoCompareAB(Key, S->FNode->FData);
          if (R <= 0) return R == 0 ? 0 : 1;
        }
        return -1;
      }
    }

    if (ToFirst > 0) {
      if (S->FNext) {
        const int ToNext = DoCompareAB(Key, S->FNext->FFirst->FData);
        if (ToNext >= 0) {
          FCurrentStart += S->FCount;
          FCurrent = S->FNext;
          Known = true;
          ToFirst = ToNext;
          continue;
        }
      }
      S->Seek(S->FCount - 1);
      return -1;
    }
    if (S->FPrev && DoCompareAB(Key, S->FPrev->FLast->FData) <= 0) {
      FCurrent = S->FPrev;
      FCurrentStart -= FCurrent->FCount;
      continue;
    }
    S->Seek(0);
    return 1;
  }
}

int TMacDeque::DoCompareAB(void* A, void* B) {
  int Result = 0;
  if (OnDequeCompareAB) OnDequeCompareAB(this, Result, A, B);
  return Result;
}

void TMacDeque::DoDeleteData(void* Data) {
  if (OnDequeDeleteData) OnDequeDeleteData(this, Data);
}

void TMacDeque::Clear() {
  SetCurrentPosition(FCount - 1);
  ClearAccelerators();
  while (FCurrent) DoDeleteCurrent();
}

void TMacDeque::Exchange(int Position) {
  if (!FCurrent) return;
  if (Position < 0) Position = 0;
  if (Position > FCount - 1) Position = FCount - 1;
  if (Position == GetCurrentPosition()) return;
  TMacDequeNode* From = FCurrent->FNode;
  SetCurrentPosition(Position);
  std::swap(From->FData, FCurrent->FNode->FData);
}

void TMacDeque::SaveAccelerator() {
  if (!FCurrent) return;
  int Found = 0;
  while (Found < 2 && FAccelerators[Found].Segment != FCurrent) ++Found;
  for (int Slot = Found; Slot > 0; --Slot) FAccelerators[Slot] = FAccelerators[Slot - 1];
  FAccelerators[0] = TAccelerator{FCurrent, FCurrentStart};
}

}  // namespace vandrel
