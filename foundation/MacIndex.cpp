#include "foundation/MacIndex.h"

#include <memory>

namespace vandrel {

// ---- TMacIntegerIndex --------------------------------------------------------------------

TMacIntegerIndex::TMacIntegerIndex(int Capacity) : TMacDequeWrapper(Capacity) {
  FDeque.OnDequeCompareAB = &FDequeCompareAB;
}

void TMacIntegerIndex::FDequeCompareAB(TMacDeque*, int& Result, void* A, void* B) {
  Result = CompareIntegers(UnpackHigh(A), UnpackHigh(B));
}

void TMacIntegerIndex::Add(int Key, int Pointer) { SortedAdd(PackPair(Key, Pointer)); }

void TMacIntegerIndex::Remove(int Key) { SortedRemove(PackPair(Key, 0)); }

int TMacIntegerIndex::IndexOf(int Key, int& Pointer) const {
  const int Position = SortedIndexOf(PackPair(Key, 0));
  Pointer = Position < 0 ? -1 : UnpackLow(FDeque.GetCurrentData());
  return Position;
}

void TMacIntegerIndex::SetPointers(int Index, int Pointer) { SetDataAt(Index, PackPair(GetKeys(Index), Pointer)); }

// ---- TMacPointerIndex --------------------------------------------------------------------

TMacPointerIndex::TMacPointerIndex(int Capacity) : TMacDequeWrapper(Capacity) {
  FDeque.OnDequeCompareAB = &FDequeCompareAB;
  FDeque.OnDequeDeleteData = &FDequeDeleteData;
}

TMacPointerIndex::~TMacPointerIndex() { Clear(); }

void TMacPointerIndex::FDequeCompareAB(TMacDeque*, int& Result, void* A, void* B) {
  Result = CompareIntegers(static_cast<TCell*>(A)->Key, static_cast<TCell*>(B)->Key);
}

void TMacPointerIndex::FDequeDeleteData(TMacDeque*, void* Data) { delete static_cast<TCell*>(Data); }

void TMacPointerIndex::Add(int Key, void* Pointer) {
  auto Cell = std::make_unique<TCell>(TCell{Key, Pointer});
  if (SortedAdd(Cell.get())) Cell.release();
}

void TMacPointerIndex::Remove(int Key) {
  TCell Probe{Key, nullptr};
  SortedRemove(&Probe);
}

int TMacPointerIndex::IndexOf(int Key, void*& Pointer) const {
  TCell Probe{Key, nullptr};
  const int Position = SortedIndexOf(&Probe);
  Pointer = Position < 0 ? nullptr : static_cast<TCell*>(FDeque.GetCurrentData())->Pointer;
  return Position;
}

int TMacPointerIndex::GetKeys(int Index) const { return static_cast<TCell*>(DataAt(Index))->Key; }

void* TMacPointerIndex::GetPointers(int Index) const { return static_cast<TCell*>(DataAt(Index))->Pointer; }

void TMacPointerIndex::SetPointers(int Index, void* Pointer) {
  static_cast<TCell*>(DataAt(Index))->Pointer = Pointer;
}

}  // namespace vandrel
