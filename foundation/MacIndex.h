#pragma once
// Sorted indexes on TMacDeque: ascending signed integer keys without duplicates, each with
// a payload (the "pointer"): an integer in TMacIntegerIndex, a pointer in TMacPointerIndex.
// Positions outside 0 .. count-1 raise.
#include "foundation/MacDequeWrapper.h"

namespace vandrel {

class TMacIntegerIndex : public TMacDequeWrapper {
  VANDREL_CLASS(TMacIntegerIndex, TMacDequeWrapper)
 public:
  explicit TMacIntegerIndex(int Capacity = 100);

  void Add(int Key, int Pointer);  // nothing when the key is present
  void Remove(int Key);
  // Position of Key (Pointer its payload), or -1 with Pointer -1.
  int IndexOf(int Key, int& Pointer) const;
  bool Contains(int Key, int& Pointer) const { return IndexOf(Key, Pointer) >= 0; }
  int GetKeys(int Index) const { return UnpackHigh(DataAt(Index)); }
  int GetPointers(int Index) const { return UnpackLow(DataAt(Index)); }
  void SetPointers(int Index, int Pointer);

  static void FDequeCompareAB(TMacDeque* Sender, int& Result, void* A, void* B);
};

class TMacPointerIndex : public TMacDequeWrapper {
  VANDREL_CLASS(TMacPointerIndex, TMacDequeWrapper)
 public:
  explicit TMacPointerIndex(int Capacity = 100);
  ~TMacPointerIndex() override;

  void Add(int Key, void* Pointer);
  void Remove(int Key);
  // Position of Key (Pointer its payload), or -1 with Pointer null.
  int IndexOf(int Key, void*& Pointer) const;
  bool Contains(int Key, void*& Pointer) const { return IndexOf(Key, Pointer) >= 0; }
  int GetKeys(int Index) const;
  void* GetPointers(int Index) const;
  void SetPointers(int Index, void* Pointer);

  static void FDequeCompareAB(TMacDeque* Sender, int& Result, void* A, void* B);
  static void FDequeDeleteData(TMacDeque* Sender, void* Data);

 private:
  // One cell per entry, freed when the entry is removed.
  struct TCell {
    int Key;
    void* Pointer;
  };
};

}  // namespace vandrel
