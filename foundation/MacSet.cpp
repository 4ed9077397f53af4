#include "foundation/MacSet.h"

#include <algorithm>
#include <climits>

namespace vandrel {

// ---- TMacSetOfIntegers -------------------------------------------------------------------

TMacSetOfIntegers::TMacSetOfIntegers(int Capacity) : TMacDequeWrapper(Capacity) {
  FDeque.OnDequeCompareAB = &FDequeCompareAB;
}

void TMacSetOfIntegers::FDequeCompareAB(TMacDeque*, int& Result, void* A, void* B) {
  Result = CompareIntegers(UnpackInteger(A), UnpackInteger(B));
}

void TMacSetOfIntegers::Add(int Value) { SortedAdd(PackInteger(Value)); }

void TMacSetOfIntegers::Remove(int Value) { SortedRemove(PackInteger(Value)); }

int TMacSetOfIntegers::IndexOf(int Value) const {
  if (!FHasTab) return SortedIndexOf(PackInteger(Value));
  auto It = std::lower_bound(FTab.begin(), FTab.end(), Value);
  return It != FTab.end() && *It == Value ? static_cast<int>(It - FTab.begin()) : -1;
}

int TMacSetOfIntegers::GetValues(int Index) const {
  if (FHasTab && Index >= 0 && Index < static_cast<int>(FTab.size())) return FTab[Index];
  return UnpackInteger(DataAt(Index));
}

bool TMacSetOfIntegers::GetFirst(int& Value) const {
  if (GetIsEmpty()) return false;
  Value = GetValues(0);
  return true;
}

bool TMacSetOfIntegers::GetLast(int& Value) const {
  if (GetIsEmpty()) return false;
  Value = GetValues(GetCount() - 1);
  return true;
}

bool TMacSetOfIntegers::GetNext(int& Value) const {
  int Position = -1;
  if (FHasTab) {
    auto It = std::upper_bound(FTab.begin(), FTab.end(), Value);
    if (It != FTab.end()) Position = static_cast<int>(It - FTab.begin());
  } else {
    Position = SortedIndexAbove(PackInteger(Value));
  }
  if (Position < 0) return false;
  Value = GetValues(Position);
  return true;
}

bool TMacSetOfIntegers::GetPrevious(int& Value) const {
  int Position = -1;
  if (FHasTab)
    Position = static_cast<int>(std::lower_bound(FTab.begin(), FTab.end(), Value) - FTab.begin()) - 1;
  else
    Position = SortedIndexBelow(PackInteger(Value));
  if (Position < 0) return false;
  Value = GetValues(Position);
  return true;
}

void TMacSetOfIntegers::CopySet(const TMacSetOfIntegers* Other) {
  if (Other == this) return;
  Clear();
  AddSet(Other);
}

void TMacSetOfIntegers::AddSet(const TMacSetOfIntegers* Other) {
  if (!Other || Other == this) return;
  for (int I = 0; I < Other->GetCount(); ++I) Add(Other->GetValues(I));
}

void TMacSetOfIntegers::RemoveSet(const TMacSetOfIntegers* Other) {
  if (!Other) return;
  if (Other == this) {
    Clear();
    return;
  }
  for (int I = 0; I < Other->GetCount(); ++I) Remove(Other->GetValues(I));
}

void TMacSetOfIntegers::BuildTab() {
  if (FHasTab || GetCount() <= 1) return;
  FTab.resize(GetCount());
  for (int I = 0; I < GetCount(); ++I) FTab[I] = UnpackInteger(DataAt(I));
  FHasTab = true;
}

void TMacSetOfIntegers::DestroyTab() {
  FHasTab = false;
  FTab.clear();
}

// ---- TMacSetOfCoords ---------------------------------------------------------------------

TMacSetOfCoords::TMacSetOfCoords(int Capacity) : TMacDequeWrapper(Capacity) {
  FDeque.OnDequeCompareAB = &FDequeCompareAB;
}

void TMacSetOfCoords::FDequeCompareAB(TMacDeque*, int& Result, void* A, void* B) {
  Result = CompareIntegers(UnpackHigh(A), UnpackHigh(B));
  if (Result == 0) Result = CompareIntegers(UnpackLow(A), UnpackLow(B));
}

void TMacSetOfCoords::Add(int X, int Y) { SortedAdd(PackPair(X, Y)); }

void TMacSetOfCoords::Remove(int X, int Y) { SortedRemove(PackPair(X, Y)); }

int TMacSetOfCoords::IndexOf(int X, int Y) const { return SortedIndexOf(PackPair(X, Y)); }

void TMacSetOfCoords::PairAt(int Index, int& X, int& Y) const {
  void* Data = DataAt(Index);
  X = UnpackHigh(Data);
  Y = UnpackLow(Data);
}

bool TMacSetOfCoords::GetValues(int Index, int& X, int& Y) const {
  if (Index < 0 || Index >= GetCount()) return false;
  PairAt(Index, X, Y);
  return true;
}

bool TMacSetOfCoords::GetFirst(int& X, int& Y) const { return GetValues(0, X, Y); }

bool TMacSetOfCoords::GetLast(int& X, int& Y) const { return GetValues(GetCount() - 1, X, Y); }

bool TMacSetOfCoords::GetNext(int& X, int& Y) const {
  return GetValues(SortedIndexAbove(PackPair(X, Y)), X, Y);
}

bool TMacSetOfCoords::GetPrevious(int& X, int& Y) const {
  return GetValues(SortedIndexBelow(PackPair(X, Y)), X, Y);
}

void TMacSetOfCoords::CopySet(const TMacSetOfCoords* Other) {
  if (Other == this) return;
  Clear();
  AddSet(Other);
}

void TMacSetOfCoords::AddSet(const TMacSetOfCoords* Other) {
  if (!Other || Other == this) return;
  int X = 0, Y = 0;
  for (int I = 0; I < Other->GetCount(); ++I) {
    Other->PairAt(I, X, Y);
    Add(X, Y);
  }
}

void TMacSetOfCoords::RemoveSet(const TMacSetOfCoords* Other) {
  if (!Other) return;
  if (Other == this) {
    Clear();
    return;
  }
  int X = 0, Y = 0;
  for (int I = 0; I < Other->GetCount(); ++I) {
    Other->PairAt(I, X, Y);
    Remove(X, Y);
  }
}

void TMacSetOfCoords::AddSetOfX(const TMacSetOfIntegers* S, int Y) {
  if (!S) return;
  for (int I = 0; I < S->GetCount(); ++I) Add(S->GetValues(I), Y);
}

void TMacSetOfCoords::AddSetOfY(int X, const TMacSetOfIntegers* S) {
  if (!S) return;
  for (int I = 0; I < S->GetCount(); ++I) Add(X, S->GetValues(I));
}

int TMacSetOfCoords::ExtractSetOfX(TMacSetOfIntegers* S, int Y) const {
  if (!S) return 0;
  S->Clear();
  int X = 0, PairY = 0;
  for (int I = 0; I < GetCount(); ++I) {
    PairAt(I, X, PairY);
    if (PairY == Y) S->Add(X);
  }
  return S->GetCount();
}

int TMacSetOfCoords::ExtractSetOfY(int X, TMacSetOfIntegers* S) const {
  if (!S) return 0;
  S->Clear();
  // The pairs of one X are adjacent: start at the first pair not below (X, minimum).
  int Position = SortedIndexOf(PackPair(X, INT_MIN));
  if (Position < 0) Position = SortedIndexAbove(PackPair(X, INT_MIN));
  int PairX = 0, Y = 0;
  for (; Position >= 0 && GetValues(Position, PairX, Y) && PairX == X; ++Position) S->Add(Y);
  return S->GetCount();
}

}  // namespace vandrel
