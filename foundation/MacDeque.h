#pragma once
// TMacDeque: the positional sequence of untyped pointers under the library's collections
// (dataset rows, cached records, sorted sets and indexes). Elements live in a chain of
// segments of at most `capacity` nodes; the cursor sits in one segment, so moves near the
// cursor walk few nodes, and every insert or delete touches one segment (split when it
// overflows, merged with a neighbour when two together fall to half a segment). Each
// segment keeps a remembered node besides its cursor, and the deque keeps three
// accelerators (recently left segments with their start positions), so that a dataset
// cursor's sequential moves and returns to recent regions cost a few steps; it also knows
// both ends of the chain, so that jumps to the first or last element cost no walk.
//
// The deque owns its segments and nodes, not the data: every removed pointer is handed to
// OnDequeDeleteData. Nodes come from pages the deque keeps, so an element costs no
// allocation of its own; a freed node is the next one given out, and the pages go when the
// deque empties. Not thread-safe; owned by exactly one object.
#include <functional>
#include <memory>
#include <vector>

#include "foundation/Object.h"

namespace vandrel {

class TMacDeque;

// One element. A plain record (no run-time class), taken from its deque's pages of nodes.
struct TMacDequeNode {
  TMacDequeNode* FPrev = nullptr;
  TMacDequeNode* FNext = nullptr;
  void* FData = nullptr;
};

using TMacDequeDeleteDataEvent = std::function<void(TMacDeque* Sender, void* Data)>;
// Sets Result below 0, to 0 or above 0 as A sorts before, equal to or after B.
using TMacDequeCompareABEvent = std::function<void(TMacDeque* Sender, int& Result, void* A, void* B)>;

// One segment: a doubly linked run of 1 .. capacity nodes with its own cursor and a
// remembered node (a second cursor that shortens later seeks).
class TMacDequeList : public TObject {
  VANDREL_CLASS(TMacDequeList, TObject)
 public:
  explicit TMacDequeList(TMacDeque* Deque) : FDeque(Deque) {}
  ~TMacDequeList() override = default;  // the nodes belong to the deque's pages
  TMacDequeList(const TMacDequeList&) = delete;
  TMacDequeList& operator=(const TMacDequeList&) = delete;

  TMacDeque* GetDeque() const { return FDeque; }
  TMacDequeList* GetPrevious() const { return FPrev; }
  TMacDequeList* GetNext() const { return FNext; }
  TMacDequeNode* GetFirstNode() const { return FFirst; }
  TMacDequeNode* GetLastNode() const { return FLast; }
  int GetCount() const { return FCount; }
  int GetCursorIndex() const { return FIndex; }
  TMacDequeNode* GetCursorNode() const { return FNode; }
  int GetRememberedIndex() const { return FMemIndex; }
  TMacDequeNode* GetRememberedNode() const { return FMemNode; }

  // Moves the cursor to Index (clamped) from the nearest of cursor, remembered node,
  // first and last node.
  inline void Seek(int Index);
  // Seek (Index + 1) and Seek (Index - 1) when that node exists: the cursor walk's steps.
  inline void StepForward();
  inline void StepBackward();

 private:
  friend class TMacDeque;

  // The new node N goes before the cursor and takes its index.
  void InsertBefore(TMacDequeNode* N);
  // The new node N goes after the cursor; the cursor moves onto it.
  void InsertAfter(TMacDequeNode* N);
  // Links N between two neighbours (null at an end); the cursor is the caller's business.
  void Link(TMacDequeNode* N, TMacDequeNode* Before, TMacDequeNode* After);
  // Takes the cursor's node out; the cursor moves to the next node, or back to the
  // previous one (MovedBack) when the last node went.
  TMacDequeNode* Unlink(bool& MovedBack);
  void Forget() { FMemIndex = -1, FMemNode = nullptr; }

  TMacDeque* FDeque;
  TMacDequeList* FPrev = nullptr;
  TMacDequeList* FNext = nullptr;
  TMacDequeNode* FFirst = nullptr;
  TMacDequeNode* FLast = nullptr;
  int FCount = 0;
  int FIndex = -1;
  TMacDequeNode* FNode = nullptr;
  int FMemIndex = -1;
  TMacDequeNode* FMemNode = nullptr;
};

class TMacDeque : public TObject {
  VANDREL_CLASS(TMacDeque, TObject)
 public:
  // A recently left segment and its start position (no segment: start -1).
  struct TAccelerator {
    TMacDequeList* Segment = nullptr;
    int Start = -1;
  };
  static constexpr int AcceleratorCount = 3;

  // Capacity below 2 is raised to 2.
  explicit TMacDeque(int Capacity);
  // Clears the deque, so OnDequeDeleteData sees every remaining element (last to first).
  ~TMacDeque() override;
  TMacDeque(const TMacDeque&) = delete;
  TMacDeque& operator=(const TMacDeque&) = delete;

  int GetCapacity() const { return FCapacity; }
  int GetCount() const { return FCount; }
  bool GetIsEmpty() const { return FCount <= 0; }
  // -1 when empty.
  int GetCurrentPosition() const { return FCurrent ? FCurrentStart + FCurrent->FIndex : -1; }
  // Clamped to 0 .. count-1; nothing when empty.
  inline void SetCurrentPosition(int Position);
  // Moves the cursor to Position when that is the cursor's neighbour within its segment (a
  // cursor's usual step, inline); false, the cursor unmoved, otherwise.
  inline bool StepToNeighbour(int Position);
  // Null when empty.
  void* GetCurrentData() const { return FCurrent ? FCurrent->FNode->FData : nullptr; }
  // Replaces the pointer at the cursor (the old one is not handed to OnDequeDeleteData).
  void SetCurrentData(void* Data) {
    if (FCurrent) FCurrent->FNode->FData = Data;
  }

  // Insert one element; the cursor ends on it.
  void DoInsertBeforeCurrent(void* Data);
  void DoInsertAfterCurrent(void* Data);
  // Adds one element after the last one; the cursor ends on it. Appending while the cursor
  // is on the last element of a segment with room (a fill's steady state) links one node.
  void DoAppend(void* Data) {
    if (!TryAppend(Data)) AppendSlowly(Data);
  }
  // DoAppend's steady state, inline and without a call; false, nothing done, when the cursor
  // is elsewhere, the segment is full or the pages of nodes are.
  inline bool TryAppend(void* Data);
  // Removes the element at the cursor and hands its pointer to OnDequeDeleteData; the
  // cursor ends on the element that followed it, or on the new last element.
  void DoDeleteCurrent();
  // Searches a sorted deque for Key: 0 with the cursor on an equal element; 1 with the
  // cursor on the element before which Key belongs; -1 with the cursor on the element
  // after which it belongs; -1 when empty.
  int DoFindPosition(void* Key);
  int DoCompareAB(void* A, void* B);
  void DoDeleteData(void* Data);

  // Deletes every element, from the last to the first.
  void Clear();
  // Swaps the data of the current element and the one at Position (clamped); the cursor
  // ends on Position.
  void Exchange(int Position);

  void ClearAccelerators() {
    // Slots fill from the first, so an empty first slot means all are empty.
    if (FAccelerators[0].Segment)
      for (TAccelerator& Slot : FAccelerators) Slot = TAccelerator();
  }
  // Puts the current segment into accelerator slot 0, the others moving down.
  void SaveAccelerator();

  // Inspection, for tests and diagnostics.
  const TMacDequeList* GetCurrentSegment() const { return FCurrent; }
  const TMacDequeList* GetFirstSegment() const { return FFirstSegment; }
  const TMacDequeList* GetLastSegment() const { return FLastSegment; }
  int GetCurrentSegmentStart() const { return FCurrentStart; }
  const TAccelerator& GetAccelerator(int Slot) const { return FAccelerators[Slot]; }

  TMacDequeDeleteDataEvent OnDequeDeleteData;
  TMacDequeCompareABEvent OnDequeCompareAB;

 private:
  void Insert(void* Data, bool After);
  // The general move (outside the current segment).
  void MoveTo(int Position);
  // SetCurrentPosition past a step to a neighbour: a seek in the current segment or MoveTo.
  void SeekOrMoveTo(int Position);
  // Splits the current segment when it holds more than capacity nodes.
  void SplitWhenFull();
  // Merges neighbours of the current segment that together hold at most capacity/2 nodes.
  void MergeSmall();
  // Appends From's nodes to Into (From follows Into in the chain) and frees From.
  void Absorb(TMacDequeList* Into, TMacDequeList* From);
  void Unchain(TMacDequeList* Segment);
  TMacDequeNode* NewNode(void* Data);
  // A free node or the newest page's next one; one of them must be at hand.
  TMacDequeNode* TakeNode() {
    if (!FFreeNodes) return FNextNode++;
    TMacDequeNode* Node = FFreeNodes;
    FFreeNodes = Node->FNext;
    return Node;
  }
  void AppendSlowly(void* Data);
  void FreeNode(TMacDequeNode* Node) noexcept;

  int FCapacity;
  TMacDequeList* FCurrent = nullptr;
  int FCurrentStart = 0;
  // The ends of the segment chain (null when empty).
  TMacDequeList* FFirstSegment = nullptr;
  TMacDequeList* FLastSegment = nullptr;
  int FCount = 0;
  TAccelerator FAccelerators[AcceleratorCount];
  static constexpr int kNodesPerPage = 256;
  std::vector<std::unique_ptr<TMacDequeNode[]>> FNodePages;
  // The next node of the newest page and the end of that page (none before the first page).
  TMacDequeNode* FNextNode = nullptr;
  TMacDequeNode* FNodesEnd = nullptr;
  TMacDequeNode* FFreeNodes = nullptr;  // linked through FNext
};

inline void TMacDequeList::Seek(int Index) {
  if (FCount == 0) return;
  if (Index < 0) Index = 0;
  if (Index > FCount - 1) Index = FCount - 1;
  if (Index == FIndex) return;
  const int C = Index > FIndex ? Index - FIndex : FIndex - Index;
  const int A = Index;
  const int FA = FCount - 1 - Index;
  int E = 0;
  if (FMemNode) E = Index > FMemIndex ? Index - FMemIndex : FMemIndex - Index;

  TMacDequeNode* Node = FNode;
  int At = FIndex;
  if (FMemNode && E < C && E < A && E < FA) {
    Node = FMemNode, At = FMemIndex;
  } else if (A < C && A < FA) {
    Node = FFirst, At = 0;
  } else if (FA < C) {
    Node = FLast, At = FCount - 1;
  }
  // The place being left is worth remembering unless a near one is remembered already.
  if (FNode != FFirst && FNode != FLast && (!FMemNode || C > 15)) FMemNode = FNode, FMemIndex = FIndex;

  for (; At < Index; ++At) Node = Node->FNext;
  for (; At > Index; --At) Node = Node->FPrev;
  FNode = Node;
  FIndex = Index;
}

// A move of one node ends on that node whichever start Seek would choose; only the
// remembering rule applies (a move of one is short, so only an empty slot is filled).
inline void TMacDequeList::StepForward() {
  if (!FMemNode && FNode != FFirst && FNode != FLast) FMemNode = FNode, FMemIndex = FIndex;
  FNode = FNode->FNext;
  ++FIndex;
}

inline void TMacDequeList::StepBackward() {
  if (!FMemNode && FNode != FFirst && FNode != FLast) FMemNode = FNode, FMemIndex = FIndex;
  FNode = FNode->FPrev;
  --FIndex;
}

inline bool TMacDeque::StepToNeighbour(int Position) {
  TMacDequeList* S = FCurrent;
  if (!S) return false;
  const int Relative = Position - FCurrentStart;
  if (Relative == S->FIndex + 1 && S->FNode->FNext) {
    S->StepForward();
    return true;
  }
  if (Relative == S->FIndex - 1 && S->FNode->FPrev) {
    S->StepBackward();
    return true;
  }
  return false;
}

inline void TMacDeque::SetCurrentPosition(int Position) {
  if (!StepToNeighbour(Position)) SeekOrMoveTo(Position);
}

inline bool TMacDeque::TryAppend(void* Data) {
  TMacDequeList* S = FCurrent;
  if (!S || S->FNext || S->FNode != S->FLast || S->FCount >= FCapacity ||
      (!FFreeNodes && FNextNode == FNodesEnd))
    return false;
  ClearAccelerators();
  TMacDequeNode* Node = TakeNode();
  *Node = TMacDequeNode{S->FLast, nullptr, Data};
  S->FLast->FNext = Node;
  S->FLast = S->FNode = Node;
  ++S->FIndex;
  ++S->FCount;
  ++FCount;
  return true;
}

}  // namespace vandrel
