#pragma once
// Positional lists on TMacDeque: TMacList (pointers by index) and TMacListOfIntegers.
// Indexes outside 0 .. count-1 raise (Insert accepts 0 .. count and clamps the rest).
#include <functional>

#include "foundation/MacDequeWrapper.h"

namespace vandrel {

class TMacList : public TMacDequeWrapper {
  VANDREL_CLASS(TMacList, TMacDequeWrapper)
 public:
  explicit TMacList(int Capacity = 100);
  // Clears the list, so OnDeleteItem sees every remaining item.
  ~TMacList() override;

  void* GetItems(int Index) const { return DataAt(Index); }
  // Return the new item's position.
  int Insert(int Index, void* Data) { return InsertAt(Index, Data); }
  int Add(void* Data) { return Append(Data); }
  void Exchange(int IndexA, int IndexB);

  // Every removed item is handed here; the list itself frees nothing.
  std::function<void(TMacList* Sender, void* Data)> OnDeleteItem;

 private:
  void FDequeDeleteData(TMacDeque* Sender, void* Data);
};

class TMacListOfIntegers : public TMacDequeWrapper {
  VANDREL_CLASS(TMacListOfIntegers, TMacDequeWrapper)
 public:
  explicit TMacListOfIntegers(int Capacity = 100);

  int GetValues(int Index) const { return UnpackInteger(DataAt(Index)); }
  void SetValues(int Index, int Value) { SetDataAt(Index, PackInteger(Value)); }
  int Insert(int Index, int Value) { return InsertAt(Index, PackInteger(Value)); }
  int Add(int Value) { return Append(PackInteger(Value)); }
  // Clear, then add all of Other's values in order (null: an empty list).
  void CopyList(const TMacListOfIntegers* Other);
  // Append all of Other's values (a list may append itself once over).
  void AddList(const TMacListOfIntegers* Other);
};

}  // namespace vandrel
