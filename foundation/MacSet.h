#pragma once
// Sorted sets on TMacDeque: TMacSetOfIntegers (ascending, no duplicates) and
// TMacSetOfCoords (pairs ascending by X, then by Y). Positions outside 0 .. count-1 raise,
// except in TMacSetOfCoords::GetValues, which answers false.
#include <vector>

#include "foundation/MacDequeWrapper.h"

namespace vandrel {

class TMacSetOfIntegers : public TMacDequeWrapper {
  VANDREL_CLASS(TMacSetOfIntegers, TMacDequeWrapper)
 public:
  explicit TMacSetOfIntegers(int Capacity = 100);

  void Add(int Value);     // nothing when present
  void Remove(int Value);  // nothing when absent
  bool Contains(int Value) const { return IndexOf(Value) >= 0; }
  int IndexOf(int Value) const;  // position or -1
  int GetValues(int Index) const;

  // False (Value unchanged) when there is no such element.
  bool GetFirst(int& Value) const;
  bool GetLast(int& Value) const;
  // The smallest element above Value / the largest below it.
  bool GetNext(int& Value) const;
  bool GetPrevious(int& Value) const;

  // Other null counts as an empty set.
  void CopySet(const TMacSetOfIntegers* Other);
  void AddSet(const TMacSetOfIntegers* Other);
  void RemoveSet(const TMacSetOfIntegers* Other);

  // The snapshot table: a sorted array copy for binary searches while the set stays
  // unchanged (built only when there is none and the set holds more than one element).
  // Any change discards it.
  void BuildTab();
  void DestroyTab();
  bool GetHasTab() const { return FHasTab; }

  static void FDequeCompareAB(TMacDeque* Sender, int& Result, void* A, void* B);

 protected:
  void Changed() override { DestroyTab(); }

 private:
  bool FHasTab = false;
  std::vector<int> FTab;
};

class TMacSetOfCoords : public TMacDequeWrapper {
  VANDREL_CLASS(TMacSetOfCoords, TMacDequeWrapper)
 public:
  explicit TMacSetOfCoords(int Capacity = 100);

  void Add(int X, int Y);
  void Remove(int X, int Y);
  bool Contains(int X, int Y) const { return IndexOf(X, Y) >= 0; }
  int IndexOf(int X, int Y) const;
  // False when Index is outside 0 .. count-1.
  bool GetValues(int Index, int& X, int& Y) const;

  bool GetFirst(int& X, int& Y) const;
  bool GetLast(int& X, int& Y) const;
  bool GetNext(int& X, int& Y) const;
  bool GetPrevious(int& X, int& Y) const;

  void CopySet(const TMacSetOfCoords* Other);
  void AddSet(const TMacSetOfCoords* Other);
  void RemoveSet(const TMacSetOfCoords* Other);

  // Adds (v, Y) for every v in S / (X, v) for every v in S.
  void AddSetOfX(const TMacSetOfIntegers* S, int Y);
  void AddSetOfY(int X, const TMacSetOfIntegers* S);
  // Clears S, fills it with every X paired with Y / every Y paired with X; returns its count.
  int ExtractSetOfX(TMacSetOfIntegers* S, int Y) const;
  int ExtractSetOfY(int X, TMacSetOfIntegers* S) const;

  static void FDequeCompareAB(TMacDeque* Sender, int& Result, void* A, void* B);

 private:
  void PairAt(int Index, int& X, int& Y) const;
};

}  // namespace vandrel
