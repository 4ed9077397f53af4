#pragma once
// Common ground of the typed faces of TMacDeque (lists, sorted sets, sorted indexes): the
// owned deque, checked positional access and the sorted operations driven by the deque's
// compare event. Integers (and pairs of them) are kept in the data pointer itself, so the
// integer wrappers allocate nothing beyond the deque's node per element.
#include <cstdint>

#include "foundation/MacDeque.h"

namespace vandrel {

static_assert(sizeof(void*) >= 8, "pairs of integers are kept in one data pointer");

inline void* PackInteger(int Value) {
  return reinterpret_cast<void*>(static_cast<std::uintptr_t>(static_cast<std::uint32_t>(Value)));
}
inline int UnpackInteger(const void* Data) {
  return static_cast<int>(static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(Data)));
}
// High half: A (the X of a coordinate, the key of an index entry); low half: B.
inline void* PackPair(int A, int B) {
  return reinterpret_cast<void*>((static_cast<std::uintptr_t>(static_cast<std::uint32_t>(A)) << 32) |
                                 static_cast<std::uint32_t>(B));
}
inline int UnpackHigh(const void* Data) {
  return static_cast<int>(static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(Data) >> 32));
}
inline int UnpackLow(const void* Data) { return UnpackInteger(Data); }

// Three-way comparison for the compare events.
inline int CompareIntegers(int A, int B) { return A < B ? -1 : (A > B ? 1 : 0); }

class TMacDequeWrapper : public TObject {
  VANDREL_CLASS(TMacDequeWrapper, TObject)
 public:
  int GetCount() const { return FDeque.GetCount(); }
  bool GetIsEmpty() const { return FDeque.GetIsEmpty(); }
  void Clear();
  // Removes the element at Index; raises for an index outside 0 .. count-1.
  void Delete(int Index);

 protected:
  explicit TMacDequeWrapper(int Capacity) : FDeque(Capacity) {}
  TMacDequeWrapper(const TMacDequeWrapper&) = delete;
  TMacDequeWrapper& operator=(const TMacDequeWrapper&) = delete;

  // Moves the cursor to Index; raises (naming the class) for an index outside the elements.
  void MoveTo(int Index) const {
    if (Index < 0 || Index >= FDeque.GetCount()) RaiseIndexError(Index);
    FDeque.SetCurrentPosition(Index);
  }
  void* DataAt(int Index) const {
    MoveTo(Index);
    return FDeque.GetCurrentData();
  }
  void SetDataAt(int Index, void* Data);
  // Inserts before the element at Index (clamped to 0 .. count; count appends); returns the
  // new element's position.
  int InsertAt(int Index, void* Data);
  int Append(void* Data);

  // Sorted operations (the deque kept in the order of its compare event, no duplicates).
  // False when an equal element is present: nothing changes then.
  bool SortedAdd(void* Data);
  bool SortedRemove(void* Key);
  // Position of the element equal to Key, or -1.
  int SortedIndexOf(void* Key) const;
  // Position of the first element above Key / the last element below it, or -1.
  int SortedIndexAbove(void* Key) const;
  int SortedIndexBelow(void* Key) const;

  [[noreturn]] void RaiseIndexError(int Index) const;

  // Called before every change of the elements.
  virtual void Changed() {}

  // The cursor is a position cache: reading moves it, so it is mutable.
  mutable TMacDeque FDeque;
};

}  // namespace vandrel
