#include "foundation/MacList.h"

#include <vector>

namespace vandrel {

// ---- TMacList ----------------------------------------------------------------------------

TMacList::TMacList(int Capacity) : TMacDequeWrapper(Capacity) {
  FDeque.OnDequeDeleteData = [this](TMacDeque* Sender, void* Data) { FDequeDeleteData(Sender, Data); };
}

TMacList::~TMacList() {
  try {
    Clear();
  } catch (...) {
    // An OnDeleteItem handler raised; nothing can travel out of a destructor.
  }
  FDeque.OnDequeDeleteData = nullptr;
}

void TMacList::FDequeDeleteData(TMacDeque*, void* Data) {
  if (OnDeleteItem) OnDeleteItem(this, Data);
}

void TMacList::Exchange(int IndexA, int IndexB) {
  if (IndexB < 0 || IndexB >= GetCount()) RaiseIndexError(IndexB);
  MoveTo(IndexA);
  Changed();
  FDeque.Exchange(IndexB);
}

// ---- TMacListOfIntegers ------------------------------------------------------------------

TMacListOfIntegers::TMacListOfIntegers(int Capacity) : TMacDequeWrapper(Capacity) {}

void TMacListOfIntegers::CopyList(const TMacListOfIntegers* Other) {
  if (Other == this) return;
  Clear();
  AddList(Other);
}

void TMacListOfIntegers::AddList(const TMacListOfIntegers* Other) {
  if (!Other) return;
  if (Other == this) {
    // Read first: reading and appending in turns would walk the whole list for each value.
    std::vector<int> Values;
    Values.reserve(GetCount());
    for (int I = 0; I < GetCount(); ++I) Values.push_back(GetValues(I));
    for (int Value : Values) Add(Value);
    return;
  }
  for (int I = 0; I < Other->GetCount(); ++I) Add(Other->GetValues(I));
}

}  // namespace vandrel
